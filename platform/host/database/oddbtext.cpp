#include "oddbtext.h"

#include <algorithm>
#include <cmath>
#include <cwchar>
#include <cwctype>

ODRX_DEFINE_MEMBERS(OdDbText, OdDbEntity, L"AcDbText")
ODRX_DEFINE_MEMBERS(OdDbAttributeDefinition, OdDbText, L"AcDbAttributeDefinition")
ODRX_DEFINE_MEMBERS(OdDbAttribute, OdDbText, L"AcDbAttribute")
ODRX_DEFINE_MEMBERS(OdDbMText, OdDbEntity, L"AcDbMText")

namespace {
OdString Upper(const wchar_t* s)
{
    std::wstring u(s ? s : L"");
    for (auto& c : u) c = (wchar_t)std::towupper(c);
    return OdString(u);
}

// The directions of a text's baseline and of its height: the rotation
// taken in the plane of the normal.
void TextAxes(const OdGeVector3d& normal, double rotation, OdGeVector3d& x, OdGeVector3d& y)
{
    OdGeVector3d ax, ay;
    OdGePlaneAxes(normal, ax, ay);
    x = ax * std::cos(rotation) + ay * std::sin(rotation);
    y = ax * -std::sin(rotation) + ay * std::cos(rotation);
}

// The box of a text run: `w` wide and `h` high from `base`, turned by
// `rotation` about it in the plane of the normal.
void AddBox(OdGeExtents3d& ext, const OdGePoint3d& base, double w, double h, double rotation, double dy = 0,
            const OdGeVector3d& normal = OdGeVector3d(0, 0, 1))
{
    OdGeVector3d x, y;
    TextAxes(normal, rotation, x, y);
    for (double u : {0.0, w})
        for (double v : {dy, dy + h}) ext.addPoint(base + x * u + y * v);
}

// Direction angle of the x axis and the scale of a matrix in the XY plane.
void PlanePart(const OdGeMatrix3d& m, double rotation, double& newRotation, double& scale)
{
    OdGeVector3d d(std::cos(rotation), std::sin(rotation), 0);
    d.transformBy(m);
    newRotation = std::atan2(d.y, d.x);
    if (newRotation < 0) newRotation += 2 * M_PI;
    scale = d.length();
}
}  // namespace

OdDbText::OdDbText(const OdGePoint3d& position, const wchar_t* text, OdDbObjectId style, double height,
                   double rotation)
    : pos_(position), text_(text ? text : L""), style_(style), height_(height), rotation_(rotation)
{
}

OdResult OdDbText::setPosition(const OdGePoint3d& p) { OD_SET(pos_, p); }
OdResult OdDbText::setAlignmentPoint(const OdGePoint3d& p) { OD_SET(align_, p); }
OdResult OdDbText::setTextString(const wchar_t* s) { OD_SET(text_, OdString(s ? s : L"")); }
OdResult OdDbText::setTextStyle(OdDbObjectId id) { OD_SET(style_, id); }

OdResult OdDbText::setHeight(double h)
{
    if (!(h > 0)) return eInvalidInput;
    OD_SET(height_, h);
}

OdResult OdDbText::setRotation(double a) { OD_SET(rotation_, a); }

OdResult OdDbText::setWidthFactor(double f)
{
    if (!(f > 0)) return eInvalidInput;
    OD_SET(width_, f);
}

OdResult OdDbText::setOblique(double a) { OD_SET(oblique_, a); }
OdResult OdDbText::mirrorInX(bool v) { OD_SET(mirrorX_, v); }
OdResult OdDbText::mirrorInY(bool v) { OD_SET(mirrorY_, v); }
OdResult OdDbText::setThickness(double t) { OD_SET(thickness_, t); }

OdResult OdDbText::setNormal(const OdGeVector3d& n)
{
    if (n.isZeroLength()) return eInvalidInput;
    OD_SET(normal_, n.normal());
}
OdResult OdDbText::setHorizontalMode(OdDb::TextHorzMode m) { OD_SET(hmode_, m); }
OdResult OdDbText::setVerticalMode(OdDb::TextVertMode m) { OD_SET(vmode_, m); }

OdResult OdDbText::getGeomExtents(OdGeExtents3d& ext) const
{
    ext = OdGeExtents3d();
    if (text_.isEmpty()) return eInvalidExtents;
    AddBox(ext, pos_, text_.getLength() * height_ * width_, height_, rotation_, 0, normal_);
    return eOk;
}

