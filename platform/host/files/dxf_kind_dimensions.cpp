// Drawing files: dimensions (DIMENSION, of each kind its flags say). Each
// kind's codes are named once below; its description for the table
// (dxf_kinds.h), its reader and its writer all use those names.
#include "dxf_loader.h"
#include "dxf_out.h"
#include "oddbdimension.h"

namespace standin {
namespace dxf {

namespace {

// Every dimension's values, then those of its kind.
struct DimensionCodes {
    static constexpr const char* kMarker = "AcDbDimension";
    static constexpr int kBlock = 2, kDefinitionPoint = 10, kTextPosition = 11, kType = 70, kText = 1, kStyle = 3;
    static constexpr int kAll[] = {kBlock, kDefinitionPoint, kTextPosition, kType, kText, kStyle};
    static constexpr NamedCode kNames[] = {{kBlock, NameOf::kBlock}, {kStyle, NameOf::kDimensionStyle}};
};
// A rotated dimension is an aligned one's subclass (with its rotation),
// then a marker of its own with nothing in it.
struct AlignedDimensionCodes {
    static constexpr const char* kMarker = "AcDbAlignedDimension";
    static constexpr int kExtension1 = 13, kExtension2 = 14, kRotation = 50;
    static constexpr int kAll[] = {kExtension1, kExtension2, kRotation};
};
constexpr const char* kRotatedDimensionMarker = "AcDbRotatedDimension";
struct TwoLineAngularCodes {
    static constexpr const char* kMarker = "AcDb2LineAngularDimension";
    static constexpr int kLine1Start = 13, kLine1End = 14, kLine2Start = 15, kArcPoint = 16;
    static constexpr int kAll[] = {kLine1Start, kLine1End, kLine2Start, kArcPoint};
};
struct ThreePointAngularCodes {
    static constexpr const char* kMarker = "AcDb3PointAngularDimension";
    static constexpr int kExtension1 = 13, kExtension2 = 14, kCenter = 15;
    static constexpr int kAll[] = {kExtension1, kExtension2, kCenter};
};
struct DiametricCodes {
    static constexpr const char* kMarker = "AcDbDiametricDimension";
    static constexpr int kChordPoint = 15, kLeaderLength = 40;
    static constexpr int kAll[] = {kChordPoint, kLeaderLength};
    static constexpr Default kMeant[] = {{kLeaderLength, "0.0"}};
};
struct RadialCodes {
    static constexpr const char* kMarker = "AcDbRadialDimension";
    static constexpr int kChordPoint = 15, kLeaderLength = 40;
    static constexpr int kAll[] = {kChordPoint, kLeaderLength};
    static constexpr Default kMeant[] = {{kLeaderLength, "0.0"}};
};
struct OrdinateCodes {
    static constexpr const char* kMarker = "AcDbOrdinateDimension";
    static constexpr int kDefiningPoint = 13, kLeaderEnd = 14;
    static constexpr int kAll[] = {kDefiningPoint, kLeaderEnd};
};

}  // namespace

std::vector<EntityKind> DimensionKinds()
{
    using L = Loader;
    using W = DxfOut;
    static const Subclass kDimension = Describe<DimensionCodes>(), kAligned = Describe<AlignedDimensionCodes>(),
                          kRotated{kRotatedDimensionMarker, {}, {}}, k2LineAngular = Describe<TwoLineAngularCodes>(),
                          k3PointAngular = Describe<ThreePointAngularCodes>(), kDiametric = Describe<DiametricCodes>(),
                          kRadial = Describe<RadialCodes>(), kOrdinate = Describe<OrdinateCodes>();
    const auto read = &L::readDimension;
    const auto write = &W::writeDimension;
    return {
        // A dimension's kind is in the low bits of its flags.
        {"DIMENSION", &OdDbDimension::desc, {&kDimension}, read, write, {}, {7, 7}},
        {"DIMENSION", &OdDbRotatedDimension::desc, {&kDimension, &kAligned, &kRotated}, read, write, {}, {7, 0}},
        {"DIMENSION", &OdDbAlignedDimension::desc, {&kDimension, &kAligned}, read, write, {}, {7, 1}},
        {"DIMENSION", &OdDb2LineAngularDimension::desc, {&kDimension, &k2LineAngular}, read, write, {}, {7, 2}},
        {"DIMENSION", &OdDbDiametricDimension::desc, {&kDimension, &kDiametric}, read, write, {}, {7, 3}},
        {"DIMENSION", &OdDbRadialDimension::desc, {&kDimension, &kRadial}, read, write, {}, {7, 4}},
        {"DIMENSION", &OdDb3PointAngularDimension::desc, {&kDimension, &k3PointAngular}, read, write, {}, {7, 5}},
        {"DIMENSION", &OdDbOrdinateDimension::desc, {&kDimension, &kOrdinate}, read, write, {}, {7, 6}},
    };
}

// ---- reading ----

OdDbEntity* Loader::makeDimension(const View& v)
{
    using C = DimensionCodes;
    int64_t type = v.integer(C::kType, 0, C::kMarker);
    std::wstring text = v.text(C::kText, C::kMarker);
    const wchar_t* t = text.empty() ? nullptr : text.c_str();
    const OdGePoint3d p10 = v.point(C::kDefinitionPoint);
    // Each kind's points, wherever a record without markers has them.
    OdDbDimension* d = nullptr;
    switch (type & 7) {
    case 0:
    case 1: {
        using A = AlignedDimensionCodes;
        const OdGePoint3d p13 = v.point(A::kExtension1), p14 = v.point(A::kExtension2);
        if ((type & 7) == 0) d = new OdDbRotatedDimension(v.real(A::kRotation, 0, A::kMarker) * kDegToRad, p13, p14, p10, t);
        else d = new OdDbAlignedDimension(p13, p14, p10, t);
        break;
    }
    case 2: {
        using A = TwoLineAngularCodes;
        const OdGePoint3d p13 = v.point(A::kLine1Start), p14 = v.point(A::kLine1End), p15 = v.point(A::kLine2Start),
                          p16 = v.point(A::kArcPoint);
        d = new OdDb2LineAngularDimension(p13, p14, p15, p10, p16, t);
        break;
    }
    case 3: {
        const OdGePoint3d p15 = v.point(DiametricCodes::kChordPoint);
        d = new OdDbDiametricDimension(p15, p10, v.real(DiametricCodes::kLeaderLength, kDefaultOf<DiametricCodes, DiametricCodes::kLeaderLength>), t);
        break;
    }
    case 4: {
        const OdGePoint3d p15 = v.point(RadialCodes::kChordPoint);
        d = new OdDbRadialDimension(p10, p15, v.real(RadialCodes::kLeaderLength, kDefaultOf<RadialCodes, RadialCodes::kLeaderLength>), t);
        break;
    }
    case 5: {
        using A = ThreePointAngularCodes;
        const OdGePoint3d p13 = v.point(A::kExtension1), p14 = v.point(A::kExtension2), p15 = v.point(A::kCenter);
        d = new OdDb3PointAngularDimension(p15, p13, p14, p10, t);
        break;
    }
    case 6: {
        const OdGePoint3d p13 = v.point(OrdinateCodes::kDefiningPoint), p14 = v.point(OrdinateCodes::kLeaderEnd);
        auto* o = new OdDbOrdinateDimension((type & 64) != 0, p13, p14, t);
        o->setOrigin(p10);
        d = o;
        break;
    }
    default: return nullptr;
    }
    DxfAccess::setDimensionText(d, text);
    if (v.has(C::kTextPosition)) d->setTextPosition(v.point(C::kTextPosition));
    d->setDimensionStyle(record(dimstyles_, v.has(C::kStyle, C::kMarker) ? v.text(C::kStyle, C::kMarker) : L"Standard"));
    // The block of its graphics: one the file names without defining it is
    // added, empty, as for references; a name that is empty is kept as
    // read, and the writer gives the dimension a block of its own.
    const Group* graphics = v.find(C::kBlock, C::kMarker);
    const std::wstring blockName = graphics ? v.decode(*graphics) : std::wstring();
    OdDbObjectId block = record(blockNames_, blockName);
    if (block.isNull() && !blockName.empty())
        block = addRecord(roots_.blockTable, blockNames_, new OdDbBlockTableRecord(), blockName, nullptr);
    // Model space holds no dimension's graphics, whatever name the file
    // gave its record (which the save does not keep): named, it is none.
    if (block == roots_.modelSpace) block = OdDbObjectId();
    if (block.isNull()) v.refuse(graphics);
    d->setDimBlockId(block);
    keptFlags_ = (int)type;
    return d;
}

OdDbEntity* Loader::readDimension(const EntityRecord& item)
{
    const View& v = item.v;
    OdDbEntity* made = nullptr;
    made = makeDimension(v);
    return made;
}

// ---- writing ----

void DxfOut::dimension(const OdDbDimension* d)
{
    using C = DimensionCodes;
    entityCommon("DIMENSION", d);
    marker(C::kMarker);
    OdDbObjectId block = d->dimBlockId();
    if (!written(block) || !OdRxCast<OdDbBlockTableRecord>(obj(block))) {
        // A dimension without a block of its own gets an empty one.
        const auto [at, added] = dimensionBlockOf_.emplace(d, dimensionBlocks_.size());
        if (added) dimensionBlocks_.emplace_back();
        DimensionBlock& made = dimensionBlocks_[at->second];
        do made.name = L"*D" + std::to_wstring(nextDimensionBlock_++);
        while (blockNames_.count(made.name));
        made.record = synthetic();
        // It names the block made for it whatever the file named.
        w_.setTag(GroupWriter::kFrame);
        text(C::kBlock, made.name);
        w_.setTag(GroupWriter::kValue);
    } else {
        text(C::kBlock, nameOf(block).str());
    }
    int type = 0;
    OdGePoint3d defPoint;
    const char* sub = nullptr;
    auto* md = const_cast<OdDbDimension*>(d);
    if (auto* a = OdRxCast<OdDbAlignedDimension>(md)) {
        type = 1, defPoint = a->dimLinePoint(), sub = AlignedDimensionCodes::kMarker;
    } else if (auto* r = OdRxCast<OdDbRotatedDimension>(md)) {
        type = 0, defPoint = r->dimLinePoint(), sub = AlignedDimensionCodes::kMarker;
    } else if (auto* a2 = OdRxCast<OdDb2LineAngularDimension>(md)) {
        type = 2, defPoint = a2->xLine2End(), sub = TwoLineAngularCodes::kMarker;
    } else if (auto* dd = OdRxCast<OdDbDiametricDimension>(md)) {
        type = 3, defPoint = dd->farChordPoint(), sub = DiametricCodes::kMarker;
    } else if (auto* rd = OdRxCast<OdDbRadialDimension>(md)) {
        type = 4, defPoint = rd->center(), sub = RadialCodes::kMarker;
    } else if (auto* a3 = OdRxCast<OdDb3PointAngularDimension>(md)) {
        type = 5, defPoint = a3->arcPoint(), sub = ThreePointAngularCodes::kMarker;
    } else if (auto* o = OdRxCast<OdDbOrdinateDimension>(md)) {
        type = 6 | (o->isUsingXAxis() ? 64 : 0), defPoint = o->origin(), sub = OrdinateCodes::kMarker;
    }
    point(C::kDefinitionPoint, defPoint);
    point(C::kTextPosition, d->textPosition());
    // The type, and of the file's flags those the type does not say.
    const DxfKept* k = DxfAccess::kept(d);
    int flags = k ? k->flags : 128;
    integer(C::kType, type | (flags & ~(7 | 64)));
    text(C::kText, d->dimensionText().str());
    OdString style = nameOf(d->dimensionStyle());
    text(C::kStyle, style.isEmpty() ? L"Standard" : style.str());
    if (!sub) return;
    marker(sub);
    using A = AlignedDimensionCodes;
    if (auto* a = OdRxCast<OdDbAlignedDimension>(md)) {
        point(A::kExtension1, a->xLine1Point());
        point(A::kExtension2, a->xLine2Point());
    } else if (auto* r = OdRxCast<OdDbRotatedDimension>(md)) {
        point(A::kExtension1, r->xLine1Point());
        point(A::kExtension2, r->xLine2Point());
        real(A::kRotation, Degrees(r->rotation()));
        marker(kRotatedDimensionMarker);
    } else if (auto* a2 = OdRxCast<OdDb2LineAngularDimension>(md)) {
        using T = TwoLineAngularCodes;
        point(T::kLine1Start, a2->xLine1Start());
        point(T::kLine1End, a2->xLine1End());
        point(T::kLine2Start, a2->xLine2Start());
        point(T::kArcPoint, a2->arcPoint());
    } else if (auto* dd = OdRxCast<OdDbDiametricDimension>(md)) {
        point(DiametricCodes::kChordPoint, dd->chordPoint());
        real(DiametricCodes::kLeaderLength, dd->leaderLength());
    } else if (auto* rd = OdRxCast<OdDbRadialDimension>(md)) {
        point(RadialCodes::kChordPoint, rd->chordPoint());
        real(RadialCodes::kLeaderLength, rd->leaderLength());
    } else if (auto* a3 = OdRxCast<OdDb3PointAngularDimension>(md)) {
        using T = ThreePointAngularCodes;
        point(T::kExtension1, a3->xLine1Point());
        point(T::kExtension2, a3->xLine2Point());
        point(T::kCenter, a3->centerPoint());
    } else if (auto* o = OdRxCast<OdDbOrdinateDimension>(md)) {
        point(OrdinateCodes::kDefiningPoint, o->definingPoint());
        point(OrdinateCodes::kLeaderEnd, o->leaderEndPoint());
    }
}

void DxfOut::writeDimension(const OdDbEntity* e)
{
    auto* ent = const_cast<OdDbEntity*>(e);
    auto* d = static_cast<OdDbDimension*>(ent);
    dimension(d);
}

}  // namespace dxf
}  // namespace standin
