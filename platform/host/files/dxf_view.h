// Drawing files (stand-in internals): how the reader sees a record. One
// split decides, for every group of a record, whether it is a value of the
// object, kept as read, or the record's frame (handle, owner, own
// markers): `Walk`, run over the subclasses the writer writes the object
// with. A `View` shows the reader only the values and marks what it takes,
// so that no group is both read and kept (dxf_read_kept.cpp keeps the
// rest).
#pragma once

#include <algorithm>
#include <cstdint>
#include <cwctype>
#include <string>
#include <string_view>
#include <map>
#include <set>
#include <unordered_map>
#include <utility>
#include <vector>

#include "dxf_internal.h"
#include "dxf_kinds.h"
#include "dxf_record_codes.h"
#include "dxf_schema.h"

namespace standin {
namespace dxf {

struct Rec {
    std::string_view type;
    // The groups after the record's 0 group: a file holds far fewer than
    // 2^32, and a large one a million records.
    uint32_t b = 0, e = 0;
};


inline std::string_view TrimView(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

// What the reader makes of each group of the file (Loader::state_): a group
// is a value of the object, kept as read, or the record's frame; never two
// of them.
enum GroupState : uint8_t {
    kObjectValue = 0,  // a value of the object, in a code the writer writes
    kKept = 1,         // goes back as it was read (dxf_kept.h)
    kFrame = 2,        // the record's handle and owner, the markers the
                       // writer writes, the object's own application groups
    kClassMask = 3,
    kTaken = 4,        // a value the object took
    kRefused = 8,      // a value the object cannot hold or found no place
                       // for: kept instead
    // Where the group is, for comparing a record at a save without
    // walking it again (Respellings).
    kWhole = 16,       // in a subclass kept whole
    kOtherApp = 32,    // in another application's group
    kCorrected = 64,   // a value the object took but holds otherwise (one
                       // its setter refused or bounded), found at the open
    kInPlace = 128,    // refused, goes back where it stands rather than
                       // where the writer writes its code (a dictionary's
                       // key or entry without its other half: gathered
                       // with others there, halves would meet)
};

// The kinds of markerless records (the oldest form) kept whole, with the
// marker their values go under in the form the writer writes.
inline const char* MarkerOfKeptKind(std::string_view type)
{
    if (type == "TRACE") return "AcDbTrace";
    if (type == "3DFACE") return "AcDbFace";
    if (type == "SHAPE") return "AcDbShape";
    if (type == "VIEWPORT") return "AcDbViewport";
    return nullptr;
}

// A record's first flags (group 70) before its extended data, as the file
// has them, for telling what the record is before it is read.
inline int64_t PeekFlags(const std::vector<Group>& g, size_t b, size_t e)
{
    for (size_t i = b; i < e && g[i].code != 1001; ++i)
        if (g[i].code == 70 && g[i].kind == Kind::kInt) return g[i].integer;
    return 0;
}

// The flags that tell which of the kinds of its type a record is
// (EntityKind::form): an INSERT's 1 when it is in rows and columns (its
// marker says so or, in the oldest form, counts of more than one), other
// records' first flags under a kind's marker, where the record is split
// as that kind and readers by marker take them, else their first flags.
// Flags kept before that marker (a second value, given in the entity's
// subclass, that a save writes there) tell nothing.
inline int KindFlags(const std::vector<Group>& g, size_t b, size_t e, std::string_view type)
{
    if (type != "INSERT") {
        bool underKind = false;
        for (size_t i = b; i < e && g[i].code != 1001; ++i) {
            if (g[i].code == 100) underKind = MarkerOfAKind(type, TrimView(g[i].text));
            else if (underKind && g[i].code == 70 && g[i].kind == Kind::kInt) return (int)g[i].integer;
        }
        return (int)PeekFlags(g, b, e);
    }
    for (size_t i = b; i < e && g[i].code != 1001; ++i)
        if ((g[i].code == 100 && TrimView(g[i].text) == "AcDbMInsertBlock") ||
            ((g[i].code == 70 || g[i].code == 71) && g[i].kind == Kind::kInt && g[i].integer > 1))
            return 1;
    return 0;
}

// The marker the values of a markerless record kept whole go back under,
// after the entity's own: the kind's (TRACE's "AcDbTrace"), or that of the
// object it would have been read into (an ELLIPSE's "AcDbEllipse"), so that
// read back they are where they were read and the record is kept whole
// again.
inline const char* MarkerOfKeptWhole(std::string_view type, int64_t flags)
{
    if (const char* marker = MarkerOfKeptKind(type)) return marker;
    const std::vector<const char*> would = SubclassesOfRecord(type, (int)flags, true);
    return would.size() > 1 ? would[1] : nullptr;
}

// A code's place in a CodeSet (codes past its end share the last).
inline size_t CodeSlot(int code) { return (size_t)std::clamp(code, 0, 1071); }
// Whether the set holds the code; no code a file does not define.
inline bool Holds(const CodeSet& s, int code) { return code >= 0 && code < 1072 && s[(size_t)code]; }

class View;
template <class F>
void Walk(const View& v, F f);

// One record's groups, with its application groups ("{ACAD_XDICTIONARY",
// "{ACAD_REACTORS") and extended data set apart from its own values. The
// record is split as the writer writes the object it is read into (the
// subclasses `written`): the reader sees only the values of those
// subclasses in the codes the writer writes there, and what it takes of
// them is marked, so that all the rest is kept.
class View {
public:
    // `silent`: the groups of values no save writes (a
    // flag saying attributes follow a reference that has none).
    View(const std::vector<Group>& g, const Rec& r, const TextCodec& codec, uint8_t* state,
         std::vector<const char*> written, bool dataRecord = false, const std::set<size_t>* silent = nullptr)
        : g_(g), rec_(&r), b_(r.b), e_(r.e), recordEnd_(r.e), codec_(codec), state_(state), type_(r.type),
          written_(std::move(written)), dataRecord_(dataRecord), silent_(silent)
    {
        bool seenSubclass = false;
        // Whether the record is still in its head: its handle, its owner
        // and application groups, before any marker or value (a table's
        // name comes first).
        bool head = true;
        const bool table = type_ == "TABLE";
        std::set<uint64_t> named;  // the reactors taken (a tree: the keys are the file's)
        for (size_t i = b_; i < e_; ++i) {
            const Group& x = g_[i];
            if (x.code == 100) seenSubclass = true;
            const bool inHead = head;
            if (!(x.code == 5 || x.code == 105 || x.code == 330 || (x.code == 2 && table) ||
                  (x.code == 102 && !x.text.empty() && x.text[0] == '{')))
                head = false;
            // A record of data (an Xrecord's) has its head, then data:
            // whatever follows its marker, or the first group that is no
            // part of a head, is data, application groups included. The
            // head holds the handle, the owner and application groups.
            if (dataRecord && (seenSubclass || !(x.code == 5 || x.code == 105 || x.code == 330 ||
                                                 (x.code == 102 && !x.text.empty() && x.text[0] == '{'))))
                break;
            if (x.code == 1001 && !dataRecord) {
                e_ = i;
                break;
            }
            if (x.code == 102 && !x.text.empty() && x.text[0] == '{') {
                const std::string_view name = TrimView(x.text.substr(1));
                const bool own = name == "ACAD_XDICTIONARY" || name == "ACAD_REACTORS";
                const int handles = name == "ACAD_XDICTIONARY" ? 360 : 330;
                // A group left open ends where the record goes on: at a
                // marker or another group, or, of the object's own, at a
                // value that is none of its handles.
                size_t j = i + 1;
                bool closed = false, unreadable = false;
                for (; j < e_; ++j) {
                    const Group& y = g_[j];
                    if (y.code == 102 && TrimView(y.text) == "}") {
                        closed = true;
                        break;
                    }
                    if (y.code == 100 || (y.code == 102 && !y.text.empty() && y.text[0] == '{') ||
                        (own && y.code != handles))
                        break;
                    unreadable = unreadable || y.unreadable;
                }
                const size_t end = closed ? j + 1 : j;
                // The object keeps its dictionary and reactors itself;
                // other applications' groups stay with the record, whole,
                // and so does one of its own that names something by
                // other than a handle, or is left open (where it ended is
                // a guess, which only its groups kept as written keep), or
                // holds nothing (a group left open and a stray end, saved
                // side by side, read so), or holds what the object does
                // not (a second dictionary, in it or in a group of its
                // own, a null handle), or is out of the head, where the
                // writer writes it (one kept as written and a stray end
                // after a value, saved, come back side by side there),
                // or after the owner (the writer writes the object's
                // before it: one there is one it kept).
                bool modelled = own && inHead && ownerAt_ == SIZE_MAX && !unreadable && closed && j > i + 1;
                if (modelled && name == "ACAD_XDICTIONARY") modelled = j == i + 2 && g_[i + 1].handle && !xdict_;
                for (size_t k = i + 1; modelled && k < j && name == "ACAD_REACTORS"; ++k) modelled = g_[k].handle != 0;
                // The object holds each reactor once: a group naming one
                // an earlier group named holds what it does not (one group
                // naming one again and again names it once).
                for (size_t k = i + 1; modelled && k < j && name == "ACAD_REACTORS" && !named.empty(); ++k)
                    modelled = named.count(g_[k].handle) == 0;
                for (size_t k = i + 1; modelled && k < j && name == "ACAD_REACTORS"; ++k) named.insert(g_[k].handle);
                for (size_t k = i + 1; modelled && k < j; ++k) {
                    const Group& y = g_[k];
                    if (name == "ACAD_XDICTIONARY") xdict_ = y.handle, xdictAt_ = k;
                    if (name == "ACAD_REACTORS") reactors_.push_back(y.handle);
                }
                (modelled ? skip_ : apps_).push_back({i, end});
                i = end - 1;
                continue;
            }
            // The record's handle and owner are its frame even when they
            // are no handles: the record gets one of its own, and its
            // place in the file says its owner (Loader::place).
            if (!seenSubclass && (x.code == 5 || x.code == 105) && (x.kind == Kind::kHandle || x.unreadable) &&
                handleAt_ == SIZE_MAX) {
                handle_ = x.unreadable ? 0 : x.handle;
                handleAt_ = i;
            }
            if (!seenSubclass && x.code == 330 && ownerAt_ == SIZE_MAX) {
                owner_ = x.unreadable ? 0 : x.handle;
                ownerAt_ = i;
            }
        }
        for (size_t i = b_; i < e_; ++i)
            if (g_[i].code >= 0 && g_[i].code < 1072) codes_.set((size_t)g_[i].code);
        Walk(*this, [this](size_t i, uint8_t cls, const std::string&, int, bool whole, bool) {
            const bool other = g_[i].code == 102 || otherAppGroup(i);
            state_[i] = (uint8_t)((state_[i] & ~(kClassMask | kWhole | kOtherApp)) | cls | (whole ? kWhole : 0) |
                                  (other ? kOtherApp : 0));
        });
    }

    uint64_t handle() const { return handle_; }
    uint64_t owner() const { return owner_; }
    uint64_t xdict() const { return xdict_; }
    size_t xdictAt() const { return xdictAt_; }
    const std::vector<uint64_t>& reactors() const { return reactors_; }
    size_t begin() const { return b_; }
    size_t end() const { return e_; }
    const Group& at(size_t i) const { return g_[i]; }
    const std::vector<Group>& groups() const { return g_; }
    size_t indexOf(const Group* x) const { return (size_t)(x - g_.data()); }
    // Only the object's own dictionary and reactors.
    bool modelledAppGroup(size_t i) const { return Within(skip_, i); }
    // Within another application's group.
    bool otherAppGroup(size_t i) const { return Within(apps_, i); }
    std::string_view type() const { return type_; }
    const Rec& rec() const { return *rec_; }
    const std::vector<const char*>& written() const { return written_; }
    bool dataRecord() const { return dataRecord_; }
    size_t recordEnd() const { return recordEnd_; }
    size_t handleAt() const { return handleAt_; }
    size_t ownerAt() const { return ownerAt_; }

    // Whether the group is a value the object may take. One its code
    // cannot hold is none: where the writer writes a value of its code, the
    // file's goes back in its place while the object is as read
    // (Respellings); elsewhere it is kept where it was.
    bool readable(size_t i) const { return (state_[i] & kClassMask) == kObjectValue && !g_[i].unreadable; }
    // A value of the object its code cannot hold: it stands in its place
    // for what leaving the code out means.
    bool unreadableValue(size_t i) const { return (state_[i] & kClassMask) == kObjectValue && g_[i].unreadable; }
    bool taken(size_t i) const { return (state_[i] & kTaken) != 0; }
    bool inPlace(size_t i) const { return (state_[i] & kInPlace) != 0; }
    // Kept as read: no value of the object, nor of the frame, or one
    // refused.
    bool kept(size_t i) const { return (state_[i] & kClassMask) == kKept || (state_[i] & kRefused) != 0; }
    // The object takes the value (or, refused, it is kept).
    const Group& take(size_t i) const
    {
        state_[i] = (uint8_t)((state_[i] | kTaken) & ~kRefused);
        if (gNoteCodeUse) noteTaken(i);
        return g_[i];
    }
    void refuse(const Group* x) const
    {
        if (x) state_[indexOf(x)] |= kRefused;
    }

    // The n-th value of the code, within the subclasses of that name when
    // the record has such a marker; taken.
    const Group* find(int code, const char* subclass = nullptr, int nth = 0, size_t from = 0, size_t to = SIZE_MAX) const
    {
        if (gNoteCodeUse) noteAsked(code, subclass);
        // A code the record has no group of: nothing to find or refuse.
        if (code >= 0 && code < 1072 && !codes_.test((size_t)code)) return nullptr;
        bool useSub = subclass && hasSubclass(subclass);
        bool inSub = !useSub;
        for (size_t i = std::max(b_, from); i < std::min(e_, to); ++i) {
            const Group& x = g_[i];
            const uint8_t cls = state_[i] & kClassMask;
            if (cls == kFrame && x.code == 100) {
                inSub = !useSub || TrimView(x.text) == subclass;
                continue;
            }
            if (cls != kObjectValue || x.unreadable) continue;
            if (x.code == code && (!useSub || within(i, inSub, subclass)) && nth-- == 0) return &take(i);
        }
        refuseOthers(code);
        return nullptr;
    }
    // A value of the code that a look found no place for is kept as read
    // (unless another look takes it), so that it is not put in the place
    // the writer writes the code in.
    void refuseOthers(int code) const
    {
        for (size_t i = b_; i < e_; ++i)
            if (g_[i].code == code && readable(i) && !taken(i)) state_[i] |= kRefused;
    }
    // The first value of the code in the n-th subclass of that name, taken;
    // as `find` when the record has fewer such subclasses.
    const Group* findIn(int code, const char* subclass, int occurrence) const
    {
        int seen = -1;
        bool inSub = false;
        for (size_t i = b_; i < e_; ++i) {
            const Group& x = g_[i];
            const uint8_t cls = state_[i] & kClassMask;
            if (cls == kFrame && x.code == 100) {
                inSub = TrimView(x.text) == subclass && ++seen == occurrence;
                continue;
            }
            if (cls == kObjectValue && !x.unreadable && x.code == code && within(i, inSub, subclass, occurrence))
                return &take(i);
        }
        if (seen < occurrence) return find(code, subclass);
        refuseOthers(code);
        return nullptr;
    }
    bool hasSubclass(const char* name) const
    {
        for (size_t i = b_; i < e_; ++i)
            if (g_[i].code == 100 && TrimView(g_[i].text) == name) return true;
        return false;
    }
    // The index of the first group of a subclass's values (the whole record
    // when it has no such marker).
    size_t subclassStart(const char* name) const
    {
        for (size_t i = b_; i < e_; ++i)
            if (g_[i].code == 100 && TrimView(g_[i].text) == name) return i + 1;
        return b_;
    }
    double real(int code, double def, const char* sub = nullptr) const
    {
        const Group* x = find(code, sub);
        return x && x->kind == Kind::kReal ? x->real : def;
    }
    int64_t integer(int code, int64_t def, const char* sub = nullptr) const
    {
        const Group* x = find(code, sub);
        return x && x->kind == Kind::kInt ? x->integer : def;
    }
    uint64_t ref(int code, const char* sub = nullptr) const
    {
        const Group* x = find(code, sub);
        return x && x->kind == Kind::kHandle ? x->handle : 0;
    }
    bool has(int code, const char* sub = nullptr) const { return find(code, sub) != nullptr; }
    std::wstring text(int code, const char* sub = nullptr) const
    {
        const Group* x = find(code, sub);
        return x ? codec_.decode(x->text) : std::wstring();
    }
    std::wstring decode(const Group& x) const { return codec_.decode(x.text); }
    OdGePoint3d point(int code, const char* sub = nullptr, OdGePoint3d def = OdGePoint3d()) const
    {
        return OdGePoint3d(real(code, def.x, sub), real(code + 10, def.y, sub), real(code + 20, def.z, sub));
    }
    OdGeVector3d vector(int code, const char* sub, OdGeVector3d def) const
    {
        OdGePoint3d p = point(code, sub, OdGePoint3d(def.x, def.y, def.z));
        return OdGeVector3d(p.x, p.y, p.z);
    }
    // A point's coordinates after its x value at k (taken, k moved past
    // them): y and z when they follow.
    OdGePoint3d pointAt(size_t& k) const
    {
        const int code = g_[k].code;
        OdGePoint3d p(take(k).real, 0, 0);
        if (k + 1 < e_ && g_[k + 1].code == code + 10 && readable(k + 1)) p.y = take(++k).real;
        if (k + 1 < e_ && g_[k + 1].code == code + 20 && readable(k + 1)) p.z = take(++k).real;
        return p;
    }
    // For the tests: a code looked for group by group (Cursor), noted as
    // `find` notes one.
    void lookedFor(int code) const
    {
        if (gNoteCodeUse) noteAsked(code, nullptr);
    }

    // A group the record's markers place where it is no value, that is one
    // by its code (findStrays, below), with the subclass the writer writes
    // it in; null for any other.
    struct Adopted {
        size_t at;
        std::string sub;
        int occurrence;
    };
    const Adopted* adopted(size_t i) const
    {
        if (!straysFound_) findStrays();
        auto it = std::lower_bound(adopted_.begin(), adopted_.end(), i,
                                   [](const Adopted& a, size_t at) { return a.at < at; });
        return it != adopted_.end() && it->at == i ? &*it : nullptr;
    }
    // A group kept where it is that goes back in the subclass of a value
    // adopted before it (findStrays); null for any other, and for all
    // before the record's first stray.
    const Adopted* follows(size_t i) const
    {
        if (!straysFound_ || follows_.empty()) return nullptr;
        auto it = std::lower_bound(follows_.begin(), follows_.end(), i,
                                   [](const Adopted& a, size_t at) { return a.at < at; });
        return it != follows_.end() && it->at == i ? &*it : nullptr;
    }
    // Whether the record's values cannot be told apart where it gives them
    // (findStrays): it is kept as written rather than read as defaults.
    bool untold() const { return untold_; }

private:
    // Whether the group is in the subclass of that name (`in`, where its
    // marker places it) and its occurrence (any, when negative): a group
    // a subclass adopted is in that one.
    bool within(size_t i, bool in, const char* subclass, int occurrence = -1) const
    {
        if (adopted_.empty()) return in;
        const Adopted* a = adopted(i);
        return a ? a->sub == subclass && (occurrence < 0 || a->occurrence == occurrence) : in;
    }
    void findStrays() const;

    // For the tests (gNoteCodeUse): the code of a value taken, under its
    // record's type and subclass (records without markers are not noted).
    void noteTaken(size_t i) const
    {
        if (const Adopted* a = adopted_.empty() ? nullptr : adopted(i)) {
            NotedCodeUse().read[std::string(type_) + "/" + a->sub].set(CodeSlot(g_[i].code));
            return;
        }
        for (size_t j = i; j-- > b_;)
            if (g_[j].code == 100) {
                const int code = g_[i].code;
                NotedCodeUse().read[std::string(type_) + "/" + std::string(TrimView(g_[j].text))].set(CodeSlot(code));
                return;
            }
    }
    // A code asked for that none of the subclasses it may be in lists.
    void noteAsked(int code, const char* subclass) const
    {
        if (subclass && hasSubclass(subclass)) {
            if (!OwnedCodes(type_, subclass).test(CodeSlot(code)))
                NotedCodeUse().askedOutside.push_back(std::string(type_) + "/" + subclass + ": " + std::to_string(code));
            return;
        }
        if (OwnedCodes(type_, "").test(CodeSlot(code))) return;
        for (const char* w : written_)
            if (OwnedCodes(type_, w).test(CodeSlot(code))) return;
        NotedCodeUse().askedOutside.push_back(std::string(type_) + ": " + std::to_string(code));
    }

    // Whether a group lies in one of the spans, which are in file order and
    // do not overlap: a record may hold any number of them.
    static bool Within(const std::vector<std::pair<size_t, size_t>>& spans, size_t i)
    {
        auto it = std::upper_bound(spans.begin(), spans.end(), i,
                                   [](size_t x, const std::pair<size_t, size_t>& s) { return x < s.first; });
        return it != spans.begin() && i < std::prev(it)->second;
    }

    const std::vector<Group>& g_;
    const Rec* rec_;
    size_t b_, e_, recordEnd_;
    const TextCodec& codec_;
    uint8_t* state_;  // a state for each of g_
    uint64_t handle_ = 0, owner_ = 0, xdict_ = 0;
    size_t handleAt_ = SIZE_MAX, ownerAt_ = SIZE_MAX, xdictAt_ = SIZE_MAX;
    std::string_view type_;
    CodeSet codes_;  // of the record's groups
    std::vector<const char*> written_;
    bool dataRecord_;
    const std::set<size_t>* silent_;
    std::vector<uint64_t> reactors_;
    // The object's own application groups, and other applications'.
    std::vector<std::pair<size_t, size_t>> skip_, apps_;
    // Found at the first group the markers place where it is no value.
    mutable bool straysFound_ = false, untold_ = false;
    mutable std::vector<Adopted> adopted_, follows_;
};

// How Walk places the groups of a record, one after another, as the writer
// writes the object: the subclasses it writes hold the object's values in
// the codes it writes there (by marker and which occurrence of it);
// everything else of the record is kept, in the subclass it was read in,
// or whole after the subclass before it for a subclass the writer does not
// write and an embedded object (from its 101 group on). Records without
// markers (the oldest form) have their values wherever they are.
class Split {
public:
    explicit Split(const View& v);
    struct Step {
        uint8_t cls;
        const std::string* sub;  // the subclass it goes back in
        int occurrence;
        bool whole, starts;      // kept whole; starts a subclass kept whole
        // Kept where it is, yet of a code a subclass the object is written
        // in holds: where the kind's values may be (ValuePlaces), a value.
        bool stray;
    };
    // Every group of a record, in order; a group of the subclass the walk
    // is in takes no more than a look at its code.
    [[gnu::always_inline]] Step step(size_t i)
    {
        const Group& x = g_[i];
        if (v_.modelledAppGroup(i) || i == v_.handleAt() || i == v_.ownerAt())
            return {kFrame, &sub_, occurrence_, false, false, false};
        // An Xrecord's data: everything after its marker, up to an
        // embedded object.
        if (data_ && x.code != 101) return {kObjectValue, &sub_, occurrence_, false, false, false};
        if (x.code == 101 || (markers_ && x.code == 100)) return marker(x);
        const bool appGroup = x.code == 102 || v_.otherAppGroup(i);  // another application's group
        if (whole_)
            return {kKept, &anchor_, anchorOccurrence_, true, false, !appGroup && !embedded_ && written(x.code)};
        if (!markers_) return markerless(x, appGroup);
        if (!appGroup && Holds(*owned_, x.code)) return {kObjectValue, &sub_, occurrence_, false, false, false};
        if (!appGroup && !embedded_ && ofEntity(x.code) && !sub_.empty())
            return {kKept, &entity_, 0, false, false, false};
        return {kKept, &sub_, occurrence_, false, false, !appGroup && !embedded_ && written(x.code)};
    }
    // The markers up to the group stepped last (0 in the record's head),
    // and the first of them.
    int markers() const { return markersSeen_; }
    std::string_view firstMarker() const { return first_; }
    // Whether the walk came to the writer's n-th subclass, in its place.
    bool entered(size_t n) const { return n < 32 && (entered_ >> n & 1u); }

private:
    Step marker(const Group& x);
    Step markerless(const Group& x, bool appGroup);
    // Whether the code is one of the entity's own (its linetype, colour
    // ...) that the object, written with the entity's subclass first, does
    // not hold (a vertex holds its layer alone): kept, it goes back in the
    // entity's subclass, where readers by marker take it, wherever it was.
    bool ofEntity(int code) const
    {
        return entityFirst_ &&
               std::find(std::begin(EntityCodes::kAll), std::end(EntityCodes::kAll), code) != std::end(EntityCodes::kAll) &&
               !Holds(OwnedCodes(type_, EntityCodes::kMarker), code);
    }
    // The first subclass the object is written in that holds the code;
    // null for none.
    const char* holder(int code) const
    {
        for (const char* w : written_)
            if (Holds(OwnedCodes(type_, w), code)) return w;
        return nullptr;
    }
    bool written(int code) const { return holder(code) != nullptr; }

    const View& v_;
    const std::vector<Group>& g_;
    const std::vector<const char*>& written_;
    std::string_view type_;
    bool markers_ = false, kindMarker_ = false, whole_ = false, data_ = false, embedded_ = false, entityFirst_ = false;
    // Markers so far, by name: a record has a few, so a list is searched
    // (its names are the file's text or the writer's literals, which
    // outlive the walk).
    std::vector<std::pair<std::string_view, int>> seen_;
    CodeSet any_;
    std::string sub_, anchor_, entity_ = EntityCodes::kMarker;
    int occurrence_ = 0, anchorOccurrence_ = 0, lastIndex_ = -1, markersSeen_ = 0;
    uint32_t entered_ = 0;
    std::string_view first_;
    const CodeSet* owned_;
};

inline Split::Split(const View& v) : v_(v), g_(v.groups()), written_(v.written())
{
    // A table's head names its table before any marker; a record of that
    // type kept whole does not.
    const bool tableHead =
        v.type() == "TABLE" && written_.size() == 1 && std::string_view(written_[0]) == "AcDbSymbolTable";
    type_ = v.type() == "TABLE" && !tableHead ? std::string_view() : v.type();
    for (size_t i = v.begin(); i < v.end() && !markers_; ++i) markers_ = g_[i].code == 100;
    if (!markers_) {
        any_ = OwnedCodes(type_, "");
        for (const char* w : written_) any_ |= OwnedCodes(type_, w);
    }
    // Markerless records of kinds kept whole go back under a marker of
    // their own (made by the keeper) after the writer's last subclass.
    kindMarker_ = !markers_ && written_.size() == 1 && MarkerOfKeptWhole(type_, KindFlags(g_, v.begin(), v.end(), type_));
    sub_ = anchor_ = written_.empty() || markers_ ? std::string() : std::string(written_.front());
    entityFirst_ = !written_.empty() && std::string_view(written_.front()) == EntityCodes::kMarker;
    // A record without markers starts in the subclass of its first value:
    // what it keeps before that value is of that subclass (a dimension
    // style's settings before its name).
    for (size_t i = v.begin(); i < v.end() && !markers_ && !kindMarker_; ++i) {
        if (i == v.handleAt() || i == v.ownerAt() || v.modelledAppGroup(i) || v.otherAppGroup(i) || g_[i].code == 102)
            continue;
        if (const char* w = holder(g_[i].code)) {
            sub_ = anchor_ = w;
            break;
        }
    }
    // An Xrecord without its marker: its data follows its head.
    data_ = v.dataRecord() && !markers_;
    owned_ = &OwnedCodes(type_, "");
}

inline Split::Step Split::marker(const Group& x)
{
    std::string_view name = TrimView(x.text);
    if (x.code == 100) {
        if (markersSeen_++ == 0) first_ = name;
        auto has = [&](std::string_view n) {
            for (const char* w : written_)
                if (n == w) return true;
            return false;
        };
        // A plain reference's marker where the writer writes the one of
        // references in rows and columns, and the other way.
        if (name == "AcDbBlockReference" && !has(name) && has("AcDbMInsertBlock")) name = "AcDbMInsertBlock";
        else if (name == "AcDbMInsertBlock" && !has(name) && has("AcDbBlockReference")) name = "AcDbBlockReference";
        // Its place among the writer's subclasses: a subclass the file
        // gives out of the writer's order is not one of them.
        int n = 0;
        auto it = std::find_if(seen_.begin(), seen_.end(), [&](const auto& s) { return s.first == name; });
        if (it == seen_.end()) seen_.emplace_back(name, 1);
        else n = it->second++;
        int index = -1;
        for (int w = 0, k = 0; w < (int)written_.size() && index < 0; ++w)
            if (name == written_[(size_t)w] && k++ == n) index = w;
        if (index > lastIndex_) {
            lastIndex_ = index;
            if (index < 32) entered_ |= 1u << index;
            sub_ = anchor_ = name;
            occurrence_ = anchorOccurrence_ = n;
            whole_ = false;
            owned_ = &OwnedCodes(type_, sub_);
            data_ = owned_->all();
            return {kFrame, &sub_, occurrence_, false, false, false};
        }
    } else {
        embedded_ = true;
    }
    whole_ = true;
    data_ = false;
    return {kKept, &anchor_, anchorOccurrence_, true, true, false};
}

inline Split::Step Split::markerless(const Group& x, bool appGroup)
{
    if (!appGroup && Holds(any_, x.code)) {
        if (const char* w = holder(x.code)) sub_ = anchor_ = w;
        return {kObjectValue, &sub_, 0, false, false, false};
    }
    if (!appGroup && !kindMarker_ && ofEntity(x.code)) return {kKept, &entity_, 0, false, false, false};
    return {kKept, kindMarker_ ? &anchor_ : &sub_, 0, kindMarker_, false, false};
}

// Walks a record's groups as Split places them; a group kept where it is
// that is a value by its code (View::adopted) goes back as a value of the
// subclass the writer writes it in. For each group: f(index, class,
// subclass and occurrence it goes back in, whole, whether it starts a whole
// subclass).
template <class F>
void Walk(const View& v, F f)
{
    Split split(v);
    for (size_t i = v.begin(); i < v.end(); ++i) {
        const Split::Step s = split.step(i);
        const View::Adopted* a = s.stray && !v.inPlace(i) ? v.adopted(i) : nullptr;
        const View::Adopted* kept = !a && s.cls == kKept && !s.whole ? v.follows(i) : nullptr;
        if (a) f(i, kObjectValue, a->sub, a->occurrence, false, false);
        else if (kept) f(i, kKept, kept->sub, kept->occurrence, false, false);
        else f(i, s.cls, *s.sub, s.occurrence, s.whole, s.starts);
    }
}

// The groups kept where the record's markers place them that its kind
// reads by their code (ValuePlaces): of the one subclass the object is
// written in that holds the code, or the entity's (before the first marker,
// or in the first subclasses whatever their markers), when that gives none
// of it and no such group before them took it. A code two of them hold, or
// one of the writer's subclasses whose marker the record lacks (or gives
// out of place) while the record gives its codes elsewhere, leaves the
// record untold.
inline void View::findStrays() const
{
    straysFound_ = true;
    Split split(*this);
    CodeSet values, adopted;
    struct Candidate {
        size_t at;
        int markers;
        size_t keptBefore;  // groups kept where they are before it
        bool stray;
    };
    // The strays, and the groups kept where they are, which may follow
    // values adopted before them.
    std::vector<Candidate> strays, kept;
    bool entityMarker = false;
    size_t keptHere = 0;  // not strays
    // A value no save writes is none where the next read looks for one: a
    // stray of its code is read as that read reads it.
    auto silent = [&](size_t i) { return silent_ && !silent_->empty() && silent_->count(i) != 0; };
    for (size_t i = b_; i < e_; ++i) {
        const Split::Step s = split.step(i);
        if (g_[i].code == 100 && TrimView(g_[i].text) == EntityCodes::kMarker) entityMarker = true;
        if (s.cls == kObjectValue && !silent(i)) values.set(CodeSlot(g_[i].code));
        else if (s.stray) strays.push_back({i, split.markers(), keptHere, true});
        if (s.cls == kKept && !s.whole && g_[i].code != 102 && !otherAppGroup(i)) {
            kept.push_back({i, split.markers(), keptHere, s.stray});
            keptHere += !s.stray;
        }
    }
    const ValuePlaces places = ValuePlacesOf(type_);
    const bool entity = !written_.empty() && std::string_view(written_[0]) == EntityCodes::kMarker;
    const bool entityFirst = split.firstMarker() == EntityCodes::kMarker;
    // The markers before the first stray adopted of each code: the others
    // of that run are the same subclass's (a multiline's vertices, a
    // spline's knots), those of a later run a second value.
    struct Run {
        int markers;
        size_t keptBefore, first;  // first: in adopted_
    };
    std::map<int, Run> runOf;  // by the file's codes: no hash
    // Those adopted into a subclass whose marker the record lacks.
    std::vector<std::pair<size_t, int>> missing;  // in adopted_, markers before it
    for (const Candidate& c : strays) {
        const int code = g_[c.at].code;
        if (values.test(CodeSlot(code))) continue;
        // A linetype's dashes are read in order, each opened by its
        // length: a dash's value strewn elsewhere (before the first length
        // adopted, or apart from its run) belongs to no dash, and stays
        // where it stands.
        if (type_ == "LTYPE" && code != LinetypeDashCodes::kLength &&
            std::find(std::begin(LinetypeDashCodes::kAll), std::end(LinetypeDashCodes::kAll), code) !=
                std::end(LinetypeDashCodes::kAll)) {
            auto lengths = runOf.find(LinetypeDashCodes::kLength);
            if (lengths == runOf.end() || adopted_[lengths->second.first].at > c.at ||
                lengths->second.markers != c.markers || lengths->second.keptBefore != c.keptBefore)
                continue;
        }
        if (adopted.test(CodeSlot(code))) {
            auto run = runOf.find(code);
            if (run == runOf.end() || run->second.markers != c.markers || run->second.keptBefore != c.keptBefore)
                continue;
            const Adopted first = adopted_[run->second.first];
            adopted_.push_back({c.at, first.sub, first.occurrence});
            continue;
        }
        int home = -1;
        if (places.byCode) {
            for (size_t w = 0; w < written_.size() && !untold_; ++w) {
                if (!Holds(OwnedCodes(type_, written_[w]), code)) continue;
                if (home < 0) home = (int)w;
                else if (std::string_view(written_[w]) != written_[(size_t)home]) untold_ = true;
            }
            if (untold_) return;
        } else if (entity && Holds(OwnedCodes(type_, written_[0]), code) &&
                   (c.markers == 0 ? entityFirst || !entityMarker : c.markers <= 1 + places.entityAfter)) {
            // Readers take the subclasses of such a kind by their place:
            // the entity's first, then the kind's, whatever their markers.
            home = 0;
        } else {
            // A subclass whose marker the record lacks: its values are read
            // by their codes wherever the record gives them, where it alone
            // of the writer's subclasses holds the code. Where two do, or
            // one whose marker is out of the writer's order, the markers
            // cannot tell them; where one in its place does, the value is
            // under another marker, kept where it is.
            bool inPlace = false;
            for (size_t w = 0; w < written_.size(); ++w) {
                if (!Holds(OwnedCodes(type_, written_[w]), code)) continue;
                if (split.entered(w)) inPlace = true;
                else if (w > 0 && hasSubclass(written_[w])) untold_ = true;  // out of the writer's order
                else if (home < 0) home = (int)w;
                else if (std::string_view(written_[w]) != written_[(size_t)home]) untold_ = true;
            }
            if (untold_) return;
            if (inPlace) home = -1;
            if (home >= 0) missing.emplace_back(adopted_.size(), c.markers);
        }
        if (home >= 0) {
            if (!silent(c.at)) {
                adopted.set(CodeSlot(code));
                runOf[code] = {c.markers, c.keptBefore, adopted_.size()};
            }
            adopted_.push_back({c.at, written_[(size_t)home], 0});
        }
    }
    // A group kept where it is after a value adopted into a subclass whose
    // marker the record lacks, with no marker between them, is of that
    // subclass: it goes back there (a dimension style's settings after
    // its name).
    size_t m = 0;
    for (const Candidate& k : kept) {
        while (m + 1 < missing.size() && adopted_[missing[m + 1].first].at < k.at) ++m;
        if (m >= missing.size() || adopted_[missing[m].first].at > k.at || missing[m].second != k.markers) continue;
        if (k.stray && this->adopted(k.at)) continue;
        const Adopted& a = adopted_[missing[m].first];
        // One of a code that subclass holds would be read there as its
        // value (a second count, a second run of knots): it stays where it
        // stands.
        if (k.stray && Holds(OwnedCodes(type_, a.sub), g_[k.at].code)) continue;
        follows_.push_back({k.at, a.sub, a.occurrence});
    }
}

// Groups that follow one another in a fixed order (a hatch's boundary
// loops, a multiline's vertices) are read with a cursor.
class Cursor {
public:
    // Groups that are not the object's values (kept, the record's frame)
    // are passed over.
    Cursor(const View& v, size_t from) : v_(&v), i_(from) { skip(); }
    bool at(int code) const
    {
        v_->lookedFor(code);
        return i_ < v_->end() && v_->at(i_).code == code;
    }
    const Group* take(int code)
    {
        if (!at(code)) return nullptr;
        const Group* x = &v_->take(i_++);
        skip();
        return x;
    }
    bool real(int code, double& out)
    {
        const Group* x = take(code);
        if (x && x->kind == Kind::kReal) out = x->real;
        return x != nullptr;
    }
    bool integer(int code, int64_t& out)
    {
        const Group* x = take(code);
        if (x && x->kind == Kind::kInt) out = x->integer;
        return x != nullptr;
    }
    bool point2(int code, OdGePoint2d& p) { return real(code, p.x) && real(code + 10, p.y); }
    // Up to `n` items, never more than the groups left could hold.
    int64_t bound(int64_t n, int groupsEach) const
    {
        int64_t left = (int64_t)(v_->end() - std::min(i_, v_->end()));
        return std::max<int64_t>(0, std::min(n, left / std::max(1, groupsEach)));
    }
    size_t pos() const { return i_; }
private:
    void skip()
    {
        while (i_ < v_->end() && !v_->readable(i_)) ++i_;
    }

    const View* v_;
    size_t i_;
};

}  // namespace dxf
}  // namespace standin
