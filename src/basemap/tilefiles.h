// Files of the tile cache and of captures, by their Windows paths.
#pragma once

#include <cstdint>
#include <functional>

#include "afxstr.h"

// Calls `visit` with the full path of every ".png" file (any case) in the
// folder and, down to `depth` levels, in its subfolders. Links to folders
// are not followed.
void ForEachCachedTileFile(const CString& folder, int depth, const std::function<void(const CString&)>& visit);
// The file's size; -1 when it is missing.
int32_t PathFileSize(const CString& path);
void DeletePathFile(const CString& path);
