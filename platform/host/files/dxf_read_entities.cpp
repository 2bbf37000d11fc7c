// Drawing files: the entities of a file read, each kind into its object;
// what cannot be made into one is kept whole as a proxy.
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

void Loader::readEntities(const std::vector<Rec>& recs, size_t from, size_t to, OdDbObjectId block)
{
    for (size_t i = from; i < to;) i = readEntity(recs, i, to, block);
}

size_t Loader::readEntity(const std::vector<Rec>& recs, size_t i, size_t to, OdDbObjectId block)
{
    std::optional<View> view1;
    view1.emplace(view(recs[i], expected(recs[i], true)));
    size_t next = i;
    std::vector<OdDbAttribute*> attrs;
    std::vector<const Rec*> attrRecs;
    OdDbEntity* e = nullptr;
    for (int attempt = 0;; ++attempt) {
        strayEnd_ = nullptr;
        subRecs_.clear();
        subHandles_.clear();
        planePoints_.clear();
        keptFlags_ = 0;
        untoldPart_ = false;
        next = i;
        const size_t fixups = fixups_.size();
        const size_t silent = silent_.size();
        e = makeEntity(*view1, recs, next, to, attrs, attrRecs);
        // A reader that found values no save writes: the record is seen
        // as the next read will see it.
        if (silent_.size() != silent) view1.emplace(view(recs[i], view1->written()));
        if (!e || DxfAccess::fileRecordOf(e)) break;
        // What the record turned out to be once read (a polyline's kind
        // told by flags in a part the writer does not write) is read again
        // as such, so that what it holds is split as it will be written; a
        // record that is read as one kind and says it is another is kept
        // whole, and so is one whose values (or a record's of its sequence)
        // cannot be told apart where the file gives them, rather than read
        // as defaults.
        std::string type;
        std::vector<const char*> actual = WrittenSubclasses(e, type);
        const bool same = actual == view1->written();
        if (same && !view1->untold() && !untoldPart_) break;
        delete e;
        e = nullptr;
        for (auto* a : attrs) delete a;
        attrs.clear();
        attrRecs.clear();
        fixups_.resize(fixups);
        auto forget = [&] {
            for (size_t k = i; k < std::max(next, i + 1) && k < to; ++k)
                for (size_t g = recs[k].b; g < recs[k].e; ++g) state_[g] &= (uint8_t)~(kTaken | kRefused);
        };
        if (same) forget();
        if (attempt == 1 || same) {
            e = keptWhole(*view1, recs, i, next, to);
            // Its entity's values are read where its save writes them, as
            // they will be when the save is read: a value given twice
            // there is kept as such in every read.
            forget();
            view1.emplace(view(recs[i], WrittenSubclasses(e, type)));
            break;
        }
        forget();
        view1.emplace(view(recs[i], actual));
    }
    const View& v = *view1;
    if (next == i) ++next;
    if (!e) {
        for (auto* a : attrs) delete a;
        subRecs_.clear();
        subHandles_.clear();
        planePoints_.clear();
        keptFlags_ = 0;
        if (recs[i].type == "INSERT") {
            leaveOut(recs[i], "a block reference that names no block it can draw");
            for (size_t k = i + 1; k < next; ++k)
                leaveOut(recs[k], recs[k].type == "ATTRIB" ? "an attribute of that block reference"
                                                           : "the end of that block reference's attributes");
        } else {
            for (size_t k = i; k < next; ++k) leaveOut(recs[k], "a record of a sequence that follows no entity of its own");
        }
        strayEnd_ = nullptr;
        return next;
    }
    if (strayEnd_) leaveOut(*strayEnd_, "the end of a sequence of attributes after a reference without any");
    strayEnd_ = nullptr;
    // The paper-space flag is read from the record as finally split,
    // whatever names the owner, so that a second one is kept as such in
    // every read.
    const Group* flag = v.find(EntityCodes::kPaperSpace);
    const bool paper = flag && flag->kind == Kind::kInt && flag->integer == 1;
    const OdDbObjectId paperSpace = record(blockNames_, L"*Paper_Space");
    OdDbObjectId owner = block;
    bool told = false;
    if (owner.isNull()) {
        // Entities of the entities section: the block their owner names,
        // else paper or model space.
        auto* btr = OdRxCast<OdDbBlockTableRecord>(obj(idOf(v.owner())));
        told = !btr;
        owner = btr ? btr->objectId() : paper ? paperSpace : roots_.modelSpace;
    }
    // It is the entity's where it placed the entity or says the space its
    // owner is (paper space, or not it in model space: an entity placed by
    // its flag is read so again once saved with its owner); one that says
    // otherwise than its owner is the file's.
    const bool ownersSpace = paper ? owner == paperSpace : owner == roots_.modelSpace;
    if (flag && !told && !ownersSpace) v.refuse(flag);
    common(e, v);
    OdDbObjectId id = place(e, v, owner);
    DxfAccess::addEntity(static_cast<OdDbBlockTableRecord*>(obj(owner)), id);
    if (auto* ref = OdRxCast<OdDbBlockReference>(e)) {
        references_.push_back(Reference{id, owner, {&recs[i]}});
        references_.back().records.insert(references_.back().records.end(), attrRecs.begin(), attrRecs.end());
        for (size_t k = 0; k < attrs.size(); ++k) {
            View av = view(*attrRecs[k], expected(*attrRecs[k], true));
            common(attrs[k], av);
            DxfAccess::addAttribute(ref, place(attrs[k], av, id));
        }
    }
    return next;
}

