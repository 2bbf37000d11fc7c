// Signs from points, single-line and multi-line texts, attributes and
// attribute definitions.
#include "common/entity/hatchutil.h"
#include "common/entity/textutil.h"
#include "exchange/arxoperation.h"
#include "exchange/convertcommon.h"
#include "oddbcurves.h"
#include "oddbtext.h"
#include "state/drawingdata.h"
#include "state/peerhelpers.h"

namespace {

// What differs between the sign converters.
struct SignFields {
    OdGePoint3d position;
    uint32_t iconNumber = 0;
    SignType signType = kTextSign;
    uint8_t textOnly = 0;
    uint8_t transparency = 0;
    bool hasText = true;  // level, size, text colour and rotation
    double height = 0;
    double rotation = 0;  // radians
    uint8_t multiLine = 0;
    bool iconLabel = false;  // the label of an icon sign: font size 14
    CString name;            // a text's own name; unused by point signs
};

bool AppendSign(const SignFields& f, ObjExchangeBuffer* buffer, MapObjInfo* info, bool nameFromText,
                const CString* remark)
{
    SignRecord* sign = NewSignRecord(&g_peerApi);
    if (!sign) return false;
    sign->coordMode = 2;
    sign->y = f.position.y;
    sign->x = f.position.x;
    sign->elevation = TruncatedZ(f.position.z);
    sign->iconNumber = f.iconNumber;
    sign->colour = g_sendColour;
    sign->signType = f.signType;
    sign->textOnly = f.textOnly;
    sign->transparency = f.transparency;
    if (f.hasText) {
        int32_t level = 0, fontSize = 0;
        ArxOperation::TextHeightToLevel(level, fontSize, f.height);
        if (f.iconLabel) fontSize = 14;
        sign->level = (uint8_t)level;
        sign->fontSize = (uint32_t)fontSize;
        sign->textColour = g_sendColour;
        sign->rotation = (float)(f.rotation * 180.0 / kSinglePi);
    }
    sign->multiLine = f.multiLine;
    if (!nameFromText) {
        NameFromLink(sign->name, &sign->remark, info, kMapObjSign);
    } else {
        SetRecordName(sign->name, f.name);
        if (remark) sign->remark = NewRecordText(*remark);
        else if (info->peerId != 0) sign->remark = NewRecordText(info->remark);
    }
    ArxOperation::AppendMapObjRecord(sign, kMapObjSign, buffer, info);
    return true;
}

// The fields of a single-line text: its string, height and rotation, and
// the base point: the alignment point, or the position when the alignment
// point is the origin and the position is not (when asked); the extents'
// minimum corner when the extents can be had.
SignFields TextFields(const OdDbText* text, bool positionFallback, OdGeExtents3d& extents, bool& hasExtents)
{
    SignFields f;
    f.position = text->alignmentPoint();
    if (positionFallback && f.position.x == 0 && f.position.y == 0 &&
        CHatchUtil::IsPointDiffer(text->position(), OdGePoint3d()))
        f.position = text->position();
    hasExtents = text->getGeomExtents(extents) == eOk && extents.isValidExtents();
    if (hasExtents) f.position = extents.minPoint();
    f.height = text->height();
    f.rotation = text->rotation();
    f.name = CString(text->textString().c_str());
    return f;
}

}  // namespace

bool ArxOperation::PointToSign(OdDbPoint* point, ObjExchangeBuffer* buffer, MapObjInfo* info)
{
    if (!point || !info) return false;
    SignFields f;
    f.position = point->position();
    f.iconNumber = info->iconNumber > 0 ? (uint32_t)info->iconNumber : 4;
    f.signType = kPointSign;
    f.hasText = false;
    return AppendSign(f, buffer, info, false, nullptr);
}

bool ArxOperation::TextToSign(OdDbText* text, ObjExchangeBuffer* buffer, MapObjInfo* info)
{
    if (!text || !info) return false;
    OdGeExtents3d extents;
    bool hasExtents = false;
    SignFields f = TextFields(text, true, extents, hasExtents);
    // A label whose icon still stands where it was put keeps the stored place.
    if (info->iconNumber > 0 && CHatchUtil::IsPointDiffer(info->labelPos, OdGePoint3d()) &&
        GetImageEntityExtents((int64_t)info->companion, info->labelPos))
        f.position = info->labelPos;
    if (hasExtents) CTextUtil::GetLabelAnchor(f.position, extents, f.rotation, f.height, true, false);
    f.iconNumber = info->iconNumber > 0 ? (uint32_t)info->iconNumber : 0;
    f.textOnly = info->signFlag ? 1 : 0;
    f.iconLabel = info->signFlag == 0 && info->iconNumber > 0;
    return AppendSign(f, buffer, info, true, nullptr);
}

bool ArxOperation::MTextToSign(OdDbMText* text, ObjExchangeBuffer* buffer, MapObjInfo* info)
{
    if (!text || !info) return false;
    SignFields f;
    f.position = text->location();
    CString contents = CTextUtil::GetMTextWrapText(text, true);
    OdGeExtents3d extents;
    bool hasExtents = text->getGeomExtents(extents) == eOk && extents.isValidExtents();
    if (hasExtents) f.position = extents.minPoint();
    f.height = text->textHeight();
    int lines = LineCount(contents);
    if (info->iconNumber > 0) f.position = info->labelPos;
    f.rotation = text->rotation();
    if (hasExtents) CTextUtil::GetLabelAnchor(f.position, extents, f.rotation, f.height * lines, true, true);
    f.iconNumber = info->iconNumber > 0 ? (uint32_t)info->iconNumber : 0;
    f.textOnly = info->signFlag ? 1 : 0;
    f.iconLabel = info->signFlag == 0 && info->iconNumber > 0;
    f.multiLine = 1;
    f.name = contents;
    return AppendSign(f, buffer, info, true, &contents);
}

bool ArxOperation::AttDefToSign(OdDbAttributeDefinition* attdef, ObjExchangeBuffer* buffer, MapObjInfo* info)
{
    if (!attdef || !info) return false;
    OdGeExtents3d extents;
    bool hasExtents = false;
    SignFields f = TextFields(attdef, false, extents, hasExtents);
    f.textOnly = 1;
    f.name = CString(attdef->tag().c_str());
    return AppendSign(f, buffer, info, true, nullptr);
}

bool ArxOperation::AttributeToSign(OdDbAttribute* attribute, ObjExchangeBuffer* buffer, MapObjInfo* info)
{
    if (!attribute || !info) return false;
    OdGeExtents3d extents;
    bool hasExtents = false;
    SignFields f = TextFields(attribute, true, extents, hasExtents);
    f.textOnly = 1;
    f.transparency = (uint8_t)(info->opacity <= 100 ? 100 - info->opacity : 0);
    return AppendSign(f, buffer, info, true, nullptr);
}
