// Drawing files: texts (TEXT, ATTDEF, ATTRIB, MTEXT). Each kind's codes are
// named once below; its description for the table (dxf_kinds.h), its
// reader and its writer all use those names.
#include <algorithm>
#include <cmath>

#include "dxf_loader.h"
#include "dxf_out.h"
#include "oddbtext.h"

namespace standin {
namespace dxf {

namespace {

// A text's values; its second AcDbText subclass holds only its vertical
// alignment.
struct TextCodes {
    static constexpr const char* kMarker = "AcDbText";
    static constexpr int kThickness = 39, kPosition = 10, kHeight = 40, kString = 1, kRotation = 50, kWidth = 41,
                         kOblique = 51, kStyle = 7, kGeneration = 71, kHorizontal = 72, kAlignment = 11,
                         kNormal = 210, kVertical = 73;
    static constexpr int kAll[] = {kPosition, kHeight,     kString,     kRotation, kWidth,  kOblique, kStyle,
                                   kGeneration, kHorizontal, kAlignment, kThickness, kNormal, kVertical};
    static constexpr Default kDefaults[] = {{kThickness, "0.0"}, {kRotation, "0.0"},  {kWidth, "1.0"},
                                            {kOblique, "0.0"},   {kGeneration, "0"}, {kNormal, ""}};
    static constexpr Default kMeant[] = {{kHorizontal, "0"}, {kVertical, "0"}};
    static constexpr int kPlanePoints[] = {kPosition, kAlignment}, kLengths[] = {kHeight, kThickness},
                         kAngles[] = {kRotation}, kNormals[] = {kNormal};
    static constexpr NamedCode kNames[] = {{kStyle, NameOf::kTextStyle}};
};
using T = TextCodes;
// Some files give an attribute's text values after its own marker; they
// are read there too, and written with the text's.
constexpr int kTextValuesToo[] = {T::kRotation,   T::kWidth,     T::kOblique,   T::kStyle, T::kGeneration,
                                  T::kHorizontal, T::kAlignment, T::kThickness, T::kNormal};
struct AttributeCodes {
    static constexpr const char* kMarker = "AcDbAttribute";
    static constexpr int kTag = 2, kFlags = 70, kFieldLength = 73, kVertical = 74;
    static constexpr int kAll[] = {kTag, kFlags, kFieldLength, kVertical};
    static constexpr const int (&kReadToo)[9] = kTextValuesToo;
    static constexpr Default kMeant[] = {{kFieldLength, "0"}, {kVertical, "0"}};
    static constexpr NamedCode kNames[] = {{T::kStyle, NameOf::kTextStyle}};
};
struct AttributeDefinitionCodes {
    static constexpr const char* kMarker = "AcDbAttributeDefinition";
    static constexpr int kPrompt = 3, kTag = 2, kFlags = 70, kFieldLength = 73, kVertical = 74;
    static constexpr int kAll[] = {kPrompt, kTag, kFlags, kFieldLength, kVertical};
    static constexpr const int (&kReadToo)[9] = kTextValuesToo;
    static constexpr Default kMeant[] = {{kFieldLength, "0"}, {kVertical, "0"}};
    static constexpr NamedCode kNames[] = {{T::kStyle, NameOf::kTextStyle}};
};
// Contents longer than a piece (kMTextPiece characters) go in pieces
// (kPiece), the last under kLast.
constexpr size_t kMTextPiece = 250;
struct MTextCodes {
    static constexpr const char* kMarker = "AcDbMText";
    static constexpr int kPosition = 10, kHeight = 40, kWidth = 41, kAttachment = 71, kFlow = 72, kLast = 1,
                         kPiece = 3, kStyle = 7, kDirection = 11, kRotation = 50, kNormal = 210, kSpacingStyle = 73,
                         kSpacingFactor = 44, kFill = 90, kFillColour = 63, kFillRgb = 421, kFillScale = 45,
                         kFillTransparency = 441;
    static constexpr int kAll[] = {kPosition, kHeight,  kWidth,         kAttachment,    kFlow,       kLast,
                                   kPiece,    kStyle,   kDirection,     kRotation,      kNormal,     kSpacingStyle,
                                   kSpacingFactor, kFill, kFillColour,  kFillRgb,       kFillScale,  kFillTransparency};
    static constexpr Default kDefaults[] = {{kRotation, "0.0"}, {kFill, "0"}, {kNormal, ""}};
    static constexpr Default kMeant[] = {{kWidth, "0.0"},       {kAttachment, "1"},        {kFlow, "1"},
                                         {kSpacingStyle, "1"},  {kSpacingFactor, "1.0"},   {kDirection, "1.0,0.0,0.0"}};
    // A height of its frame a file may give, which it has no value of.
    // Its rotation stays as read: its direction says where it points.
    static constexpr int kFrameHeight = 46;
    static constexpr int kPoints[] = {kPosition}, kDirections[] = {kDirection},
                         kLengths[] = {kHeight, kWidth, kFrameHeight}, kNormals[] = {kNormal};
    static constexpr NamedCode kNames[] = {{kStyle, NameOf::kTextStyle}};
};

}  // namespace

std::vector<EntityKind> TextKinds()
{
    using L = Loader;
    using W = DxfOut;
    static const Subclass kText = Describe<TextCodes>(), kAttribute = Describe<AttributeCodes>(),
                          kAttributeDefinition = Describe<AttributeDefinitionCodes>(),
                          kMText = Describe<MTextCodes>();
    // A text's values are read by their codes; an attribute's and a
    // multiline text's in their subclasses, the entity's own also in the
    // subclasses after it.
    return {
        {"TEXT", &OdDbText::desc, {&kText, &kText}, &L::readText, &W::writeText, {}, {}, kByCode},
        {"ATTDEF", &OdDbAttributeDefinition::desc, {&kText, &kAttributeDefinition}, &L::readText, &W::writeText,
         {}, {}, {false, 2}},
        // Attributes are read with their reference.
        {"ATTRIB", &OdDbAttribute::desc, {&kText, &kAttribute}, nullptr, &W::writeText, {}, {}, {false, 2}},
        {"MTEXT", &OdDbMText::desc, {&kMText}, &L::readMText, &W::writeMText},
    };
}

// ---- reading ----

OdDbEntity* Loader::makeText(const View& v, std::string_view type)
{
    using D = AttributeDefinitionCodes;
    using A = AttributeCodes;
    OdDbText* t;
    const char* sub = type == "ATTDEF" ? D::kMarker : type == "ATTRIB" ? A::kMarker : T::kMarker;
    const int64_t flags = type == "ATTDEF" ? v.integer(D::kFlags, 0, sub) : type == "ATTRIB" ? v.integer(A::kFlags, 0, sub) : 0;
    if (type == "ATTDEF") {
        auto* d = new OdDbAttributeDefinition();
        DxfAccess::setTag(d, v.text(D::kTag, sub));
        DxfAccess::setPrompt(d, v.text(D::kPrompt, sub));
        d->setInvisible(flags & 1);
        d->setConstant(flags & 2);
        d->setVerifiable(flags & 4);
        d->setPreset(flags & 8);
        d->setFieldLength((int)v.integer(D::kFieldLength, kDefaultIntegerOf<D, D::kFieldLength>, sub));
        t = d;
    } else if (type == "ATTRIB") {
        auto* a = new OdDbAttribute();
        DxfAccess::setTag(a, v.text(A::kTag, sub));
        a->setInvisible(flags & 1);
        a->setConstant(flags & 2);
        a->setVerifiable(flags & 4);
        a->setPreset(flags & 8);
        a->setFieldLength((int)v.integer(A::kFieldLength, kDefaultIntegerOf<A, A::kFieldLength>, sub));
        t = a;
    } else {
        t = new OdDbText();
    }
    // An attribute's text values are read from its text subclass, or where
    // a file gives them after the attribute's own marker (as its tag, before
    // its vertical alignment, lock flag or embedded text: what follows those
    // means other things in multi-line attributes, and is kept).
    const bool ownMarker = type != "TEXT" && v.hasSubclass(sub);
    size_t from = v.subclassStart(sub), to = from;
    if (ownMarker)
        for (bool tag = false; to < v.end(); tag |= v.at(to).code == A::kTag, ++to) {
            const int c = v.at(to).code;
            if (c == 100 || c == 101 || c == A::kVertical || (c == 280 && tag)) break;
        }
    auto value = [&](int code) {
        const Group* x = v.find(code, T::kMarker);
        return x || to == from ? x : v.find(code, nullptr, 0, from, to);
    };
    auto real = [&](int code, double def) {
        const Group* x = value(code);
        return x && x->kind == Kind::kReal ? x->real : def;
    };
    auto integer = [&](int code, int64_t def) {
        const Group* x = value(code);
        return x && x->kind == Kind::kInt ? x->integer : def;
    };
    // Positions are in the text's own plane.
    const OdGeVector3d given(real(T::kNormal, 0), real(T::kNormal + 10, 0), real(T::kNormal + 20, 1));
    const OdGeVector3d n = UnitNormal(given);
    t->setNormal(n);
    DxfAccess::setFileNormal(t, given, t->normal());
    const OdGePoint3d at = v.point(T::kPosition, T::kMarker),
                      align(real(T::kAlignment, 0), real(T::kAlignment + 10, 0), real(T::kAlignment + 20, 0));
    t->setPosition(ToWorld(at, n));
    t->setAlignmentPoint(ToWorld(align, n));
    rememberPlane(t, t->normal(), {{at, t->position()}, {align, t->alignmentPoint()}});
    t->setHeight(v.real(T::kHeight, 0, T::kMarker));
    DxfAccess::setTextString(t, v.text(T::kString, T::kMarker));
    t->setRotation(real(T::kRotation, kDefaultOf<T, T::kRotation>) * kDegToRad);
    t->setWidthFactor(real(T::kWidth, kDefaultOf<T, T::kWidth>));
    t->setOblique(real(T::kOblique, kDefaultOf<T, T::kOblique>) * kDegToRad);
    t->setThickness(real(T::kThickness, kDefaultOf<T, T::kThickness>));
    int64_t generation = integer(T::kGeneration, kDefaultIntegerOf<T, T::kGeneration>);
    t->mirrorInX(generation & 2);
    t->mirrorInY(generation & 4);
    t->setTextStyle(styleOf(v, value(T::kStyle)));
    int64_t h = integer(T::kHorizontal, kDefaultIntegerOf<T, T::kHorizontal>);
    // Text values after the attribute's marker that were not read are kept
    // where they are, none of them in the place of one the writer writes.
    static const CodeSet kTextValues = [] {
        CodeSet s;
        for (int c : kTextValuesToo) {
            s.set((size_t)c);
            if (IsPointCode(c)) s.set((size_t)c + 10).set((size_t)c + 20);
        }
        return s;
    }();
    for (size_t k = from; ownMarker && k < v.end() && v.at(k).code != 100 && v.at(k).code != 101; ++k)
        if (v.readable(k) && !v.taken(k) && kTextValues.test(CodeSlot(v.at(k).code))) v.refuse(&v.at(k));
    // A text's vertical alignment is in its second text subclass, where it
    // is written, or, as readers take a text's values by their code, where
    // the file gives it.
    const Group* vertical = type == "TEXT" ? v.findIn(T::kVertical, T::kMarker, 1) : v.find(A::kVertical, sub);
    if (!vertical && type == "TEXT") vertical = v.find(T::kVertical);
    int64_t vm = vertical && vertical->kind == Kind::kInt ? vertical->integer : 0;
    t->setHorizontalMode(h >= 0 && h <= 5 ? (OdDb::TextHorzMode)h : OdDb::kTextLeft);
    t->setVerticalMode(vm >= 0 && vm <= 3 ? (OdDb::TextVertMode)vm : OdDb::kTextBase);
    // An alignment point the file gave a text of the default alignment is
    // one of its positions: written, so that it moves with it.
    if (t->isDefaultAlignment() && value(T::kAlignment)) keptOf(t).flags |= kAlignmentGiven;
    return t;
}

OdDbEntity* Loader::makeMText(const View& v)
{
    using C = MTextCodes;
    const char* sub = C::kMarker;
    auto* m = new OdDbMText();
    m->setLocation(v.point(C::kPosition, sub));
    m->setTextHeight(v.real(C::kHeight, 2.5, sub));
    m->setWidth(v.real(C::kWidth, kDefaultOf<C, C::kWidth>, sub));
    int64_t a = v.integer(C::kAttachment, kDefaultIntegerOf<C, C::kAttachment>, sub),
            f = v.integer(C::kFlow, kDefaultIntegerOf<C, C::kFlow>, sub);
    m->setAttachment(a >= 1 && a <= 9 ? (OdDbMText::AttachmentPoint)a : OdDbMTextEnums::kTopLeft);
    m->setFlowDirection(f >= 1 && f <= 5 ? (OdDbMText::FlowDirection)f : OdDbMTextEnums::kLtoR);
    // The contents: the pieces in order and the last, up to an embedded
    // object; a second last, and a piece after the last, are kept as read.
    std::string raw;
    bool last = false;
    // Where each piece ends in the contents, each decoded alone: an escape
    // or caret code cut in two ends a piece a little late, which only
    // moves the cut the writer makes there.
    std::vector<uint32_t> ends;
    size_t decoded = 0;
    // Without its marker, its pieces are wherever the record gives them.
    const bool marked = v.hasSubclass(sub);
    for (size_t k = v.subclassStart(sub); k < v.end() && v.at(k).code != 101 && (v.at(k).code != 100 || !marked);
         ++k) {
        if (!v.readable(k) || (v.at(k).code != C::kLast && v.at(k).code != C::kPiece)) continue;
        if (last) {
            if (v.at(k).code == C::kPiece) v.refuse(&v.at(k));
            continue;
        }
        const std::string_view piece = v.take(k).text;
        raw += piece;
        last = v.at(k).code == C::kLast;
        if (!last) ends.push_back((uint32_t)std::min<size_t>(decoded += codec_.decode(piece).size(), UINT32_MAX));
    }
    const std::wstring contents = codec_.decode(raw);
    DxfAccess::setContents(m, contents);
    // Pieces cut otherwise than the writer cuts them are cut where the
    // file cut them while the contents stay as read.
    bool writersCut = contents.size() <= kMTextPiece ? ends.empty() : ends.size() == (contents.size() - 1) / kMTextPiece;
    for (size_t i = 0; i < ends.size() && writersCut; ++i) writersCut = ends[i] == (i + 1) * kMTextPiece;
    if (!writersCut) {
        DxfKept& kept = keptOf(m);
        uint32_t before = 0;
        for (uint32_t& end : ends) end = before = std::clamp<uint32_t>(end, before, (uint32_t)contents.size());
        kept.pieceEnds = std::move(ends);
        kept.piecesOf = contents;
    }
    m->setTextStyle(styleOf(v, v.find(C::kStyle, sub)));
    OdGeVector3d n = UnitNormal(v.vector(C::kNormal, sub, OdGeVector3d(0, 0, 1)));
    m->setNormal(n);
    if (v.has(C::kDirection, sub) || !v.has(C::kRotation, sub)) {
        // The direction is a world vector; the rotation is taken in the
        // text's plane. A file that gives neither a direction nor a
        // rotation means the world's x axis, as in a plane of its own.
        const OdGeVector3d given = v.vector(C::kDirection, sub, OdGeVector3d(1, 0, 0));
        OdGeVector3d d = given, ax, ay;
        OdGePlaneAxes(n, ax, ay);
        d = d - n * d.dotProduct(n);
        m->setRotation(d.isZeroLength() || !Finite(d) ? 0 : std::atan2(d.dotProduct(ay), d.dotProduct(ax)));
        // The direction goes back as the file gave it while the rotation
        // holds (it is the one saving would work out).
        if (v.has(C::kDirection, sub)) {
            const OdGeVector3d now = ax * std::cos(m->rotation()) + ay * std::sin(m->rotation());
            rememberPlane(m, m->normal(), {{OdGePoint3d(given.x, given.y, given.z), OdGePoint3d(now.x, now.y, now.z)}},
                          true);
        }
    } else {
        m->setRotation(v.real(C::kRotation, kDefaultOf<C, C::kRotation>, sub) * kDegToRad);
    }
    int64_t spacing = v.integer(C::kSpacingStyle, kDefaultIntegerOf<C, C::kSpacingStyle>, sub);
    if (spacing == 2) m->setLineSpacingStyle(OdDb::kExactly);
    m->setLineSpacingFactor(v.real(C::kSpacingFactor, kDefaultOf<C, C::kSpacingFactor>, sub));
    int64_t fill = v.integer(C::kFill, kDefaultIntegerOf<C, C::kFill>, sub);
    if (fill) {
        DxfAccess::setMTextFill(m, (int)fill);
        OdCmColor c;
        if (v.has(C::kFillRgb, sub)) {
            int64_t rgb = v.integer(C::kFillRgb, 0, sub);
            c.setRGB((uint8_t)(rgb >> 16), (uint8_t)(rgb >> 8), (uint8_t)rgb);
        } else {
            c.setColorIndex((int16_t)std::clamp<int64_t>(v.integer(C::kFillColour, 7, sub), 0, 256));
        }
        m->setBackgroundFillColor(c);
        double scale = v.real(C::kFillScale, 1.5, sub);
        if (m->setBackgroundScaleFactor(scale) != eOk) m->setBackgroundScaleFactor(std::clamp(scale, 1.0, 5.0));
        auto t = OdCmTransparency::fromSerialized((uint32_t)v.integer(C::kFillTransparency, 0, sub));
        if (t.method() != OdCmTransparency::kErrorValue) m->setBackgroundTransparency(t);
    }
    return m;
}

OdDbEntity* Loader::readText(const EntityRecord& item)
{
    const View& v = item.v;
    const std::string_view type = item.recs[item.i].type;
    OdDbEntity* made = nullptr;
    made = makeText(v, type);
    return made;
}

OdDbEntity* Loader::readMText(const EntityRecord& item)
{
    const View& v = item.v;
    OdDbEntity* made = nullptr;
    made = makeMText(v);
    return made;
}

// ---- writing ----

void DxfOut::text(const OdDbText* t, const char* type)
{
    using D = AttributeDefinitionCodes;
    using A = AttributeCodes;
    entityCommon(type, t);
    OdGeVector3d n = t->normal();
    marker(T::kMarker);
    if (t->thickness() != kDefaultOf<T, T::kThickness>) real(T::kThickness, t->thickness());
    point(T::kPosition, inPlane(t, 0, t->position(), n));
    real(T::kHeight, t->height());
    text(T::kString, t->textString().str());
    if (t->rotation() != kDefaultOf<T, T::kRotation> * kDegToRad) real(T::kRotation, Degrees(t->rotation()));
    if (t->widthFactor() != kDefaultOf<T, T::kWidth>) real(T::kWidth, t->widthFactor());
    if (t->oblique() != kDefaultOf<T, T::kOblique> * kDegToRad) real(T::kOblique, Degrees(t->oblique()));
    OdString style = nameOf(t->textStyle());
    if (!style.isEmpty()) text(T::kStyle, style.str());
    int generation = (t->isMirroredInX() ? 2 : 0) | (t->isMirroredInY() ? 4 : 0);
    if (generation != kDefaultIntegerOf<T, T::kGeneration>) integer(T::kGeneration, generation);
    integer(T::kHorizontal, t->horizontalMode());
    const DxfKept* kept = DxfAccess::kept(t);
    if (!t->isDefaultAlignment() || (kept && (kept->flags & kAlignmentGiven)))
        point(T::kAlignment, inPlane(t, 1, t->alignmentPoint(), n));
    if (!IsPlusZ(n) || DxfAccess::hasFileNormal(t, n)) point(T::kNormal, AsPoint(DxfAccess::fileNormal(t, n)));
    if (auto* def = OdRxCast<OdDbAttributeDefinition>(const_cast<OdDbText*>(t))) {
        marker(D::kMarker);
        text(D::kPrompt, def->prompt().str());
        text(D::kTag, def->tag().str());
        integer(D::kFlags, (def->isInvisible() ? 1 : 0) | (def->isConstant() ? 2 : 0) | (def->isVerifiable() ? 4 : 0) |
                        (def->isPreset() ? 8 : 0));
        integer(D::kFieldLength, def->fieldLength());
        integer(D::kVertical, t->verticalMode());
    } else if (auto* att = OdRxCast<OdDbAttribute>(const_cast<OdDbText*>(t))) {
        marker(A::kMarker);
        text(A::kTag, att->tag().str());
        integer(A::kFlags, (att->isInvisible() ? 1 : 0) | (att->isConstant() ? 2 : 0) | (att->isVerifiable() ? 4 : 0) |
                        (att->isPreset() ? 8 : 0));
        integer(A::kFieldLength, att->fieldLength());
        integer(A::kVertical, t->verticalMode());
    } else {
        marker(T::kMarker);
        integer(T::kVertical, t->verticalMode());
    }
}

void DxfOut::mtext(const OdDbMText* mt)
{
    using C = MTextCodes;
    entityCommon("MTEXT", mt);
    marker(C::kMarker);
    point(C::kPosition, mt->location());
    real(C::kHeight, mt->textHeight());
    real(C::kWidth, mt->width());
    integer(C::kAttachment, mt->attachment());
    integer(C::kFlow, mt->flowDirection());
    std::wstring s = mt->contents().str();
    // Long contents go in pieces of 250 characters, or where the file cut
    // them while they are as read; the reader joins them before it reads
    // caret codes, so a piece's last caret is written for what follows it.
    size_t pos = 0;
    const DxfKept* kept = DxfAccess::kept(mt);
    if (kept && !kept->pieceEnds.empty() && kept->piecesOf == s) {
        for (uint32_t end : kept->pieceEnds) {
            text(C::kPiece, s.substr(pos, end - pos), end < s.size() ? (int)s[end] : -1);
            pos = end;
        }
    } else {
        for (; s.size() - pos > kMTextPiece; pos += kMTextPiece)
            text(C::kPiece, s.substr(pos, kMTextPiece), (int)s[pos + kMTextPiece]);
    }
    text(C::kLast, s.substr(pos));
    OdString style = nameOf(mt->textStyle());
    if (!style.isEmpty()) text(C::kStyle, style.str());
    OdGeVector3d n = mt->normal(), ax, ay;
    OdGePlaneAxes(n, ax, ay);
    if (!IsPlusZ(n)) point(C::kNormal, AsPoint(n));
    const OdGePoint3d direction = AsPoint(ax * std::cos(mt->rotation()) + ay * std::sin(mt->rotation()));
    point(C::kDirection, asRead(mt, 0, direction, n, direction));
    if (mt->rotation() != kDefaultOf<C, C::kRotation> * kDegToRad) real(C::kRotation, Degrees(mt->rotation()));
    integer(C::kSpacingStyle, mt->lineSpacingStyle());
    real(C::kSpacingFactor, mt->lineSpacingFactor());
    int fill = DxfAccess::mtextFill(mt);
    if (fill != kDefaultIntegerOf<C, C::kFill>) {
        integer(C::kFill, fill);
        double scale = 1.5;
        mt->getBackgroundScaleFactor(scale);
        OdCmColor c;
        mt->getBackgroundFillColor(c);
        color(C::kFillColour, C::kFillRgb, c);
        real(C::kFillScale, scale);
        OdCmTransparency t;
        mt->getBackgroundTransparency(t);
        integer(C::kFillTransparency, t.serializeOut());
    }
}

void DxfOut::writeText(const OdDbEntity* e)
{
    auto* ent = const_cast<OdDbEntity*>(e);
    auto* t = static_cast<OdDbText*>(ent);
    text(t, OdRxCast<OdDbAttributeDefinition>(ent) ? "ATTDEF" : OdRxCast<OdDbAttribute>(ent) ? "ATTRIB" : "TEXT");
}

void DxfOut::writeMText(const OdDbEntity* e)
{
    auto* ent = const_cast<OdDbEntity*>(e);
    auto* mt = static_cast<OdDbMText*>(ent);
    mtext(mt);
}

}  // namespace dxf
}  // namespace standin
