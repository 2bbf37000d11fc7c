#include "common/geometry/convertutil.h"

#include <cwchar>

#include "common/geometry/mathutil.h"
#include "gcedview.h"

namespace {

enum CoordSystem : short { kWcs = 0, kUcs = 1, kDcs = 2 };

// The host's status is not looked at: the result starts at the origin.
OdGePoint3d Trans(const OdGePoint3d& p, CoordSystem from, CoordSystem to)
{
    resbuf rbFrom{}, rbTo{};
    rbFrom.restype = rbTo.restype = RTSHORT;
    rbFrom.resval.rint = from;
    rbTo.resval.rint = to;
    ads_point in{p.x, p.y, p.z}, out{0, 0, 0};
    gcedTrans(in, &rbFrom, &rbTo, 0, out);
    return {out[0], out[1], out[2]};
}

}  // namespace

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

OdGePoint3d CConvertUtil::WcsToDcs(const OdGePoint3d& p) { return Trans(p, kWcs, kDcs); }

OdGePoint3d CConvertUtil::UcsToWcs(const OdGePoint3d& p) { return Trans(p, kUcs, kWcs); }

OdGePoint3d CConvertUtil::WcsToUcs(const OdGePoint3d& p) { return Trans(p, kWcs, kUcs); }
