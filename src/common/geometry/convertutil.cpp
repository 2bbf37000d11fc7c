#include "common/geometry/convertutil.h"

#include <cwchar>

#include "common/geometry/mathutil.h"

OdGePoint3d CConvertUtil::ToPoint3d(const OdGePoint2d& p, double z) { return {p.x, p.y, z}; }

OdGePoint2d CConvertUtil::ToPoint2d(const OdGePoint3d& p) { return {p.x, p.y}; }

double CConvertUtil::DegreeToRadian(double degrees) { return degrees * CMathUtil::PI() / 180; }

double CConvertUtil::RadianToDegree(double radians) { return radians * 180 / CMathUtil::PI(); }

CString CConvertUtil::ToString(int value)
{
    CString s;
    s.Format(L"%d", value);
    return s;
}

CString CConvertUtil::ToString(double value, int decimals)
{
    CString format, s;
    format.Format(L"%%.%df", decimals < 0 ? 0 : decimals);
    s.Format(format, value);
    return s;
}

double CConvertUtil::ToDouble(const wchar_t* text) { return text ? std::wcstod(text, nullptr) : 0.0; }
