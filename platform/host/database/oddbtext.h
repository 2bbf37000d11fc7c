// Host SDK stand-in: single-line text, attributes and attribute
// definitions (both texts, as on the host), and multi-line text.
#pragma once

#include "oddbentity.h"

namespace OdDb {
enum TextHorzMode { kTextLeft = 0, kTextCenter = 1, kTextRight = 2, kTextAlign = 3, kTextMid = 4, kTextFit = 5 };
enum TextVertMode { kTextBase = 0, kTextBottom = 1, kTextVertMid = 2, kTextTop = 3 };
}  // namespace OdDb

class OdDbText : public OdDbEntity {
public:
    OD_ENTITY_MEMBERS(OdDbText)
    OdDbText() = default;
    OdDbText(const OdGePoint3d& position, const wchar_t* text, OdDbObjectId style = OdDbObjectId::kNull,
             double height = 0.0, double rotation = 0.0);
    OdGePoint3d position() const { return pos_; }
    OdResult setPosition(const OdGePoint3d& p);
    OdGePoint3d alignmentPoint() const { return align_; }
    OdResult setAlignmentPoint(const OdGePoint3d& p);
    OdString textString() const { return text_; }
    OdResult setTextString(const wchar_t* s);
    OdDbObjectId textStyle() const { return style_; }
    OdResult setTextStyle(OdDbObjectId id);
    double height() const { return height_; }
    OdResult setHeight(double h);
    double rotation() const { return rotation_; }
    OdResult setRotation(double a);
    double widthFactor() const { return width_; }
    OdResult setWidthFactor(double f);
    double oblique() const { return oblique_; }
    OdResult setOblique(double a);
    OdDb::TextHorzMode horizontalMode() const { return hmode_; }
    OdResult setHorizontalMode(OdDb::TextHorzMode m);
    OdDb::TextVertMode verticalMode() const { return vmode_; }
    OdResult setVerticalMode(OdDb::TextVertMode m);
    bool isDefaultAlignment() const { return hmode_ == OdDb::kTextLeft && vmode_ == OdDb::kTextBase; }
    // Written backwards (mirrored in x) or upside down (mirrored in y).
    bool isMirroredInX() const { return mirrorX_; }
    OdResult mirrorInX(bool v);
    bool isMirroredInY() const { return mirrorY_; }
    OdResult mirrorInY(bool v);
    double thickness() const { return thickness_; }
    OdResult setThickness(double t);
    // The text lies in the plane of its normal; the rotation is measured in
    // that plane from its x axis (arbitrary-axis rule). Positions are world
    // points.
    OdGeVector3d normal() const { return normal_; }
    OdResult setNormal(const OdGeVector3d& n);
    // The box of the characters, each taken as wide as the height times the
    // width factor.
    OdResult getGeomExtents(OdGeExtents3d& ext) const override;

protected:
    OdResult subTransformBy(const OdGeMatrix3d& m) override;

private:
    friend struct standin::DxfAccess;
    OdGePoint3d pos_, align_;
    OdGeVector3d normal_{0, 0, 1};
    OdString text_;
    OdDbObjectId style_;
    double height_ = 0, rotation_ = 0, width_ = 1, oblique_ = 0, thickness_ = 0;
    OdDb::TextHorzMode hmode_ = OdDb::kTextLeft;
    OdDb::TextVertMode vmode_ = OdDb::kTextBase;
    bool mirrorX_ = false, mirrorY_ = false;
};

class OdDbAttributeDefinition : public OdDbText {
public:
    OD_ENTITY_MEMBERS(OdDbAttributeDefinition)
    OdDbAttributeDefinition() = default;
    OdDbAttributeDefinition(const OdGePoint3d& position, const wchar_t* text, const wchar_t* tag,
                            const wchar_t* prompt, OdDbObjectId style = OdDbObjectId::kNull);
    // Tags are kept in upper case.
    OdString tag() const { return tag_; }
    OdResult setTag(const wchar_t* tag);
    OdString prompt() const { return prompt_; }
    OdResult setPrompt(const wchar_t* prompt);
    bool isInvisible() const { return invisible_; }
    OdResult setInvisible(bool v);
    bool isConstant() const { return constant_; }
    OdResult setConstant(bool v);
    bool isVerifiable() const { return verifiable_; }
    OdResult setVerifiable(bool v);
    bool isPreset() const { return preset_; }
    OdResult setPreset(bool v);
    int fieldLength() const { return fieldLength_; }
    OdResult setFieldLength(int n);

private:
    friend struct standin::DxfAccess;
    OdString tag_, prompt_;
    bool invisible_ = false, constant_ = false, verifiable_ = false, preset_ = false;
    int fieldLength_ = 0;
};

