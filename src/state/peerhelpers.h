// The small helpers that every part calls by name: the host's view
// variables, special folders and the cache folder, text conversions between
// CString and UTF-8, default object names, the peer's line types, and the
// geometry of icon images. A linked text follows its icon with
// UpdateLinkedTextEntity (exchange/entitylink.h); MATCHVELK is MatchVelk
// (basemap/matchvelk.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "afxstr.h"
#include "odgegeometry.h"
#include "peer/peerrequests.h"

// The host's display variables as the plug-in found them at start-up.
struct HostViewVarsRecord {
    bool rtDisplay = false;
    bool gsSetting = true;
    int32_t zoomFactor = 60;
    // The tile loader applies the online settings while this is set.
    bool onlinePending = true;
};
extern HostViewVarsRecord g_hostViewVars;

// Remembers RTDISPLAY, ZOOMFACTOR and the graphics setting; sets ZOOMFACTOR
// to 100.
void SaveHostViewVars();
// Online: the given RTDISPLAY and graphics setting, ZOOMFACTOR 100 and a
// redraw. Not online: the values kept at start-up come back.
void SetHostViewVars(bool rtDisplay, bool gsSetting, bool online);

// Sets a host variable of type short.
void SetShortVar(const wchar_t* name, short value);

// The user's local application-data folder in short form; empty when it
// cannot be found.
CString GetSpecialFolderPath();
// The system temporary folder without its trailing backslash.
CString GetTempFolder();
// Deletes cache root + "\MapTemp" with everything in it. An empty root is
// refused: it would name "\MapTemp" at the root of the current drive.
void DeleteMapTempFolder(CString cacheRoot);

// UTF-8 to CString; null gives an empty string.
CString Utf8ToCString(const char* utf8);
// The same for a field of a peer's payload: at most `maxBytes` are read,
// up to the first NUL.
CString Utf8ToCString(const uint8_t* bytes, size_t maxBytes);
// The text as NUL-terminated UTF-8 in the buffer; with a limit above 0 a
// longer result is cut there without leaving a broken character.
char* CStringToUtf8Buf(const CString& text, char* buffer, int bufferSize, int byteLimit);

// A name for an object that has none: a prefix by kind ("Sign_" 7,
// "Track_" 8, "Shape_" 13, "Region_" 20, "BlockRef_" 21, "Proxy_" 22) and
// the local time as "%m_%d_%H_%M_%S".
CString MakeDefaultObjectName(int kind);
CString MakeDefaultObjectName(int kind, const struct tm& localTime);

// The peer's line-type table (its answer to 20601); null until asked.
extern LinetypeTable* g_pLinetypeTable;
// Each asks the peer for the table first when none is held.
const char* GetLinetypeNameById(uint32_t id);
const LinetypeItem* GetLinetypeEntryById(uint32_t id);
// `name` is cut at its first comma in place; the first item's id when no
// name matches, 0 without a table.
uint32_t GetLinetypeIdByName(char* name);

// A transverse-Mercator easting, with or without a zone number in front.
bool IsProjectedEasting(double value);
// The map level of the text-level setting.
int LevelFromRefreshSetting();
// Every point of `points` lies inside the closed polygon (x and y only).
bool PolygonContainsPoints(const std::vector<OdGePoint3d>& polygon, const std::vector<OdGePoint3d>& points);
bool IsPointEqual(const OdGePoint3d& a, const OdGePoint3d& b);

// Tool-box operations without a caller in the plug-in.
void LabelPositionFromAlignment(int& horizontal, int& vertical, int& code, OdGePoint3d& point,
                                OdGePoint3d& pointOut, bool toCode, bool move);
void LabelPositionCode(int& codeIn, int& codeOut, bool toCode);
int64_t GetFileModifyTime(const char* utf8Path);
int64_t GetFileCreateTime(const char* utf8Path);
LRESULT SendTextToHostWindow(const CString& text);

// Icon images. Each opens the entity of the handle for writing; false when
// it does not open or is no raster image.
// The image becomes a square icon of the text level with its lower edge's
// middle at `point`.
bool UpdateLinkedImageEntity(int64_t handle, const OdGePoint3d& point);
// Whether the image sits at the standard offset of an icon from the text
// anchor `point`.
bool IsRasterIconSized(int64_t handle, const OdGePoint3d& point);
// The same tests under the names the object exchange knows them by.
inline bool GetEntityExtents(const std::vector<OdGePoint3d>& ringA, const std::vector<OdGePoint3d>& ringB)
{
    return PolygonContainsPoints(ringA, ringB);
}
inline bool GetImageEntityExtents(int64_t handle, const OdGePoint3d& storedPosition)
{
    return IsRasterIconSized(handle, storedPosition);
}
