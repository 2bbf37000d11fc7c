#include "common/entity/textutil.h"

#include <climits>
#include <cmath>

#include "common/document/dwgdatabaseutil.h"
#include "oddbsymboltable.h"

OdDbObjectId CTextUtil::AddText(const OdGePoint3d& position, EntityProps props, const wchar_t* text,
                                OdDbObjectId style, double height, double rotation)
{
    return CDwgDatabaseUtil::PostToModelSpace(new OdDbText(position, text, style, height, rotation), props);
}

OdDbObjectId CTextUtil::AddMText(const OdGePoint3d& location, EntityProps props, const wchar_t* contents,
                                 OdDbObjectId style, double height, double width)
{
    auto* mtext = new OdDbMText();
    mtext->setTextStyle(style);
    mtext->setContents(contents);
    mtext->setLocation(location);
    mtext->setTextHeight(height);
    mtext->setWidth(width);
    mtext->setAttachment(OdDbMTextEnums::kBottomLeft);
    return CDwgDatabaseUtil::PostToModelSpace(mtext, props);
}

int CTextUtil::SetCurrentTextStyle(const wchar_t* styleName, OdDbDatabase* db)
{
    if (!db) db = oddbHostApplicationServices()->workingDatabase();
    if (!db) return eNullObjectId;
    OdDbTextStyleTable* table = nullptr;
    OdResult res = db->getTextStyleTable(table, OdDb::kForRead);
    if (res != eOk) return res;
    OdDbTextStyleTableRecord* rec = nullptr;
    res = table->getAt(styleName, rec, OdDb::kForRead);
    table->close();
    if (res != eOk) return res;
    res = db->setTextstyle(rec->objectId());
    rec->close();
    return res;
}

CString CTextUtil::GetMTextWrapText(const OdDbMText* mtext, bool wrap)
{
    CString text(mtext->text().c_str());
    int flow = mtext->flowDirection();
    double width = mtext->width(), height = mtext->textHeight();
    if (!wrap || (flow != OdDbMTextEnums::kLtoR && flow != OdDbMTextEnums::kByStyle) || !(width > 0) ||
        !(height > 0))
        return text;
    double perLine = width / height / 1.4 + 0.1;
    int n = perLine >= INT_MAX ? INT_MAX : (int)perLine;
    if (n == 0) n = 1;

    CString rest = text, result;
    int p = rest.Find(L"\r\n");
    if (p < 0) p = rest.GetLength();
    while (true) {
        if (p > n) {
            result += rest.Left(n) + L"\r\n";
            p = n;
        } else {
            p += 2;
            result += rest.Left(p);
        }
        if (rest.GetLength() == p) return result;
        rest = p > rest.GetLength() ? CString() : rest.Mid(p);
        p = rest.Find(L"\r\n");
        if (p < 0) {
            p = rest.GetLength();
            if (p == 0) return result;
        }
    }
}

void CTextUtil::GetLabelAnchor(OdGePoint3d& point, const OdGeExtents3d& extents, double angle, double distance,
                               bool positive, bool large)
{
    const double P = 3.14;
    double a = distance * (positive ? 1 : -1) * (large ? 1.3 : 1.1);
    const OdGePoint3d& mn = extents.minPoint();
    const OdGePoint3d& mx = extents.maxPoint();
    if (angle >= 0 && angle <= P / 2) {
        point.x = mn.x + a * std::sin(angle);
        point.y = mn.y;
    } else if (angle > P / 2 && angle <= P) {
        point.x = mx.x;
        point.y = mn.y + a * std::cos(P - angle);
    } else if (angle > P && angle <= 1.5 * P) {
        point.x = mx.x - a * std::sin(angle - P);
        point.y = mx.y;
    } else if (angle > 1.5 * P && angle <= 2 * P) {
        point.x = mn.x;
        point.y = mx.y - a * std::cos(2 * P - angle);
    }
}

void CTextUtil::GetLabelAnchorInt(OdGePoint3d&, double, double, bool) {}
