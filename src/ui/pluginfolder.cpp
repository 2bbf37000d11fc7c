#include "ui/pluginfolder.h"

#include "afxmsgbox.h"
#include "base/basefile.h"
#include "common/geometry/mathutil.h"
#include "common/io/appdirectoryutil.h"
#include "common/symboltable/viewutil.h"
#include "image/pximage.h"
#include "odrx_module.h"
#include "state/modulestate.h"
#include "state/peerhelpers.h"
#include "state/settings.h"
#include "windows.h"

namespace {

CString g_defaultIconPath;
CString g_defaultIconDefName;
OdDbObjectId g_defaultIconDefId;

const int kDefaultIconResource = 8315;
const int kIconResourceBase = 10000;

int32_t FileSize(const CString& path)
{
    char utf8[1000];
    CStringToUtf8Buf(path, utf8, sizeof utf8, 0);
    return GetFileSizeUtf8(utf8);
}

void CreateFolder(const CString& path)
{
    char utf8[1000];
    CStringToUtf8Buf(path, utf8, sizeof utf8, 0);
    CreateFolderUtf8(utf8);
}

// Decodes the module's PNG resource and saves it as a PNG file.
bool WriteIconFile(int resourceId, const CString& path)
{
    HMODULE module = (HMODULE)g_hModuleInstance;
    HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW((WORD)resourceId), L"PNG");
    PxImage image;
    if (!resource || !image.LoadResource(resource, PXIMAGE_FORMAT_PNG, module) || image.GetHeight() == 0) return false;
    bool saved = image.Save(path, PXIMAGE_FORMAT_PNG);
    // Give the file system a moment before the host reads the file.
    Sleep(10);
    return saved;
}

}  // namespace

bool CheckPluginFolder(CString folder)
{
    if (folder.IsEmpty()) folder = CAppDirectoryUtil::GetModuleFolder((HMODULE)g_hModuleInstance);
    if (folder.GetLength() == 3 && folder[1] == L':' && folder[2] == L'\\') {
        AfxMessageBox(L"不能选择根目录！请将插件移到其他目录！", MB_OK);
        return false;
    }
    if (folder.GetLength() >= 191) {
        AfxMessageBox(L"插件所在的路径太长，请移到其他目录再加载。", MB_OK);
        return false;
    }
    char testFile[1000];
    CStringToUtf8Buf(folder + L"\\t__Arx.txt", testFile, sizeof testFile, 0);
    if (!WriteFileUtf8(testFile, "test", 5)) {
        AfxMessageBox(L"该目录没有读写权限！请将插件移到其他目录！", MB_OK);
        return false;
    }
    DeleteFileUtf8(testFile);
    // The free space of the volume that holds the folder itself (a share
    // too); when it cannot be asked, nobody is asked.
    ULARGE_INTEGER freeBytes{};
    if (!GetDiskFreeSpaceExW(folder, &freeBytes, nullptr, nullptr)) return true;
    if ((freeBytes.QuadPart >> 30) < 2)
        return AfxMessageBox(L"插件所在的磁盘空间不足，是否切换到其他目录再加载？", MB_YESNO) != IDYES;
    return true;
}

OdDbObjectId GetIconImageDefId(int n)
{
    if (n >= 500 && n <= 900) n = 4;
    // Icon numbers come from the peer: one past the resource numbers has no icon.
    if (n < 0 || n > 0xFFFF - kIconResourceBase) return OdDbObjectId();
    CString number;
    number.Format(L"%04d", n);
    CString path = g_cacheRoot + L"\\VelkArxIcon\\Icon" + number + L".png";
    if (FileSize(path) < 0) {
        CreateFolder(g_cacheRoot + L"\\VelkArxIcon");
        if (!WriteIconFile((WORD)(kIconResourceBase + n), path)) return OdDbObjectId();
    }
    OdDbObjectId id = CViewUtil::GetRasterImgDefId(L"ICON" + number + L"_PNG", path, false);
    if (id.isNull()) return EnsureDefaultIconImageDef();
    return id;
}

OdDbObjectId EnsureDefaultIconImageDef()
{
    if (g_defaultIconPath.IsEmpty()) {
        // The folder keeps the name the icon files have always had.
        g_defaultIconPath = g_cacheRoot + L"\\VelkArxIocn\\Icon.png";
        if (FileSize(g_defaultIconPath) < 0) {
            CreateFolder(g_cacheRoot + L"\\VelkArxIocn");
            WriteIconFile(kDefaultIconResource, g_defaultIconPath);
        }
    }
    if (g_defaultIconDefName.IsEmpty()) g_defaultIconDefName = L"IconDef";
    g_defaultIconDefId = CViewUtil::GetRasterImgDefId(g_defaultIconDefName, g_defaultIconPath, false);
    return g_defaultIconDefId;
}

void InitPluginDrawingSupport()
{
    int rgb = CMathUtil::ColorIndexToRGB(7);
    OdCmColor colour;
    colour.setRGB((uint8_t)(255 - (rgb & 0xFF)), (uint8_t)(255 - ((rgb >> 8) & 0xFF)),
                  (uint8_t)(255 - ((rgb >> 16) & 0xFF)));
    SetDefaultImageColor(colour);
    LoadIsmObjectDbx();
}

void LoadIsmObjectDbx()
{
    // Silently: the module is optional, and the pointer is not kept.
    odrxDynamicLinker()->loadModule(L"acISMobj21.dbx");
}
