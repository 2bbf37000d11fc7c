// Texts: creation, the current text style, wrapped MText text and label
// anchors.
#pragma once

#include "afxstr.h"
#include "common/document/entityprops.h"
#include "oddbdatabase.h"
#include "oddbtext.h"

class CTextUtil {
public:
    CTextUtil() = default;
    virtual ~CTextUtil() = default;

    static OdDbObjectId AddText(const OdGePoint3d& position, EntityProps props, const wchar_t* text,
                                OdDbObjectId style, double height, double rotation);
    // Attached at its bottom left.
    static OdDbObjectId AddMText(const OdGePoint3d& location, EntityProps props, const wchar_t* contents,
                                 OdDbObjectId style, double height, double width);
    // The host status; the working database when db is null.
    static int SetCurrentTextStyle(const wchar_t* styleName, OdDbDatabase* db = nullptr);
    // The MText's plain text; with wrap, every paragraph is cut into lines
    // of as many characters as fit the box (a character taken as 1.4 text
    // heights wide).
    static CString GetMTextWrapText(const OdDbMText* mtext, bool wrap);
    // Moves x and y of the point onto the edge of the box by the angle's
    // quadrant (the half-turn taken as 3.14); other angles leave it.
    static void GetLabelAnchor(OdGePoint3d& point, const OdGeExtents3d& extents, double angle, double distance,
                               bool positive, bool large);
    // Leaves the point as it is.
    static void GetLabelAnchorInt(OdGePoint3d& point, double angle, double distance, bool large);
};
