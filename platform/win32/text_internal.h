// Helpers shared by the stand-in's own files (not part of the Win32 surface).
#pragma once

#include <string>
#include <string_view>

namespace standin {

// UTF-8 <-> wide (one code point per unit). Malformed input becomes U+FFFD.
std::wstring Utf8ToWide(std::string_view s);
std::string WideToUtf8(std::wstring_view s);

}  // namespace standin
