// Drawing files: the reader's half of the round trip. What a record holds
// beyond its object's values is kept as read (dxf_kept.h); every record read
// is hashed as the writer writes its object and noted (DxfFileRecords), and
// a save compares it with the file's record to put back the values the
// file spelled otherwise (`Respellings`; the writer's half is
// DxfOut::applyRespellings in dxf_write_kept.cpp).
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
#include "oddbcurves.h"
#include "oddbdimension.h"
#include "oddbtext.h"
#include "text_internal.h"

namespace standin {
namespace dxf {

// ---- kept groups ----

KeptGroup Loader::keptGroup(const Group& g)
{
    KeptGroup k;
    k.at = &g >= g_.data() && &g < g_.data() + g_.size() ? (size_t)(&g - g_.data()) : SIZE_MAX;
    k.code = g.code;
    k.kind = (uint8_t)g.kind;
    switch (g.kind) {
    case Kind::kText:
        k.text = codec_.decode(g.text);
        k.spelled = BreaksLine(g.text) ? GroupWriter::TextValue(k.text) : codec_.transcode(g.text);
        break;
    case Kind::kReal:
        k.real = g.real;
        k.spelled = GroupWriter::NumberSpelling(g);
        break;
    case Kind::kInt:
        k.integer = g.integer;
        k.spelled = GroupWriter::NumberSpelling(g);
        break;
    case Kind::kHandle: k.integer = (int64_t)g.handle; break;
    }
    return k;
}

// Handles of kept groups are turned into the objects they name once the
// whole file is read; the groups no longer move by then.
void Loader::resolveLater(std::vector<KeptGroup>& groups)
{
    for (KeptGroup& k : groups)
        if ((Kind)k.kind == Kind::kHandle) handles_.emplace_back(&k, (uint64_t)k.integer);
}

std::unique_ptr<DxfKept> Loader::keep(const View& v)
{
    std::unique_ptr<DxfKept> k;
    KeptRun* run = nullptr;
    auto runFor = [&](const std::string& s, int occ, bool whole, bool fresh) -> KeptRun& {
        if (!k) k = std::make_unique<DxfKept>();
        if (!fresh && run && run->subclass == s && run->occurrence == occ && run->whole == whole) return *run;
        k->runs.push_back(KeptRun{s, occ, whole, {}});
        run = &k->runs.back();
        return *run;
    };
    // Markerless records of kinds kept whole go back under a marker of
    // their own, after the writer's last subclass.
    bool markers = false;
    for (size_t i = v.begin(); i < v.end() && !markers; ++i) markers = g_[i].code == 100;
    if (const char* marker = !markers && v.written().size() == 1
                                 ? MarkerOfKeptWhole(v.type(), KindFlags(g_, v.begin(), v.end(), v.type()))
                                 : nullptr) {
        Group m;
        m.code = 100;
        m.kind = Kind::kText;
        m.text = marker;
        runFor(v.written().front(), 0, true, true).groups.push_back(keptGroup(m));
    }
    // A value the object did not take is kept when it took another of that
    // code (a value given twice) or refused it. One of a code it took none
    // of is the writer's to write (a count): while the object is unchanged
    // the file's value goes back through the respellings.
    CodeSet taken;
    for (size_t i = v.begin(); i < v.end(); ++i)
        if ((state_[i] & (kClassMask | kTaken)) == (kObjectValue | kTaken)) taken.set(CodeSlot(g_[i].code));
    Walk(v, [&](size_t i, uint8_t cls, const std::string& sub, int occ, bool whole, bool starts) {
        if (cls == kFrame) return;
        if (cls == kObjectValue) {
            const uint8_t s = state_[i];
            if (!(s & kRefused) && ((s & kTaken) || !taken.test(CodeSlot(g_[i].code)))) return;
            state_[i] = (uint8_t)(s | kRefused);
        }
        runFor(sub, occ, whole, starts).groups.push_back(keptGroup(g_[i]));
    });
    return k;
}

void Loader::keepAll()
{
    for (Pending& p : pending_) {
        View v = view(*p.rec, *p.written, p.dataRecord);
        p.valuesEnd = v.end();
        p.ownerAt = v.ownerAt();
        std::unique_ptr<DxfKept> runs = keep(v);
        if (!runs && p.dxfType.empty()) continue;
        DxfKept* target = &keptFor(p);
        if (!p.dxfType.empty()) target->dxfType = std::string(p.dxfType);
        if (runs) {
            target->runs = std::move(runs->runs);
            for (KeptRun& r : target->runs) resolveLater(r.groups);
        }
    }
    // The extended data of records the database does not keep (a block's
    // begin and end, vertices, sequence ends) goes back with them, last.
    for (const Pending& p : pending_) {
        if (p.sub == kSelf || p.rec->e <= p.rec->b) continue;
        View v = view(*p.rec, *p.written, p.dataRecord);
        if (v.end() == v.recordEnd()) continue;
        KeptRun extended{"\x01", 0, false, {}};
        for (size_t i = v.end(); i < v.recordEnd(); ++i) extended.groups.push_back(keptGroup(g_[i]));
        DxfKept& target = keptFor(p);
        target.runs.push_back(std::move(extended));
        resolveLater(target.runs.back().groups);
    }
    for (const ArrowBlock& a : arrowBlocks_) {
        KeptGroup k;
        k.code = a.code;
        k.kind = (uint8_t)Kind::kHandle;
        k.id = a.block;
        keptOf(a.style).runs.push_back(KeptRun{"AcDbDimStyleTableRecord", 0, false, {k}});
    }
}

void Loader::keepInPlace(const Pending& p, const View& v, std::vector<size_t> groups)
{
    std::sort(groups.begin(), groups.end());
    DxfKept& kept = keptFor(p);
    Walk(v, [&](size_t i, uint8_t, const std::string& sub, int occ, bool, bool) {
        if (!std::binary_search(groups.begin(), groups.end(), i)) return;
        state_[i] |= kRefused;
        KeptGroup k = keptGroup(g_[i]);
        if ((Kind)k.kind == Kind::kHandle) k.id = idOf((uint64_t)k.integer);
        auto run = std::find_if(kept.runs.begin(), kept.runs.end(), [&](const KeptRun& r) {
            return !r.whole && r.subclass == sub && r.occurrence == occ;
        });
        if (run == kept.runs.end()) run = kept.runs.insert(kept.runs.end(), KeptRun{sub, occ, false, {}});
        auto place = std::find_if(run->groups.begin(), run->groups.end(), [i](const KeptGroup& g) { return g.at > i; });
        run->groups.insert(place, std::move(k));
    });
}

DxfKept& Loader::keptFor(const Pending& p)
{
    if (p.sub == kSelf) return keptOf(p.object);
    if (p.sub == kBlockBegin || p.sub == kBlockEnd) {
        auto& slot = p.sub == kBlockBegin ? keptOf(p.object).blockBegin : keptOf(p.object).blockEnd;
        if (!slot) slot = std::make_unique<DxfKept>();
        return *slot;
    }
    auto& subs = keptOf(p.object).subRecords;
    if (subs.size() != p.count) subs.resize(p.count);
    auto& slot = subs[(size_t)p.sub];
    if (!slot) slot = std::make_unique<DxfKept>();
    return *slot;
}

// A number the object took and holds otherwise than the file gave it (its
// setter refused or bounded it) is the reader's correction, not an edit:
// marked, with what the writer wrote of it, it goes back as the file gave
// it while the object is written as then (Respellings). Values are paired
// as a save pairs them, by code and order, and only where the writer
// writes as many of the code as the file gave, or none.
void Loader::markCorrected(const Pending& p, const std::vector<GroupWriter::HashedValue>& written)
{
    using C = DxfFileRecords::Correction;
    thread_local std::vector<uint32_t> writtenCount(1072, 0), fileCount(1072, 0), takenCount(1072, 0), seen(1072, 0),
        firstAt(1072, 0);
    thread_local std::vector<uint32_t> order;
    const size_t b = p.rec->b, e = std::min(p.rec->e, p.valuesEnd);
    auto isFileValue = [&](size_t i) { return (state_[i] & (kClassMask | kRefused)) == kObjectValue; };
    auto isNumber = [&](size_t i) { return g_[i].kind == Kind::kReal || g_[i].kind == Kind::kInt; };
    bool any = false;
    for (size_t i = b; i < e && !any; ++i) any = isFileValue(i) && (state_[i] & kTaken) && isNumber(i);
    if (!any) return;
    {
        // Most records are written as read: the file's values in order are
        // among those written, each of its code and each number as given,
        // the writer's others (the defaults the file left out) between.
        // Nothing is corrected then: a code written as often as the file
        // gave it pairs the same values below, and one written more often
        // pairs none.
        size_t n = 0;
        bool asGiven = true;
        for (size_t i = b; i < e && asGiven; ++i) {
            if (!isFileValue(i)) continue;
            while (n < written.size() && written[n].code != g_[i].code) ++n;
            if (n == written.size()) {
                asGiven = false;
                break;
            }
            const GroupWriter::HashedValue& w = written[n++];
            if ((state_[i] & kTaken) && isNumber(i))
                asGiven = w.isNumber && w.number == (g_[i].kind == Kind::kReal ? g_[i].real : (double)g_[i].integer);
        }
        if (asGiven) return;
    }
    for (const auto& w : written) writtenCount[CodeSlot(w.code)]++;
    for (size_t i = b; i < e; ++i)
        if (isFileValue(i)) {
            fileCount[CodeSlot(g_[i].code)]++;
            if (state_[i] & kTaken) takenCount[CodeSlot(g_[i].code)]++;
        }
    // The written values by code, in order.
    uint32_t at = 0;
    for (const auto& w : written) {
        const size_t c = CodeSlot(w.code);
        if (!seen[c]) {
            seen[c] = 1;
            firstAt[c] = at;
            at += writtenCount[c];
        }
    }
    order.resize(at);
    for (const auto& w : written) seen[CodeSlot(w.code)] = 0;
    for (uint32_t n = 0; n < (uint32_t)written.size(); ++n) {
        const size_t c = CodeSlot(written[n].code);
        order[firstAt[c] + seen[c]++] = n;
    }
    for (const auto& w : written) seen[CodeSlot(w.code)] = 0;
    for (size_t i = b; i < e; ++i) {
        if (!isFileValue(i)) continue;
        const size_t c = CodeSlot(g_[i].code);
        const uint32_t k = seen[c]++;
        if (!(state_[i] & kTaken) || !isNumber(i)) continue;
        C correction;
        if (!writtenCount[c]) {
            // Several the writer leaves out send the record as the object
            // holds it: nothing of them goes back.
            if (takenCount[c] > 1) continue;
            correction.written = C::kLeftOut;
        } else if (writtenCount[c] == fileCount[c]) {
            const GroupWriter::HashedValue& w = written[order[firstAt[c] + k]];
            const double given = g_[i].kind == Kind::kReal ? g_[i].real : (double)g_[i].integer;
            if (w.isNumber && w.number == given) continue;
            correction.written = w.isNumber ? C::kNumber : C::kOther;
            correction.number = w.number;
        } else {
            continue;
        }
        state_[i] |= kCorrected;
        corrections_.emplace_back(i, correction);
    }
    for (const auto& w : written) writtenCount[CodeSlot(w.code)] = 0;
    for (size_t i = b; i < e; ++i) {
        const size_t c = CodeSlot(g_[i].code);
        fileCount[c] = takenCount[c] = seen[c] = 0;
    }
}

void Loader::noteRecords()
{
    // Values no save puts back are as kept groups no run holds: neither
    // values of their records nor kept.
    std::sort(dropped_.begin(), dropped_.end());
    auto drop = [](uint8_t& state) { state = (uint8_t)((state & ~kClassMask) | kKept); };
    for (size_t i : dropped_) drop(state_[i]);
    // The records read, by object and which of its records: the first
    // read of each is the one compared.
    auto before = [](const Pending* a, const Pending* b) {
        return a->object != b->object ? std::less<const OdDbObject*>()(a->object, b->object) : a->sub < b->sub;
    };
    std::vector<const Pending*, SystemAllocator<const Pending*>> records;
    records.reserve(pending_.size());
    for (const Pending& p : pending_) records.push_back(&p);
    std::stable_sort(records.begin(), records.end(), before);
    std::vector<std::pair<const Pending*, uint64_t>> hashed;
    hashed.reserve(pending_.size());
    std::vector<std::pair<const Pending*, std::vector<size_t>>> notValues;
    // Objects are mostly hashed in the order they were made, which is
    // mostly that of their places: the one after the last found is looked
    // at first.
    auto next = records.begin();
    HashRecords(db_, [&](const OdDbObject* of, int sub, uint64_t hash, const CodeSet& codes,
                         const std::vector<GroupWriter::HashedValue>& written) {
        Pending key{};
        key.object = const_cast<OdDbObject*>(of);
        key.sub = sub;
        auto it = next;
        if (it == records.end() || before(*it, &key) || (it != records.begin() && !before(*(it - 1), &key)))
            it = std::lower_bound(records.begin(), records.end(), &key, before);
        if (it == records.end() || (*it)->object != of || (*it)->sub != sub) return;
        next = it + 1;
        const Pending& p = **it;
        hashed.emplace_back(&p, hash);
        markCorrected(p, written);
        // Values the object did not take, of a code the writer does not
        // write for it, are none of its values: they are kept where they
        // were. A record's own values end at its extended data.
        bool any = false;
        for (size_t i = p.rec->b; i < std::min(p.rec->e, p.valuesEnd) && !any; ++i)
            any = (state_[i] & (kClassMask | kRefused | kTaken)) == kObjectValue && !codes.test(CodeSlot(g_[i].code));
        if (!any) return;
        View v = view(*p.rec, *p.written, p.dataRecord);
        std::vector<size_t> groups;
        for (size_t i = v.begin(); i < v.end(); ++i)
            if ((state_[i] & (kClassMask | kRefused | kTaken)) == kObjectValue && !codes.test(CodeSlot(g_[i].code)))
                groups.push_back(i);
        if (!groups.empty()) notValues.emplace_back(&p, std::move(groups));
    });
    for (auto& [p, groups] : notValues) keepInPlace(*p, view(*p->rec, *p->written, p->dataRecord), std::move(groups));
    Release(notValues);
    // Every handle kept is resolved.
    ids_ = HandleIds();
    std::sort(corrections_.begin(), corrections_.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    Release(records);

    // The records, by where they are in the file and what the reader made
    // of their groups, for the saves.
    auto out = std::make_unique<DxfFileRecords>();
    out->utf8 = codec_.utf8;
    out->codePage = codec_.codePage;
    const std::map<std::wstring, OdDbObjectId>* tables[4] = {&linetypes_, &styles_, &dimstyles_, &layers_};
    for (int t = 0; t < 4; ++t)
        for (const auto& named : *tables[t]) out->names[t].push_back(named.first);
    std::map<std::vector<const char*>, uint16_t> lists;
    out->records.reserve(hashed.size());
    // The states are copied once into room made for them all: grown by
    // doubling, the list would be held twice at the open's peak.
    size_t states = 0;
    for (const auto& [p, hash] : hashed)
        if (p->rec->b > 0 && p->rec->e <= g_.size() && p->rec->b <= p->rec->e) states += p->rec->e - (p->rec->b - 1);
    out->states.reserve(states);
    for (const auto& [p, hash] : hashed) {
        const size_t first = p->rec->b - 1, end = p->rec->e;
        if (p->rec->b == 0 || first >= g_.size() || g_[first].code != 0 || end > g_.size()) continue;
        auto list = lists.emplace(*p->written, (uint16_t)lists.size()).first;
        if (list->second >= UINT16_MAX) continue;
        if (list->second == out->written.size()) out->written.push_back(*p->written);
        DxfFileRecords::Record r;
        r.of = DxfFileRecords::keyOf(p->object);
        if (!r.of) continue;
        r.sub = p->sub;
        r.from = (uint32_t)codeLineAt(first);
        r.to = (uint32_t)(end < g_.size() ? codeLineAt(end) : bytes_.size());
        r.state = (uint32_t)out->states.size();
        r.groups = (uint32_t)(end - first);
        r.written = list->second;
        r.dataRecord = p->dataRecord;
        r.hash = hash;
        r.valuesEnd = (uint32_t)(std::min(p->valuesEnd, end) - first);
        r.ownerAt = p->ownerAt >= first && p->ownerAt < end ? (uint32_t)(p->ownerAt - first) : UINT32_MAX;
        out->states.insert(out->states.end(), state_.begin() + (long)first, state_.begin() + (long)end);
        // (A view of the record since may have made them values again.)
        for (auto d = std::lower_bound(dropped_.begin(), dropped_.end(), first); d != dropped_.end() && *d < end; ++d)
            drop(out->states[r.state + (*d - first)]);
        auto c = std::lower_bound(corrections_.begin(), corrections_.end(), first,
                                  [](const auto& x, size_t i) { return x.first < i; });
        for (; c != corrections_.end() && c->first < end; ++c) {
            DxfFileRecords::Correction at = c->second;
            at.at = r.state + (uint32_t)(c->first - first);
            out->corrections.push_back(at);
        }
        out->records.push_back(r);
    }
    SortMostlySorted(out->records, [](const DxfFileRecords::Record& a, const DxfFileRecords::Record& b) {
        return a.of != b.of ? a.of < b.of : a.sub < b.sub;
    });
    // A record read twice into one object counts as read once.
    out->records.erase(std::unique(out->records.begin(), out->records.end(),
                                   [](const DxfFileRecords::Record& a, const DxfFileRecords::Record& b) {
                                       return a.of == b.of && a.sub == b.sub;
                                   }),
                       out->records.end());
    for (const auto& [p, hash] : hashed)
        if (p->sub >= 0 && DxfFileRecords::keyOf(p->object))
            out->sequences.emplace_back(DxfFileRecords::keyOf(p->object), (uint32_t)std::min<size_t>(p->count, UINT32_MAX));
    SortMostlySorted(out->sequences, [](const auto& a, const auto& b) { return a.first < b.first; });
    out->sequences.erase(std::unique(out->sequences.begin(), out->sequences.end()), out->sequences.end());
    out->states.shrink_to_fit();
    std::vector<std::pair<size_t, DxfFileRecords::Correction>>().swap(corrections_);
    if (!out->records.empty()) records_ = std::move(out);
}

size_t Loader::codeLineAt(size_t group) const
{
    if (group == 0) return 0;
    // The line after the value of the group before.
    const std::string_view value = g_[group - 1].text;
    size_t at = (size_t)(value.data() - bytes_.data()) + value.size();
    while (at < bytes_.size() && bytes_[at] == '\r') ++at;
    if (at < bytes_.size() && bytes_[at] == '\n') ++at;
    return at;
}

// Compares the values of a record as the file wrote them with those the
// writer writes of the object, code by code: a value spelled otherwise is
// replaced, one the file did not have is dropped, one the writer left out
// is added back. A record whose values differ in number (the object holds
// fewer or more than the file gave) is written as the object holds it.
// A value the object holds keeps its spelling only where it is the value
// written; an edited record (`edited`) keeps no other, and leaves out only
// the defaults the file left out.
std::vector<Respelling> Respellings(const DxfFileRecords& file, const DxfFileRecords::Record& record,
                                             const OdDbObject* of, std::string_view text,
                                             const std::vector<GroupWriter::Noted>& noted, size_t start,
                                             bool edited, bool* asHeld, bool* valuesEdited)
{
    using R = Respelling;
    std::vector<R> out;
    bool ignored = false;
    bool& whole = asHeld ? *asHeld : ignored;
    whole = true;
    // The record's groups again, as the reader split them, and what it
    // made of each. Every save compares every record read: nothing here
    // allocates while the record is as the writer writes it.
    if (record.to > file.bytes.size() || record.from >= record.to || record.written >= file.written.size() ||
        (size_t)record.state + record.groups > file.states.size())
        return out;
    thread_local std::vector<Group> g;
    SplitGroups(std::string_view(file.bytes).substr(record.from, record.to - record.from), g);
    if (g.size() != record.groups || g.empty() || g[0].code != 0) return out;
    whole = false;
    const uint8_t* state = file.states.data() + record.state;
    TextCodec codec;
    codec.utf8 = file.utf8;
    codec.codePage = file.codePage;
    const size_t b = 1, e = std::min<size_t>(record.valuesEnd, g.size());
    const size_t ownerAt = record.ownerAt < g.size() ? record.ownerAt : SIZE_MAX;

    // Per (owner or value, code) a side: the file's groups and the
    // writer's noted groups of it, in order, in two flat lists.
    struct Side {
        uint8_t tag;
        int code;
        uint32_t fileAt, fileCount, writtenAt, writtenCount;
    };
    thread_local std::vector<int> sideAt(2 * 1072, -1);
    thread_local std::vector<Side> sides;
    thread_local std::vector<uint32_t> files, writtens;
    sides.clear();
    auto slot = [](uint8_t tag, int code) { return (size_t)(tag == GroupWriter::kOwner) * 1072 + CodeSlot(code); };
    auto sideOf = [&](uint8_t tag, int code) -> Side& {
        int& at = sideAt[slot(tag, code)];
        if (at < 0) {
            at = (int)sides.size();
            sides.push_back(Side{tag, code, 0, 0, 0, 0});
        }
        return sides[(size_t)at];
    };
    struct Reset {
        ~Reset()
        {
            for (const Side& s : sides) sideAt[(size_t)(s.tag == GroupWriter::kOwner) * 1072 + CodeSlot(s.code)] = -1;
        }
    } reset;
    auto isFileValue = [&](size_t i) { return (state[i] & (kClassMask | kRefused)) == kObjectValue; };
    auto isWritten = [&](size_t n) { return noted[n].tag == GroupWriter::kValue || noted[n].tag == GroupWriter::kOwner; };
    // Counted, then placed.
    for (size_t i = b; i < e; ++i)
        if (isFileValue(i)) sideOf(GroupWriter::kValue, g[i].code).fileCount++;
    if (ownerAt != SIZE_MAX) sideOf(GroupWriter::kOwner, 330).fileCount++;
    for (size_t n = 0; n < noted.size(); ++n)
        if (isWritten(n)) sideOf(noted[n].tag, noted[n].code).writtenCount++;
    uint32_t f = 0, w = 0;
    for (Side& s : sides) {
        s.fileAt = f;
        s.writtenAt = w;
        f += s.fileCount;
        w += s.writtenCount;
        s.fileCount = s.writtenCount = 0;
    }
    files.resize(f);
    writtens.resize(w);
    for (size_t i = b; i < e; ++i)
        if (isFileValue(i)) {
            Side& s = sideOf(GroupWriter::kValue, g[i].code);
            files[s.fileAt + s.fileCount++] = (uint32_t)i;
        }
    if (ownerAt != SIZE_MAX) {
        Side& s = sideOf(GroupWriter::kOwner, 330);
        files[s.fileAt + s.fileCount++] = (uint32_t)ownerAt;
    }
    for (size_t n = 0; n < noted.size(); ++n)
        if (isWritten(n)) {
            Side& s = sideOf(noted[n].tag, noted[n].code);
            writtens[s.writtenAt + s.writtenCount++] = (uint32_t)n;
        }
    // Values the object did not take, of a code the writer does not write
    // for it, were kept where they were when the file was read.
    for (Side& s : sides) {
        if (s.tag != GroupWriter::kValue || s.writtenCount) continue;
        uint32_t kept = 0;
        for (uint32_t k = 0; k < s.fileCount; ++k)
            if (state[files[s.fileAt + k]] & kTaken) files[s.fileAt + kept++] = files[s.fileAt + k];
        s.fileCount = kept;
    }
    // Values replaced only where every code has as many values as the
    // file gave it: a count spelled as the file did must still count the
    // values written with it. Values the file did not have, or that the
    // writer leaves out, are dropped or added back whatever the count.
    bool replace = true;
    for (const Side& s : sides) {
        if (s.fileCount && s.writtenCount && s.fileCount != s.writtenCount) replace = false;
        // Several values the writer gives in another form (a width each
        // vertex gave, written as one for all) would not come back where
        // they were: the record goes as the object holds it.
        if (s.fileCount > 1 && !s.writtenCount && s.tag == GroupWriter::kValue) {
            whole = true;
            return out;
        }
    }
    // An MTEXT's contents are its chunks (3) and then its last part (1):
    // cut otherwise than the writer cuts them, a chunk added back would
    // come after the part it goes before. They go as the object holds them.
    bool contentsAsHeld = false;
    if (record.sub == kObjectRecord && OdRxCast<OdDbMText>(const_cast<OdDbObject*>(of)))
        for (const Side& s : sides)
            if (s.tag == GroupWriter::kValue && s.code == 3 && s.fileCount != s.writtenCount) contentsAsHeld = true;
    // The file's value as the writer spells it; text as the file wrote it
    // where that can go in a file of UTF-8 text and stays one line.
    // A whole number a file wrote as a real for an integer's code goes back
    // so.
    auto realSpelt = [](const Group& x) { return x.kind == Kind::kInt && x.text.find_first_of(".eE") != std::string_view::npos; };
    auto spelling = [&codec, &realSpelt](const Group& x, int code) {
        switch (x.kind) {
        case Kind::kText: return BreaksLine(x.text) ? GroupWriter::TextValue(codec.decode(x.text)) : codec.transcode(x.text);
        case Kind::kReal: return GroupWriter::RealValue(x.real);
        case Kind::kInt: return realSpelt(x) ? std::string(x.text) : GroupWriter::IntegerValue(code, x.integer);
        case Kind::kHandle: return GroupWriter::HandleValue(x.handle);
        }
        return std::string(x.text);
    };
    auto same = [&codec, &realSpelt](const Group& x, std::string_view w) {
        if (w == x.text && (codec.utf8 || x.kind != Kind::kText)) return true;
        switch (x.kind) {
        case Kind::kReal: {
            double d = 0;
            auto r = std::from_chars(w.data(), w.data() + w.size(), d);
            return r.ec == std::errc() && d == x.real;
        }
        case Kind::kInt: {
            int64_t n = 0;
            auto r = std::from_chars(w.data(), w.data() + w.size(), n);
            return r.ec == std::errc() && n == x.integer && !realSpelt(x);
        }
        case Kind::kHandle: {
            uint64_t h = 0;
            auto r = std::from_chars(w.data(), w.data() + w.size(), h, 16);
            return r.ec == std::errc() && h == x.handle;
        }
        default: return w == codec.transcode(x.text);
        }
    };
    // Whether the value written is the one the file's spelling means:
    // the same number however spelled (a whole number spelled as a real,
    // an angle the file gave outside a turn, 50 to 58 in degrees), the
    // same text once its escapes and caret codes are read.
    const std::string_view type = TrimView(g[0].text);
    // An MTEXT's contents, cut into pieces (3) and a last part (1), mean
    // what they say joined: an escape may be cut between two.
    std::optional<bool> contents;
    auto contentsMeant = [&]() {
        if (contents) return *contents;
        std::string fileText, writtenText;
        for (int code : {3, 1}) {
            const int at = sideAt[slot(GroupWriter::kValue, code)];
            if (at < 0) continue;
            const Side& s = sides[(size_t)at];
            for (uint32_t k = 0; k < s.fileCount; ++k) fileText += g[files[s.fileAt + k]].text;
            for (uint32_t k = 0; k < s.writtenCount; ++k) {
                const GroupWriter::Noted& n = noted[writtens[s.writtenAt + k]];
                writtenText += text.substr(n.at - start, n.length);
            }
        }
        TextCodec written;
        contents = codec.decode(fileText) == written.decode(writtenText);
        return *contents;
    };
    // A normal (210) is held as a unit vector: the file's (its k-th, a
    // part it left out as the reader takes it) means the one written when
    // it points the same way, and then goes back as the file gave it, the
    // parts it left out left out (`silenceOf`). Kinds that keep the file's
    // normal, and an MTEXT's direction, write it as read themselves.
    auto isNormalCode = [](int code) { return code == 210 || code == 220 || code == 230; };
    auto sameNormal = [&](uint32_t k) {
        const int base = 210;
        double file[3] = {0, 0, 1}, written[3] = {0, 0, 0};
        for (int axis = 0; axis < 3; ++axis) {
            const int at = sideAt[slot(GroupWriter::kValue, base + 10 * axis)];
            if (at < 0) return false;
            const Side& s = sides[(size_t)at];
            if (s.writtenCount <= k) return false;
            if (k < s.fileCount) {
                const Group& y = g[files[s.fileAt + k]];
                if (y.kind != Kind::kReal) return false;
                file[axis] = y.real;
            }
            const GroupWriter::Noted& n = noted[writtens[s.writtenAt + k]];
            const std::string_view wv = text.substr(n.at - start, n.length);
            auto r = std::from_chars(wv.data(), wv.data() + wv.size(), written[axis]);
            if (r.ec != std::errc() || r.ptr != wv.data() + wv.size()) return false;
        }
        const double f = std::sqrt(file[0] * file[0] + file[1] * file[1] + file[2] * file[2]);
        const double w = std::sqrt(written[0] * written[0] + written[1] * written[1] + written[2] * written[2]);
        if (!std::isfinite(f) || !std::isfinite(w) || f < 1e-300 || w < 1e-300) return false;
        for (int axis = 0; axis < 3; ++axis)
            if (std::fabs(file[axis] / f - written[axis] / w) > 1e-12) return false;
        return true;
    };
    auto means = [&](const Group& x, int code, std::string_view wv, uint32_t k) {
        int64_t n = 0;
        double d = 0;
        const char* end = wv.data() + wv.size();
        switch (x.kind) {
        case Kind::kInt: {
            auto r = std::from_chars(wv.data(), end, n);
            return realSpelt(x) && r.ec == std::errc() && r.ptr == end && n == x.integer;
        }
        case Kind::kReal: {
            if (isNormalCode(code)) return sameNormal(k);
            auto a = std::from_chars(wv.data(), end, d);
            return code >= 50 && code <= 58 && a.ec == std::errc() && a.ptr == end && std::isfinite(x.real) &&
                   d != x.real && std::fabs(x.real - d) < 1e9 &&
                   std::fabs(std::remainder(x.real - d, 360.0)) <= 1e-9 * std::max(1.0, std::fabs(x.real));
        }
        case Kind::kText: {
            if (type == "MTEXT" && (code == 1 || code == 3)) return contentsMeant();
            TextCodec written;
            return !x.unreadable && codec.decode(x.text) == written.decode(wv);
        }
        default: return false;
        }
    };
    auto entry = [](R::Kind kind, uint8_t tag, int code, int occurrence, std::string written, std::string file,
                    std::string subclass = {}, int subOccurrence = 0) {
        R r;
        r.kind = kind;
        r.tag = tag;
        r.code = code;
        r.occurrence = occurrence;
        r.written = std::move(written);
        r.file = std::move(file);
        r.subclass = std::move(subclass);
        r.subOccurrence = subOccurrence;
        return r;
    };
    // Names of records the drawing had none of go back only while it has
    // none (the writer checks).
    auto names = [&](int code, const Group& x, R r) {
        const bool text = type == "TEXT" || type == "MTEXT" || type == "ATTRIB" || type == "ATTDEF";
        const bool part = type == "BLOCK" || type == "ENDBLK" || type == "VERTEX" || type == "SEQEND";
        r.names = code == 6                         ? R::kLinetype
                  : code == 7 && text               ? R::kTextStyle
                  : code == 3 && type == "DIMENSION" ? R::kDimensionStyle
                  : code == 8 && part               ? R::kLayer
                                                    : R::kNoName;
        if (r.names == R::kNoName || x.kind != Kind::kText) {
            r.names = R::kNoName;
            return r;
        }
        const std::vector<std::wstring>& known = file.names[r.names == R::kLinetype         ? 0
                                                           : r.names == R::kTextStyle      ? 1
                                                           : r.names == R::kDimensionStyle ? 2
                                                                                           : 3];
        r.named = std::binary_search(known.begin(), known.end(), Lower(codec.decode(x.text)));
        return r;
    };
    // Every code the record's own subclasses hold, kept groups too; not
    // what another application's group holds, which is never a value.
    CodeSet present;
    bool presentKnown = false;
    auto isPresent = [&](int code) {
        if (!presentKnown) {
            for (size_t i = b; i < e; ++i)
                if ((state[i] & kClassMask) != kFrame && !(state[i] & (kWhole | kOtherApp))) present.set(CodeSlot(g[i].code));
            presentKnown = true;
        }
        return present.test(CodeSlot(code));
    };
    // The subclass a written group is in, by its marker before it.
    auto writtenIn = [&](uint32_t at) -> std::string_view {
        for (uint32_t j = at + 1; j-- > 0;)
            if (noted[j].tag == GroupWriter::kFrame && noted[j].code == 100)
                return text.substr(noted[j].at - start, noted[j].length);
        return {};
    };
    // An edited MTEXT's direction (11) and rotation (50) say one thing: the
    // writer writes the direction always and the rotation when not 0. What
    // the file gave of them says it alone; where it gave neither, a
    // direction along the world's x axis in the text's plane is what it
    // meant.
    bool directionMeant = false, rotationMeant = false;
    if (type == "MTEXT") {
        auto side = [&](int code) -> const Side* {
            const int at = sideAt[slot(GroupWriter::kValue, code)];
            return at < 0 ? nullptr : &sides[(size_t)at];
        };
        auto inFile = [&](int code) { return side(code) && side(code)->fileCount > 0; };
        auto written = [&](int code, double otherwise) {
            const Side* s = side(code);
            if (!s || s->writtenCount != 1) return otherwise;
            const GroupWriter::Noted& n = noted[writtens[s->writtenAt]];
            double d = otherwise;
            std::string_view wv = text.substr(n.at - start, n.length);
            std::from_chars(wv.data(), wv.data() + wv.size(), d);
            return d;
        };
        if (inFile(11) && !inFile(50)) rotationMeant = true;
        if (inFile(50) && !inFile(11)) directionMeant = true;
        if (!inFile(11) && !inFile(50) && !inFile(21) && !inFile(31)) {
            const double n[3] = {written(210, 0), written(220, 0), written(230, 1)};
            double d[3] = {1 - n[0] * n[0], -n[0] * n[1], -n[0] * n[2]};
            const double length = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
            const double w[3] = {written(11, NAN), written(21, NAN), written(31, NAN)};
            bool along = length > 1e-9;
            for (int i = 0; i < 3 && along; ++i) along = std::fabs(d[i] / length - w[i]) <= 1e-12;
            directionMeant = rotationMeant = along;
        }
    }
    // What a file's silence of a code means, against the values the writer
    // writes of it (or the one the file gave that the writer leaves out):
    // that value, another, or nothing the record's description says.
    enum Meaning : uint8_t { kMeant, kOther, kUnsaid };
    auto writtenValue = [&](const Side& s, uint32_t k) {
        const GroupWriter::Noted& n = noted[writtens[s.writtenAt + k]];
        return text.substr(n.at - start, n.length);
    };
    auto number = [](std::string_view v, double& d) {
        auto r = std::from_chars(v.data(), v.data() + v.size(), d);
        return r.ec == std::errc() && r.ptr == v.data() + v.size();
    };
    auto silenceOf = [&](const Side& s) -> Meaning {
        if (s.tag != GroupWriter::kValue) return kUnsaid;
        if (isNormalCode(s.code) && s.writtenCount == 1 && sameNormal(0)) return kMeant;
        if ((s.code == 11 || s.code == 21 || s.code == 31) && directionMeant) return kMeant;
        if (s.code == 50 && rotationMeant) return kMeant;
        // A 2-D polyline's vertex without widths has its polyline's.
        const auto* polyline = OdRxCast<OdDb2dPolyline>(const_cast<OdDbObject*>(of));
        if (record.sub >= 0 && polyline && (s.code == 40 || s.code == 41) && s.writtenCount == 1) {
            double d = 0;
            return number(writtenValue(s, 0), d) &&
                           d == (s.code == 40 ? polyline->defaultStartWidth() : polyline->defaultEndWidth())
                       ? kMeant
                       : kOther;
        }
        // A gradient's colours each given only as a true colour: the
        // writer's colour numbers beside them are white, for readers
        // without true colours.
        if (type == "HATCH" && s.code == 63) {
            const int rgb = sideAt[slot(GroupWriter::kValue, 421)];
            bool white = rgb >= 0 && sides[(size_t)rgb].writtenCount == s.writtenCount &&
                         sides[(size_t)rgb].fileCount == s.writtenCount;
            for (uint32_t k = 0; white && k < s.writtenCount; ++k) white = writtenValue(s, k) == "7";
            return white ? kMeant : kOther;
        }
        Meaning m = kMeant;
        for (uint32_t k = 0; k < s.writtenCount; ++k) {
            const std::string_view wv = writtenValue(s, k);
            double d = 0;
            // A point given by its x and y alone lies in the plane z = 0;
            // an edited record writes its z all the same.
            if (s.code >= 30 && s.code <= 37 && isPresent(s.code - 20) && isPresent(s.code - 10)) {
                if (!number(wv, d) || d != 0) return kOther;
                m = kUnsaid;
                continue;
            }
            const std::string_view sub = writtenIn(writtens[s.writtenAt + k]);
            if (!HasMeaning(sub, s.code)) {
                m = kUnsaid;
                continue;
            }
            if (!IsDefaultValue(sub, s.code, wv)) return kOther;
        }
        return m;
    };
    // Asked once a side.
    thread_local std::vector<uint8_t> silences;
    silences.assign(sides.size(), 0xFF);
    auto silence = [&](const Side& s) {
        uint8_t& m = silences[(size_t)(&s - sides.data())];
        if (m == 0xFF) m = silenceOf(s);
        return (Meaning)m;
    };
    // The file's groups the writer leaves out, each with the subclass it
    // was read in, in file order: they may go back at the end of it.
    struct Added {
        size_t at;
        std::string sub;
        int occurrence;
        Meaning meaning;
        bool seen;
    };
    std::vector<Added> added;
    for (const Side& s : sides)
        if (s.tag == GroupWriter::kValue && s.fileCount && !s.writtenCount &&
            !(contentsAsHeld && (s.code == 1 || s.code == 3)))
            for (uint32_t k = 0; k < s.fileCount; ++k) added.push_back(Added{files[s.fileAt + k], {}, 0, kUnsaid, false});
    std::vector<Group> groups;
    if (!added.empty()) {
        // The record is walked as when it was read.
        groups = g;
        std::vector<uint8_t> states(state, state + record.groups);
        Rec rec;
        rec.type = type;
        rec.b = b;
        rec.e = groups.size();
        View v(groups, rec, codec, states, file.written[record.written], record.dataRecord);
        std::sort(added.begin(), added.end(), [](const Added& x, const Added& y) { return x.at < y.at; });
        Walk(v, [&](size_t i, uint8_t, const std::string& sub, int occ, bool, bool) {
            auto it = std::lower_bound(added.begin(), added.end(), i, [](const Added& x, size_t at) { return x.at < at; });
            if (it == added.end() || it->at != i || it->seen) return;
            it->seen = true;
            it->sub = sub;
            it->occurrence = occ;
            const Group& x = groups[i];
            // The writer leaves out the default: the file's value goes
            // back only if it is that.
            it->meaning = !HasMeaning(sub, x.code)                          ? kUnsaid
                          : IsDefaultValue(sub, x.code, spelling(x, x.code)) ? kMeant
                                                                            : kOther;
        });
    }
    // Whether the object holds the file's value of the group (at, in the
    // record) as given, so that another value written now, or none (empty),
    // is an edit. One it took as given it holds. One it took but holds
    // otherwise (a correction found at the open) it holds as given only
    // once it is written otherwise than then; a number, a text, nothing
    // more: what the object does not hold as the file gave it (a declared
    // count, a flag it derives, a value it could not read, a name it has
    // no record of, a handle of an object not there) goes back while the
    // record is as read.
    auto holdsAsGiven = [&](size_t at, std::string_view now) {
        const Group& x = g[at];
        if (!(state[at] & kTaken) || !(x.kind == Kind::kReal || x.kind == Kind::kText || x.kind == Kind::kInt))
            return false;
        if (!(state[at] & kCorrected)) return true;
        using C = DxfFileRecords::Correction;
        const C* c = file.correctionAt(record.state + (uint32_t)at);
        if (!c || c->written == C::kOther) return false;
        if (now.empty()) return c->written != C::kLeftOut;
        double d = 0;
        return c->written == C::kLeftOut || !number(now, d) || d != c->number;
    };
    // A record whose hash is the one read is as read only if its values
    // say so too: a code the file left out is written as what leaving it
    // out means, the value the reader takes for it. Where the record's
    // description says nothing of a code, and where the object holds
    // another value than the file's (one the reader corrects, or an edit),
    // the values cannot tell and the hash is all there is.
    if (!edited)
        for (const Side& s : sides)
            if (s.tag == GroupWriter::kValue && !s.fileCount && s.writtenCount && !isPresent(s.code) &&
                silence(s) == kOther) {
                edited = true;
                break;
            }
    if (valuesEdited) *valuesEdited = edited;
    for (const Side& s : sides) {
        if (s.fileCount && s.writtenCount && s.fileCount != s.writtenCount) continue;
        if (contentsAsHeld && s.tag == GroupWriter::kValue && (s.code == 1 || s.code == 3)) continue;
        if (s.fileCount == s.writtenCount) {
            // An edited record's values are compared one by one: only one
            // the writer writes as the file had it may go back as spelled.
            if (!replace && !edited) continue;
            if (edited && s.tag == GroupWriter::kOwner) continue;
            for (uint32_t k = 0; k < s.fileCount; ++k) {
                const Group& x = g[files[s.fileAt + k]];
                std::string_view wv = writtenValue(s, k);
                // An owner names where the object is: only one the object
                // does not have (none, or one that is not there) goes back
                // as the file wrote it.
                if (s.tag == GroupWriter::kOwner && wv != "0") continue;
                if (same(x, wv)) continue;
                // A value the object holds as given goes back as the file
                // spelled it only where it is the value being written.
                const bool holds = s.tag == GroupWriter::kValue && holdsAsGiven(files[s.fileAt + k], wv);
                R r = names(s.code, x, entry(R::kReplace, s.tag, s.code, (int)k, std::string(wv), {}));
                if ((edited || (holds && r.names == R::kNoName)) && !means(x, s.code, wv, k)) continue;
                // A value the reader could not read stood for what leaving
                // the code out means: where the object holds another (one
                // it works out from the rest, an image's size from its
                // definition), the one written goes.
                if (x.unreadable && s.tag == GroupWriter::kValue) {
                    const std::string_view sub = writtenIn(writtens[s.writtenAt + k]);
                    if (HasMeaning(sub, s.code) && !IsDefaultValue(sub, s.code, wv)) continue;
                }
                r.file = spelling(x, s.code);
                if (r.file != wv) out.push_back(std::move(r));
            }
        } else if (s.tag == GroupWriter::kOwner) {
            continue;  // an owner is always written
        } else if (!s.fileCount) {
            // Only what the record has none of at all: dropping the writer's
            // value would put one the record kept in its place.
            if (isPresent(s.code)) continue;
            // Only what the file's silence means stays out; edited, only
            // what the record's description says it means.
            const Meaning m = silence(s);
            if (m == kOther || (m == kUnsaid && edited)) continue;
            for (uint32_t k = 0; k < s.writtenCount; ++k)
                out.push_back(entry(R::kDrop, s.tag, s.code, (int)k, std::string(writtenValue(s, k)), {}));
        }
    }
    // Each at the end of the subclass it was read in. Edited, only the
    // default the writer leaves out goes back, where the record's
    // description names it. As read, so does a number or text the object
    // holds (any other it no longer holds), and every other value: a flag
    // the object holds otherwise (one it has no use for) is the file's, as
    // a declared count is.
    for (const Added& a : added)
        if (a.seen && (a.meaning == kMeant || (!edited && (a.meaning == kUnsaid || !holdsAsGiven(a.at, {})))))
            out.push_back(names(groups[a.at].code, groups[a.at],
                                entry(R::kAdd, GroupWriter::kValue, groups[a.at].code, 0, {},
                                      spelling(groups[a.at], groups[a.at].code), a.sub, a.occurrence)));
    // Replacements and drops by (tag, code, occurrence), for the writer's
    // lookup; additions after them in file order.
    std::stable_sort(out.begin(), out.end(), [](const R& a, const R& b) {
        if ((a.kind == R::kAdd) != (b.kind == R::kAdd)) return b.kind == R::kAdd;
        if (a.kind == R::kAdd) return false;
        return std::tie(a.tag, a.code, a.occurrence) < std::tie(b.tag, b.code, b.occurrence);
    });
    return out;
}

}  // namespace dxf
}  // namespace standin