void Loader::common(OdDbEntity* e, const View& v)
{
    using C = EntityCodes;
    // Most entities of a file are on a few layers, one after another on
    // the same: a name spelled as the last one's is that layer, which never
    // changes once the drawing has it.
    const Group* layer = v.find(C::kLayer);
    OdDbObjectId layerId;
    if (layer && !lastLayer_.isNull() && std::string_view(layer->text) == lastLayerSpelled_) {
        layerId = lastLayer_;
    } else {
        layerId = layerNamed(layer ? v.decode(*layer) : std::wstring());
        if (layer) {
            lastLayerSpelled_.assign(layer->text.data(), layer->text.size());
            lastLayer_ = layerId;
        }
    }
    e->setLayer(layerId, false, true);
    std::wstring lt = v.text(C::kLinetype);
    OdDbObjectId ltId = lt.empty() ? OdDbObjectId() : record(linetypes_, lt);
    e->setLinetype(ltId.isNull() ? roots_.ltByLayer : ltId, false);
    OdCmColor c;
    int64_t aci = v.integer(C::kColour, 256);
    if (v.has(C::kTrueColour)) {
        int64_t rgb = v.integer(C::kTrueColour, 0);
        c.setRGB((uint8_t)(rgb >> 16), (uint8_t)(rgb >> 8), (uint8_t)rgb);
        keepColourNumber(e, v, c);
    } else if (aci >= 0 && aci <= 256) {
        c.setColorIndex((int16_t)aci);
    }
    e->setColor(c, false);
    double s = v.real(C::kLinetypeScale, kDefaultOf<C, C::kLinetypeScale>);
    if (s > 0) e->setLinetypeScale(s, false);
    if (v.has(C::kTransparency)) {
        auto t = OdCmTransparency::fromSerialized((uint32_t)v.integer(C::kTransparency, 0));
        if (t.method() != OdCmTransparency::kErrorValue) e->setTransparency(t, false);
    }
    if (v.has(C::kLineWeight)) DxfAccess::setLineWeight(e, (int)v.integer(C::kLineWeight, OdDb::kLnWtByLayer));
    if (v.integer(C::kInvisible, kDefaultIntegerOf<C, C::kInvisible>) == 1) e->setVisibility(OdDb::kInvisible, false);
}

// A normal as given, of unit length; +Z for one zero or not finite.
OdGeVector3d UnitNormal(const OdGeVector3d& n)
{
    return n.isZeroLength() || !Finite(n) ? OdGeVector3d(0, 0, 1) : n.normal();
}

bool IsPlusZ(const OdGeVector3d& n) { return n.x == 0 && n.y == 0 && n.z > 0; }

OdGePoint3d ToWorld(const OdGePoint3d& p, const OdGeVector3d& n) { return IsPlusZ(n) ? p : OcsToWcs(p, n); }

// A record the database cannot make into an entity of its own, kept whole.
OdDbEntity* Loader::proxy(const View& v)
{
    auto* p = new OdDbProxyEntity();
    std::string_view type = v.type();
    DxfAccess::fileRecord(p).dxfName = std::wstring(type.begin(), type.end());
    DxfAccess::fileRecord(p).fromFile = true;
    return p;
}

