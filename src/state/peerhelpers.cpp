#include "state/peerhelpers.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "base/basefile.h"
#include "base/baselog.h"
#include "base/numtext.h"
#include "base/utf16text.h"
#include "common/entity/entityutil.h"
#include "common/symboltable/viewutil.h"
#include "gcedview.h"
#include "gcgsmanager.h"
#include "oddbblockreference.h"
#include "state/settings.h"
#include "windows.h"

HostViewVarsRecord g_hostViewVars;
LinetypeTable* g_pLinetypeTable = nullptr;

namespace {

bool GetShortVar(const wchar_t* name, short& value)
{
    resbuf rb{};
    rb.restype = RTSHORT;
    rb.resval.rint = value;
    // A failed read leaves the value as it was.
    if (gcedGetVar(name, &rb) == RTNORM && rb.restype == RTSHORT) value = rb.resval.rint;
    return true;
}

// The table of the peer's line types, asked for when none is held; the
// answer fills it inside the request.
const LinetypeTable* Linetypes()
{
    if (!g_pLinetypeTable) PeerApiGetLinetypes(&g_peerApi);
    return g_pLinetypeTable;
}

}  // namespace

void SetShortVar(const wchar_t* name, short value)
{
    resbuf rb{};
    rb.restype = RTSHORT;
    rb.resval.rint = value;
    gcedSetVar(name, &rb);
}

void SaveHostViewVars()
{
    short rtDisplay = 0;
    GetShortVar(L"RTDISPLAY", rtDisplay);
    g_hostViewVars.rtDisplay = rtDisplay != 0;
    short zoom = (short)g_hostViewVars.zoomFactor;
    GetShortVar(L"ZOOMFACTOR", zoom);
    g_hostViewVars.zoomFactor = zoom;
    if (zoom != 100) SetShortVar(L"ZOOMFACTOR", 100);
    GcGsDevice* device = gcgsGetGsManager()->currentDevice();
    if (device) g_hostViewVars.gsSetting = device->displaySetting();
}

void SetHostViewVars(bool rtDisplay, bool gsSetting, bool online)
{
    g_hostViewVars.onlinePending = false;
    if (!online) {
        rtDisplay = g_hostViewVars.rtDisplay;
        gsSetting = g_hostViewVars.gsSetting;
    }
    short value = 0;
    GetShortVar(L"RTDISPLAY", value);
    if ((value != 0) != rtDisplay) SetShortVar(L"RTDISPLAY", rtDisplay ? 1 : 0);
    short zoom = 0;
    GetShortVar(L"ZOOMFACTOR", zoom);
    if (online) {
        if (zoom != 100) SetShortVar(L"ZOOMFACTOR", 100);
    } else if (zoom != g_hostViewVars.zoomFactor) {
        SetShortVar(L"ZOOMFACTOR", (short)g_hostViewVars.zoomFactor);
    }
    if (online) gcedRedraw(nullptr, 1);
    GcGsDevice* device = gcgsGetGsManager()->currentDevice();
    if (device && device->displaySetting() != gsSetting) {
        device->setDisplaySetting(gsSetting);
        device->update();
    }
}

CString GetSpecialFolderPath()
{
    LPITEMIDLIST list = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(nullptr, CSIDL_LOCAL_APPDATA, &list)) || !list) return CString();
    wchar_t path[MAX_PATH] = {};
    BOOL found = SHGetPathFromIDListW(list, path);
    ILFree(list);
    if (!found) return CString();
    wchar_t shortPath[MAX_PATH] = {};
    DWORD n = GetShortPathNameW(path, shortPath, MAX_PATH);
    return n == 0 || n >= MAX_PATH ? CString() : CString(shortPath);
}

CString GetTempFolder()
{
    wchar_t path[MAX_PATH + 1] = {};
    DWORD n = GetTempPathW(MAX_PATH, path);
    if (n == 0 || n > MAX_PATH) return CString();
    CString folder(path);
    if (!folder.IsEmpty() && folder[folder.GetLength() - 1] == L'\\') folder = folder.Left(folder.GetLength() - 1);
    return folder;
}

void DeleteMapTempFolder(CString cacheRoot)
{
    if (cacheRoot.IsEmpty()) return;
    char path[1000];
    CStringToUtf8Buf(cacheRoot + L"\\MapTemp", path, sizeof path, 0);
    RemoveFolderTree(path);
}

CString Utf8ToCString(const char* utf8)
{
    if (!utf8) return CString();
    wchar_t* wide = Utf8ToWide(utf8, nullptr, nullptr);
    if (!wide) return CString();
    CString text(wide);
    free(wide);
    return text;
}

