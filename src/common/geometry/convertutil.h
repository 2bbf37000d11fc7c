// Conversions of points, angles and numbers.
#pragma once

#include "afxstr.h"
#include "odgegeometry.h"

class CConvertUtil {
public:
    CConvertUtil() = default;
    virtual ~CConvertUtil() = default;

    static OdGePoint3d ToPoint3d(const OdGePoint2d& p, double z = 0.0);
    static OdGePoint2d ToPoint2d(const OdGePoint3d& p);
    static double DegreeToRadian(double degrees);
    static double RadianToDegree(double radians);
    static CString ToString(int value);
    // Fixed-point text with that many decimals (none when negative).
    static CString ToString(double value, int decimals);
    // The leading number of the text; 0 when it starts with none.
    static double ToDouble(const wchar_t* text);
    // Points between the world, the current user and the display coordinate
    // systems, as the host converts them at the moment of the call.
    static OdGePoint3d WcsToDcs(const OdGePoint3d& p);
    static OdGePoint3d UcsToWcs(const OdGePoint3d& p);
    static OdGePoint3d WcsToUcs(const OdGePoint3d& p);
};
