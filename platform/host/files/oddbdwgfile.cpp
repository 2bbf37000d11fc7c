// Drawing files and copying blocks between databases.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "dxf_control.h"
#include "dxf_internal.h"
#include "oddbentity.h"
#include "oddbsymboltable.h"
#include "standin_control.h"

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
    OdResult res = standin::dxf::ReadDxf(this, bytes, why);
    standin::SetLastDxfReadError(why);
    return res;
}

OdResult OdDbDatabase::saveAs(const wchar_t* fileName)
{
    standin::LastDxfSaveLosses().clear();
    if (!fileName || !*fileName) return eInvalidInput;
    std::string bytes;
    std::vector<std::wstring> losses;
    OdResult res = standin::dxf::WriteDxf(this, bytes, &losses);
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
    FILE* f = fopen(temp.c_str(), "wb");
    if (!f) return eNotApplicable;
    bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = fclose(f) == 0 && ok;
    if (ok) fs::rename(temp, target, ec);
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

std::vector<std::wstring>& LastDxfSaveLosses()
{
    static std::vector<std::wstring> losses;
    return losses;
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

int FuzzReadDxf(const uint8_t* data, size_t size)
{
    std::string bytes(reinterpret_cast<const char*>(data), size);
    OdDbDatabase db(false);
    std::string why;
    OdResult res = dxf::ReadDxf(&db, bytes, why);
    // A refused file always says why.
    if (res != eOk && why.empty()) abort();
    if (res != eOk) return res;
    // What the stand-in writes it must read again, and a second save must
    // hold as many groups: nothing kept is added twice.
    std::string again, third;
    OdDbDatabase copy(false);
    if (dxf::WriteDxf(&db, again) != eOk || dxf::ReadDxf(&copy, again, why) != eOk) abort();
    if (dxf::WriteDxf(&copy, third) != eOk) abort();
    if (std::count(again.begin(), again.end(), '\n') != std::count(third.begin(), third.end(), '\n')) abort();
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
