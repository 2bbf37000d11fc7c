// Host SDK stand-in: the drawing runtime's string class (wide text).
#pragma once

#include <string>

#include "windows.h"

class OdString {
public:
    OdString() = default;
    OdString(const wchar_t* s) : s_(s ? s : L"") {}
    OdString(const std::wstring& s) : s_(s) {}
    // Narrow text is taken as UTF-8.
    OdString(const char* s);

    static const OdString kEmpty;

    int getLength() const { return (int)s_.size(); }
    bool isEmpty() const { return s_.empty(); }
    void empty() { s_.clear(); }
    const wchar_t* c_str() const { return s_.c_str(); }
    operator const wchar_t*() const { return s_.c_str(); }
    const std::wstring& str() const { return s_; }

    int compare(const wchar_t* s) const { return wcscmp(s_.c_str(), s ? s : L""); }
    int iCompare(const wchar_t* s) const { return wcscasecmp(s_.c_str(), s ? s : L""); }
    OdString& format(const wchar_t* fmt, ...);
    OdString& makeUpper();

    OdString& operator+=(const OdString& o) { s_ += o.s_; return *this; }
    friend OdString operator+(const OdString& a, const OdString& b) { return OdString(a.s_ + b.s_); }
    friend bool operator==(const OdString& a, const OdString& b) { return a.s_ == b.s_; }
    friend bool operator==(const OdString& a, const wchar_t* b) { return a.s_ == (b ? b : L""); }
    friend bool operator!=(const OdString& a, const OdString& b) { return a.s_ != b.s_; }
    friend bool operator<(const OdString& a, const OdString& b) { return a.s_ < b.s_; }

private:
    std::wstring s_;
};
