// Drawing files: the reader's half of the round trip. What a record holds
// beyond its object's values is kept as read (dxf_kept.h); every record read
// is noted (DxfFileRecords) with what the writer makes of its object where
// that is not what the file spelled (`noteHeldOtherwise`), and a save
// compares it with the file's record to put back the values the file
// spelled otherwise (`Respellings` in dxf_respellings.cpp; the writer's half
// is DxfOut::applyRespellings in dxf_write_kept.cpp).
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cwctype>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <tuple>
#include <unordered_map>
#include <unordered_set>

#include "dxf_loader.h"
#include "dxf_respell.h"
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
    // A kind of several subclasses (an attribute's text and its own) gets
    // each, its values under the one that holds their code.
    std::vector<const Subclass*> later;
    const int64_t flags = KindFlags(g_, v.begin(), v.end(), v.type());
    if (const char* marker = !markers && v.written().size() == 1 ? MarkerOfKeptWhole(v.type(), flags) : nullptr) {
        runFor(v.written().front(), 0, true, true).groups.push_back(KeptMarker(marker));
        const EntityKind* kind = MarkerOfKeptKind(v.type()) ? nullptr : KindOfRecord(v.type(), (int)flags);
        if (kind && kind->subclasses.size() > 1) later.assign(kind->subclasses.begin() + 1, kind->subclasses.end());
    }
    // A value the object did not take is kept when it took another of that
    // code (a value given twice) or refused it. One of a code it took none
    // of is the writer's to write (a count): while it is written as at the
    // open the file's value goes back through the respellings.
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
    if (!later.empty()) SplitByCode(later, k->runs);
    if (k && (v.type() == "DICTIONARY" || v.type() == "ACDBDICTIONARYWDFLT"))
        for (KeptRun& r : k->runs)
            if (!r.whole) KeepHalvesApart(r.groups);
    return k;
}

// A dictionary's refused keys and entries go back together after its
// entries: a lone key the file gave before a lone entry would meet it there
// and be read back as an entry. Each lone entry goes first, so a key is
// followed only by the entry the file gave after it.
void Loader::KeepHalvesApart(std::vector<KeptGroup>& groups)
{
    using C = DictionaryCodes;
    auto isEntry = [](int code) { return code == C::kEntry || code == C::kHardEntry; };
    auto lone = [&](size_t i) {
        return isEntry(groups[i].code) &&
               !(i > 0 && groups[i - 1].code == C::kKey && groups[i - 1].at != SIZE_MAX && groups[i].at == groups[i - 1].at + 1);
    };
    std::vector<bool> loneAt(groups.size());
    bool meet = false;
    for (size_t i = 0; i < groups.size(); ++i) {
        loneAt[i] = lone(i);
        meet = meet || (loneAt[i] && i > 0 && groups[i - 1].code == C::kKey);
    }
    if (!meet) return;
    std::vector<KeptGroup> first, rest;
    for (size_t i = 0; i < groups.size(); ++i) (loneAt[i] ? first : rest).push_back(std::move(groups[i]));
    groups = std::move(first);
    for (KeptGroup& g : rest) groups.push_back(std::move(g));
}

