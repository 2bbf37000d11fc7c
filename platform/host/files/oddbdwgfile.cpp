// Drawing files and copying blocks between databases.
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <string_view>
#include <utility>
#include <vector>

#include "dxf_control.h"
#include "dxf_access.h"
#include "dxf_internal.h"
#include "oddbentity.h"
#include "oddbsymboltable.h"
#include "standin_control.h"
#include "text_internal.h"

namespace {

// The entity's layer name in its own database.
OdString LayerName(const OdDbEntity* ent) { return ent->layer(); }

void EnsureLayer(OdDbDatabase* db, const OdString& name)
{
    OdDbLayerTable* table = nullptr;
    if (name.isEmpty() || db->getLayerTable(table, OdDb::kForWrite) != eOk) return;
    if (!table->has(name)) {
        auto* rec = new OdDbLayerTableRecord();
        rec->setName(name);
        if (table->add(rec) == eOk) rec->close();
        else delete rec;
    }
    table->close();
}

// Appends copies of the block's live entities to the target block.
OdResult CopyEntities(const OdDbBlockTableRecord* from, OdDbBlockTableRecord* to)
{
    OdDbDatabase* db = to->database();
    for (const auto& id : from->entityIds()) {
        if (id.isErased()) continue;
        auto* ent = OdRxCast<OdDbEntity>(id.stub()->object);
        OdDbEntity* copy = ent ? ent->clone() : nullptr;
        if (!copy) continue;
        OdString layer = LayerName(ent);
        EnsureLayer(db, layer);
        OdDbObjectId newId;
        OdResult res = to->appendOdDbEntity(newId, copy);
        if (res != eOk) {
            delete copy;
            return res;
        }
        if (!layer.isEmpty()) copy->setLayer(layer);
        copy->close();
    }
    return eOk;
}

}  // namespace

OdResult OdDbDatabase::readDwgFile(const wchar_t* fileName, int, bool, const wchar_t*)
{
    std::error_code ec;
    standin::SetLastDxfReadError("");
    if (!fileName || !std::filesystem::is_regular_file(standin::NativePath(fileName), ec)) {
        standin::SetLastDxfReadError("the file does not exist");
        return eFileNotFound;
    }
    FILE* f = _wfopen(fileName, L"rb");
    if (!f) {
        standin::SetLastDxfReadError("the file cannot be opened for reading");
        return eFileNotFound;
    }
    std::string bytes;
    // Read into one block of the file's size: growing by doubling would
    // copy a large file's text over and over.
    struct stat st;
    if (fstat(fileno(f), &st) == 0 && st.st_size > 0)
        bytes.reserve(std::min((size_t)st.st_size, standin::dxf::kMaxFileBytes + 1) + 1);
    char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0 && bytes.size() <= standin::dxf::kMaxFileBytes)
        bytes.append(buf, n);
    bool failed = ferror(f) != 0;
    fclose(f);
    if (failed) {
        standin::SetLastDxfReadError("the file cannot be read");
        return eFileNotFound;
    }
    std::string why;
    // The drawing keeps the file's text: it takes this one.
    OdResult res = standin::dxf::ReadDxf(this, std::move(bytes), why);
    standin::SetLastDxfReadError(why);
    if (res == eOk)
        if (standin::DxfFileKept* kept = standin::DxfAccess::fileKept(this)) kept->source = fileName;
    return res;
}

namespace standin {
namespace {
std::string& LastWriteError()
{
    static std::string s;
    return s;
}
}  // namespace
}  // namespace standin

