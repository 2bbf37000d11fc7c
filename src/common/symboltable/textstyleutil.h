// Text styles of the working drawing.
#pragma once

#include <vector>

#include "afxstr.h"
#include "oddbsymboltable.h"

class CTextStyleUtil {
public:
    CTextStyleUtil() = default;
    virtual ~CTextStyleUtil() = default;

    // Null for an empty or unknown name.
    static OdDbObjectId GetAt(const wchar_t* styleName);
    // The non-empty style names in table order (the vector is cleared first).
    static void GetAll(std::vector<CString>& names);
    // A new style (x scale 1.0); null when the name is taken.
    static OdDbObjectId Add(const wchar_t* styleName, const wchar_t* fontFile, const wchar_t* bigFontFile);
};