// The groups after a kind's first marker (in the runs kept whole with it,
// which other kept groups may cut apart) of a code a later subclass of the
// kind is written with go under that subclass's marker, in file order: the
// kind's writer writes them there (an attribute's 73, its field length, in
// its own subclass, not the text's). The others (the first's, the
// entity's, other applications' groups) stay.
void Loader::SplitByCode(const std::vector<const Subclass*>& later, std::vector<KeptRun>& runs)
{
    if (runs.empty()) return;
    std::vector<CodeSet> written;
    for (const Subclass* s : later) written.push_back(CodeSetOf(s->codes));
    // The runs kept whole with the first, taken out of the list in one pass.
    const std::string sub = runs.front().subclass;
    const int occurrence = runs.front().occurrence;
    std::vector<KeptGroup> groups;
    size_t left = 0;
    for (size_t r = 0; r < runs.size(); ++r) {
        const bool with = runs[r].whole && runs[r].subclass == sub && runs[r].occurrence == occurrence;
        if (with)
            for (KeptGroup& g : runs[r].groups) groups.push_back(std::move(g));
        if (!with || r == 0) {
            if (left != r) runs[left] = std::move(runs[r]);
            ++left;
        }
    }
    runs.resize(left);
    std::vector<std::vector<KeptGroup>> moved(later.size());
    std::vector<KeptGroup> stay;
    bool appGroup = false;
    for (KeptGroup& g : groups) {
        if (g.code == 102) appGroup = !g.spelled.empty() && g.spelled[0] == '{';
        size_t to = later.size();
        if (!appGroup && g.code > 0 && g.code < 1000 && g.code != 100 && g.code != 102 && !IsEntityCode(g.code))
            for (size_t s = 0; s < later.size() && to == later.size(); ++s)
                if (Holds(written[s], g.code)) to = s;
        (to < later.size() ? moved[to] : stay).push_back(std::move(g));
    }
    std::vector<KeptGroup>& out = runs.front().groups;
    out = std::move(stay);
    for (size_t s = 0; s < later.size(); ++s) {
        if (moved[s].empty()) continue;
        out.push_back(KeptMarker(later[s]->marker));
        for (KeptGroup& g : moved[s]) out.push_back(std::move(g));
    }
}

