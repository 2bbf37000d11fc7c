#include "odstring.h"

#include <cwctype>

#include "text_internal.h"

const OdString OdString::kEmpty;

OdString::OdString(const char* s) : s_(s ? standin::Utf8ToWide(s) : std::wstring()) {}

OdString& OdString::format(const wchar_t* fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    s_ = FormatMsvcV(fmt, ap);
    va_end(ap);
    return *this;
}

OdString& OdString::makeUpper()
{
    for (auto& c : s_) c = (wchar_t)towupper((wint_t)c);
    return *this;
}
