// Received signs become texts, multi-line texts, icon images and points.
#include <climits>
#include <cmath>
#include <optional>

#include "common/document/dwgdatabaseutil.h"
#include "common/entity/textutil.h"
#include "common/symboltable/viewutil.h"
#include "exchange/arxoperation.h"
#include "exchange/convertcommon.h"
#include "exchange/entitycolor.h"
#include "exchange/exchangetext.h"
#include "exchange/receiveconvert.h"
#include "oddbcurves.h"
#include "oddbtext.h"
#include "state/documentlock.h"
#include "state/modulestate.h"
#include "state/peerhelpers.h"
#include "state/settings.h"
#include "ui/pluginfolder.h"

namespace {

const uint32_t kDefaultFontSize = 14;
const int kMaxLevel = 28;

// A sign placed where no number says makes nothing.
bool IsPlaced(const SignRecord* sign)
{
    return std::isfinite(sign->x) && std::isfinite(sign->y) && std::isfinite(sign->rotation);
}

bool IsLevel(int level) { return level >= 1 && level <= kMaxLevel; }

// Font size and level as the text is drawn: a missing size is 14, a level
// outside the peer's levels is `defaultLevel`. Both are written back.
void SettleTextSize(SignRecord* sign, int defaultLevel)
{
    if (sign->fontSize == 0) sign->fontSize = kDefaultFontSize;
    if (!IsLevel(sign->level)) sign->level = (uint8_t)defaultLevel;
}

// The text height in drawing units of the sign's font size at its level.
double TextHeight(const SignRecord* sign)
{
    double resolution = IsLevel(sign->level) ? g_levelResolutionY[sign->level] : 0.0;
    return sign->fontSize * resolution / 1.414 + 0.5;
}

double Rotation(const SignRecord* sign) { return (float)(sign->rotation * 3.1415927f / 180.0f); }

OdGePoint3d SignPoint(const SignRecord* sign) { return OdGePoint3d(sign->x, sign->y, sign->elevation); }

CString Remark(const SignRecord* sign)
{
    return sign->remark ? Utf8FieldToCString(sign->remark, strlen(sign->remark)) : CString();
}

// The entity colour: a text sign's text colour, any other sign's own.
void SetSignColour(EntityProps& props, const SignRecord* sign)
{
    SetReceivedColour(props, sign->signType == kTextSign ? sign->textColour : sign->colour);
}

// The icon image definition of the sign's icon; null for none.
OdDbObjectId IconDefinition(const SignRecord* sign)
{
    if (sign->iconNumber == 0 || sign->iconNumber > INT_MAX) return OdDbObjectId();
    return GetIconImageDefId((int)sign->iconNumber);
}

OdDbObjectId AddIcon(const SignRecord* sign, OdDbObjectId definition, const EntityProps& props)
{
    OdDbObjectId id;
    OdGePoint3d anchor = SignPoint(sign);  // the image call flattens its point
    return CViewUtil::AddImgPoint1(id, definition, anchor, g_settings.textLevelMetres, props, CString());
}

// A multi-line text at its bottom left: every CR LF becomes a paragraph.
OdDbMText* NewMText(const SignRecord* sign, CString contents)
{
    contents.Replace(L"\r\n", L"\\P");
    auto* text = new OdDbMText();
    text->setTextHeight(TextHeight(sign));
    text->setContents(contents);
    text->setLocation(SignPoint(sign));
    text->setRotation(Rotation(sign));
    text->setColor(MakeRgbColor(sign->textColour), true);
    return text;
}

OdDbText* NewText(const SignRecord* sign, const CString& string)
{
    auto* text = new OdDbText();
    text->setHeight(TextHeight(sign));
    text->setTextString(string);
    text->setRotation(Rotation(sign));
    text->setColor(MakeRgbColor(sign->textColour), true);
    return text;
}

// Sending reports a text at the anchor it takes from the text's box (a
// corner of the box moved along the rotation by 1.1 heights, by 1.3 times
// all lines' height for a multi-line text). The received text is moved by
// what this gives so that the anchor is the sign point again; otherwise a
// rotated text would walk away from its place on every round trip.
OdGeVector3d AnchorShift(const OdDbEntity* text, double rotation, double height, bool multiLine,
                         const OdGePoint3d& signPoint)
{
    OdGeExtents3d box;
    if (text->getGeomExtents(box) != eOk || !box.isValidExtents()) return OdGeVector3d();
    OdGePoint3d anchor = box.minPoint();
    CTextUtil::GetLabelAnchor(anchor, box, rotation, height, true, multiLine);
    OdGeVector3d shift(signPoint.x - anchor.x, signPoint.y - anchor.y, 0);
    if (!std::isfinite(shift.x) || !std::isfinite(shift.y)) return OdGeVector3d();
    return shift;
}

void PlaceByAnchor(OdDbText* text, const OdGePoint3d& signPoint)
{
    OdGeVector3d shift = AnchorShift(text, text->rotation(), text->height(), false, signPoint);
    text->setAlignmentPoint(text->alignmentPoint() + shift);
    text->setPosition(text->position() + shift);
}

void PlaceByAnchor(OdDbMText* text, const OdGePoint3d& signPoint)
{
    double height = text->textHeight() * LineCount(CTextUtil::GetMTextWrapText(text, true));
    text->setLocation(text->location() + AnchorShift(text, text->rotation(), height, true, signPoint));
}

}  // namespace