OdResult OdDbDatabase::saveAs(const wchar_t* fileName)
{
    standin::LastDxfSaveLosses().clear();
    standin::LastWriteError().clear();
    standin::LastDxfSaveRefusal().clear();
    if (!fileName || !*fileName) return eInvalidInput;
    std::string bytes;
    std::vector<std::wstring> losses;
    std::string refused;
    OdResult res = standin::dxf::WriteDxf(this, bytes, &losses, &refused);
    if (!refused.empty()) standin::LastDxfSaveRefusal() = standin::Utf8ToWide(refused);
    if (res != eOk) return res;
    standin::LastDxfSaveLosses() = losses;
    namespace fs = std::filesystem;
    fs::path target = standin::NativePath(fileName);
    std::error_code ec;
    if (!fs::is_directory(target.parent_path(), ec)) return eFileNotFound;
    DWORD attributes = GetFileAttributesW(fileName);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)))
        return eNotApplicable;
    // Written beside the target and then put in its place, so that a
    // failed write leaves the old drawing whole.
    fs::path temp = target;
    temp += ".velktmp";
    std::string& why = standin::LastWriteError();
    FILE* f = fopen(temp.c_str(), "wb");
    if (!f) {
        why = strerror(errno);
        return eNotApplicable;
    }
    // In pieces: the kernel takes one write of a whole large drawing many
    // times slower than the same bytes a megabyte at a time.
    constexpr size_t kPiece = size_t(1) << 20;
    bool ok = true;
    for (size_t at = 0; ok && at < bytes.size(); at += kPiece) {
        const size_t n = std::min(kPiece, bytes.size() - at);
        ok = fwrite(bytes.data() + at, 1, n, f) == n;
    }
    if (!ok) why = strerror(errno);
    if (fclose(f) != 0 && ok) {
        why = strerror(errno);
        ok = false;
    }
    if (ok) fs::rename(temp, target, ec);
    if (ok && ec) why = ec.message();
    if (!ok || ec) {
        fs::remove(temp, ec);
        return eNotApplicable;
    }
    return eOk;
}

