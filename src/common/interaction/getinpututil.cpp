#include "common/interaction/getinpututil.h"

#include <algorithm>
#include <cwchar>
#include <vector>

#include "afxstr.h"
#include "common/geometry/convertutil.h"
#include "common/io/stringutil.h"
#include "gcedinput.h"

namespace {

// Asks for a point; the host works in UCS, the caller in WCS.
int GetPointInUcs(const ads_point ucsBase, const wchar_t* prompt, OdGePoint3d& point)
{
    ads_point p{point.x, point.y, point.z};
    int rc = gcedGetPoint(ucsBase, prompt, p);
    point.set(p[0], p[1], p[2]);
    if (rc == RTNORM) point = CConvertUtil::UcsToWcs(point);
    return rc;
}

}  // namespace

bool CGetInputUtil::GetKeyword(const wchar_t* prompt, const wchar_t* keywords, const wchar_t* defaultKeyword,
                               int defaultIndex, int& index)
{
    gcedInitGet(defaultKeyword ? 0 : RSG_NONULL, keywords);
    CString text = prompt;
    if (defaultKeyword) text += CString(L"<") + defaultKeyword + L">:";
    else text += L":";

    // The answer is one of the listed keywords, or typed text when the
    // list is empty; room for either.
    std::vector<wchar_t> word(std::max<size_t>(wcslen(keywords) + 1, 512));
    int rc = gcedGetKword(text, word.data(), word.size());
    if (rc == RTNONE) {
        index = defaultIndex;
        return true;
    }
    if (rc != RTNORM) return false;
    std::vector<CString> pieces;
    CStringUtil::Split(keywords, L" ", pieces, true);
    for (size_t i = 0; i < pieces.size(); ++i) {
        if (pieces[i].CompareNoCase(word.data()) == 0) {
            index = (int)i;
            return true;
        }
    }
    return false;
}

bool CGetInputUtil::GetReal(const wchar_t* prompt, double defaultValue, int decimalPlaces, double& value)
{
    CString text = prompt;
    text.TrimRight();
    text.TrimRight(L':');
    CString format, shown;
    format.Format(L"<%%.%df>:", std::max(0, decimalPlaces));
    shown.Format(format, defaultValue);
    text += shown;
    value = defaultValue;
    int rc = gcedGetReal(text, &value);
    return rc == RTNORM || rc == RTNONE;
}

int CGetInputUtil::GetPointRawFromBase(const OdGePoint3d& basePoint, const wchar_t* prompt, OdGePoint3d& point)
{
    OdGePoint3d base = CConvertUtil::WcsToUcs(basePoint);
    ads_point ucsBase{base.x, base.y, base.z};
    return GetPointInUcs(ucsBase, prompt, point);
}

bool CGetInputUtil::GetPointFromBase(const OdGePoint3d& basePoint, const wchar_t* prompt, OdGePoint3d& point)
{
    return GetPointRawFromBase(basePoint, prompt, point) == RTNORM;
}

int CGetInputUtil::GetPointRaw(const wchar_t* prompt, OdGePoint3d& point) { return GetPointInUcs(nullptr, prompt, point); }

bool CGetInputUtil::GetPoint(const wchar_t* prompt, OdGePoint3d& point) { return GetPointRaw(prompt, point) == RTNORM; }