void ArxOperation::SignToTextEx(SignRecord* sign, const CString& layer, OdDbObjectId& iconId, OdDbObjectId& textId,
                                bool lock)
{
    if (!sign || !IsPlaced(sign)) return;
    const int defaultLevel = LevelFromRefreshSetting();
    std::optional<DocumentWriteLock> locked;
    if (lock) locked.emplace();
    EntityProps props;
    props.layer = layer;

    // The icon's file and image definition are made only for an icon drawn:
    // an unused definition would stay in the user's drawing.
    OdDbObjectId definition;
    if (g_settings.pointsAsIcons && sign->multiLine == 0 && sign->textOnly == 0) definition = IconDefinition(sign);
    if (!definition.isNull()) {
        OdDbObjectId id = AddIcon(sign, definition, props);
        if (!id.isNull()) iconId = id;
        else ReportNotDrawn(L"标注的图标", sign->name);
    }

    SetSignColour(props, sign);
    props.transparency = 100 - sign->transparency;
    if (sign->signType != kTextSign && sign->textColour == 0) sign->textColour = 0xFFFFFF;
    SettleTextSize(sign, defaultLevel);

    OdDbEntity* text = nullptr;
    if (sign->multiLine == 1) {
        CString remark = Remark(sign);
        if (remark.IsEmpty()) return;
        auto* mtext = NewMText(sign, remark);
        mtext->setAttachment(OdDbMTextEnums::kBottomLeft);
        PlaceByAnchor(mtext, SignPoint(sign));
        text = mtext;
    } else {
        CString name = Utf8FieldToCString(sign->name, sizeof sign->name);
        if (name.IsEmpty()) return;
        OdDbText* single = NewText(sign, name);
        single->setHorizontalMode(OdDb::kTextLeft);
        single->setVerticalMode(OdDb::kTextBottom);
        // Beside the icon at the sign point.
        OdGePoint3d anchor = SignPoint(sign);
        CTextUtil::GetLabelAnchorInt(anchor, Rotation(sign), TextHeight(sign), false);
        single->setAlignmentPoint(anchor);
        single->setPosition(anchor);
        PlaceByAnchor(single, anchor);
        text = single;
    }
    OdDbObjectId id = CDwgDatabaseUtil::PostToModelSpace(text, props);
    if (!id.isNull()) textId = id;
}

OdDbObjectId ArxOperation::SignToText(SignRecord* sign, const CString& layer, bool lock)
{
    if (!sign || !IsPlaced(sign)) return OdDbObjectId();
    std::optional<DocumentWriteLock> locked;
    if (lock) locked.emplace();
    EntityProps props;
    props.layer = layer;
    SetSignColour(props, sign);

    if (sign->signType == kTextSign) {
        props.transparency = 100 - sign->transparency;
        int fallback = g_settings.receivedSignLevel & 0xFF;
        if (!IsLevel(sign->level) && !IsLevel(fallback)) return OdDbObjectId();
        SettleTextSize(sign, fallback);
        CString name = Utf8FieldToCString(sign->name, sizeof sign->name);
        if (name.IsEmpty()) return OdDbObjectId();
        // A line break at the very start does not make a multi-line text.
        OdDbEntity* text = nullptr;
        if (name.Find(L"\r\n", 1) >= 1) {
            text = NewMText(sign, name);
        } else {
            OdDbText* single = NewText(sign, name);
            single->setPosition(SignPoint(sign));
            text = single;
        }
        return CDwgDatabaseUtil::PostToModelSpace(text, props);
    }

    const OdDbObjectId definition = g_settings.pointsAsIcons ? IconDefinition(sign) : OdDbObjectId();
    if (!definition.isNull()) return AddIcon(sign, definition, props);
    return CDwgDatabaseUtil::PostToModelSpace(new OdDbPoint(SignPoint(sign)), props);
}
