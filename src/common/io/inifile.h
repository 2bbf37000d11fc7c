// Keys of one initialisation file, read and written as text, int, byte,
// bool or double.
#pragma once

#include "afxstr.h"
#include "windows.h"

class CIniFile {
public:
    explicit CIniFile(const wchar_t* file) : m_strFile(file) {}
    virtual ~CIniFile() = default;

    // True and the value set when the key is there; false and the value
    // unchanged otherwise. A stored text "NotExist" counts as missing.
    bool GetValueOfKey(const wchar_t* section, const wchar_t* key, CString& value, int bufferLength) const;
    bool GetValueOfKey(const wchar_t* section, const wchar_t* key, int& value) const;
    // The low 8 bits of the number.
    bool GetValueOfKey(const wchar_t* section, const wchar_t* key, BYTE& value) const;
    // True exactly when the number is 1.
    bool GetValueOfKey(const wchar_t* section, const wchar_t* key, bool& value) const;
    bool GetValueOfKey(const wchar_t* section, const wchar_t* key, double& value) const;

    bool SetValueOfKey(const wchar_t* section, const wchar_t* key, const wchar_t* value) const;
    bool SetValueOfKey(const wchar_t* section, const wchar_t* key, int value) const;
    bool SetValueOfKey(const wchar_t* section, const wchar_t* key, BYTE value) const;
    bool SetValueOfKey(const wchar_t* section, const wchar_t* key, bool value) const;
    // With that many decimals (at least 0).
    bool SetValueOfKey(const wchar_t* section, const wchar_t* key, double value, int decimalPlaces) const;

private:
    bool GetNumberText(const wchar_t* section, const wchar_t* key, CString& text) const;

    CString m_strFile;
};
