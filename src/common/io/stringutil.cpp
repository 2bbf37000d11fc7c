#include "common/io/stringutil.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "windows.h"

void CStringUtil::Split(const CString& text, const wchar_t* separator, std::vector<CString>& pieces, bool keepEmpty)
{
    CString rest = text;
    rest.TrimRight(L' ');
    int sepLen = separator ? (int)wcslen(separator) : 0;
    if (sepLen == 0 || rest.Find(separator) < 0) {
        if (!rest.IsEmpty()) pieces.push_back(rest);
        return;
    }
    int start = 0;
    while (true) {
        int pos = rest.Find(separator, start);
        bool last = pos < 0;
        CString piece = last ? rest.Mid(start) : rest.Mid(start, pos - start);
        if (keepEmpty || !piece.IsEmpty()) pieces.push_back(piece);
        if (last) return;
        start = pos + sepLen;
    }
}

CString CStringUtil::Join(const std::vector<CString>& items, const wchar_t* separator)
{
    CString result;
    for (const auto& item : items) {
        result += item;
        result += separator;
    }
    int sepLen = separator ? (int)wcslen(separator) : 0;
    if (!items.empty() && sepLen > 0) result = result.Left(result.GetLength() - sepLen);
    return result;
}

CString CStringUtil::IntToString(int value)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%d", value);
    return CString(buf);
}

CString CStringUtil::DoubleToString(double value)
{
    // "%f" of a large double runs past 300 characters.
    char buf[512];
    std::snprintf(buf, sizeof buf, "%f", value);
    return CString(buf);
}

CString CStringUtil::AnsiToCString(const char* text) { return CString(text ? text : ""); }

float CStringUtil::ToFloat(CString text)
{
    int n = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return 0.0f;
    std::string narrow((size_t)n, '\0');
    WideCharToMultiByte(CP_ACP, 0, text, -1, &narrow[0], n, nullptr, nullptr);
    return (float)std::atof(narrow.c_str());
}
