// Asking the user for points, keywords and real numbers.
#pragma once

#include "odgegeometry.h"

class CGetInputUtil {
public:
    CGetInputUtil() = default;
    virtual ~CGetInputUtil() = default;

    // A point (world coordinates) with a rubber band from the base point;
    // the host's result code. On any code but RTNORM the point is as the
    // host left it.
    static int GetPointRawFromBase(const OdGePoint3d& basePoint, const wchar_t* prompt, OdGePoint3d& point);
    static bool GetPointFromBase(const OdGePoint3d& basePoint, const wchar_t* prompt, OdGePoint3d& point);
    static int GetPointRaw(const wchar_t* prompt, OdGePoint3d& point);
    static bool GetPoint(const wchar_t* prompt, OdGePoint3d& point);

    // One keyword of the blank-separated list, as its index. With a default
    // keyword, empty input chooses defaultIndex. False when cancelled or
    // when the answer is none of the listed keywords (index unchanged).
    static bool GetKeyword(const wchar_t* prompt, const wchar_t* keywords, const wchar_t* defaultKeyword,
                           int defaultIndex, int& index);
    // A real number; the prompt shows the default with decimalPlaces
    // decimals, and empty input keeps it.
    static bool GetReal(const wchar_t* prompt, double defaultValue, int decimalPlaces, double& value);
};
