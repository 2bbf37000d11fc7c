#include "exchange/exchangetext.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "peer/peerapi.h"

CString Utf8FieldToCString(const char* field, size_t fieldSize)
{
    if (!field || fieldSize == 0) return CString();
    std::string bytes(field, strnlen(field, fieldSize));
    uint32_t count = 0;
    wchar_t* wide = Utf8ToWide(bytes.c_str(), nullptr, &count);
    CString text = wide ? CString(wide, (int)count) : CString();
    free(wide);
    return text;
}

void CStringToUtf8Field(const CString& text, char* field, size_t fieldSize)
{
    if (!field || fieldSize == 0) return;
    memset(field, 0, fieldSize);
    WideToUtf8(text.GetString(), field, (int)fieldSize);
}