OdDbEntity* Loader::makeEntity(const View& v, const std::vector<Rec>& recs, size_t& i, size_t to,
                               std::vector<OdDbAttribute*>& attrs, std::vector<const Rec*>& attrRecs)
{
    std::string_view type = recs[i].type;
    const size_t first = i;
    OdDbEntity* made = nullptr;
    // Each kind's record is read by its reader (dxf_kinds.h).
    if (const EntityKind* kind = KindOfType(type); kind && kind->read) {
        EntityRecord r{v, recs, i, to, attrs, attrRecs};
        made = (this->*kind->read)(r);
        if (made || r.done) return made;
    }
    // Parts of sequences belong to the entity before them, and a block's
    // begin and end are no entities: kept among a block's entities they
    // would end it early when the file is read again. Everything else the
    // database cannot make is kept whole, an ATTRIB after no reference that
    // says attributes follow too: readers take it for an entity of its own.
    if (type == "VERTEX" || type == "SEQEND" || type == "BLOCK" || type == "ENDBLK") return nullptr;
    return keptWhole(v, recs, first, i, to);
}

OdDbEntity* Loader::keptWhole(const View& v, const std::vector<Rec>& recs, size_t first, size_t next, size_t to)
{
    keptFlags_ = 0;
    subRecs_.clear();
    subHandles_.clear();
    planePoints_.clear();
    // The records of its sequence (a polyline's vertices and end) go with
    // it, each kept whole.
    for (size_t k = first + 1; k < next && k < to; ++k) {
        View sv = view(recs[k], {});
        subRecs_.push_back(SubRecord{&recs[k], {}, recs[k].type});
        subHandles_.push_back(sv.handle());
    }
    return proxy(v);
}

// Block references that would draw a block inside itself, or nest deeper
// than drawing can follow, are erased: first the references that close a
// cycle, then, going down from the blocks nothing refers to, those below
// the deepest level. Both walks keep their own stacks: a file may chain any
// number of blocks.
void Loader::dropCyclicReferences()
{
    std::map<OdDbObjectId, std::vector<std::pair<OdDbObjectId, OdDbObjectId>>> refsIn;  // block -> (ref, target)
    std::set<OdDbObjectId> blocks;
    std::map<OdDbObjectId, const Reference*> recordsOf;
    for (const Reference& r : references_) recordsOf[r.ref] = &r;
    for (const auto& [ref, block, records] : references_) {
        OdDbObjectId target = static_cast<OdDbBlockReference*>(obj(ref))->blockTableRecord();
        refsIn[block].emplace_back(ref, target);
        blocks.insert(block);
        blocks.insert(target);
    }
    // Said with its attributes, which go with it.
    auto drop = [&](OdDbObjectId ref, const char* why) {
        DxfAccess::markErased(obj(ref));
        leftOut_.push_back((uint64_t)ref.getHandle());
        const std::vector<const Rec*>& records = recordsOf[ref]->records;
        leaveOut(*records.front(), std::string("a block reference left out as ") + why);
        for (size_t k = 1; k < records.size(); ++k) leaveOut(*records[k], "an attribute of that block reference");
    };
    enum { kNew, kOnPath, kDone };
    std::map<OdDbObjectId, int> state;
    for (OdDbObjectId root : blocks) {
        if (state[root] != kNew) continue;
        std::vector<std::pair<OdDbObjectId, size_t>> stack{{root, 0}};
        state[root] = kOnPath;
        while (!stack.empty()) {
            auto& [block, next] = stack.back();
            const auto& refs = refsIn[block];
            if (next == refs.size()) {
                state[block] = kDone;
                stack.pop_back();
                continue;
            }
            auto [ref, target] = refs[next++];
            if (state[target] == kOnPath) drop(ref, "it would draw its block inside itself");
            else if (state[target] == kNew) {
                state[target] = kOnPath;
                stack.emplace_back(target, 0);
            }
        }
    }
    auto live = [this](OdDbObjectId ref) { return !obj(ref)->isErased(); };
    std::map<OdDbObjectId, int> pending, level;
    for (const auto& [block, refs] : refsIn)
        for (const auto& [ref, target] : refs)
            if (live(ref)) ++pending[target];
    std::vector<OdDbObjectId> ready;
    for (OdDbObjectId b : blocks)
        if (pending[b] == 0) ready.push_back(b);
    while (!ready.empty()) {
        OdDbObjectId block = ready.back();
        ready.pop_back();
        for (const auto& [ref, target] : refsIn[block]) {
            if (!live(ref)) continue;
            if (level[block] + 1 > kMaxBlockDepth) drop(ref, "blocks nest too deep below it to be drawn");
            else level[target] = std::max(level[target], level[block] + 1);
            if (--pending[target] == 0) ready.push_back(target);
        }
    }
}

}  // namespace dxf
}  // namespace standin