CString Utf8ToCString(const uint8_t* bytes, size_t maxBytes)
{
    if (!bytes) return CString();
    const void* end = memchr(bytes, 0, maxBytes);
    std::string text((const char*)bytes, end ? (size_t)((const uint8_t*)end - bytes) : maxBytes);
    return Utf8ToCString(text.c_str());
}

char* CStringToUtf8Buf(const CString& text, char* buffer, int bufferSize, int byteLimit)
{
    if (!buffer || bufferSize < 1) return buffer;
    WideToUtf8(text, buffer, bufferSize);
    if (byteLimit > 0 && (int)strlen(buffer) > byteLimit) {
        buffer[byteLimit] = 0;
        Utf8CutInvalid(buffer);
    }
    return buffer;
}

CString MakeDefaultObjectName(int kind)
{
    struct tm now;
    GetLocalTm(&now, nullptr);
    return MakeDefaultObjectName(kind, now);
}

CString MakeDefaultObjectName(int kind, const struct tm& t)
{
    const wchar_t* prefix = L"";
    switch (kind) {
    case 7: prefix = L"Sign_"; break;
    case 8: prefix = L"Track_"; break;
    case 13: prefix = L"Shape_"; break;
    case 20: prefix = L"Region_"; break;
    case 21: prefix = L"BlockRef_"; break;
    case 22: prefix = L"Proxy_"; break;
    default: break;
    }
    CString name;
    name.Format(L"%s%02d_%02d_%02d_%02d_%02d", prefix, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
    return name;
}

const LinetypeItem* GetLinetypeEntryById(uint32_t id)
{
    const LinetypeTable* table = Linetypes();
    if (!table || !table->items) return nullptr;
    for (uint32_t i = 0; i < table->count; ++i)
        if (table->items[i].id == id) return &table->items[i];
    return nullptr;
}

const char* GetLinetypeNameById(uint32_t id)
{
    const LinetypeItem* item = GetLinetypeEntryById(id);
    return item ? item->name : "SOLID";
}

uint32_t GetLinetypeIdByName(char* name)
{
    if (name) {
        char* comma = strchr(name, ',');
        if (comma) *comma = 0;
    }
    const LinetypeTable* table = Linetypes();
    if (!table || !table->items || table->count == 0) return 0;
    for (uint32_t i = 0; name && i < table->count; ++i)
        if (strncmp(table->items[i].name, name, sizeof table->items[i].name) == 0) return table->items[i].id;
    return table->items[0].id;
}

bool IsProjectedEasting(double v)
{
    const double zone = v / 1000000.0;
    if (zone > 1) {
        // The zone is checked first: only then does v fit the integer.
        if (zone < 13 || zone > 45) return false;
        const double rest = (double)((int64_t)v % 1000000);
        return rest >= 160000 && rest <= 840000;
    }
    return v >= 160000 && v <= 840000;
}

int LevelFromRefreshSetting()
{
    switch (g_settings.textLevelMetres) {
    case 4: return 20;
    case 8: return 19;
    case 15: return 18;
    case 30: return 17;
    case 60: return 16;
    case 120: return 15;
    case 240: return 14;
    default: return 18;
    }
}

bool IsPointEqual(const OdGePoint3d& a, const OdGePoint3d& b) { return a.isEqualTo(b, OdGeContext::gTol); }

bool PolygonContainsPoints(const std::vector<OdGePoint3d>& polygon, const std::vector<OdGePoint3d>& points)
{
    const size_t n = polygon.size();
    for (const OdGePoint3d& p : points) {
        const double px = p.x, py = p.y;
        int crossings = 0;
        for (size_t i = 0; i < n; ++i) {
            const OdGePoint3d& a = polygon[i];
            const OdGePoint3d& b = polygon[(i + 1) % n];
            if (IsPointEqual(a, b)) {
                if (a.y == py && a.x >= px) {
                    ++crossings;
                    ++i;  // the next edge starts at the same place
                }
            } else if (a.y == b.y) {
                if (a.y == py && (px <= a.x || px <= b.x)) {
                    ++crossings;
                    ++i;
                }
            } else if (a.x == b.x) {
                if (a.x >= px && std::min(a.y, b.y) <= py && py < std::max(a.y, b.y)) ++crossings;
            } else if (std::min(a.y, b.y) <= py && py < std::max(a.y, b.y)) {
                double x = (py - a.y) * (b.x - a.x) / (b.y - a.y) + a.x;
                if (x >= px && std::min(a.x, b.x) <= x && x < std::max(a.x, b.x)) ++crossings;
            }
        }
        if (crossings % 2 == 0) return false;
    }
    return true;
}

void LabelPositionFromAlignment(int& h, int& v, int& code, OdGePoint3d& point, OdGePoint3d& pointOut, bool toCode,
                                bool move)
{
    if (toCode) {
        pointOut = point;
        if ((h == 0 && (v == 1 || v == 0)) || (h == 3 && v == 0)) code = 3;
        else if (h == 2 && (v == 3 || v == 2)) code = 2;
        else if (h == 2 && (v == 1 || v == 0)) code = 4;
        else if (h == 1 && v == 3) code = 6;
        else if (h == 1 && (v == 1 || v == 0 || v == 2)) code = 5;
        else if (h == 4 && v == 0) code = 5;
        else code = 0;
        return;
    }
    if (!move) point = pointOut;
    const int level = g_settings.textLevelMetres;
    const double half = level / 2;
    double dx = 0, dy = 0;
    switch (code) {
    case 0:
    case 1: h = 0, v = 3, dx = half, dy = half; break;
    case 2: h = 2, v = 3, dx = -half, dy = half; break;
    case 3: h = 0, v = 1, dx = half, dy = half; break;
    case 4: h = 2, v = 1, dx = -half, dy = half; break;
    case 5: h = 1, v = 1, dy = level; break;
    case 6: h = 1, v = 3; break;
    default: h = 0, v = 0; return;
    }
    if (move) point = OdGePoint3d(point.x + dx, point.y + dy, point.z);
}

void LabelPositionCode(int& codeIn, int& codeOut, bool toCode)
{
    if (toCode) {
        codeOut = codeIn >= 1 && codeIn <= 9 ? codeIn : 5;
    } else {
        if (codeOut == 0) codeOut = 7;
        codeIn = codeOut;
    }
}

namespace {
int64_t FileTime(const char* utf8Path, bool modified)
{
    wchar_t path[1024];
    if (!utf8Path || !MultiByteToWideChar(CP_UTF8, 0, utf8Path, -1, path, 1024)) return -1;
    struct _stat64 st;
    if (_wstat64(path, &st) != 0) return 0;
    return modified ? st.st_mtime : st.st_ctime;
}
}  // namespace

int64_t GetFileModifyTime(const char* utf8Path) { return FileTime(utf8Path, true); }
int64_t GetFileCreateTime(const char* utf8Path) { return FileTime(utf8Path, false); }

LRESULT SendTextToHostWindow(const CString& text)
{
    HWND host = gds_getmainhwnd();
    std::u16string units = Utf16FromWide(text.GetString(), (size_t)text.GetLength());
    units += u'\0';
    COPYDATASTRUCT cds;
    cds.dwData = 1;
    cds.cbData = (DWORD)(units.size() * sizeof(char16_t));
    cds.lpData = units.data();
    return SendMessageW(host, WM_COPYDATA, (WPARAM)host, (LPARAM)&cds);
}

namespace {

// The entity of a handle of the working database, open for writing.
OdDbEntity* OpenEntityForWrite(int64_t handle)
{
    OdDbObjectId id = CEntityUtil::HandleToObjectId(OdDbHandle((uint64_t)handle));
    OdDbEntity* entity = nullptr;
    if (id.isNull() || oddbOpenObject(entity, id, OdDb::kForWrite) != eOk) return nullptr;
    return entity;
}

}  // namespace

bool UpdateLinkedImageEntity(int64_t handle, const OdGePoint3d& point)
{
    OdDbEntity* entity = OpenEntityForWrite(handle);
    if (!entity) return false;
    auto* image = OdRxCast<OdDbRasterImage>(entity);
    if (image) CViewUtil::SetImageOrientation(image, point, g_settings.textLevelMetres);
    entity->close();
    return image != nullptr;
}

bool IsRasterIconSized(int64_t handle, const OdGePoint3d& point)
{
    OdDbEntity* entity = OpenEntityForWrite(handle);
    if (!entity) return false;
    auto* image = OdRxCast<OdDbRasterImage>(entity);
    OdGeExtents3d extents;
    bool measured = image && image->getGeomExtents(extents) == eOk;
    entity->close();
    if (!measured) return false;
    const OdGePoint3d c((extents.minPoint().x + extents.maxPoint().x) / 2, extents.minPoint().y, 0);
    const double level = g_settings.textLevelMetres;
    const double rx = level / (c.x - point.x), ry = level / (c.y - point.y);
    auto near = [](double r) { return std::fabs(r - 1) <= 0.05 || std::fabs(r - 2) <= 0.05; };
    return near(rx) && near(ry);
}