OdResult OdDbText::subTransformBy(const OdGeMatrix3d& m)
{
    if (m.isTranslation()) {
        pos_.transformBy(m);
        align_.transformBy(m);
        return eOk;
    }
    double rot, s;
    if (normal_.x == 0 && normal_.y == 0 && normal_.z > 0) {
        PlanePart(m, rotation_, rot, s);
    } else {
        // The baseline's direction carried into the new plane.
        OdGeVector3d x, y, n = normal_;
        TextAxes(normal_, rotation_, x, y);
        x.transformBy(m);
        n.transformBy(m);
        s = x.length();
        if (n.isZeroLength() || s == 0) return eCannotScaleNonUniformly;
        normal_ = n.normal();
        OdGeVector3d ax, ay;
        OdGePlaneAxes(normal_, ax, ay);
        rot = OdGeNormalizeAngle(std::atan2(x.dotProduct(ay), x.dotProduct(ax)));
    }
    pos_.transformBy(m);
    align_.transformBy(m);
    rotation_ = rot;
    height_ *= s;
    return eOk;
}

OdDbAttributeDefinition::OdDbAttributeDefinition(const OdGePoint3d& position, const wchar_t* text,
                                                 const wchar_t* tag, const wchar_t* prompt, OdDbObjectId style)
    : OdDbText(position, text, style), tag_(Upper(tag)), prompt_(prompt ? prompt : L"")
{
}

OdResult OdDbAttributeDefinition::setTag(const wchar_t* tag) { OD_SET(tag_, Upper(tag)); }
OdResult OdDbAttributeDefinition::setPrompt(const wchar_t* p) { OD_SET(prompt_, OdString(p ? p : L"")); }
OdResult OdDbAttributeDefinition::setInvisible(bool v) { OD_SET(invisible_, v); }
OdResult OdDbAttributeDefinition::setConstant(bool v) { OD_SET(constant_, v); }
OdResult OdDbAttributeDefinition::setVerifiable(bool v) { OD_SET(verifiable_, v); }
OdResult OdDbAttributeDefinition::setPreset(bool v) { OD_SET(preset_, v); }
OdResult OdDbAttributeDefinition::setFieldLength(int n) { OD_SET(fieldLength_, n); }

OdResult OdDbAttribute::setTag(const wchar_t* tag) { OD_SET(tag_, Upper(tag)); }
OdResult OdDbAttribute::setInvisible(bool v) { OD_SET(invisible_, v); }
OdResult OdDbAttribute::setConstant(bool v) { OD_SET(constant_, v); }
OdResult OdDbAttribute::setVerifiable(bool v) { OD_SET(verifiable_, v); }
OdResult OdDbAttribute::setPreset(bool v) { OD_SET(preset_, v); }
OdResult OdDbAttribute::setFieldLength(int n) { OD_SET(fieldLength_, n); }

OdResult OdDbAttribute::setAttributeFromBlock(const OdDbAttributeDefinition* def, const OdGeMatrix3d& xform)
{
    if (!def) return eInvalidInput;
    if (!assertWriteEnabled()) return eNotOpenForWrite;
    setPropertiesFrom(def);
    setTextString(def->textString());
    setTextStyle(def->textStyle());
    setHeight(def->height() > 0 ? def->height() : 1.0);
    setRotation(def->rotation());
    setWidthFactor(def->widthFactor());
    setOblique(def->oblique());
    setHorizontalMode(def->horizontalMode());
    setVerticalMode(def->verticalMode());
    setPosition(def->position());
    setAlignmentPoint(def->alignmentPoint());
    tag_ = def->tag();
    invisible_ = def->isInvisible();
    constant_ = def->isConstant();
    verifiable_ = def->isVerifiable();
    preset_ = def->isPreset();
    mirrorInX(def->isMirroredInX());
    mirrorInY(def->isMirroredInY());
    setThickness(def->thickness());
    fieldLength_ = def->fieldLength();
    return subTransformBy(xform);
}

OdResult OdDbMText::setLocation(const OdGePoint3d& p) { OD_SET(loc_, p); }
OdResult OdDbMText::setContents(const wchar_t* s) { OD_SET(contents_, OdString(s ? s : L"")); }
OdResult OdDbMText::setTextStyle(OdDbObjectId id) { OD_SET(style_, id); }

OdResult OdDbMText::setTextHeight(double h)
{
    if (!(h > 0)) return eInvalidInput;
    OD_SET(height_, h);
}

OdResult OdDbMText::setWidth(double w)
{
    if (w < 0) return eInvalidInput;
    OD_SET(width_, w);
}

OdResult OdDbMText::setRotation(double a) { OD_SET(rotation_, a); }
OdResult OdDbMText::setAttachment(AttachmentPoint a) { OD_SET(attach_, a); }
OdResult OdDbMText::setFlowDirection(FlowDirection f) { OD_SET(flow_, f); }

OdResult OdDbMText::setNormal(const OdGeVector3d& n)
{
    if (n.isZeroLength()) return eInvalidInput;
    OD_SET(normal_, n.normal());
}

OdResult OdDbMText::setLineSpacingStyle(OdDb::LineSpacingStyle st)
{
    if (st != OdDb::kAtLeast && st != OdDb::kExactly) return eInvalidInput;
    OD_SET(spacingStyle_, st);
}

