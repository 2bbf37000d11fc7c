// Win32 stand-in: icons and strings from a module's resources.
#pragma once

#include "win32_resource.h"
#include "win32_types.h"

// The icon of an icon-group resource: the group's first image, an RT_ICON
// resource holding a PNG or a bitmap. Null when the module has no such
// group or its image is missing or not an image. The icon is shared: the
// same handle for every call, owned by the system, not the caller.
HICON LoadIconW(HINSTANCE instance, LPCWSTR name);
// FALSE, and nothing destroyed, for a shared icon.
BOOL DestroyIcon(HICON icon);
#define LoadIcon LoadIconW

// The string `id` of the module's string table (blocks of 16 counted
// UTF-16 strings, block id / 16 + 1), cut to the buffer; its length, 0
// when there is none.
int LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int capacity);
#define LoadString LoadStringW

namespace standin {
// The width and height of a loaded icon's image (0 for no icon).
int IconWidth(HICON icon);
// Icons loaded and not destroyed.
int LiveIconCount();
// Calls of DestroyIcon on a shared icon, which a program must not make.
int SharedIconDestroyAttempts();
}  // namespace standin