namespace standin {

namespace {
std::string& LastReadError()
{
    static std::string s;
    return s;
}
}  // namespace

void SetLastDxfReadError(const std::string& why) { LastReadError() = why; }
const std::string& LastDxfReadError() { return LastReadError(); }
const std::string& LastDxfWriteError() { return LastWriteError(); }

std::vector<std::wstring> DxfNotRead(const OdDbDatabase* db)
{
    const DxfFileKept* k = db ? DxfAccess::fileKept(db) : nullptr;
    return k ? k->notRead : std::vector<std::wstring>();
}

std::wstring DxfCodePageAssumed(const OdDbDatabase* db)
{
    const DxfFileKept* k = db ? DxfAccess::fileKept(db) : nullptr;
    return k ? k->codePageAssumed : std::wstring();
}

std::vector<std::wstring> DxfRenumbered(const OdDbDatabase* db)
{
    const DxfFileKept* k = db ? DxfAccess::fileKept(db) : nullptr;
    std::vector<std::wstring> lines;
    for (size_t i = 0, n = DxfRenumberedCount(db); i < n; ++i) lines.push_back(k->renumbered.said(i));
    return lines;
}

size_t DxfRenumberedCount(const OdDbDatabase* db)
{
    const DxfFileKept* k = db ? DxfAccess::fileKept(db) : nullptr;
    return k ? k->renumbered.size() : 0;
}

std::wstring DxfRenumberedSaid(const OdDbDatabase* db, size_t i)
{
    const DxfFileKept* k = db ? DxfAccess::fileKept(db) : nullptr;
    return k && i < k->renumbered.size() ? k->renumbered.said(i) : std::wstring();
}

std::vector<std::wstring>& LastDxfSaveLosses()
{
    static std::vector<std::wstring> losses;
    return losses;
}


std::wstring& LastDxfSaveRefusal()
{
    static std::wstring refused;
    return refused;
}

OdResult ReadDxfBytes(OdDbDatabase* db, const std::string& bytes, std::string* why)
{
    std::string reason;
    OdResult res = dxf::ReadDxf(db, bytes, reason);
    if (why) *why = reason;
    return res;
}

OdResult WriteDxfBytes(OdDbDatabase* db, std::string& bytes, std::vector<std::wstring>* losses)
{
    return dxf::WriteDxf(db, bytes, losses);
}

namespace {

// The records of a file, counted apart from the reader: groups of two
// lines (code, value, trimmed), and each "0 X" inside the sections that
// hold records, less the ones that only give structure.
size_t CountRecords(std::string_view bytes)
{
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
    // As the reader takes a line: the CRs at its end, then spaces and tabs
    // (a section named "ENTITIES\r  " is another section than ENTITIES).
    auto trim = [](std::string_view s) {
        while (!s.empty() && s.back() == '\r') s.remove_suffix(1);
        while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
        while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
        return s;
    };
    // Lines end as the reader takes them: in CR alone when the first does.
    const char eol = dxf::LineEndOf(bytes);
    size_t pos = 0;
    auto next = [&](std::string_view& line) {
        if (pos >= bytes.size()) return false;
        size_t end = bytes.find(eol, pos);
        if (end == std::string_view::npos) end = bytes.size();
        line = trim(bytes.substr(pos, end - pos));
        pos = end + 1;
        return true;
    };
    size_t count = 0;
    bool counting = false, named = false;
    std::string_view code, value;
    while (next(code) && next(value)) {
        if (!code.empty() && code.front() == '+') code.remove_prefix(1);
        int number = -1;
        auto parsed = std::from_chars(code.data(), code.data() + code.size(), number);
        if (parsed.ptr != code.data() + code.size()) number = -1;
        // "0 SECTION" starts a section only when its name follows; else it
        // is a record of that name.
        if (named && number == 2)
            counting = value == "TABLES" || value == "BLOCKS" || value == "ENTITIES" || value == "OBJECTS";
        else if (named && counting)
            ++count;
        named = false;
        if (number != 0) continue;
        if (value == "EOF") break;
        if (value == "SECTION") {
            named = true;
        } else if (value == "ENDSEC") {
            counting = false;
        } else if (counting && value != "TABLE" && value != "ENDTAB" && value != "BLOCK" && value != "ENDBLK" &&
                   value != "SEQEND") {
            ++count;
        }
    }
    return count;
}

std::vector<std::string_view> Lines(std::string_view bytes)
{
    std::vector<std::string_view> lines;
    size_t pos = 0;
    while (pos < bytes.size()) {
        size_t end = bytes.find('\n', pos);
        if (end == std::string_view::npos) end = bytes.size();
        lines.push_back(bytes.substr(pos, end - pos));
        pos = end + 1;
    }
    return lines;
}

// Where two texts differ (two saves, or what two drawings say), on stderr:
// the first line that differs and the lines around it in each.
void PrintFirstDifference(const std::string& first, const std::string& second, const char* firstName = "first save",
                          const char* secondName = "second save")
{
    std::vector<std::string_view> a = Lines(first), b = Lines(second);
    size_t i = 0;
    while (i < a.size() && i < b.size() && a[i] == b[i]) ++i;
    fprintf(stderr, "the %s differs from the %s from line %zu (of %zu and %zu lines)\n", secondName, firstName, i + 1,
            a.size(), b.size());
    const size_t from = i >= 4 ? i - 4 : 0;
    for (const auto* side : {&a, &b}) {
        fprintf(stderr, "%s:\n", side == &a ? firstName : secondName);
        for (size_t k = from; k < i + 5 && k < side->size(); ++k) {
            std::string_view line = (*side)[k];
            if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
            fprintf(stderr, "%c%6zu  %.*s\n", k == i ? '>' : ' ', k + 1, (int)std::min<size_t>(line.size(), 200),
                    line.data());
        }
    }
}

// What a drawing says that a save must keep (for comparing a drawing with
// the one its save reads into): each block's live entities by handle, and
// the entries of the dictionaries under the root, by key and handle.
std::string Meaning(OdDbDatabase* db)
{
    std::string out;
    auto line = [&out](const char* what, uint64_t a, const std::wstring& key, uint64_t b) {
        char head[64];
        snprintf(head, sizeof head, "%s %llx ", what, (unsigned long long)a);
        out += head;
        out += WideToUtf8(key);
        snprintf(head, sizeof head, " %llx\n", (unsigned long long)b);
        out += head;
    };
    if (auto* table = OdRxCast<OdDbBlockTable>(DxfAccess::object(db->getBlockTableId())))
        for (OdDbObjectId b : DxfAccess::records(table))
            if (auto* block = OdRxCast<OdDbBlockTableRecord>(DxfAccess::object(b)))
                for (OdDbObjectId e : block->entityIds())
                    if (!e.isErased()) line("entity", (uint64_t)b.getHandle(), std::wstring(), (uint64_t)e.getHandle());
    std::vector<OdDbObjectId> dictionaries{db->getNamedObjectsDictionaryId()};
    std::set<uint64_t> seen;
    for (size_t i = 0; i < dictionaries.size(); ++i) {
        auto* d = OdRxCast<OdDbDictionary>(DxfAccess::object(dictionaries[i]));
        if (!d || !seen.insert((uint64_t)dictionaries[i].getHandle()).second) continue;
        for (const auto& [key, id] : DxfAccess::entries(d)) {
            line("entry", (uint64_t)dictionaries[i].getHandle(), key.c_str(), (uint64_t)id.getHandle());
            dictionaries.push_back(id);
        }
    }
    return out;
}

}  // namespace

int FuzzReadDxf(const uint8_t* data, size_t size)
{
    std::string bytes(reinterpret_cast<const char*>(data), size);
    OdDbDatabase db(false);
    std::string why;
    OdResult res = dxf::ReadDxf(&db, bytes, why);
    // A refused file always says why.
    if (res != eOk && why.empty()) abort();
    if (res != eOk) return res;
    // What the stand-in writes it must read again, and saving what it read
    // from its own file gives that file byte for byte.
    std::string once, twice;
    std::vector<std::wstring> losses;
    OdDbDatabase copy(false);
    std::string refused;
    const OdResult written = dxf::WriteDxf(&db, once, &losses, &refused);
    // A value the reader could only make past the largest number refuses
    // the save, and names where it is.
    if (written == eInvalidInput && !refused.empty()) return res;
    if (written != eOk || dxf::ReadDxf(&copy, once, why) != eOk) abort();
    if (dxf::WriteDxf(&copy, twice) != eOk) abort();
    if (once != twice) {
        PrintFirstDifference(once, twice);
        abort();
    }
    // The save reads back into the drawing that was saved: no entity moves
    // to another block, no dictionary entry appears or goes.
    if (losses.empty()) {
        const std::string read = Meaning(&db), back = Meaning(&copy);
        if (read != back) {
            PrintFirstDifference(read, back, "drawing read", "drawing its save reads into");
            abort();
        }
    }
    // No record goes missing unless the save names it among its losses.
    const size_t before = CountRecords(bytes), after = CountRecords(once);
    if (after + losses.size() < before) {
        fprintf(stderr, "the file has %zu records, its save %zu and names %zu losses\n", before, after,
                losses.size());
        abort();
    }
    return res;
}

}  // namespace standin

