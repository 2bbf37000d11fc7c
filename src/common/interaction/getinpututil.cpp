#include "common/interaction/getinpututil.h"

#include <algorithm>
#include <cwchar>
#include <vector>

#include "afxstr.h"
#include "common/io/stringutil.h"
#include "gcedinput.h"

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
