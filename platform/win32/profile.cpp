// Private profile files of the stand-in machine.
#include <cwctype>
#include <string>
#include <vector>

#include "windows.h"

namespace {

const size_t npos = std::wstring::npos;

struct Profile {
    bool utf16 = false;
    std::vector<std::wstring> lines;
};

std::wstring Trim(const std::wstring& s)
{
    size_t b = s.find_first_not_of(L" \t");
    if (b == npos) return L"";
    return s.substr(b, s.find_last_not_of(L" \t") - b + 1);
}

bool SameName(const std::wstring& a, const std::wstring& b)
{
    return a.size() == b.size() && _wcsicmp(a.c_str(), b.c_str()) == 0;
}

std::wstring FromUtf16Le(const std::string& bytes)
{
    std::wstring out;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
        unsigned u = (unsigned char)bytes[i] | (unsigned char)bytes[i + 1] << 8;
        if (u >= 0xD800 && u < 0xDC00 && i + 3 < bytes.size()) {
            unsigned lo = (unsigned char)bytes[i + 2] | (unsigned char)bytes[i + 3] << 8;
            if (lo >= 0xDC00 && lo < 0xE000) {
                out += (wchar_t)(0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00));
                i += 2;
                continue;
            }
        }
        out += (wchar_t)((u >= 0xD800 && u < 0xE000) ? 0xFFFD : u);
    }
    return out;
}

std::string ToUtf16Le(const std::wstring& text)
{
    std::string out = "\xFF\xFE";
    auto put = [&out](unsigned u) { out += (char)(u & 0xFF); out += (char)(u >> 8); };
    for (wchar_t c : text) {
        unsigned cp = (unsigned)c;
        if (cp >= 0x10000) { put(0xD800 + ((cp - 0x10000) >> 10)); put(0xDC00 + ((cp - 0x10000) & 0x3FF)); }
        else put(cp);
    }
    return out;
}

// A missing file reads as an empty profile.
Profile Load(LPCWSTR file)
{
    Profile p;
    std::string bytes;
    if (FILE* f = _wfopen(file, L"rb")) {
        char buf[4096];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, f)) > 0) bytes.append(buf, n);
        fclose(f);
    }
    std::wstring text;
    p.utf16 = bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE';
    if (p.utf16) {
        text = FromUtf16Le(bytes);
    } else if (!bytes.empty()) {
        int n = MultiByteToWideChar(CP_ACP, 0, bytes.data(), (int)bytes.size(), nullptr, 0);
        text.resize((size_t)n);
        MultiByteToWideChar(CP_ACP, 0, bytes.data(), (int)bytes.size(), &text[0], n);
    }
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(L'\n', start);
        if (end == npos) end = text.size();
        std::wstring line = text.substr(start, end - start);
        if (!line.empty() && line.back() == L'\r') line.pop_back();
        p.lines.push_back(line);
        start = end + 1;
    }
    return p;
}

bool Save(LPCWSTR file, const Profile& p)
{
    std::wstring text;
    for (const std::wstring& line : p.lines) text += line + L"\r\n";
    std::string bytes;
    if (p.utf16) {
        bytes = ToUtf16Le(text);
    } else if (!text.empty()) {
        int n = WideCharToMultiByte(CP_ACP, 0, text.data(), (int)text.size(), nullptr, 0, nullptr, nullptr);
        bytes.resize((size_t)n);
        WideCharToMultiByte(CP_ACP, 0, text.data(), (int)text.size(), &bytes[0], n, nullptr, nullptr);
    }
    FILE* f = _wfopen(file, L"wb");
    if (!f) { SetLastError(ERROR_ACCESS_DENIED); return false; }
    bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return fclose(f) == 0 && ok;
}

// The name of a "[section]" line, or false.
bool SectionName(const std::wstring& line, std::wstring& name)
{
    std::wstring t = Trim(line);
    if (t.empty() || t[0] != L'[') return false;
    size_t close = t.find(L']');
    name = Trim(t.substr(1, close == npos ? npos : close - 1));
    return true;
}

// The key of a "key=value" line, or false.
bool KeyName(const std::wstring& line, std::wstring& key)
{
    size_t eq = line.find(L'=');
    if (eq == npos) return false;
    key = Trim(line.substr(0, eq));
    return true;
}

// Index of the section's header line, or npos.
size_t FindSection(const Profile& p, const std::wstring& section)
{
    std::wstring name;
    for (size_t i = 0; i < p.lines.size(); ++i)
        if (SectionName(p.lines[i], name) && SameName(name, section)) return i;
    return npos;
}

// One past the section's last line.
size_t SectionEnd(const Profile& p, size_t header)
{
    std::wstring name;
    size_t i = header + 1;
    while (i < p.lines.size() && !SectionName(p.lines[i], name)) ++i;
    return i;
}

size_t FindKey(const Profile& p, size_t header, const std::wstring& key)
{
    std::wstring name;
    for (size_t i = header + 1, end = SectionEnd(p, header); i < end; ++i)
        if (KeyName(p.lines[i], name) && SameName(name, key)) return i;
    return npos;
}

bool ReadValue(LPCWSTR section, LPCWSTR key, LPCWSTR file, std::wstring& value)
{
    Profile p = Load(file);
    size_t header = FindSection(p, section);
    size_t line = header == npos ? npos : FindKey(p, header, key);
    if (line == npos) return false;
    const std::wstring& l = p.lines[line];
    value = Trim(l.substr(l.find(L'=') + 1));
    if (value.size() >= 2 && (value[0] == L'"' || value[0] == L'\'') && value.back() == value[0])
        value = value.substr(1, value.size() - 2);
    return true;
}

