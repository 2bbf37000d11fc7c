// The platform's profile ("ini") files as the module reads and updates them:
// any bytes as the file, sections and keys listed and read, a struct value
// read, and a value written back.
#include <cstring>

#include "fuzz_support.h"
#include "windows.h"

namespace {

std::wstring Wide(const std::string& s)
{
    // Bytes as units, so that any name reaches the reader.
    return std::wstring(s.begin(), s.end());
}

}  // namespace

VELK_FUZZ_WITH_MACHINE()

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    velkfuzz::Input in(data, size);
    const uint8_t capacity = in.Byte();
    const std::wstring section = Wide(in.Text());
    const std::wstring key = Wide(in.Text());
    const velkfuzz::Input::Bytes bytes = in.Rest();
    const std::wstring file = velkfuzz::WriteMachineFile("p.ini", bytes.data, bytes.size);
    const wchar_t* path = file.c_str();
    const DWORD room = (DWORD)capacity + 2;
    std::vector<wchar_t> buffer(room);
    // The section list, then the keys of each section listed.
    DWORD n = GetPrivateProfileStringW(nullptr, nullptr, L"", buffer.data(), room, path);
    FUZZ_CHECK(n < room);
    std::vector<wchar_t> sections(buffer.begin(), buffer.begin() + n);
    sections.resize(n + 2, 0);  // however the list was cut, it ends here
    for (const wchar_t* s = sections.data(); *s; s += wcslen(s) + 1) {
        std::vector<wchar_t> keys(room);
        FUZZ_CHECK(GetPrivateProfileStringW(s, nullptr, L"", keys.data(), room, path) < room);
    }
    n = GetPrivateProfileStringW(section.c_str(), key.c_str(), L"default", buffer.data(), room, path);
    FUZZ_CHECK(n < room && buffer[n] == 0);
    std::vector<uint8_t> value((size_t)capacity + 1);
    GetPrivateProfileStructW(section.c_str(), key.c_str(), value.data(), capacity, path);
    if (capacity & 1) WritePrivateProfileStringW(section.c_str(), key.c_str(), L"written", path);
    else WritePrivateProfileStringW(section.c_str(), nullptr, nullptr, path);
    return 0;
}