OdResult OdDbDatabase::wblock(OdDbDatabase*& output, OdDbObjectId blockId)
{
    output = nullptr;
    OdDbBlockTableRecord* block = nullptr;
    OdResult res = oddbOpenObject(block, blockId, OdDb::kForRead);
    if (res != eOk) return res;
    auto* db = new OdDbDatabase(true);
    OdDbBlockTableRecord* ms = nullptr;
    res = oddbOpenObject(ms, db->getModelSpaceId(), OdDb::kForWrite);
    if (res == eOk) {
        res = CopyEntities(block, ms);
        ms->close();
    }
    block->close();
    if (res != eOk) {
        delete db;
        return res;
    }
    output = db;
    return eOk;
}

OdResult OdDbDatabase::insert(OdDbObjectId& blockId, const wchar_t* name, OdDbDatabase* source, bool)
{
    blockId = OdDbObjectId();
    if (!source || !name || !*name || source == this) return eInvalidInput;
    OdDbBlockTableRecord* from = nullptr;
    OdResult res = oddbOpenObject(from, source->getModelSpaceId(), OdDb::kForRead);
    if (res != eOk) return res;
    OdDbBlockTable* table = nullptr;
    res = getBlockTable(table, OdDb::kForWrite);
    if (res == eOk) {
        OdDbObjectId old;
        if (table->getAt(name, old) == eOk) {
            OdDbObject* rec = nullptr;
            if (oddbOpenObject(rec, old, OdDb::kForWrite) == eOk) {
                rec->erase();
                rec->close();
            }
        }
        auto* block = new OdDbBlockTableRecord();
        block->setName(name);
        res = table->add(blockId, block);
        if (res == eOk) {
            res = CopyEntities(from, block);
            block->close();
        } else {
            delete block;
        }
        table->close();
    }
    from->close();
    return res;
}