class OdDbAttribute : public OdDbText {
public:
    OD_ENTITY_MEMBERS(OdDbAttribute)
    OdDbAttribute() = default;
    OdString tag() const { return tag_; }
    OdResult setTag(const wchar_t* tag);
    bool isInvisible() const { return invisible_; }
    OdResult setInvisible(bool v);
    bool isConstant() const { return constant_; }
    OdResult setConstant(bool v);
    bool isVerifiable() const { return verifiable_; }
    OdResult setVerifiable(bool v);
    bool isPreset() const { return preset_; }
    OdResult setPreset(bool v);
    int fieldLength() const { return fieldLength_; }
    OdResult setFieldLength(int n);
    // Takes the definition's text properties, placed by the reference's
    // block transform.
    OdResult setAttributeFromBlock(const OdDbAttributeDefinition* def, const OdGeMatrix3d& blockTransform);

private:
    friend struct standin::DxfAccess;
    OdString tag_;
    bool invisible_ = false, constant_ = false, verifiable_ = false, preset_ = false;
    int fieldLength_ = 0;
};

namespace OdDbMTextEnums {
enum AttachmentPoint {
    kTopLeft = 1, kTopCenter, kTopRight, kMiddleLeft, kMiddleCenter, kMiddleRight, kBottomLeft, kBottomCenter,
    kBottomRight
};
enum FlowDirection { kLtoR = 1, kRtoL = 2, kTtoB = 3, kBtoT = 4, kByStyle = 5 };
}  // namespace OdDbMTextEnums

namespace OdDb {
enum LineSpacingStyle { kAtLeast = 1, kExactly = 2 };
}

class OdDbMText : public OdDbEntity {
public:
    OD_ENTITY_MEMBERS(OdDbMText)
    typedef OdDbMTextEnums::AttachmentPoint AttachmentPoint;
    typedef OdDbMTextEnums::FlowDirection FlowDirection;

    OdGePoint3d location() const { return loc_; }
    OdResult setLocation(const OdGePoint3d& p);
    // The contents with their format codes.
    OdString contents() const { return contents_; }
    OdResult setContents(const wchar_t* s);
    // The plain text: format codes removed, paragraph breaks "\P" as CR LF,
    // "\U+XXXX" as its character.
    OdString text() const;
    OdDbObjectId textStyle() const { return style_; }
    OdResult setTextStyle(OdDbObjectId id);
    double textHeight() const { return height_; }
    OdResult setTextHeight(double h);
    // The box width; 0 means no wrapping.
    double width() const { return width_; }
    OdResult setWidth(double w);
    double rotation() const { return rotation_; }
    OdResult setRotation(double a);
    AttachmentPoint attachment() const { return attach_; }
    OdResult setAttachment(AttachmentPoint a);
    FlowDirection flowDirection() const { return flow_; }
    OdResult setFlowDirection(FlowDirection f);
    double columnWidth() const { return columnWidth_; }
    double columnGutterWidth() const { return gutter_; }
    OdGeVector3d normal() const { return normal_; }
    OdResult setNormal(const OdGeVector3d& n);

    // Line spacing: a factor of the normal spacing (0.25 to 4) that is
    // kept at least or exactly.
    OdDb::LineSpacingStyle lineSpacingStyle() const { return spacingStyle_; }
    OdResult setLineSpacingStyle(OdDb::LineSpacingStyle s);
    double lineSpacingFactor() const { return spacingFactor_; }
    OdResult setLineSpacingFactor(double f);

    // The background mask: a fill behind the text in its own colour or in
    // the drawing's background colour, over the text's box grown by the
    // scale factor (1 to 5).
    bool backgroundFillOn() const { return fill_ & 1; }
    OdResult setBackgroundFill(bool on);
    bool useBackgroundColorOn() const { return fill_ & 2; }
    OdResult setUseBackgroundColor(bool on);
    OdResult getBackgroundFillColor(OdCmColor& c) const;
    OdResult setBackgroundFillColor(const OdCmColor& c);
    OdResult getBackgroundScaleFactor(double& f) const;
    OdResult setBackgroundScaleFactor(double f);
    OdResult getBackgroundTransparency(OdCmTransparency& t) const;
    OdResult setBackgroundTransparency(const OdCmTransparency& t);
    // A frame drawn round the text.
    bool showBorders() const { return fill_ & 16; }
    OdResult setShowBorders(bool on);
    // The width the text takes: the longest line, each character as wide as
    // the height.
    double actualWidth() const;
    OdResult getGeomExtents(OdGeExtents3d& ext) const override;

protected:
    OdResult subTransformBy(const OdGeMatrix3d& m) override;

private:
    friend struct standin::DxfAccess;
    OdGePoint3d loc_;
    OdGeVector3d normal_{0, 0, 1};
    OdString contents_;
    OdDbObjectId style_;
    double height_ = 2.5, width_ = 0, rotation_ = 0, columnWidth_ = 0, gutter_ = 0;
    OdDb::LineSpacingStyle spacingStyle_ = OdDb::kAtLeast;
    double spacingFactor_ = 1.0, fillScale_ = 1.5;
    int fill_ = 0;  // 1 fill, 2 in the background colour, 16 a frame
    OdCmColor fillColor_;
    OdCmTransparency fillTransparency_;
    AttachmentPoint attach_ = OdDbMTextEnums::kTopLeft;
    FlowDirection flow_ = OdDbMTextEnums::kLtoR;
};
