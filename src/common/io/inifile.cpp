#include "common/io/inifile.h"

#include <cwchar>
#include <vector>

#include "afxmsgbox.h"
#include "win32_crt.h"
#include "win32_profile.h"

namespace {
const wchar_t kMissing[] = L"NotExist";
const int kNumberBuffer = 1000;
}  // namespace

bool CIniFile::GetValueOfKey(const wchar_t* section, const wchar_t* key, CString& value, int bufferLength) const
{
    if (bufferLength <= 0) return false;
    std::vector<WCHAR> buf((size_t)bufferLength);
    GetPrivateProfileStringW(section, key, kMissing, buf.data(), (DWORD)bufferLength, m_strFile);
    if (wcscmp(buf.data(), kMissing) == 0) return false;
    value = buf.data();
    return true;
}

bool CIniFile::GetNumberText(const wchar_t* section, const wchar_t* key, CString& text) const
{
    return GetValueOfKey(section, key, text, kNumberBuffer);
}

bool CIniFile::GetValueOfKey(const wchar_t* section, const wchar_t* key, int& value) const
{
    CString text;
    if (!GetNumberText(section, key, text)) return false;
    value = _wtoi(text);
    return true;
}

bool CIniFile::GetValueOfKey(const wchar_t* section, const wchar_t* key, BYTE& value) const
{
    CString text;
    if (!GetNumberText(section, key, text)) return false;
    value = (BYTE)(_wtoi(text) & 0xFF);
    return true;
}

bool CIniFile::GetValueOfKey(const wchar_t* section, const wchar_t* key, bool& value) const
{
    CString text;
    if (!GetNumberText(section, key, text)) return false;
    value = _wtoi(text) == 1;
    return true;
}

bool CIniFile::GetValueOfKey(const wchar_t* section, const wchar_t* key, double& value) const
{
    CString text;
    if (!GetNumberText(section, key, text)) return false;
    value = wcstod(text, nullptr);
    return true;
}

bool CIniFile::SetValueOfKey(const wchar_t* section, const wchar_t* key, const wchar_t* value) const
{
    if (m_strFile.IsEmpty()) {
        AfxMessageBox(L"在调用函数SetValueOfKey时，m_strFile未被赋值，异常退出！");
        return false;
    }
    return WritePrivateProfileStringW(section, key, value, m_strFile) != FALSE;
}

bool CIniFile::SetValueOfKey(const wchar_t* section, const wchar_t* key, int value) const
{
    CString text;
    text.Format(L"%d", value);
    return SetValueOfKey(section, key, text);
}

bool CIniFile::SetValueOfKey(const wchar_t* section, const wchar_t* key, BYTE value) const
{
    CString text;
    text.Format(L"%u", (unsigned)value);
    return SetValueOfKey(section, key, text);
}

bool CIniFile::SetValueOfKey(const wchar_t* section, const wchar_t* key, bool value) const
{
    CString text;
    text.Format(L"%d", value ? 1 : 0);
    return SetValueOfKey(section, key, text);
}

bool CIniFile::SetValueOfKey(const wchar_t* section, const wchar_t* key, double value, int decimalPlaces) const
{
    CString format, text;
    format.Format(L"%%0.%df", decimalPlaces < 0 ? 0 : decimalPlaces);
    text.Format(format, value);
    return SetValueOfKey(section, key, text);
}