OdResult OdDbMText::setLineSpacingFactor(double f)
{
    if (!(f >= 0.25 && f <= 4.0)) return eInvalidInput;
    OD_SET(spacingFactor_, f);
}

OdResult OdDbMText::setBackgroundFill(bool on) { OD_SET(fill_, on ? fill_ | 1 : fill_ & ~1); }
OdResult OdDbMText::setUseBackgroundColor(bool on) { OD_SET(fill_, on ? fill_ | 2 : fill_ & ~2); }
OdResult OdDbMText::setShowBorders(bool on) { OD_SET(fill_, on ? fill_ | 16 : fill_ & ~16); }
OdResult OdDbMText::setBackgroundFillColor(const OdCmColor& c) { OD_SET(fillColor_, c); }

OdResult OdDbMText::getBackgroundFillColor(OdCmColor& c) const
{
    c = fillColor_;
    return eOk;
}

OdResult OdDbMText::getBackgroundScaleFactor(double& f) const
{
    f = fillScale_;
    return eOk;
}

OdResult OdDbMText::setBackgroundScaleFactor(double f)
{
    if (!(f >= 1.0 && f <= 5.0)) return eInvalidInput;
    OD_SET(fillScale_, f);
}

OdResult OdDbMText::getBackgroundTransparency(OdCmTransparency& t) const
{
    t = fillTransparency_;
    return eOk;
}

OdResult OdDbMText::setBackgroundTransparency(const OdCmTransparency& t) { OD_SET(fillTransparency_, t); }

OdString OdDbMText::text() const
{
    // Format codes: "\P" paragraph, "\~" hard space, "\\", "\{", "\}"
    // literal characters, "\X" ... ";" codes with a value, other "\X"
    // single-letter switches, "{" "}" groups.
    const std::wstring& s = contents_.str();
    std::wstring out;
    for (size_t i = 0; i < s.size(); ++i) {
        wchar_t c = s[i];
        if (c == L'{' || c == L'}') continue;
        if (c != L'\\' || i + 1 >= s.size()) {
            out += c;
            continue;
        }
        wchar_t k = s[++i];
        switch (k) {
        case L'P': out += L"\r\n"; break;
        case L'~': out += L' '; break;
        case L'\\': case L'{': case L'}': out += k; break;
        case L'L': case L'l': case L'O': case L'o': case L'K': case L'k': case L'N': break;
        case L'U':
            // "\U+XXXX": the character of that code; anything else stays as
            // it was written.
            if (i + 5 < s.size() && s[i + 1] == L'+' &&
                std::all_of(s.begin() + (long)i + 2, s.begin() + (long)i + 6,
                            [](wchar_t h) { return std::iswxdigit(h) != 0; })) {
                out += (wchar_t)std::wcstol(s.substr(i + 2, 4).c_str(), nullptr, 16);
                i += 5;
            } else {
                out += L"\\U";
            }
            break;
        case L'S': {
            // Stacked text "\Sa^b;" reads as "a/b".
            size_t end = s.find(L';', i);
            std::wstring stack = s.substr(i + 1, end == std::wstring::npos ? std::wstring::npos : end - i - 1);
            for (auto& ch : stack)
                if (ch == L'^' || ch == L'#') ch = L'/';
            out += stack;
            i = end == std::wstring::npos ? s.size() : end;
            break;
        }
        default: {
            size_t end = s.find(L';', i);
            i = end == std::wstring::npos ? s.size() : end;
            break;
        }
        }
    }
    return OdString(out);
}

double OdDbMText::actualWidth() const
{
    std::wstring t = text().str();
    size_t longest = 0, start = 0;
    while (true) {
        size_t e = t.find(L"\r\n", start);
        longest = std::max(longest, (e == std::wstring::npos ? t.size() : e) - start);
        if (e == std::wstring::npos) break;
        start = e + 2;
    }
    return longest * height_;
}

OdResult OdDbMText::getGeomExtents(OdGeExtents3d& ext) const
{
    ext = OdGeExtents3d();
    std::wstring t = text().str();
    int lines = 1;
    for (size_t p = t.find(L"\r\n"); p != std::wstring::npos; p = t.find(L"\r\n", p + 2)) ++lines;
    double w = width_ > 0 ? width_ : actualWidth();
    double h = lines * height_ * 5.0 / 3.0;
    int a = (int)attach_ - 1;
    double dx = -(a % 3) * w / 2;
    double dy = -h + (a / 3) * h / 2;
    OdGeVector3d x, y;
    TextAxes(normal_, rotation_, x, y);
    AddBox(ext, loc_ + x * dx, w, h, rotation_, dy, normal_);
    return eOk;
}

OdResult OdDbMText::subTransformBy(const OdGeMatrix3d& m)
{
    if (m.isTranslation()) {
        loc_.transformBy(m);
        return eOk;
    }
    double rot, s;
    PlanePart(m, rotation_, rot, s);
    loc_.transformBy(m);
    rotation_ = rot;
    height_ *= s;
    width_ *= s;
    return eOk;
}
