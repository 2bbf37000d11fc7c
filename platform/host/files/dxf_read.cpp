// Drawing files: a DXF file read into an empty database. The file's
// structure is checked first (groups, sections, records); only a file that
// passes is built into the database, so a refused file leaves it untouched
// and the reason names the file's fault (what the file seems to be when it
// is no DXF file, the line where it cannot be read, where it was cut).
// Objects keep the file's handles; what the file lacks (tables, the
// named-objects dictionary, the standard records) is added with new ones.
// What the database does not model is kept as read (dxf_kept.h): every
// record's other groups, its extended data, header variables, classes and
// other sections. Records the database cannot make into an object (kinds
// it does not know, broken geometry) are kept whole as proxies; only block
// references that would make a block contain itself are left out. This
// file has the sections, the placing of objects and the finish; the
// records' kinds are read in dxf_read_tables.cpp, dxf_read_entities.cpp
// (what every entity holds; each kind's own values by its reader in
// dxf_kind_*.cpp) and dxf_read_objects.cpp.
#include <malloc.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cwctype>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <unordered_map>
#include <unordered_set>

#include "dxf_loader.h"
#include "oddbdimension.h"
#include "oddbtext.h"
#include "text_internal.h"

namespace standin {
namespace dxf {

// ---- structure ----

bool Loader::split(std::string& why)
{
    size_t i = 0, n = g_.size();
    auto isZero = [&](size_t k, std::string_view s) { return k < n && g_[k].code == 0 && TrimView(g_[k].text) == s; };
    // A section that runs into the next one (its ENDSEC damaged or left
    // out) ends where the next begins, as files are read.
    auto sectionStart = [&](size_t k) { return isZero(k, "SECTION") && k + 1 < n && g_[k + 1].code == 2; };
    while (i < n && !isZero(i, "EOF")) {
        if (!isZero(i, "SECTION") || i + 1 >= n || g_[i + 1].code != 2) {
            why = "line " + std::to_string(lineOf(i)) + ": a section was expected";
            return false;
        }
        std::string_view name = TrimView(g_[i + 1].text);
        i += 2;
        if (name == "HEADER") {
            headerSpans_.emplace_back(i, i);
            while (i < n && g_[i].code != 0) {
                if (g_[i].code == 9) {
                    std::string var(TrimView(g_[i].text));
                    header_.emplace_back(var, i + 1);
                    headerIndex_.emplace(var, i + 1);
                }
                ++i;
            }
            headerSpans_.back().second = i;
        } else {
            std::vector<Rec>* out = name == "TABLES"     ? &tables_
                                    : name == "BLOCKS"   ? &blocks_
                                    : name == "ENTITIES" ? &entities_
                                    : name == "OBJECTS"  ? &objects_
                                    : name == "CLASSES"  ? &classes_
                                                         : nullptr;
            if (!out) {
                // Sections the database keeps nothing of (thumbnail, data
                // stores) are kept whole, whatever they hold.
                size_t from = i;
                while (i < n && !isZero(i, "ENDSEC") && !isZero(i, "EOF") && !sectionStart(i)) ++i;
                otherSections_.emplace_back(std::string(name), from, i);
            }
            if (i < n && g_[i].code != 0) {
                why = "line " + std::to_string(lineOf(i)) + ": section " + std::string(name) +
                      " holds values outside its records";
                return false;
            }
            while (out && i < n && !isZero(i, "ENDSEC") && !isZero(i, "EOF") && !sectionStart(i)) {
                Rec r;
                r.type = TrimView(g_[i].text);
                r.b = ++i;
                while (i < n && g_[i].code != 0) ++i;
                r.e = i;
                out->push_back(r);
            }
        }
        // A section without its end ends where the next begins, or the file.
        if (sectionStart(i) || isZero(i, "EOF")) continue;
        if (!isZero(i, "ENDSEC")) {
            why = "section " + std::string(name) + " does not end (no ENDSEC before the end of the file)";
            return false;
        }
        ++i;
    }
    // Held through the whole open: not the spare room of their doubling.
    for (auto* records : {&tables_, &blocks_, &entities_, &objects_, &classes_}) records->shrink_to_fit();
    return true;
}

size_t Loader::lineOf(size_t group) const
{
    if (group >= g_.size()) return 0;
    // The lines before a group's value are those up to its code's.
    const char* value = g_[group].text.data();
    if (value < bytes_.data() || value > bytes_.data() + bytes_.size()) return 0;
    const size_t to = (size_t)(value - bytes_.data());
    if (to < countedTo_) countedTo_ = countedLines_ = 0;
    countedLines_ += (size_t)std::count(bytes_.begin() + (long)countedTo_, bytes_.begin() + (long)to, LineEndOf(bytes_));
    countedTo_ = to;
    return countedLines_;
}

std::vector<const char*> Loader::expected(const Rec& r, bool entity) const
{
    return SubclassesOfRecord(r.type, KindFlags(g_, r.b, r.e, r.type), entity);
}

int64_t Loader::peekFlags(const Rec& r) const { return PeekFlags(g_, r.b, r.e); }

namespace {

// A record's type as a message names it.
std::string TypeSaid(std::string_view type)
{
    std::string said = type.empty() ? std::string("a record without a type") : std::string(type);
    for (char& c : said)
        if ((unsigned char)c < 0x20) c = '?';
    return said;
}

}  // namespace

std::wstring Loader::said(const Rec& r, const std::string& why) const
{
    const uint64_t line = lineSaid(r);
    return Utf8ToWide(TypeSaid(r.type) + (line ? " at line " + std::to_string(line) : std::string()) + ": " + why);
}

OdResBuf* Loader::xdataOf(const View& v)
{
    OdResBuf head;
    OdResBuf* tail = &head;
    bool inApp = false;
    for (size_t i = v.end(); i < v.recordEnd(); ++i) {
        const Group& x = g_[i];
        if (x.code == 1001) inApp = true;
        if (!inApp || x.code < 1000) continue;
        if (x.code == 1005) {
            auto* rb = new OdResBuf(x.code);
            rb->setString(codec_.decode(x.text));
            const uint64_t h = HandleOfText(x.text);
            fixups_.push_back([this, rb, h] { rb->setObjectId(idOf(h)); });
            rb->setInt32(0);
            tail = tail->setNext(rb);
            continue;
        }
        tail = tail->setNext(dataItem(i, v.recordEnd(), x.code >= 1010 && x.code <= 1013, [](size_t) { return true; }))->last();
    }
    return head.next();
}

OdResBuf* Loader::dataItem(size_t& i, size_t to, bool pointCode, const std::function<bool(size_t)>& inData)
{
    const Group& x = g_[i];
    auto* rb = new OdResBuf(x.code);
    // The groups that follow a point's x are its y and z, if either.
    size_t y = SIZE_MAX, z = SIZE_MAX, last = i;
    if (pointCode && last + 1 < to && g_[last + 1].code == x.code + 10 && inData(last + 1)) y = ++last;
    if (pointCode && last + 1 < to && g_[last + 1].code == x.code + 20 && inData(last + 1)) z = ++last;
    bool unreadable = false;
    for (size_t k = i; k <= last; ++k) unreadable = unreadable || g_[k].unreadable;
    if (unreadable) {
        // Each group an item of its own, as the file wrote it.
        DxfAccess::setAsWritten(rb, codec_.decode(x.text));
        for (OdResBuf* tail = rb; i < last;) {
            auto* next = new OdResBuf(g_[++i].code);
            DxfAccess::setAsWritten(next, codec_.decode(g_[i].text));
            tail = tail->setNext(next);
        }
    } else if (pointCode) {
        rb->setPoint3d(OdGePoint3d(x.real, y != SIZE_MAX ? g_[y].real : 0, z != SIZE_MAX ? g_[z].real : 0));
        i = last;
    } else if (x.kind == Kind::kText) {
        rb->setString(codec_.decode(x.text));
    } else if (x.kind == Kind::kReal) {
        rb->setDouble(x.real);
    } else if (x.kind == Kind::kInt) {
        DxfAccess::setFileInteger(rb, x.integer);
    } else {
        rb->setObjectId(idOf(x.handle));
    }
    return rb;
}

OdDbObjectId Loader::place(OdDbObject* o, const View& v, OdDbObjectId owner)
{
    uint64_t h = v.handle();
    // Only the file's records have handles below the seed while it is read.
    // A handle a later record keeps is that one's already.
    const Keeper* keeper = h && !keepers_.empty() ? keeperOf(h) : nullptr;
    if (keeper && keeper->at == v.handleAt()) keeper = nullptr;
    const bool taken = h && (keeper || !ids_.get(h).isNull());
    if (!h || taken) h = 0;
    OdDbObjectId id = h ? DxfAccess::unplaced(db_, o, h) : DxfAccess::add(db_, o, DxfAccess::nextHandle(db_));
    if (h) unplaced_.push_back(id.stub());
    // A handle given twice names another object: the record gets a handle
    // of its own, and says so; what names it without doubt follows it.
    if (taken) {
        if (keeper)
            renumbered_.other(TypeSaid(v.rec().type), lineSaid(v.rec()),
                              "its handle " + GroupWriter::HandleValue(v.handle()) + " is also the " +
                                  TypeSaid(keeper->rec->type) + "'s at line " +
                                  std::to_string(lineOf(keeper->rec->b - 1)) + ", which the records naming it refer to",
                              (uint64_t)id.getHandle());
        else
            renumbered_.taken(TypeSaid(v.rec().type), lineSaid(v.rec()), v.handle(), (uint64_t)id.getHandle());
        if (!redirects_.empty()) renumberedIds_.emplace_back(v.handleAt(), id);
    }
    if (h) ids_.set(h, id);
    // A handle that is none cannot go back: the record's new one names it.
    auto quoted = [](std::string_view text) {
        std::string q(TrimView(text).substr(0, 24));
        for (char& c : q)
            if ((unsigned char)c < 0x20) c = '?';
        return "\"" + q + "\"";
    };
    // Nor can one of 0, which names nothing.
    if (v.handleAt() != SIZE_MAX && (g_[v.handleAt()].unreadable || v.handle() == 0))
        renumbered_.other(TypeSaid(v.rec().type), lineSaid(v.rec()),
                          "its handle " + quoted(g_[v.handleAt()].text) + " is no handle", (uint64_t)id.getHandle());
    if (v.ownerAt() != SIZE_MAX && g_[v.ownerAt()].unreadable && !owner.isNull())
        leaveOut(v.rec(), "its owner " + quoted(g_[v.ownerAt()].text) + " is no handle; it is owned where the file places it");
    DxfAccess::setOwner(o, owner);
    // What the writer does not write of the record is kept with the object
    // once the file is read.
    std::string type;
    std::vector<const char*> written = WrittenSubclasses(o, type);
    if (type != v.type() && !(v.type() == "TABLE")) {
        keptOf(o).dxfType = std::string(v.type());
        written = WrittenSubclasses(o, type);  // as the type it goes back as
    }
    pending_.push_back(Pending{o, kSelf, 0, &v.rec(), intern(written), v.dataRecord(), false});
    // Records of its sequence without handles get theirs now, not at each
    // save, where new objects may since have taken the seed's.
    for (uint64_t& sub : subHandles_)
        if (!sub) given_.push_back(sub = DxfAccess::nextHandle(db_));
    if (keptFlags_ || !subHandles_.empty()) {
        DxfKept& kept = keptOf(o);
        kept.flags = keptFlags_;
        kept.subHandles = std::move(subHandles_);
    }
    for (size_t s = 0; s < subRecs_.size(); ++s) {
        if (subRecs_[s].rec->type == "VERTEX" || subRecs_[s].rec->type == "SEQEND")
            takeTiedValues(*subRecs_[s].rec, subRecs_[s].written);
        pending_.push_back(
            Pending{o, (int)s, (uint32_t)subRecs_.size(), subRecs_[s].rec, intern(subRecs_[s].written), false,
                    !subRecs_[s].dxfType.empty()});
    }
    subRecs_.clear();
    subHandles_.clear();
    keptFlags_ = 0;
    if (auto pp = planePoints_.find(o); pp != planePoints_.end()) {
        DxfKept& kept = keptOf(o);
        kept.planeNormal = pp->second.first;
        kept.planePoints = std::move(pp->second.second);
        planePoints_.erase(pp);
    }
    // The object takes the chain itself: its handles are set once every
    // object is there.
    if (OdResBuf* data = xdataOf(v)) DxfAccess::takeXData(o, data);
    uint64_t xdict = v.xdict(), ownerHandle = v.owner();
    const size_t xdictAt = v.xdictAt(), ownerAt = v.ownerAt();
    if (xdict) xdicts_.push_back(xdict);
    std::vector<uint64_t> reactors = v.reactors();
    bool ownerFromFile = owner.isNull();
    // Most objects need none of it: a large drawing holds no closure each.
    if (xdict || !reactors.empty() || ownerFromFile) {
        fixups_.push_back([this, o, xdict, xdictAt, reactors, ownerHandle, ownerAt, ownerFromFile] {
            if (auto* d = OdRxCast<OdDbDictionary>(obj(idAt(xdictAt, xdict))))
                DxfAccess::setExtensionDictionary(o, d->objectId());
            std::set<OdDbObjectId> seen;
            for (uint64_t r : reactors)
                if (OdDbObjectId rid = idOf(r); !rid.isNull() && seen.insert(rid).second) DxfAccess::appendReactor(o, rid);
            if (ownerFromFile && o->ownerId().isNull()) DxfAccess::setOwner(o, idAt(ownerAt, ownerHandle));
        });
    }
    // An extension dictionary that names no owner of its own is the
    // object's.
    if (xdict)
        adoptions_.push_back([this, o, xdict, xdictAt] {
            if (auto* d = OdRxCast<OdDbDictionary>(obj(idAt(xdictAt, xdict))); d && d->ownerId().isNull())
                DxfAccess::setOwner(d, o->objectId());
        });
    return id;
}

void Loader::finish()
{
    if (roots_.nod.isNull()) roots_.nod = DxfAccess::add(db_, new OdDbDictionary(), DxfAccess::nextHandle(db_));
    auto header = [this](const char* var) -> std::wstring {
        auto it = headerIndex_.find(var);
        return it != headerIndex_.end() && it->second < g_.size() && g_[it->second].kind == Kind::kText
                   ? codec_.decode(g_[it->second].text)
                   : std::wstring();
    };
    OdDbObjectId clayer = record(layers_, header("$CLAYER"));
    roots_.clayer = clayer.isNull() || clayer.isErased() ? roots_.layerZero : clayer;
    OdDbObjectId celtype = record(linetypes_, header("$CELTYPE"));
    roots_.celtype = celtype.isNull() ? roots_.ltByLayer : celtype;
    OdDbObjectId style = record(styles_, header("$TEXTSTYLE"));
    if (!style.isNull()) roots_.textstyle = style;
    OdDbObjectId dimstyle = record(dimstyles_, header("$DIMSTYLE"));
    roots_.dimstyle = dimstyle.isNull() ? record(dimstyles_, L"Standard") : dimstyle;
    DxfAccess::setRoots(db_, roots_);

    // The header, classes and other sections, kept as read.
    auto* file = new DxfFileKept;
    for (size_t h = 0; h < header_.size(); ++h) {
        std::vector<KeptGroup> groups;
        for (size_t i = header_[h].second; i < g_.size() && g_[i].code != 9 && g_[i].code != 0; ++i)
            groups.push_back(keptGroup(g_[i]));
        file->header.emplace_back(header_[h].first, std::move(groups));
    }
    for (const Rec& c : classes_) {
        std::vector<KeptGroup> groups;
        for (size_t i = c.b; i < c.e; ++i) groups.push_back(keptGroup(g_[i]));
        file->classes.emplace_back(std::string(c.type), std::move(groups));
    }
    for (const auto& [name, from, to] : otherSections_) {
        std::vector<KeptGroup> groups;
        for (size_t i = from; i < to; ++i) groups.push_back(keptGroup(g_[i]));
        file->sections.emplace_back(name, std::move(groups));
    }
    for (auto& h : file->header) resolveLater(h.second);
    for (auto& c : file->classes) resolveLater(c.second);
    for (auto& s : file->sections) resolveLater(s.second);
    DxfAccess::setFileKept(db_, file);
}

void Loader::build()
{
    // Handles the database gives out while loading must not meet a handle
    // that the file uses further on.
    // (The header's handle seed is a value of code 5 too: it is the next
    // handle to give, not one that is taken.)
    // References to handles no object has go back as written, so no new
    // object may take one of them either.
    uint64_t top = 0;
    for (size_t i = 0, span = 0; i < g_.size(); ++i) {
        if (span < headerSpans_.size() && i == headerSpans_[span].first) {
            i = headerSpans_[span++].second;
            if (i >= g_.size()) break;
        }
        const Group& x = g_[i];
        if (x.kind == Kind::kHandle) top = std::max(top, x.handle);
        if ((x.code == 5 || x.code == 105) && x.kind == Kind::kHandle) defined_.push_back(x.handle);
        if (x.code == 1005) top = std::max(top, HandleOfText(x.text));
    }
    // Handles near the last leave the seed no room: new objects then take
    // free handles below it, which must not be any the file names (a
    // record the database does not keep, a reference to nothing). A
    // header seed near the last does the same, whatever the records hold.
    uint64_t seed = 0;
    size_t seedAt = SIZE_MAX;
    if (auto it = headerIndex_.find("$HANDSEED"); it != headerIndex_.end() && it->second < g_.size() &&
                                                  g_[it->second].kind == Kind::kHandle)
        seed = g_[seedAt = it->second].handle;
    const bool crowded = top > UINT64_MAX - kSeedRoom || seed > UINT64_MAX - kSeedRoom;
    std::vector<uint64_t> named;
    if (crowded) {
        for (size_t i = 0; i < g_.size(); ++i) {
            const Group& x = g_[i];
            if (x.kind == Kind::kHandle && x.handle && i != seedAt) named.push_back(x.handle);
            if (x.code == 1005)
                if (uint64_t h = HandleOfText(x.text)) named.push_back(h);
        }
        SortMostlySorted(named);
        named.erase(std::unique(named.begin(), named.end()), named.end());
        DxfAccess::setReserved(db_, std::move(named));
    }
    SortMostlySorted(defined_);
    std::vector<uint64_t> contested;
    for (size_t i = 1; i < defined_.size(); ++i)
        if (defined_[i] == defined_[i - 1] && (contested.empty() || contested.back() != defined_[i]))
            contested.push_back(defined_[i]);
    settleClaims(contested);
    defined_.erase(std::unique(defined_.begin(), defined_.end()), defined_.end());
    DxfAccess::raiseHandseed(db_, top + 1);
    // Where the handles reach the last, new objects take free ones from the
    // header's seed when it leaves room above it (else from the first): the
    // seed a save writes is where the next open starts, so that open makes
    // what this one made under the same handles and saves the same seed.
    if (crowded && seed && seed <= UINT64_MAX - kSeedRoom) DxfAccess::setNextHandle(db_, seed);
    ids_.reserve(defined_);
    unplaced_.reserve(defined_.size());
    // A record read is pending once (its sequence's records each too): a
    // list grown by doubling would copy a million of them over and over.
    pending_.reserve(tables_.size() + 2 * blocks_.size() + entities_.size() + objects_.size());
    readHeader();
    readTables();
    readBlocks();
    readEntities(entities_, 0, entities_.size(), OdDbObjectId());
    readObjects();
    DxfAccess::placeAll(db_, unplaced_);
    Release(unplaced_);
    std::sort(renumberedIds_.begin(), renumberedIds_.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    giveBlocksHandles();
    finish();
    for (auto& f : fixups_) f();
    for (auto& f : adoptions_) f();
    keepAll();
    for (auto& [group, h] : handles_) group->id = idAt(group->at, h);
    pairLayoutsWithBlockRecords();
    dropCyclicReferences();
    // What only the reading needed goes before the records are noted, at
    // the open's peak.
    Release(fixups_);
    Release(adoptions_);
    Release(handles_);
    Release(references_);
    Release(defined_);
    if (crowded) {
        // Of what the file names, what no object has, and the records'
        // handles given now.
        std::vector<uint64_t>& reserved = DxfAccess::reserved(db_);
        reserved.erase(std::remove_if(reserved.begin(), reserved.end(), [this](uint64_t h) { return !idOf(h).isNull(); }),
                       reserved.end());
        reserved.insert(reserved.end(), given_.begin(), given_.end());
        std::sort(reserved.begin(), reserved.end());
    }
    Release(given_);
    DxfAccess::fileKept(db_)->notRead = std::move(notRead_);
    DxfAccess::fileKept(db_)->codePageAssumed = std::move(codePageAssumed_);
    DxfAccess::fileKept(db_)->renumbered = std::move(renumbered_);
    DxfAccess::fileKept(db_)->leftOut = std::move(leftOut_);
    noteRecords();
}

namespace {

// What bytes that are no DXF file seem to be; empty when they may be one.
std::string NotDxf(std::string_view bytes)
{
    auto starts = [&](std::string_view s) { return bytes.substr(0, s.size()) == s; };
    if (bytes.substr(0, 32).find("Binary DXF") != std::string_view::npos)
        return "binary DXF is not read; save it as an ASCII DXF";
    if (bytes.size() >= 6 && starts("AC") && std::isdigit((unsigned char)bytes[2]) &&
        std::isdigit((unsigned char)bytes[3]) && std::isdigit((unsigned char)bytes[4]) &&
        std::isdigit((unsigned char)bytes[5]))
        return "it is a DWG drawing (version " + std::string(bytes.substr(0, 6)) +
               "), which is not read; save it as an ASCII DXF";
    const std::pair<std::string_view, const char*> kinds[] = {
        {"\x89PNG", "a PNG image"}, {"\xFF\xD8\xFF", "a JPEG image"}, {"GIF8", "a GIF image"},
        {"BM", "a BMP image"}, {std::string_view("II*\0", 4), "a TIFF image"}, {std::string_view("MM\0*", 4), "a TIFF image"},
        {"PK\x03\x04", "a ZIP archive"}, {"%PDF", "a PDF document"}, {"\x1F\x8B", "a gzip archive"},
        {"7z\xBC\xAF", "a 7-Zip archive"}, {"Rar!", "a RAR archive"}, {"\xD0\xCF\x11\xE0", "an Office document"},
        {"\xFF\xFE", "a UTF-16 text file"}, {"\xFE\xFF", "a UTF-16 text file"}, {"\x7F" "ELF", "a program"}};
    for (const auto& [magic, what] : kinds)
        if (starts(magic)) return std::string("it is ") + what + ", not a DXF file";
    if (bytes.substr(0, 64).find('\0') != std::string_view::npos) return "not a DXF file (it holds binary data)";
    return std::string();
}

}  // namespace

namespace {

// Reads the file; `owned`, when given, holds its text, which the drawing
// takes instead of a copy.
OdResult ReadDxfText(OdDbDatabase* db, std::string_view bytes, std::string* owned, std::string& why)
{
    why.clear();
    if (!db) return eInvalidInput;
    // Drawings in the binary forms are not read by the stand-in.
    std::string other = NotDxf(bytes);
    if (!other.empty()) {
        why = other;
        bool drawing = other.find("DWG") != std::string::npos || other.find("binary DXF") != std::string::npos;
        return drawing ? eNotImplemented : eInvalidInput;
    }
    if (!DxfAccess::isEmpty(db)) {
        why = "the database already holds a drawing";
        return eNotApplicable;
    }
    if (bytes.empty()) {
        why = "the file is empty";
        return eInvalidInput;
    }
    std::vector<Group> groups;
    std::vector<uint32_t> comments;
    if (!ReadGroups(bytes, groups, why, &comments)) {
        // A first line that is no group code: not a DXF file at all.
        if (groups.empty() && why.rfind("line 1:", 0) == 0) why = "not a DXF file (" + why + ")";
        return eInvalidInput;
    }
    std::unique_ptr<DxfFileRecords> records;
    {
        Loader loader(db, groups, bytes);
        if (!loader.split(why)) return eInvalidInput;
        loader.noteComments(comments);
        loader.build();
        records = loader.takeRecords();
    }
    // The groups go before the file's text is kept: a drawing holds one
    // copy of the file's text, never the groups too. Freed inside the heap
    // (as when an earlier drawing's memory is reused) their pages would
    // stay resident beside a copy: they go back to the system first. A
    // text the drawing takes as it is needs no copy, and no trim (a pass
    // over the whole heap).
    std::vector<Group>().swap(groups);
#ifdef __GLIBC__
    if (!owned) malloc_trim(0);
#endif
    if (records) {
        if (owned) records->bytes = std::move(*owned);
        else records->bytes.assign(bytes.data(), bytes.size());
        DxfAccess::fileKept(db)->records = std::move(records);
    }
    return eOk;
}

}  // namespace

OdResult ReadDxf(OdDbDatabase* db, std::string_view bytes, std::string& why)
{
    return ReadDxfText(db, bytes, nullptr, why);
}

OdResult ReadDxf(OdDbDatabase* db, std::string&& bytes, std::string& why)
{
    return ReadDxfText(db, bytes, &bytes, why);
}

}  // namespace dxf
}  // namespace standin