// Names, each terminated, then one more terminator; cut to fit the buffer.
DWORD CopyNameList(const std::vector<std::wstring>& names, LPWSTR buffer, DWORD capacity)
{
    if (!buffer || capacity < 2) {
        if (buffer && capacity) buffer[0] = 0;
        return 0;
    }
    std::wstring all;
    for (const std::wstring& n : names) all += n + L'\0';
    if (all.size() + 1 > capacity) {
        wmemcpy(buffer, all.data(), capacity - 2);
        buffer[capacity - 2] = buffer[capacity - 1] = 0;
        return capacity - 2;
    }
    wmemcpy(buffer, all.data(), all.size());
    buffer[all.size()] = 0;
    return (DWORD)all.size();
}

BYTE HexValue(wchar_t c)
{
    return (BYTE)(c <= L'9' ? c - L'0' : (c | 0x20) - L'a' + 10);
}

}  // namespace

DWORD GetPrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR defaultValue, LPWSTR buffer,
                               DWORD capacity, LPCWSTR file)
{
    if (!file) return 0;
    if (!section || !key) {
        Profile p = Load(file);
        std::vector<std::wstring> names;
        std::wstring name;
        size_t header = section ? FindSection(p, section) : npos;
        if (!section) {
            for (const std::wstring& line : p.lines)
                if (SectionName(line, name)) names.push_back(name);
        } else if (header != npos) {
            for (size_t i = header + 1, end = SectionEnd(p, header); i < end; ++i)
                if (KeyName(p.lines[i], name)) names.push_back(name);
        }
        return CopyNameList(names, buffer, capacity);
    }
    std::wstring value;
    if (!ReadValue(section, key, file, value)) {
        value = defaultValue ? defaultValue : L"";
        value.erase(value.find_last_not_of(L' ') + 1);
        SetLastError(ERROR_FILE_NOT_FOUND);
    }
    if (!buffer || capacity == 0) return 0;
    size_t n = value.size() < capacity ? value.size() : capacity - 1;
    wmemcpy(buffer, value.data(), n);
    buffer[n] = 0;
    return (DWORD)n;
}

BOOL WritePrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR value, LPCWSTR file)
{
    if (!section || !file) { SetLastError(ERROR_INVALID_PARAMETER); return FALSE; }
    Profile p = Load(file);
    size_t header = FindSection(p, section);
    size_t line = header == npos || !key ? npos : FindKey(p, header, key);
    if (!key || !value) {
        // removing what is not there leaves the file alone
        if (header == npos || (key && line == npos)) return TRUE;
        if (!key)
            p.lines.erase(p.lines.begin() + (long)header, p.lines.begin() + (long)SectionEnd(p, header));
        else
            p.lines.erase(p.lines.begin() + (long)line);
    } else {
        std::wstring text = std::wstring(key) + L"=" + value;
        if (line != npos) {
            p.lines[line] = text;
        } else if (header == npos) {
            p.lines.push_back(L"[" + std::wstring(section) + L"]");
            p.lines.push_back(text);
        } else {
            // after the section's last line that is not blank
            size_t at = SectionEnd(p, header);
            while (at > header + 1 && Trim(p.lines[at - 1]).empty()) --at;
            p.lines.insert(p.lines.begin() + (long)at, text);
        }
    }
    return Save(file, p) ? TRUE : FALSE;
}

BOOL GetPrivateProfileStructW(LPCWSTR section, LPCWSTR key, LPVOID data, UINT size, LPCWSTR file)
{
    std::wstring hex;
    if (!section || !key || !data || !file || !ReadValue(section, key, file, hex)) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    if (hex.size() != 2 * ((size_t)size + 1) || hex.find_first_not_of(L"0123456789abcdefABCDEF") != npos) {
        SetLastError(ERROR_BAD_LENGTH);
        return FALSE;
    }
    std::vector<BYTE> bytes(size + 1);
    BYTE sum = 0;
    for (size_t i = 0; i <= size; ++i) {
        bytes[i] = (BYTE)(HexValue(hex[2 * i]) << 4 | HexValue(hex[2 * i + 1]));
        if (i < size) sum = (BYTE)(sum + bytes[i]);
    }
    if (sum != bytes[size]) {
        SetLastError(ERROR_INVALID_DATA);
        return FALSE;
    }
    memcpy(data, bytes.data(), size);
    return TRUE;
}

BOOL WritePrivateProfileStructW(LPCWSTR section, LPCWSTR key, LPCVOID data, UINT size, LPCWSTR file)
{
    if (!data) return WritePrivateProfileStringW(section, key, nullptr, file);
    static const wchar_t digits[] = L"0123456789ABCDEF";
    std::wstring hex;
    BYTE sum = 0;
    auto put = [&hex](BYTE b) { hex += digits[b >> 4]; hex += digits[b & 15]; };
    for (UINT i = 0; i < size; ++i) {
        BYTE b = static_cast<const BYTE*>(data)[i];
        sum = (BYTE)(sum + b);
        put(b);
    }
    put(sum);
    return WritePrivateProfileStringW(section, key, hex.c_str(), file);
}
