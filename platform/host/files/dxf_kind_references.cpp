// Drawing files: what stands for something defined elsewhere, block
// references (INSERT, in rows and columns or not) and images (IMAGE). Each
// kind's codes are named once below; its description for the table
// (dxf_kinds.h), its reader and its writer all use those names.
#include <algorithm>
#include <optional>

#include "dxf_loader.h"
#include "dxf_out.h"

namespace standin {
namespace dxf {

namespace {

// Whether attributes follow (kAttributesFollow) the writer works out from
// the reference's attributes; the reader reads the records that follow.
struct BlockReferenceCodes {
    static constexpr const char* kMarker = "AcDbBlockReference";
    static constexpr int kAttributesFollow = 66, kBlock = 2, kPosition = 10, kScaleX = 41, kScaleY = 42,
                         kScaleZ = 43, kRotation = 50, kNormal = 210;
    static constexpr int kAll[] = {kAttributesFollow, kBlock, kPosition, kScaleX,
                                   kScaleY,           kScaleZ, kRotation, kNormal};
    static constexpr int kDerived[] = {kAttributesFollow};
    static constexpr Default kDefaults[] = {{kNormal, ""}};
    static constexpr Default kMeant[] = {{kScaleX, "1.0"}, {kScaleY, "1.0"}, {kScaleZ, "1.0"}, {kRotation, "0.0"}};
    static constexpr NamedCode kNames[] = {{kBlock, NameOf::kBlock}};
};
// A reference in rows and columns: a plain one's values, and its grid.
struct MInsertCodes : BlockReferenceCodes {
    static constexpr const char* kMarker = "AcDbMInsertBlock";
    static constexpr int kColumns = 70, kRows = 71, kColumnSpacing = 44, kRowSpacing = 45;
    static constexpr int kAll[] = {kAttributesFollow, kBlock,  kPosition, kScaleX,        kScaleY,     kScaleZ,
                                   kRotation,         kNormal, kColumns,  kColumnSpacing, kRowSpacing, kRows};
};
// An image's size is in pixels (kSize, y at kSize + 10); its axes are a
// pixel's. The writer works out the version, and gives an image made here
// the rest as defaults. The clipping flag is the image's own, beside the
// display option that uses a clip: files give one without the other.
struct RasterImageCodes {
    static constexpr const char* kMarker = "AcDbRasterImage";
    static constexpr int kVersion = 90, kOrigin = 10, kU = 11, kV = 12, kSize = 13, kDefinition = 340,
                         kDisplay = 70, kClipping = 280;
    static constexpr int kBrightness = 281, kContrast = 282, kFade = 283, kClipType = 71, kClipCount = 91,
                         kClipVertex = 14;
    static constexpr int kAll[] = {kVersion, kOrigin, kU, kV, kSize, kDefinition, kDisplay, kClipping};
    static constexpr int kDerived[] = {kVersion};
    static constexpr int kSoft[] = {kBrightness, kContrast, kFade, kClipType, kClipCount, kClipVertex};
    // What the reader takes for a vector or size the file left out.
    static constexpr Default kMeant[] = {
        {kVersion, "0"}, {kU, "1.0,0.0,0.0"}, {kV, "0.0,1.0,0.0"}, {kSize, "1.0,1.0,0.0"}, {kClipping, "0"}};
};

}  // namespace

std::vector<EntityKind> ReferenceKinds()
{
    using L = Loader;
    using W = DxfOut;
    static const Subclass kBlockReference = Describe<BlockReferenceCodes>(), kMInsert = Describe<MInsertCodes>(),
                          kRasterImage = Describe<RasterImageCodes>();
    return {
        // In rows and columns when the record says so (KindFlags gives
        // such a record the flag 1).
        {"INSERT", &OdDbBlockReference::desc, {&kBlockReference}, &L::readInsert, &W::writeBlockReference, {}, {1, 0},
         kByCode},
        {"INSERT", &OdDbMInsertBlock::desc, {&kMInsert}, &L::readInsert, &W::writeBlockReference, {}, {1, 1}, kByCode},
        {"IMAGE", &OdDbRasterImage::desc, {&kRasterImage}, &L::readImage, &W::writeRasterImage},
    };
}

// ---- reading ----

OdDbEntity* Loader::readInsert(const EntityRecord& item)
{
    std::optional<View> again;  // the record seen as the next read sees it
    const View* seen = &item.v;
    const std::vector<Rec>& recs = item.recs;
    size_t& i = item.i;
    const size_t to = item.to;
    std::vector<OdDbAttribute*>& attrs = item.attrs;
    std::vector<const Rec*>& attrRecs = item.attrRecs;
    using C = BlockReferenceCodes;
    using M = MInsertCodes;
    item.done = true;
    // Attributes follow the reference, up to the end of the sequence, where
    // it says they do: readers take the ATTRIBs after a reference that does
    // not say so for entities of their own (kept whole, Loader::makeEntity).
    bool follow = false;
    for (size_t at = seen->begin(); at < seen->end(); ++at)
        if (seen->readable(at) && seen->at(at).code == C::kAttributesFollow) follow = seen->at(at).integer != 0;
    size_t k = i + 1;
    for (; follow && k < to && recs[k].type == "ATTRIB"; ++k) {
        const View av = view(recs[k], expected(recs[k], true));
        untoldPart_ = untoldPart_ || av.untold();
        attrs.push_back(static_cast<OdDbAttribute*>(makeText(av, "ATTRIB")));
        attrRecs.push_back(&recs[k]);
    }
    if (follow && k < to && recs[k].type == "SEQEND") {
        View sv = view(recs[k], SubRecordSubclasses("", "SEQEND", 0));
        if (!attrs.empty()) {
            subRecs_.push_back(SubRecord{&recs[k], sv.written(), {}});
            subHandles_.push_back(sv.handle());
        } else {
            strayEnd_ = &recs[k];  // said once the reference is read
        }
        ++k;
    }
    i = k;
    // One that says attributes follow and has none: saved so, the flag
    // would have a reader take the next entity for its attribute. The save
    // writes none in its place, so the record is seen again as the next
    // read sees it: a flag given where it is no value (after a strange
    // marker) is the reference's there, and goes too where it says so.
    auto says = [&](size_t at) {
        const Group& x = seen->at(at);
        return x.code == C::kAttributesFollow && !x.unreadable && x.integer != 0;
    };
    if (attrs.empty()) {
        bool more = false;
        for (size_t at = seen->begin(); at < seen->end(); ++at)
            if (says(at)) more = silent_.insert(at).second || more;
        if (more) seen = &again.emplace(view(item.v.rec(), item.v.written()));
        for (size_t at = seen->begin(); at < seen->end(); ++at)
            if (says(at) && seen->readable(at)) dropped_.push_back(at);
    }
    const View& v = *seen;
    const char* sub = v.hasSubclass(M::kMarker) ? M::kMarker : C::kMarker;
    OdDbObjectId block = record(blockNames_, v.text(C::kBlock, sub));
    // A block the file names without defining it is added, empty, as
    // layers are: the reference and its attributes are not lost.
    if (block.isNull() && !v.text(C::kBlock, sub).empty())
        block = addRecord(roots_.blockTable, blockNames_, new OdDbBlockTableRecord(), v.text(C::kBlock, sub), nullptr);
    if (block.isNull() || block == roots_.modelSpace) return nullptr;
    // A grid only where the record is read as one.
    const bool grid = std::any_of(v.written().begin(), v.written().end(),
                                  [](const char* w) { return std::string_view(w) == M::kMarker; });
    const int64_t columns = grid ? v.integer(M::kColumns, 1, sub) : 1, rows = grid ? v.integer(M::kRows, 1, sub) : 1;
    OdDbBlockReference* r;
    OdGeVector3d n = UnitNormal(v.vector(C::kNormal, sub, OdGeVector3d(0, 0, 1)));
    const OdGePoint3d plane = v.point(C::kPosition, sub);
    OdGePoint3d at = ToWorld(plane, n);
    if (columns > 1 || rows > 1 || v.hasSubclass(M::kMarker))
        r = new OdDbMInsertBlock(at, block, (uint16_t)std::clamp<int64_t>(columns, 1, 32767),
                                 (uint16_t)std::clamp<int64_t>(rows, 1, 32767), v.real(M::kColumnSpacing, 0, sub),
                                 v.real(M::kRowSpacing, 0, sub));
    else
        r = new OdDbBlockReference(at, block);
    r->setNormal(n);
    rememberPlane(r, r->normal(), {{plane, r->position()}});
    r->setScaleFactors(OdGeScale3d(v.real(C::kScaleX, kDefaultOf<C, C::kScaleX>, sub),
                                      v.real(C::kScaleY, kDefaultOf<C, C::kScaleY>, sub),
                                      v.real(C::kScaleZ, kDefaultOf<C, C::kScaleZ>, sub)));
    r->setRotation(v.real(C::kRotation, kDefaultOf<C, C::kRotation>, sub) * kDegToRad);
    return r;
}

OdDbEntity* Loader::readImage(const EntityRecord& item)
{
    using C = RasterImageCodes;
    const View& v = item.v;
    OdDbEntity* made = nullptr;
    auto* img = new OdDbRasterImage();
    double w = v.real(C::kSize, 1), h = v.real(C::kSize + 10, 1);
    OdGeVector3d u = v.vector(C::kU, nullptr, OdGeVector3d(1, 0, 0)) * w;
    OdGeVector3d vv = v.vector(C::kV, nullptr, OdGeVector3d(0, 1, 0)) * h;
    if (w > 0 && h > 0 && Finite(u) && Finite(vv) && img->setOrientation(v.point(C::kOrigin), u, vv)) {
        int64_t display = v.integer(C::kDisplay, OdDbRasterImage::kShow);
        for (auto opt : {OdDbRasterImage::kShow, OdDbRasterImage::kShowUnAligned, OdDbRasterImage::kClip,
                         OdDbRasterImage::kTransparent})
            img->setDisplayOpt(opt, (display & opt) != 0);
        DxfAccess::setImageClipping(img, (int)v.integer(C::kClipping, kDefaultIntegerOf<C, C::kClipping>));
        const uint64_t def = v.ref(C::kDefinition);
        const size_t defAt = def ? v.indexOf(v.find(C::kDefinition)) : SIZE_MAX;
        fixups_.push_back([this, img, def, defAt] {
            if (auto* d = OdRxCast<OdDbRasterImageDef>(obj(idAt(defAt, def)))) DxfAccess::setImageDefId(img, d->objectId());
        });
        made = img;
    } else {
        delete img;
    }
    return made;
}

// ---- writing ----

void DxfOut::insert(const OdDbBlockReference* r)
{
    std::vector<const OdDbAttribute*> attrs;
    for (const auto& a : DxfAccess::attributes(r))
        if (written(a)) attrs.push_back(static_cast<const OdDbAttribute*>(obj(a)));
    using C = BlockReferenceCodes;
    using M = MInsertCodes;
    auto* minsert = OdRxCast<OdDbMInsertBlock>(const_cast<OdDbBlockReference*>(r));
    OdGeVector3d n = r->normal();
    entityCommon("INSERT", r);
    marker(minsert ? M::kMarker : C::kMarker);
    if (!attrs.empty()) integer(C::kAttributesFollow, 1);
    text(C::kBlock, nameOf(r->blockTableRecord()).str());
    point(C::kPosition, inPlane(r, 0, r->position(), n));
    real(C::kScaleX, r->scaleFactors().sx);
    real(C::kScaleY, r->scaleFactors().sy);
    real(C::kScaleZ, r->scaleFactors().sz);
    real(C::kRotation, Degrees(r->rotation()));
    if (minsert) {
        integer(M::kColumns, minsert->columns());
        integer(M::kRows, minsert->rows());
        real(M::kColumnSpacing, minsert->columnSpacing());
        real(M::kRowSpacing, minsert->rowSpacing());
    }
    if (!IsPlusZ(n)) point(C::kNormal, AsPoint(n));
    if (attrs.empty()) return;
    for (auto* a : attrs) text(a, "ATTRIB");
    seqend(r, 1);
}

void DxfOut::writeBlockReference(const OdDbEntity* e)
{
    auto* ent = const_cast<OdDbEntity*>(e);
    auto* r = static_cast<OdDbBlockReference*>(ent);
    insert(r);
}

void DxfOut::writeRasterImage(const OdDbEntity* e)
{
    auto* ent = const_cast<OdDbEntity*>(e);
    auto* img = static_cast<OdDbRasterImage*>(ent);
    OdGePoint3d origin;
    OdGeVector3d u, v;
    img->getOrientation(origin, u, v);
    // A definition the save leaves out (with the record that owns it) gives
    // the image no size: read back, it has none.
    auto* def = written(img->imageDefId()) ? OdRxCast<OdDbRasterImageDef>(obj(img->imageDefId())) : nullptr;
    OdGeVector2d size = def ? def->size() : OdGeVector2d();
    if (!(size.x >= 1 && size.y >= 1)) size = OdGeVector2d(1, 1);
    using C = RasterImageCodes;
    entityCommon("IMAGE", e);
    marker(C::kMarker);
    integer(C::kVersion, 0);
    point(C::kOrigin, origin);
    point(C::kU, AsPoint(u / size.x));
    point(C::kV, AsPoint(v / size.y));
    point2(C::kSize, size.x, size.y);
    handle(C::kDefinition, handleOf(img->imageDefId()));
    int display = 0;
    for (auto opt : {OdDbRasterImage::kShow, OdDbRasterImage::kShowUnAligned, OdDbRasterImage::kClip,
                     OdDbRasterImage::kTransparent})
        if (img->isSetDisplayOpt(opt)) display |= opt;
    integer(C::kDisplay, display);
    integer(C::kClipping, DxfAccess::imageClipping(img));
    // An image a file gave has what the file gave of these (kept); one
    // made here has the defaults, and the whole image as its clip.
    if (DxfAccess::imageFromFile(img)) return;
    softInteger(C::kBrightness, 50);
    softInteger(C::kContrast, 50);
    softInteger(C::kFade, 0);
    if (!keptHas(C::kClipType) && !keptHas(C::kClipCount) && !keptHas(C::kClipVertex)) {
        w_.integer(C::kClipType, 1);
        w_.integer(C::kClipCount, 2);
        w_.point2(C::kClipVertex, -0.5, -0.5);
        w_.point2(C::kClipVertex, size.x - 0.5, size.y - 0.5);
    }
}

}  // namespace dxf
}  // namespace standin
