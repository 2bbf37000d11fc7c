// Drawing files: the writer's half of the round trip. Each record is opened,
// its values written subclass by subclass with the groups kept when it was
// read put back at the end of the subclass they were read in, and the
// values the file spelled otherwise are put back as the file wrote them
// (found by Respellings in dxf_respellings.cpp): only where the value
// written is the one the file's spelling means, or the one the writer
// wrote of it when the file was read.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <cwctype>
#include <map>
#include <set>
#include <tuple>
#include <unordered_map>
#include <unordered_set>

#include "dxf_out.h"
#include "dxf_respell.h"
#include "dxf_view.h"
#include "oddbdimension.h"
#include "oddbproxy.h"
#include "oddbtext.h"

namespace standin {
namespace dxf {

// ---- records and their kept groups ----

namespace {

// Whether any of the eight bytes of `word` is `byte`.
inline bool HasByte(uint64_t word, char byte)
{
    const uint64_t x = word ^ (0x0101010101010101ull * (uint8_t)byte);
    return ((x - 0x0101010101010101ull) & ~x & 0x8080808080808080ull) != 0;
}

// Whether a record is written exactly as the file spelled it, group for
// group, each of its values where the file had one and each of the file's
// values written as a value: then Respellings finds nothing to put back
// (it pairs the same groups, and each pair is spelled alike). Most records
// of a save of a file read are so; this asks it without splitting the
// file's record again. A file of another code page than UTF-8, of lines
// that do not end in LF, or a record with a default written for a kept
// value, is left to Respellings.
// Besides, the writer may write values of codes the file left out: where
// the rules Respellings follows (dxf_respell.h) leave them out (a circle's
// normal along z, a text's alignments, a code no description names written
// as when the file was read), so does the caller with the groups (their
// spans in the writer's text) put in `dropped`. Any other value of a code
// the file left out, or one whose meaning depends on more than its
// subclass, is left to Respellings.
bool WrittenAsRead(const DxfFileRecords& file, const DxfFileRecords::Record& record, std::string_view text,
                   const std::vector<GroupWriter::Noted>& noted, size_t start,
                   std::vector<std::pair<size_t, size_t>>& dropped)
{
    dropped.clear();
    if (!file.utf8 || noted.empty() || noted.size() < record.groups || noted[0].code != 0) return false;
    if (record.to > file.bytes.size() || record.from >= record.to ||
        (size_t)record.state + record.groups > file.states.size())
        return false;
    const std::string_view read = std::string_view(file.bytes).substr(record.from, record.to - record.from);
    if (LineEndOf(read) != '\n') return false;
    size_t r = 0, w = 0;
    // The file's next line, without its CRs.
    auto line = [&](std::string_view& l) {
        if (r >= read.size()) return false;
        size_t end = read.find('\n', r);
        if (end == std::string_view::npos) end = read.size();
        l = read.substr(r, end - r);
        r = end + 1;
        while (!l.empty() && l.back() == '\r') l.remove_suffix(1);
        return true;
    };
    // The file's next line is `s` exactly, with no CR: true, past it. Most
    // lines of a file read and saved are, and this asks it without looking
    // for the line's end first.
    auto sameLine = [&](std::string_view s) {
        if (s.size() >= read.size() - std::min(r, read.size())) return false;
        const char* f = read.data() + r;
        size_t k = 0;
        // Eight bytes at a time while they are alike and hold no CR or LF.
        for (; k + 8 <= s.size(); k += 8) {
            uint64_t a, b;
            std::memcpy(&a, s.data() + k, 8);
            std::memcpy(&b, f + k, 8);
            if (a != b || HasByte(a, '\r') || HasByte(a, '\n')) break;
        }
        for (; k < s.size(); ++k)
            if (s[k] != f[k] || s[k] == '\r' || s[k] == '\n') return false;
        if (f[s.size()] != '\n') return false;
        r += s.size() + 1;
        return true;
    };
    const uint8_t* state = file.states.data() + record.state;
    const size_t valuesEnd = std::min<size_t>(record.valuesEnd, record.groups);
    const size_t ownerAt = record.ownerAt < record.groups ? record.ownerAt : SIZE_MAX;
    // The values written that the file left out, by their code and the
    // subclass written before them.
    struct Extra {
        int code;
        std::string_view subclass, value;
    };
    thread_local std::vector<Extra> extras;
    extras.clear();
    CodeSet fileCodes;  // the codes of every group of the file's record
    std::string_view subclass, type;
    size_t i = 0;  // the file's group
    for (size_t n = 0; n < noted.size(); ++n) {
        const GroupWriter::Noted& x = noted[n];
        if (x.tag == GroupWriter::kDefault || x.at < start + w + 2) return false;
        const size_t value = x.at - start;
        if (value + x.length + 2 > text.size() || text[value - 2] != '\r' || text[value - 1] != '\n' ||
            text[value + x.length] != '\r' || text[value + x.length + 1] != '\n')
            return false;
        const std::string_view writtenCode = text.substr(w, value - 2 - w), writtenValue = text.substr(value, x.length);
        if (x.tag == GroupWriter::kFrame && x.code == 100) subclass = writtenValue;
        const size_t lineAt = r;
        std::string_view code, spelt;
        bool same = i < record.groups && sameLine(writtenCode) && sameLine(writtenValue);
        if (same) {
            spelt = writtenValue;
        } else {
            r = lineAt;
            same = i < record.groups && line(code) && line(spelt) && code == writtenCode && spelt == writtenValue;
        }
        if (!same) {
            if (x.tag != GroupWriter::kValue || n == 0 || x.code < 1 || x.code >= 1000) return false;
            r = lineAt;
            extras.push_back(Extra{x.code, subclass, writtenValue});
            dropped.emplace_back(start + w, value + x.length + 2 - w);
            w = value + x.length + 2;
            continue;
        }
        if (i == 0) type = TrimView(spelt);
        fileCodes.set(CodeSlot(x.code));
        w = value + x.length + 2;
        const bool fileValue = i >= 1 && i < valuesEnd && (state[i] & (kClassMask | kRefused)) == kObjectValue;
        if (i == ownerAt) {
            if (x.tag != GroupWriter::kOwner || fileValue) return false;
        } else if (x.tag == GroupWriter::kOwner || fileValue != (x.tag == GroupWriter::kValue)) {
            return false;
        }
        ++i;
    }
    if (r < read.size() || w != text.size() || i != record.groups) return false;
    if (extras.empty()) return true;
    if (record.written >= file.written.size() || type == "MTEXT") return false;
    // Each such value must be what leaving its code out means. A normal
    // (210, 220, 230) is written whole: it is meant when it points along
    // the z axis.
    int normal = 0;
    double n[3] = {0, 0, 0};
    thread_local std::vector<int> occurrences(1072, 0);
    struct Reset {
        ~Reset()
        {
            for (const Extra& e : extras) occurrences[CodeSlot(e.code)] = 0;
        }
    } reset;
    for (const Extra& e : extras) {
        if (fileCodes.test((size_t)e.code)) return false;
        if (e.code == 210 || e.code == 220 || e.code == 230) {
            const int axis = (e.code - 210) / 10;
            if (normal & (1 << axis)) return false;
            normal |= 1 << axis;
            auto c = std::from_chars(e.value.data(), e.value.data() + e.value.size(), n[axis]);
            if (c.ec != std::errc() || c.ptr != e.value.data() + e.value.size()) return false;
            continue;
        }
        // Codes whose silence means something only with others of the
        // record are told by the comparison (a point's z even without its
        // x and y here).
        if (SilenceToldByTheRecord(type, record.sub >= 0, e.code, true)) return false;
        const int k = occurrences[CodeSlot(e.code)]++;
        switch (DescribedSilence(e.subclass, e.code, e.value)) {
        case Silence::kMeant: break;
        case Silence::kOther: return false;
        case Silence::kUnsaid:
            if (!LeftOutAsAtTheOpen(file, record, e.code, k, e.value)) return false;
            break;
        }
    }
    const double z[3] = {0, 0, 1};
    return normal == 0 || (normal == 7 && SameDirection(n, z));
}

}  // namespace

void DxfOut::open(const std::string& type, const OdDbObject* o, const DxfKept* kept, const OdDbObject* of, int sub,
                  size_t count)
{
    close();
    rec_ = Record();
    rec_.open = true;
    rec_.obj = o;
    rec_.kept = kept ? kept : o ? DxfAccess::kept(o) : nullptr;
    rec_.of = of ? of : o;
    rec_.sub = sub;
    rec_.type = rec_.kept && !rec_.kept->dxfType.empty() ? rec_.kept->dxfType : type;
    const uint64_t handle = o ? (uint64_t)o->handle() : 0;
    w_.setRecord(rec_.type, o ? &handle : nullptr);
    if (rec_.kept) rec_.flushed.assign(rec_.kept->runs.size(), 0);
    rec_.start = w_.bytes().size();
    // A record's groups are noted when it may respell what the file wrote,
    // or when the records' values are being noted.
    rec_.file = fileRecords_ && rec_.of ? fileRecords_->find(rec_.of, sub) : nullptr;
    // A copy of an object read is compared with its source's record, as
    // an edited one: what it still holds as read keeps the file's spelling.
    const uint64_t source = rec_.of ? rec_.of->copiedFrom() : 0;
    if (!rec_.file && fileRecords_ && source && !fileRecords_->find(rec_.of, kObjectRecord)) {
        rec_.file = fileRecords_->find(source, sub);
        rec_.copy = rec_.file != nullptr;
    }
    // A record of a sequence is the file's n-th only while the sequence has
    // as many records as the file gave it.
    if (rec_.file && sub >= 0 &&
        fileRecords_->sequenceLength(rec_.copy ? source : DxfFileRecords::keyOf(rec_.of)) != count)
        rec_.file = nullptr;
    if ((hashed_ && rec_.of) || rec_.file) w_.startNoting();
    w_.setTag(GroupWriter::kFrame);
    w_.ascii(0, rec_.type);
    w_.setTag(GroupWriter::kValue);
}

void DxfOut::close()
{
    if (!rec_.open) return;
    flushRuns(true);
    if (rec_.obj) {
        const OdResBuf* data = DxfAccess::xdata(rec_.obj);
        for (const OdResBuf* rb = data; rb; rb = rb->next())
            if (rb->restype() == 1001) apps_.insert(rb->getString().str());
        w_.setTag(GroupWriter::kExtended);
        xdata(data);
        w_.setTag(GroupWriter::kValue);
    }
    rec_.open = false;
    if (hashed_ && rec_.of) {
        (*hashed_)(rec_.of, rec_.sub, w_.valueCodes(), w_.hashedValues());
    } else if (rec_.file) {
        // Compared with the file's record value by value, whether edited
        // or not: what it still holds as read keeps the file's spelling,
        // and the defaults the file left out stay out.
        const std::string_view text = std::string_view(w_.bytes()).substr(rec_.start);
        thread_local std::vector<std::pair<size_t, size_t>> dropped;
        if (WrittenAsRead(*fileRecords_, *rec_.file, text, w_.noted(), rec_.start, dropped)) {
            // As read, but for what the file left out: it stays out.
            if (!dropped.empty()) w_.cutSpans(dropped);
        } else {
            const std::vector<Respelling> list =
                Respellings(*fileRecords_, *rec_.file, rec_.of, text, w_.noted(), rec_.start);
            if (!list.empty()) applyRespellings(list);
        }
    }
    w_.stopNoting();
}

void DxfOut::applyRespellings(const std::vector<Respelling>& list)
{
    using R = Respelling;
    // Most records of a save come here: what they need is held in room
    // kept from one record to the next.
    thread_local std::vector<GroupWriter::Noted> notedRoom;
    thread_local std::string textRoom;
    thread_local std::vector<int> countsRoom(3 * 1072, 0);
    std::vector<GroupWriter::Noted>& noted = notedRoom;
    std::string& text = textRoom;
    std::vector<int>& counts = countsRoom;
    noted.assign(w_.noted().begin(), w_.noted().end());
    text.assign(w_.bytes(), rec_.start, std::string::npos);
    w_.cut(rec_.start);
    // How many groups of each code (values, the owner, extended data) so
    // far; set to none again for the next record.
    auto slot = [](int tag, int code) {
        return (size_t)(tag == GroupWriter::kOwner ? 1 : tag == GroupWriter::kExtended ? 2 : 0) * 1072 + (size_t)code;
    };
    struct Reset {
        std::vector<int>& counts;
        const std::vector<GroupWriter::Noted>& noted;
        ~Reset()
        {
            for (const auto& n : noted)
                if (n.code >= 0 && n.code < 1072)
                    for (size_t part = 0; part < 3; ++part) counts[part * 1072 + (size_t)n.code] = 0;
        }
    } reset{counts, noted};
    auto occurrence = [&counts, &slot](int tag, int code) {
        return code >= 0 && code < 1072 ? counts[slot(tag, code)]++ : 0;
    };
    // A name the drawing did not have goes back only while it still has
    // none.
    auto stands = [this](const R& r) {
        if (r.names == R::kNoName) return true;
        TextCodec utf8;
        const OdDbObjectId table = r.names == R::kLinetype    ? db_->getLinetypeTableId()
                                   : r.names == R::kTextStyle ? db_->getTextStyleTableId()
                                   : r.names == R::kLayer     ? db_->getLayerTableId()
                                                              : db_->getDimStyleTableId();
        return (namesOf(table).count(Lower(utf8.decode(r.file))) != 0) == r.named;
    };
    // Replacements and drops come sorted by (tag, code, occurrence), the
    // additions after them.
    const auto adds = std::find_if(list.begin(), list.end(), [](const R& r) { return r.kind == R::kAdd; });
    // The subclass being written, and the groups the file had there that
    // the writer left out, added before the value the file gave after them,
    // or else at its end.
    std::vector<std::pair<std::string, int>> markers;
    std::string sub;
    int subOccurrence = 0;
    thread_local std::vector<bool> placed;
    placed.assign((size_t)(list.end() - adds), false);
    auto add = [&](std::vector<R>::const_iterator r) {
        const size_t a = (size_t)(r - adds);
        if (placed[a] || r->subclass != sub || r->subOccurrence != subOccurrence || !stands(*r)) return;
        placed[a] = true;
        w_.put(r->code, r->file);
    };
    auto addMissing = [&] {
        for (auto r = adds; r != list.end(); ++r) add(r);
    };
    // Those the file gave before a value, by that value, in file order.
    using Before = std::tuple<int, int, size_t>;
    thread_local std::vector<Before> befores;
    befores.clear();
    for (auto r = adds; r != list.end(); ++r)
        if (r->beforeCode >= 0) befores.emplace_back(r->beforeCode, r->beforeOccurrence, (size_t)(r - adds));
    std::sort(befores.begin(), befores.end());
    auto addBefore = [&](int code, int k) {
        for (auto b = std::lower_bound(befores.begin(), befores.end(), Before(code, k, 0));
             b != befores.end() && std::get<0>(*b) == code && std::get<1>(*b) == k; ++b)
            add(adds + (long)std::get<2>(*b));
    };
    // Added where the subclass's values end: before the groups it keeps
    // and the next marker.
    bool added = false;
    for (const auto& n : noted) {
        // The file's own value goes back in its place instead, or it had
        // none there.
        if (n.tag == GroupWriter::kDefault && std::any_of(list.begin(), adds, [&n](const R& r) {
                return r.tag == GroupWriter::kDefault && r.code == n.code;
            }))
            continue;
        std::string_view value(text.data() + (n.at - rec_.start), n.length);
        const bool frameMarker = n.code == 100 && n.tag == GroupWriter::kFrame;
        if (!added && (frameMarker || n.tag == GroupWriter::kKeptGroup || n.tag == GroupWriter::kExtended)) {
            addMissing();
            added = true;
        }
        if (frameMarker) {
            sub = std::string(value);
            subOccurrence = 0;
            for (auto& m : markers)
                if (m.first == sub) subOccurrence = ++m.second;
            if (subOccurrence == 0) markers.emplace_back(sub, 0);
            added = false;
        }
        if (n.tag == GroupWriter::kValue || n.tag == GroupWriter::kOwner || n.tag == GroupWriter::kExtended) {
            const int k = occurrence(n.tag, n.code);
            if (n.tag == GroupWriter::kValue && !added && !befores.empty()) addBefore(n.code, k);
            const auto key = std::make_tuple((uint8_t)n.tag, n.code, k);
            auto found = std::lower_bound(list.begin(), adds, key, [](const R& r, const auto& want) {
                return std::make_tuple(r.tag, r.code, r.occurrence) < want;
            });
            if (found != adds && std::make_tuple(found->tag, found->code, found->occurrence) == key &&
                found->written == value && stands(*found)) {
                if (found->kind == R::kDrop) continue;
                value = found->file;
            }
        }
        w_.put(n.code, value);
    }
    if (!added) addMissing();
}

// The kept runs that belong where the writer now is: those of the current
// subclass, then whole subclasses that followed it; with `all`, every run
// not written yet.
void DxfOut::flushRuns(bool all)
{
    if (!rec_.kept) return;
    const auto& runs = rec_.kept->runs;
    auto here = [&](const KeptRun& r) { return r.subclass == rec_.subclass && r.occurrence == rec_.occurrence; };
    for (int pass = 0; pass < 3; ++pass)
        for (size_t i = 0; i < runs.size(); ++i) {
            if (rec_.flushed[i]) continue;
            bool take = pass == 0 ? !runs[i].whole && here(runs[i]) : pass == 1 ? runs[i].whole && here(runs[i]) : all;
            if (!take) continue;
            rec_.flushed[i] = 1;
            // A kept value of a code the writer left out as the default
            // (the second of two thicknesses) would be read as the value:
            // the default goes first, as the object holds it. A record put
            // back as read puts the file's own value there instead.
            if (pass == 0)
                for (const KeptGroup& g : runs[i].groups) {
                    // Only a code the record's subclass holds values of can
                    // be read as one.
                    if (g.code < 0 || g.code >= 1072 || rec_.here.test((size_t)g.code)) continue;
                    if (!OwnedCodes(rec_.type, rec_.subclass).test((size_t)g.code)) continue;
                    const char* value = DefaultWrittenAs(rec_.subclass, g.code);
                    if (!value) continue;
                    rec_.here.set((size_t)g.code);
                    w_.setTag(GroupWriter::kDefault);
                    double xyz[3];
                    if (dxf::IsPointCode(g.code) && DefaultPoint(value, xyz))
                        w_.point(g.code, OdGePoint3d(xyz[0], xyz[1], xyz[2]));
                    else if (*value) w_.put(g.code, value);
                    w_.setTag(GroupWriter::kValue);
                }
            for (const KeptGroup& g : runs[i].groups) keptGroup(g);
        }
}

namespace {

// The subclass, after the entity's, that holds every value of a kind the
// database does not model, and that of each object it keeps whole.
const char* OwnMarkerOfKeptKind(std::string_view type, bool entity)
{
    static const std::pair<std::string_view, const char*> kEntities[] = {
        {"RAY", "AcDbRay"},           {"XLINE", "AcDbXline"},         {"LEADER", "AcDbLeader"},
        {"MESH", "AcDbSubDMesh"},     {"MPOLYGON", "AcDbMPolygon"},   {"MULTILEADER", "AcDbMLeader"},
        {"TOLERANCE", "AcDbFcf"},     {"WIPEOUT", "AcDbWipeout"},     {"VIEWPORT", "AcDbViewport"},
        {"OLE2FRAME", "AcDbOle2Frame"}, {"LIGHT", "AcDbLight"},       {"SECTION", "AcDbSection"},
        {"3DFACE", "AcDbFace"},       {"TRACE", "AcDbTrace"},         {"SHAPE", "AcDbShape"},
        {"REGION", "AcDbModelerGeometry"}, {"BODY", "AcDbModelerGeometry"},
        {"PDFUNDERLAY", "AcDbUnderlayReference"}, {"DWFUNDERLAY", "AcDbUnderlayReference"},
        {"DGNUNDERLAY", "AcDbUnderlayReference"},
    };
    static const std::pair<std::string_view, const char*> kObjects[] = {
        {"MLINESTYLE", "AcDbMlineStyle"},       {"GROUP", "AcDbGroup"},
        {"SCALE", "AcDbScale"},                 {"MLEADERSTYLE", "AcDbMLeaderStyle"},
        {"DICTIONARYVAR", "DictionaryVariables"}, {"RASTERVARIABLES", "AcDbRasterVariables"},
        {"WIPEOUTVARIABLES", "AcDbWipeoutVariables"}, {"IMAGEDEF_REACTOR", "AcDbRasterImageDefReactor"},
        {"SUN", "AcDbSun"},                     {"VISUALSTYLE", "AcDbVisualStyle"},
        {"MATERIAL", "AcDbMaterial"},           {"TABLESTYLE", "AcDbTableStyle"},
        {"GEODATA", "AcDbGeoData"},
    };
    auto find = [type](const auto& list) -> const char* {
        for (const auto& [t, marker] : list)
            if (t == type) return marker;
        return nullptr;
    };
    return entity ? find(kEntities) : find(kObjects);
}

}  // namespace

// The save is read by marker: a record kept whole of a kind the database
// does not model (or an object it keeps whole) that the file gave with no
// marker of its kind's, none at all or only the entity's, gets its kind's
// marker, so that its values are read in their subclass. The entity's
// values come first: a code of the entity's is its own until the first
// code that is not opens the kind's subclass. A record with a marker of
// its own goes back as written; so does one of a kind the database models
// (kept whole as its values could not be told): with its marker the next
// open would read it into its object, which is written otherwise.
void DxfOut::markKeptWhole(bool entity)
{
    const DxfKept* kept = rec_.kept;
    const std::vector<KeptRun> none;
    const std::vector<KeptRun>& runs = kept ? kept->runs : none;
    for (const KeptRun& r : runs) {
        if (r.whole) return;
        for (const KeptGroup& g : r.groups)
            if (g.code == 100) return;
    }
    const char* own = OwnMarkerOfKeptKind(rec_.type, entity);
    if (!own) return;
    marked_.dxfType = kept ? kept->dxfType : std::string();
    marked_.runs = runs;
    const std::string home = entity ? EntityCodes::kMarker : "";
    auto run = std::find_if(marked_.runs.begin(), marked_.runs.end(),
                            [&](const KeptRun& r) { return r.subclass == home && r.occurrence == 0; });
    if (run == marked_.runs.end()) run = marked_.runs.insert(marked_.runs.end(), KeptRun{home, 0, false, {}});
    KeptGroup marker = KeptMarker(own);
    // Before the first value not the entity's, outside another
    // application's group ("102 {NAME" ... "102 }"); last if there is none.
    bool appGroup = false;
    auto at = std::find_if(run->groups.begin(), run->groups.end(), [&](const KeptGroup& g) {
        if (g.code == 102) {
            appGroup = !g.spelled.empty() && g.spelled[0] == '{';
            return false;
        }
        return !appGroup && g.code < 1000 && !(entity && IsEntityCode(g.code));
    });
    run->groups.insert(at, std::move(marker));
    rec_.kept = &marked_;
    rec_.flushed.assign(marked_.runs.size(), 0);
}

void DxfOut::keptGroup(const KeptGroup& g)
{
    w_.setTag(GroupWriter::kKeptGroup);
    w_.kept(g, (Kind)g.kind == Kind::kHandle ? keptHandle(g) : 0);
    w_.setTag(GroupWriter::kValue);
}

// A kept handle names the object it named when read; one that named no
// object goes back as written (no object is given such a handle).
uint64_t DxfOut::keptHandle(const KeptGroup& g) const
{
    if (g.id.isNull() && g.integer != 0 && !DxfAccess::hasHandle(db_, (uint64_t)g.integer)) return (uint64_t)g.integer;
    return handleOf(g.id);
}

bool DxfOut::keptHas(int code) const
{
    if (!rec_.kept) return false;
    // Any part of a point the file gave is its own point, if half of one.
    const bool point = dxf::IsPointCode(code);
    for (const KeptRun& r : rec_.kept->runs)
        if (!r.whole && r.subclass == rec_.subclass && r.occurrence == rec_.occurrence)
            for (const KeptGroup& g : r.groups)
                if (g.code == code || (point && (g.code == code + 10 || g.code == code + 20))) return true;
    return false;
}

void DxfOut::marker(const char* subclass)
{
    flushRuns(false);
    rec_.subclass = subclass;
    int* count = nullptr;
    for (auto& s : rec_.seen)
        if (std::strcmp(s.first, subclass) == 0) count = &s.second;
    if (!count) {
        rec_.seen.emplace_back(subclass, 0);
        count = &rec_.seen.back().second;
    }
    rec_.occurrence = (*count)++;
    rec_.owned = &OwnedCodes(rec_.type, rec_.subclass);
    rec_.here.reset();
    w_.setTag(GroupWriter::kFrame);
    w_.ascii(100, subclass);
    w_.setTag(GroupWriter::kValue);
}

void DxfOut::check(int code)
{
    if (code >= 0 && code < 1072) {
        rec_.here.set((size_t)code);
        if (gNoteCodeUse) NotedCodeUse().written[rec_.type + "/" + rec_.subclass].set((size_t)code);
    }
    if (!rec_.owned) rec_.owned = &OwnedCodes(rec_.type, rec_.subclass);
    if (rec_.owned->test((size_t)std::clamp(code, 0, 1071))) return;
    SchemaViolations().push_back(rec_.type + "/" + rec_.subclass + ": " + std::to_string(code));
}

void DxfOut::xdata(const OdResBuf* rb)
{
    for (; rb; rb = rb->next()) {
        int code = rb->restype();
        if (DxfAccess::asWritten(rb)) {
            w_.text(code, rb->getString().str());
            continue;
        }
        switch (code) {
        case 1001: case 1000: case 1002: case 1003: case 1004: case 1006: case 1007: case 1008: case 1009:
            w_.text(code, rb->getString().str());
            break;
        case 1005: {
            // A handle that named no object when read goes back as written.
            uint64_t h = handleOf(rb->getObjectId());
            const std::wstring asRead = rb->getString().str();
            uint64_t raw = 0;
            bool hex = !asRead.empty() && asRead.size() <= 15;
            for (wchar_t c : asRead) {
                const int d = c >= L'0' && c <= L'9' ? c - L'0' : c >= L'A' && c <= L'F' ? c - L'A' + 10
                              : c >= L'a' && c <= L'f' ? c - L'a' + 10 : -1;
                hex = hex && d >= 0;
                raw = raw << 4 | (uint64_t)std::max(d, 0);
            }
            if (rb->getObjectId().isNull() && hex && raw && !DxfAccess::hasHandle(db_, raw)) h = raw;
            w_.handle(code, h);
            break;
        }
        case 1010: case 1011: case 1012: case 1013: w_.point(code, rb->getPoint3d()); break;
        case 1040: case 1041: case 1042: w_.real(code, rb->getDouble()); break;
        case 1070:
        case 1071: w_.integer(code, FileInteger(rb)); break;
        default: break;
        }
    }
}

}  // namespace dxf
}  // namespace standin
