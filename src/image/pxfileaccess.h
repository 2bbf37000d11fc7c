// Opening and removing files by their Windows path, for the image library.
#pragma once

#include <cstdio>

// The C runtime's wide open; null when the file cannot be opened.
FILE* PxOpenFile(const wchar_t* path, const wchar_t* mode);
// Removes a file; true when it is gone.
bool PxRemoveFile(const wchar_t* path);
