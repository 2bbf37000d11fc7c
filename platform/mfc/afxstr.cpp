#include "afxstr.h"

#include <algorithm>
#include <cwctype>

CString::CString(const char* s)
{
    if (!s || !*s) return;
    int n = MultiByteToWideChar(CP_ACP, 0, s, -1, nullptr, 0);
    if (n <= 0) return;
    s_.resize((size_t)n);
    MultiByteToWideChar(CP_ACP, 0, s, -1, s_.data(), n);
    s_.resize((size_t)n - 1);
}

void CString::FormatV(const wchar_t* fmt, va_list args) { s_ = FormatMsvcV(fmt, args); }

void CString::Format(const wchar_t* fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    s_ = FormatMsvcV(fmt, ap);
    va_end(ap);
}

void CString::AppendFormat(const wchar_t* fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    s_ += FormatMsvcV(fmt, ap);
    va_end(ap);
}

CString CString::Left(int n) const { return CString(s_.substr(0, (size_t)std::max(0, n))); }

CString CString::Right(int n) const
{
    n = std::max(0, std::min(n, GetLength()));
    return CString(s_.substr(s_.size() - (size_t)n));
}

CString CString::Mid(int first) const { return Mid(first, GetLength()); }

CString CString::Mid(int first, int count) const
{
    first = std::max(0, first);
    if (first >= GetLength() || count <= 0) return CString();
    return CString(s_.substr((size_t)first, (size_t)count));
}

int CString::Find(wchar_t c, int start) const
{
    if (start < 0 || start >= GetLength()) return -1;
    size_t p = s_.find(c, (size_t)start);
    return p == std::wstring::npos ? -1 : (int)p;
}

int CString::Find(const wchar_t* sub, int start) const
{
    if (!sub || start < 0 || start > GetLength()) return -1;
    size_t p = s_.find(sub, (size_t)start);
    return p == std::wstring::npos ? -1 : (int)p;
}

int CString::ReverseFind(wchar_t c) const
{
    size_t p = s_.rfind(c);
    return p == std::wstring::npos ? -1 : (int)p;
}

int CString::FindOneOf(const wchar_t* chars) const
{
    if (!chars) return -1;
    size_t p = s_.find_first_of(chars);
    return p == std::wstring::npos ? -1 : (int)p;
}

int CString::Replace(wchar_t from, wchar_t to)
{
    int n = 0;
    for (auto& c : s_)
        if (c == from) { c = to; ++n; }
    return n;
}

int CString::Replace(const wchar_t* from, const wchar_t* to)
{
    if (!from || !*from) return 0;
    std::wstring f(from), t(to ? to : L"");
    int n = 0;
    size_t p = 0;
    while ((p = s_.find(f, p)) != std::wstring::npos) {
        s_.replace(p, f.size(), t);
        p += t.size();
        ++n;
    }
    return n;
}

int CString::Remove(wchar_t c)
{
    size_t before = s_.size();
    s_.erase(std::remove(s_.begin(), s_.end(), c), s_.end());
    return (int)(before - s_.size());
}

int CString::Insert(int index, wchar_t c)
{
    index = std::max(0, std::min(index, GetLength()));
    s_.insert((size_t)index, 1, c);
    return GetLength();
}

int CString::Insert(int index, const wchar_t* s)
{
    index = std::max(0, std::min(index, GetLength()));
    if (s) s_.insert((size_t)index, s);
    return GetLength();
}

int CString::Delete(int index, int count)
{
    if (index >= 0 && index < GetLength() && count > 0) s_.erase((size_t)index, (size_t)count);
    return GetLength();
}

CString& CString::TrimLeft()
{
    size_t i = 0;
    while (i < s_.size() && iswspace(s_[i])) ++i;
    s_.erase(0, i);
    return *this;
}

CString& CString::TrimRight()
{
    while (!s_.empty() && iswspace(s_.back())) s_.pop_back();
    return *this;
}

CString& CString::TrimLeft(wchar_t c)
{
    wchar_t set[2] = {c, 0};
    return TrimLeft(set);
}

CString& CString::TrimRight(wchar_t c)
{
    wchar_t set[2] = {c, 0};
    return TrimRight(set);
}

CString& CString::TrimLeft(const wchar_t* chars)
{
    if (!chars) return *this;
    size_t p = s_.find_first_not_of(chars);
    s_.erase(0, p == std::wstring::npos ? s_.size() : p);
    return *this;
}

CString& CString::TrimRight(const wchar_t* chars)
{
    if (!chars) return *this;
    size_t p = s_.find_last_not_of(chars);
    s_.erase(p == std::wstring::npos ? 0 : p + 1);
    return *this;
}

CString& CString::Trim() { return TrimRight().TrimLeft(); }
CString& CString::Trim(wchar_t c) { return TrimRight(c).TrimLeft(c); }
CString& CString::Trim(const wchar_t* chars) { return TrimRight(chars).TrimLeft(chars); }

CString& CString::MakeUpper()
{
    for (auto& c : s_) c = (wchar_t)towupper((wint_t)c);
    return *this;
}

CString& CString::MakeLower()
{
    for (auto& c : s_) c = (wchar_t)towlower((wint_t)c);
    return *this;
}

CString& CString::MakeReverse()
{
    std::reverse(s_.begin(), s_.end());
    return *this;
}

CString CString::SpanIncluding(const wchar_t* chars) const
{
    if (!chars) return CString();
    size_t p = s_.find_first_not_of(chars);
    return CString(s_.substr(0, p));
}

CString CString::SpanExcluding(const wchar_t* chars) const
{
    if (!chars) return *this;
    size_t p = s_.find_first_of(chars);
    return CString(s_.substr(0, p));
}

CString CString::Tokenize(const wchar_t* delims, int& start) const
{
    if (start < 0 || !delims) { start = -1; return CString(); }
    size_t b = s_.find_first_not_of(delims, (size_t)start);
    if (b == std::wstring::npos) { start = -1; return CString(); }
    size_t e = s_.find_first_of(delims, b);
    if (e == std::wstring::npos) e = s_.size();
    start = (int)e + (e < s_.size() ? 1 : 0);
    return CString(s_.substr(b, e - b));
}

wchar_t* CString::GetBuffer(int minLength)
{
    if (minLength > GetLength()) s_.resize((size_t)minLength);
    return s_.data();
}

wchar_t* CString::GetBufferSetLength(int length)
{
    s_.resize((size_t)std::max(0, length));
    return s_.data();
}

void CString::ReleaseBuffer(int newLength)
{
    if (newLength < 0) s_.resize(wcslen(s_.c_str()));
    else s_.resize(std::min((size_t)newLength, s_.size()));
}
