// Icons and strings over the resource tables of the modules.
#include <cstring>
#include <map>
#include <string>

#include "standin_control.h"
#include "windows.h"

namespace {

struct Icon {
    int width;
    int height;
};
std::map<HICON, Icon> g_icons;
uintptr_t g_nextIcon = 0x70000;
// LoadIcon's icons are shared: one per module and resource, living as long
// as the module, and never to be destroyed by their users.
std::map<std::pair<HMODULE, std::wstring>, HICON> g_shared;
int g_sharedDestroyAttempts = 0;

standin::ResetHook g_reset([] {
    g_icons.clear();
    g_shared.clear();
    g_sharedDestroyAttempts = 0;
});

std::wstring ResourceKey(LPCWSTR name)
{
    if (IS_INTRESOURCE(name)) return L"#" + std::to_wstring((ULONG_PTR)name);
    return name ? std::wstring(name) : std::wstring();
}

bool IsShared(HICON icon)
{
    for (auto& [key, h] : g_shared)
        if (h == icon) return true;
    return false;
}

WORD Word(const BYTE* p) { return (WORD)(p[0] | (p[1] << 8)); }
DWORD Dword(const BYTE* p) { return (DWORD)Word(p) | ((DWORD)Word(p + 2) << 16); }

// The size an RT_ICON image declares: a PNG's header, or a bitmap header
// whose height counts the image and its mask.
bool ImageSize(const BYTE* p, DWORD n, int& width, int& height)
{
    static const BYTE kPng[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    if (n >= 24 && memcmp(p, kPng, 8) == 0 && memcmp(p + 12, "IHDR", 4) == 0) {
        width = (int)((p[16] << 24) | (p[17] << 16) | (p[18] << 8) | p[19]);
        height = (int)((p[20] << 24) | (p[21] << 16) | (p[22] << 8) | p[23]);
        return width > 0 && height > 0;
    }
    if (n >= 40 && Dword(p) == 40) {
        width = (int)Dword(p + 4);
        height = (int)Dword(p + 8) / 2;
        return width > 0 && height > 0;
    }
    return false;
}

}  // namespace

HICON LoadIconW(HINSTANCE instance, LPCWSTR name)
{
    HMODULE module = (HMODULE)instance;
    auto key = std::make_pair(module, ResourceKey(name));
    auto known = g_shared.find(key);
    if (known != g_shared.end() && g_icons.count(known->second)) return known->second;
    HRSRC group = FindResourceW(module, name, RT_GROUP_ICON);
    if (!group) return nullptr;
    const BYTE* dir = (const BYTE*)LockResource(LoadResource(module, group));
    DWORD size = SizeofResource(module, group);
    // GRPICONDIR: reserved 0, type 1, count, then 14-byte entries whose id
    // is the WORD at 12.
    if (!dir || size < 6 + 14 || Word(dir) != 0 || Word(dir + 2) != 1 || Word(dir + 4) == 0) return nullptr;
    WORD imageId = Word(dir + 6 + 12);
    HRSRC image = FindResourceW(module, MAKEINTRESOURCEW(imageId), RT_ICON);
    if (!image) return nullptr;
    const BYTE* bytes = (const BYTE*)LockResource(LoadResource(module, image));
    Icon icon{};
    if (!bytes || !ImageSize(bytes, SizeofResource(module, image), icon.width, icon.height)) return nullptr;
    HICON h = (HICON)g_nextIcon;
    g_nextIcon += 4;
    g_icons[h] = icon;
    g_shared[key] = h;
    return h;
}

BOOL DestroyIcon(HICON icon)
{
    if (IsShared(icon)) {
        ++g_sharedDestroyAttempts;
        return FALSE;
    }
    return g_icons.erase(icon) ? TRUE : FALSE;
}

int LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int capacity)
{
    if (!buffer || capacity < 1) return 0;
    buffer[0] = 0;
    HMODULE module = (HMODULE)instance;
    HRSRC block = FindResourceW(module, MAKEINTRESOURCEW(id / 16 + 1), RT_STRING);
    if (!block) return 0;
    const BYTE* p = (const BYTE*)LockResource(LoadResource(module, block));
    DWORD size = SizeofResource(module, block);
    DWORD at = 0;
    for (UINT i = 0; i < id % 16; ++i) {
        if (at + 2 > size) return 0;
        at += 2 + 2 * (DWORD)Word(p + at);
    }
    if (at + 2 > size) return 0;
    DWORD length = Word(p + at);
    if (length == 0 || at + 2 + 2 * length > size) return 0;
    int n = 0;
    // UTF-16 units; a pair makes one wide character.
    for (DWORD i = 0; i < length && n < capacity - 1; ++i) {
        wchar_t unit = Word(p + at + 2 + 2 * i);
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < length) {
            wchar_t low = Word(p + at + 4 + 2 * i);
            unit = (wchar_t)(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
            ++i;
        }
        buffer[n++] = unit;
    }
    buffer[n] = 0;
    return n;
}

namespace standin {

int IconWidth(HICON icon)
{
    auto it = g_icons.find(icon);
    return it == g_icons.end() ? 0 : it->second.width;
}

int LiveIconCount() { return (int)g_icons.size(); }

int SharedIconDestroyAttempts() { return g_sharedDestroyAttempts; }

}  // namespace standin
