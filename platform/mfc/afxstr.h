// MFC stand-in: CString over wchar_t, with Format following the Microsoft
// wide rules (%s is a wide string).
#pragma once

#include <string>

#include "windows.h"

class CString {
public:
    CString() = default;
    CString(const wchar_t* s) : s_(s ? s : L"") {}
    CString(const wchar_t* s, int n) : s_(s ? s : L"", s && n > 0 ? (size_t)n : 0) {}
    CString(wchar_t c, int repeat = 1) : s_(repeat > 0 ? (size_t)repeat : 0, c) {}
    // Narrow text is taken in the ANSI code page, as MFC does.
    CString(const char* s);
    CString(const std::wstring& s) : s_(s) {}

    int GetLength() const { return (int)s_.size(); }
    bool IsEmpty() const { return s_.empty(); }
    void Empty() { s_.clear(); }
    wchar_t GetAt(int i) const { return s_.at((size_t)i); }
    void SetAt(int i, wchar_t c) { s_.at((size_t)i) = c; }
    wchar_t operator[](int i) const { return GetAt(i); }
    operator const wchar_t*() const { return s_.c_str(); }
    const wchar_t* GetString() const { return s_.c_str(); }
    const std::wstring& str() const { return s_; }

    CString& operator=(const wchar_t* s) { s_ = s ? s : L""; return *this; }
    CString& operator=(wchar_t c) { s_.assign(1, c); return *this; }
    CString& operator=(const char* s) { return *this = CString(s); }
    CString& operator+=(const CString& s) { s_ += s.s_; return *this; }
    CString& operator+=(const wchar_t* s) { if (s) s_ += s; return *this; }
    CString& operator+=(wchar_t c) { s_ += c; return *this; }
    CString& operator+=(const char* s) { return *this += CString(s); }

    friend CString operator+(const CString& a, const CString& b) { return CString(a.s_ + b.s_); }
    friend CString operator+(const CString& a, const wchar_t* b) { return CString(a.s_ + (b ? b : L"")); }
    friend CString operator+(const wchar_t* a, const CString& b) { return CString((a ? a : L"") + b.s_); }
    friend CString operator+(const CString& a, wchar_t c) { return CString(a.s_ + c); }
    friend CString operator+(wchar_t c, const CString& b) { return CString(std::wstring(1, c) + b.s_); }

    friend bool operator==(const CString& a, const CString& b) { return a.s_ == b.s_; }
    friend bool operator==(const CString& a, const wchar_t* b) { return a.s_ == (b ? b : L""); }
    friend bool operator==(const wchar_t* a, const CString& b) { return b == a; }
    friend bool operator!=(const CString& a, const CString& b) { return !(a == b); }
    friend bool operator!=(const CString& a, const wchar_t* b) { return !(a == b); }
    friend bool operator!=(const wchar_t* a, const CString& b) { return !(b == a); }
    friend bool operator<(const CString& a, const CString& b) { return a.s_ < b.s_; }
    friend bool operator>(const CString& a, const CString& b) { return a.s_ > b.s_; }

    int Compare(const wchar_t* s) const { return wcscmp(s_.c_str(), s ? s : L""); }
    int CompareNoCase(const wchar_t* s) const { return wcscasecmp(s_.c_str(), s ? s : L""); }

    void Format(const wchar_t* fmt, ...);
    void AppendFormat(const wchar_t* fmt, ...);
    void FormatV(const wchar_t* fmt, va_list args);

    CString Left(int n) const;
    CString Right(int n) const;
    CString Mid(int first) const;
    CString Mid(int first, int count) const;
    // Index of the first match at or after `start`, -1 when none.
    int Find(wchar_t c, int start = 0) const;
    int Find(const wchar_t* sub, int start = 0) const;
    int ReverseFind(wchar_t c) const;
    int FindOneOf(const wchar_t* chars) const;
    int Replace(wchar_t from, wchar_t to);
    int Replace(const wchar_t* from, const wchar_t* to);
    int Remove(wchar_t c);
    int Insert(int index, wchar_t c);
    int Insert(int index, const wchar_t* s);
    int Delete(int index, int count = 1);
    CString& Trim();
    CString& Trim(wchar_t c);
    CString& Trim(const wchar_t* chars);
    CString& TrimLeft();
    CString& TrimLeft(wchar_t c);
    CString& TrimLeft(const wchar_t* chars);
    CString& TrimRight();
    CString& TrimRight(wchar_t c);
    CString& TrimRight(const wchar_t* chars);
    CString& MakeUpper();
    CString& MakeLower();
    CString& MakeReverse();
    CString SpanIncluding(const wchar_t* chars) const;
    CString SpanExcluding(const wchar_t* chars) const;
    // Next token after `start`, skipping leading delimiters; `start` becomes
    // -1 at the end.
    CString Tokenize(const wchar_t* delims, int& start) const;

    // Direct buffer access: the text ends at the first NUL after ReleaseBuffer.
    wchar_t* GetBuffer(int minLength = 0);
    wchar_t* GetBufferSetLength(int length);
    void ReleaseBuffer(int newLength = -1);

private:
    std::wstring s_;
};

typedef CString CStringW;