void Loader::keepAll()
{
    for (Pending& p : pending_) {
        View v = view(*p.rec, *p.written, p.dataRecord);
        p.valuesEnd = (uint32_t)v.end();
        p.ownerAt = (uint32_t)std::min<size_t>(v.ownerAt(), UINT32_MAX);
        std::unique_ptr<DxfKept> runs = keep(v);
        if (!runs && !p.keptWhole) continue;
        DxfKept* target = &keptFor(p);
        if (p.keptWhole) target->dxfType = std::string(p.rec->type);
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
        if ((Kind)k.kind == Kind::kHandle) k.id = idAt(i, (uint64_t)k.integer);
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

// What the object holds otherwise than the file spells it is noted with
// what the writer wrote of it when the file was read (DxfFileRecords::
// corrections): a value its setter refused or bounded, a count or flag it
// works out, a name it has no record of, a handle of an object not there,
// a value it could not read, one the writer leaves out; and so is each
// code the file left out whose meaning no description gives. A save puts
// the file's spelling back, or leaves the code out, while the writer
// writes it as then. Values are paired as a save pairs them, by code and
// order, and only where the writer writes as many of the code as the file
// gave, or none.
void Loader::noteHeldOtherwise(const Pending& p, const std::vector<GroupWriter::HashedValue>& written)
{
    using C = DxfFileRecords::Correction;
    using H = GroupWriter::HashedValue;
    thread_local std::vector<uint32_t> writtenCount(1072, 0), fileCount(1072, 0), takenCount(1072, 0), seen(1072, 0),
        firstAt(1072, 0);
    thread_local std::vector<uint32_t> order;
    if (p.rec->b == 0) return;
    const size_t b = p.rec->b, e = std::min<size_t>(p.rec->e, p.valuesEnd);
    auto isFileValue = [&](size_t i) { return (state_[i] & (kClassMask | kRefused)) == kObjectValue; };
    // An MTEXT's contents are compared joined, at the save.
    const bool mtext = p.rec->type == "MTEXT";
    auto joined = [mtext](int code) { return mtext && (code == 1 || code == 3); };
    auto valueOf = [](const H& w) {
        WrittenValue v;
        if (w.isNumber) v.form = WrittenValue::kNumber, v.number = w.number;
        else if (w.isText) v.form = WrittenValue::kText, v.text = w.text;
        else if (w.isHandle) v.form = WrittenValue::kHandle, v.handle = w.handle;
        return v;
    };
    // A normal is compared whole, by the way it points: the file's first
    // (the parts it left out as the reader takes them) with the first
    // written.
    std::optional<bool> normalSame;
    auto sameNormal = [&]() {
        if (normalSame) return *normalSame;
        double given[3] = {0, 0, 1}, now[3] = {0, 0, 0};
        bool file[3] = {false, false, false}, out[3] = {false, false, false};
        for (size_t i = b; i < e; ++i)
            if (isFileValue(i) && g_[i].code >= 210 && g_[i].code <= 230 && g_[i].code % 10 == 0) {
                const int axis = (g_[i].code - 210) / 10;
                if (file[axis]) continue;
                file[axis] = true;
                if (g_[i].kind != Kind::kReal || g_[i].unreadable) return *(normalSame = false);
                given[axis] = g_[i].real;
            }
        for (const H& w : written)
            if (w.code >= 210 && w.code <= 230 && w.code % 10 == 0 && w.isNumber && !out[(w.code - 210) / 10]) {
                out[(w.code - 210) / 10] = true;
                now[(w.code - 210) / 10] = w.number;
            }
        return *(normalSame = out[0] && out[1] && out[2] && SameDirection(given, now));
    };
    auto same = [&](size_t i, const H& w) {
        if (joined(w.code)) return true;
        // Most are the very value: told without asking the descriptions.
        const Group& x = g_[i];
        if (!x.unreadable && ((x.kind == Kind::kReal && w.isNumber && x.real == w.number &&
                               std::signbit(x.real) == std::signbit(w.number)) ||
                              (x.kind == Kind::kInt && w.isNumber && (double)x.integer == w.number) ||
                              (x.kind == Kind::kHandle && w.isHandle && handleNamed(i, x.handle) == w.handle)))
            return true;
        if (w.isText && SameValue(x, codec_, ValueForm::kText, valueOf(w))) return true;
        const ValueForm form = FormOfValue(w.subclass, w.code);
        if (form == ValueForm::kNormal && sameNormal()) return true;
        return SameValue(g_[i], codec_, form, valueOf(w));
    };
    // Every code the record's own subclasses hold, kept groups too.
    CodeSet present;
    for (size_t i = b; i < e; ++i)
        if ((state_[i] & kClassMask) != kFrame && !(state_[i] & (kWhole | kOtherApp))) present.set(CodeSlot(g_[i].code));
    // What leaving out a point's z means where the file gave its x and y
    // is told at the save: 0.
    auto zOfPoint = [&](int code) {
        return code >= 30 && code <= 37 && present.test((size_t)code - 20) && present.test((size_t)code - 10);
    };
    // A part of a normal the file left out is meant where the normal
    // written points as the file's (those parts as the reader takes them).
    auto normalMeant = [&](const H& w) { return w.code >= 210 && w.code <= 230 && w.code % 10 == 0 && sameNormal(); };
    // A value of a code the file left out is meant by the format or said
    // by the record's description, or noted.
    auto leftOutMeant = [&](const H& w) {
        return normalMeant(w) || zOfPoint(w.code) || HasMeaning(w.subclass, w.code);
    };
    // Most records are written as read: the file's values in order are
    // among those written, each of its code and the same value, the
    // writer's others (the codes the file left out) what leaving them out
    // means. Nothing is noted then.
    {
        size_t n = 0;
        bool asGiven = true;
        for (size_t i = b; i < e && asGiven; ++i) {
            if (!isFileValue(i)) continue;
            while (n < written.size() && written[n].code != g_[i].code) ++n;
            if (n == written.size()) {
                asGiven = false;
                break;
            }
            asGiven = same(i, written[n++]);
        }
        for (size_t n = 0; n < written.size() && asGiven; ++n)
            if (!present.test(CodeSlot(written[n].code))) asGiven = leftOutMeant(written[n]);
        if (asGiven) return;
    }
    // Where the writer writes, for a code the file left out, another value
    // than the record's description says leaving it out means (an image's
    // size where its vectors are given per pixel of the size left out), the
    // file's values may mean what they do only beside what it left out:
    // the record goes as the object holds it, and nothing is noted.
    const bool polylineVertex = p.sub >= 0 && OdRxCast<OdDb2dPolyline>(p.object);
    for (const H& w : written) {
        if (present.test(CodeSlot(w.code)) || joined(w.code)) continue;
        // Told with the values beside them at the save; a point's z there
        // by its value.
        const bool toldOtherwise = SilenceToldByTheRecord(p.rec->type, polylineVertex, w.code, false);
        if (!toldOtherwise && SilenceToldByTheRecord(p.rec->type, polylineVertex, w.code, zOfPoint(w.code))) {
            if (w.isNumber && w.number == 0) continue;
            return;
        }
        if (toldOtherwise) continue;
        if (!HasMeaning(w.subclass, w.code) || normalMeant(w)) continue;
        const std::string value = !w.isNumber ? std::string()
                                  : w.number == std::floor(w.number) && std::fabs(w.number) < 1e15
                                      ? std::to_string((int64_t)w.number)
                                      : GroupWriter::RealValue(w.number);
        if (!IsDefaultValue(w.subclass, w.code, value)) return;
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
    // What the writer wrote, as a correction holds it.
    auto note = [](C& c, const H& w) {
        if (w.isNumber) {
            c.written = C::kNumber;
            c.number = w.number;
        } else {
            c.written = C::kText;
            c.text = w.isHandle ? GroupWriter::HandleValue(w.handle)
                                : GroupWriter::TextValue(std::wstring(w.text), w.next);
        }
    };
    for (size_t i = b; i < e; ++i) {
        if (!isFileValue(i)) continue;
        const size_t c = CodeSlot(g_[i].code);
        const uint32_t k = seen[c]++;
        if (joined(g_[i].code)) continue;
        C correction;
        if (!writtenCount[c]) {
            // One the object did not take is kept where it was; several
            // the writer leaves out send the record as the object holds
            // it: nothing of them goes back.
            if (!(state_[i] & kTaken) || takenCount[c] > 1) continue;
            correction.written = C::kLeftOut;
        } else if (writtenCount[c] == fileCount[c]) {
            const H& w = written[order[firstAt[c] + k]];
            if (same(i, w)) continue;
            note(correction, w);
        } else {
            continue;
        }
        state_[i] |= kCorrected;
        corrections_.emplace_back(i, std::move(correction));
    }
    // The codes the file left out.
    for (uint32_t n = 0; n < (uint32_t)written.size(); ++n) {
        const H& w = written[n];
        const size_t c = CodeSlot(w.code);
        const uint32_t k = seen[c]++;
        if (present.test(c) || k > UINT16_MAX || leftOutMeant(w)) continue;
        C correction;
        correction.code = (int16_t)c;
        correction.occurrence = (uint16_t)k;
        note(correction, w);
        corrections_.emplace_back(b - 1, std::move(correction));
    }
    for (const auto& w : written) writtenCount[CodeSlot(w.code)] = seen[CodeSlot(w.code)] = 0;
    for (size_t i = b; i < e; ++i) {
        const size_t c = CodeSlot(g_[i].code);
        fileCount[c] = takenCount[c] = seen[c] = 0;
    }
}

// Values of a code the object took none of go back through the
// respellings, each paired with the writer's of that code in order (a count
// it works out, a direction's part its rotation says): past as many as the
// writer writes, none would pair, so those are kept where they were (set
// apart now, before the pairs are noted; placed in `groups` for
// keepInPlace). A direction's y given twice beside its rotation keeps both.
void Loader::keepPastWhatIsWritten(const Pending& p, const std::vector<GroupWriter::HashedValue>& written,
                                   std::vector<size_t>& groups)
{
    const size_t b = p.rec->b, e = std::min<size_t>(p.rec->e, p.valuesEnd);
    auto untaken = [&](size_t i) { return (state_[i] & (kClassMask | kRefused | kTaken)) == kObjectValue; };
    // Most records' values are all taken.
    bool any = false;
    for (size_t i = b; i < e && !any; ++i) any = untaken(i);
    if (!any) return;
    thread_local std::vector<uint32_t> writtenOf(1072, 0), givenOf(1072, 0), seen(1072, 0);
    thread_local std::vector<uint8_t> took(1072, 0);
    for (const auto& w : written) writtenOf[CodeSlot(w.code)]++;
    for (size_t i = b; i < e; ++i)
        if ((state_[i] & (kClassMask | kRefused)) == kObjectValue) {
            givenOf[CodeSlot(g_[i].code)]++;
            if (state_[i] & kTaken) took[CodeSlot(g_[i].code)] = 1;
        }
    for (size_t i = b; i < e; ++i) {
        const size_t c = CodeSlot(g_[i].code);
        if (!untaken(i) || took[c] || !writtenOf[c] || givenOf[c] <= writtenOf[c]) continue;
        if (seen[c]++ < writtenOf[c]) continue;
        state_[i] |= kRefused;
        groups.push_back(i);
    }
    for (const auto& w : written) writtenOf[CodeSlot(w.code)] = 0;
    for (size_t i = b; i < e; ++i) {
        const size_t c = CodeSlot(g_[i].code);
        givenOf[c] = seen[c] = took[c] = 0;
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
    std::vector<Pending*, SystemAllocator<Pending*>> records;
    records.reserve(pending_.size());
    for (Pending& p : pending_) records.push_back(&p);
    std::stable_sort(records.begin(), records.end(), before);
    size_t met = 0;
    std::vector<std::pair<const Pending*, std::vector<size_t>>> notValues;
    // Objects are mostly met in the order they were made, which is
    // mostly that of their places: the one after the last found is looked
    // at first.
    auto next = records.begin();
    HashRecords(db_, [&](const OdDbObject* of, int sub, const CodeSet& codes,
                         const std::vector<GroupWriter::HashedValue>& written) {
        Pending key{};
        key.object = const_cast<OdDbObject*>(of);
        key.sub = sub;
        auto it = next;
        if (it == records.end() || before(*it, &key) || (it != records.begin() && !before(*(it - 1), &key)))
            it = std::lower_bound(records.begin(), records.end(), &key, before);
        if (it == records.end() || (*it)->object != of || (*it)->sub != sub) return;
        next = it + 1;
        Pending& p = **it;
        p.met = true;
        ++met;
        std::vector<size_t> groups;
        keepPastWhatIsWritten(p, written, groups);
        noteHeldOtherwise(p, written);
        // Values the object did not take, of a code the writer does not
        // write for it, are none of its values: they are kept where they
        // were. A record's own values end at its extended data.
        bool any = false;
        for (size_t i = p.rec->b; i < std::min<size_t>(p.rec->e, p.valuesEnd) && !any; ++i)
            any = (state_[i] & (kClassMask | kRefused | kTaken)) == kObjectValue && !codes.test(CodeSlot(g_[i].code));
        if (!any) {
            if (!groups.empty()) notValues.emplace_back(&p, std::move(groups));
            return;
        }
        View v = view(*p.rec, *p.written, p.dataRecord);
        // (The view makes those no save puts back values again.)
        for (size_t i = v.begin(); i < v.end(); ++i)
            if ((state_[i] & (kClassMask | kRefused | kTaken)) == kObjectValue && !codes.test(CodeSlot(g_[i].code)) &&
                !std::binary_search(dropped_.begin(), dropped_.end(), i))
                groups.push_back(i);
        if (!groups.empty()) notValues.emplace_back(&p, std::move(groups));
    });
    for (auto& [p, groups] : notValues) keepInPlace(*p, view(*p->rec, *p->written, p->dataRecord), std::move(groups));
    Release(notValues);
    // Every handle kept is resolved.
    ids_ = HandleIds();
    std::sort(corrections_.begin(), corrections_.end(), [](const auto& a, const auto& b) {
        return std::make_tuple(a.first, a.second.code, a.second.occurrence) <
               std::make_tuple(b.first, b.second.code, b.second.occurrence);
    });
    Release(records);

    // The records, by where they are in the file and what the reader made
    // of their groups, for the saves.
    auto out = std::make_unique<DxfFileRecords>();
    out->utf8 = codec_.utf8;
    out->codePage = codec_.codePage;
    out->codePageAssumed = codec_.assumed;
    const std::map<std::wstring, OdDbObjectId>* tables[4] = {&linetypes_, &styles_, &dimstyles_, &layers_};
    for (int t = 0; t < 4; ++t)
        for (const auto& named : *tables[t]) out->names[t].push_back(named.first);
    std::map<std::vector<const char*>, uint16_t> lists;
    // Each met record's key, asked once: the objects and their ids' records
    // lie all over memory, and each key is asked for several times below.
    std::vector<uint64_t> keys(pending_.size(), 0);
    for (size_t k = 0; k < pending_.size(); ++k)
        if (pending_[k].met) keys[k] = DxfFileRecords::keyOf(pending_[k].object);
    auto keyOf = [&](const Pending& p) { return keys[(size_t)(&p - pending_.data())]; };
    // The records that go to the saves: met, whole in the file, of a list
    // that has a number, of an object that has a handle. The first pass
    // numbers the lists.
    auto admitted = [&](const Pending& p, bool first) -> const std::pair<const std::vector<const char*>, uint16_t>* {
        const size_t at = p.rec->b - 1, end = p.rec->e;
        if (!p.met || p.rec->b == 0 || at >= g_.size() || g_[at].code != 0 || end > g_.size()) return nullptr;
        auto list = first ? lists.emplace(*p.written, (uint16_t)lists.size()).first : lists.find(*p.written);
        if (list->second >= UINT16_MAX) return nullptr;
        if (first && list->second == out->written.size()) out->written.push_back(*p.written);
        return keyOf(p) ? &*list : nullptr;
    };
    // The states are copied once into room made for them all: grown by
    // doubling, the list would be held twice at the open's peak.
    size_t states = 0;
    for (const Pending& p : pending_)
        if (p.met && p.rec->b > 0 && p.rec->e <= g_.size() && p.rec->b <= p.rec->e) states += p.rec->e - (p.rec->b - 1);
    out->states.reserve(states);
    // In the order read (the order of the states is none of the saves'):
    // first the states, which the reader's own then give their room to the
    // records, then the records.
    for (const Pending& p : pending_) {
        if (!admitted(p, true)) continue;
        const size_t first = p.rec->b - 1, end = p.rec->e;
        const uint32_t state = (uint32_t)out->states.size();
        out->states.insert(out->states.end(), state_.begin() + (long)first, state_.begin() + (long)end);
        // (A view of the record since may have made them values again.)
        for (auto d = std::lower_bound(dropped_.begin(), dropped_.end(), first); d != dropped_.end() && *d < end; ++d)
            drop(out->states[state + (*d - first)]);
        auto c = std::lower_bound(corrections_.begin(), corrections_.end(), first,
                                  [](const auto& x, size_t i) { return x.first < i; });
        for (; c != corrections_.end() && c->first < end; ++c) {
            c->second.at = state + (uint32_t)(c->first - first);
            out->corrections.push_back(std::move(c->second));
        }
    }
    Release(state_);
    out->records.reserve(met);
    uint32_t state = 0;
    for (const Pending& p : pending_) {
        const auto* list = admitted(p, false);
        if (!list) continue;
        const size_t first = p.rec->b - 1, end = p.rec->e;
        DxfFileRecords::Record r;
        r.of = keyOf(p);
        r.sub = p.sub;
        r.from = (uint32_t)codeLineAt(first);
        r.to = (uint32_t)(end < g_.size() ? codeLineAt(end) : bytes_.size());
        r.state = state;
        r.groups = (uint32_t)(end - first);
        state += r.groups;
        r.written = list->second;
        r.dataRecord = p.dataRecord;
        r.valuesEnd = (uint32_t)(std::min<size_t>(p.valuesEnd, end) - first);
        r.ownerAt = p.ownerAt >= first && p.ownerAt < end ? (uint32_t)(p.ownerAt - first) : UINT32_MAX;
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
    for (const Pending& p : pending_)
        if (p.met && p.sub >= 0 && keyOf(p))
            out->sequences.emplace_back(keyOf(p), (uint32_t)std::min<size_t>(p.count, UINT32_MAX));
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

}  // namespace dxf
}  // namespace standin
