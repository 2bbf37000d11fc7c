#include "common/symboltable/viewutil.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <optional>
#include <vector>

#include "afxmsgbox.h"
#include "common/document/dwgdatabaseutil.h"
#include "common/geometry/convertutil.h"
#include "common/geometry/gepointutil.h"
#include "gcapdocmanager.h"
#include "gcedview.h"
#include "gcutprint.h"
#include "oddbdictionary.h"
#include "win32_curdir.h"

const wchar_t* const VELK_IMG = L"VELK_IMG";

namespace {

const int kNoInput = 5;
const double kZoomLimit = 1e10;

// Which flavour of host runs: -1 not known yet, then 0 or 1.
int g_hostVariantCache = -1;

OdCmColor& ImageColor()
{
    static OdCmColor color;
    return color;
}

enum CoordSystem : short { kWcs = 0, kUcs = 1, kDcs = 2 };

// The conversions the view needs beyond the point conversions of
// CConvertUtil: user to display, and displacements.
OdGePoint3d Trans(const OdGePoint3d& p, CoordSystem from, CoordSystem to, bool displacement)
{
    resbuf rbFrom{}, rbTo{};
    rbFrom.restype = rbTo.restype = RTSHORT;
    rbFrom.resval.rint = from;
    rbTo.resval.rint = to;
    ads_point in{p.x, p.y, p.z}, out{0, 0, 0};
    gcedTrans(in, &rbFrom, &rbTo, displacement ? 1 : 0, out);
    return {out[0], out[1], out[2]};
}

double RealVar(const wchar_t* name)
{
    resbuf rb{};
    gcedGetVar(name, &rb);
    return rb.resval.rreal;
}

short ShortVar(const wchar_t* name)
{
    resbuf rb{};
    gcedGetVar(name, &rb);
    return rb.resval.rint;
}

OdGePoint3d PointVar(const wchar_t* name)
{
    resbuf rb{};
    gcedGetVar(name, &rb);
    return {rb.resval.rpoint[0], rb.resval.rpoint[1], rb.resval.rpoint[2]};
}

CString StringVar(const wchar_t* name)
{
    resbuf rb{};
    if (gcedGetVar(name, &rb) != RTNORM || rb.restype != RTSTR) return CString();
    CString s = rb.resval.rstring;
    free(rb.resval.rstring);
    return s;
}

void ShowStatus(const wchar_t* label, int status)
{
    CString msg;
    msg.Format(L"%s ErrorCode:%d", label, status);
    AfxMessageBox(msg);
}

// Model space of the working database, opened with its block table.
struct ModelSpace {
    OdDbBlockTable* table = nullptr;
    OdDbBlockTableRecord* block = nullptr;
    OdResult status = eOk;

    explicit ModelSpace(OdDb::OpenMode mode)
    {
        OdDbDatabase* db = oddbHostApplicationServices()->workingDatabase();
        status = db ? db->getBlockTable(table, mode) : eNullObjectId;
        if (status == eOk) status = table->getAt(L"*Model_Space", block, mode);
    }
    ~ModelSpace() { close(); }
    void close()
    {
        if (block) block->close();
        if (table) table->close();
        block = nullptr;
        table = nullptr;
    }
};

// The extents of every model-space entity; false when there are none.
bool ModelSpaceExtents(OdDbExtents& ext)
{
    ModelSpace ms(OdDb::kForRead);
    if (ms.status != eOk) return false;
    ext = OdDbExtents();
    ext.addBlockExt(ms.block);
    return ext.isValidExtents();
}

void SetView(OdDbViewTableRecord& view, const OdGePoint2d& center, double height, double width)
{
    view.setCenterPoint(center);
    view.setHeight(height);
    view.setWidth(width);
    gcedSetCurrentView(&view, nullptr);
}

bool IsUsableCorner(const OdGePoint3d& p)
{
    return std::isfinite(p.x) && std::isfinite(p.y) && std::fabs(p.x) <= kZoomLimit && std::fabs(p.y) <= kZoomLimit;
}

// Creates the layer in the working database when it has none of that name.
void AddLayerIfMissing(const CString& name)
{
    OdDbDatabase* db = oddbHostApplicationServices()->workingDatabase();
    OdDbLayerTable* table = nullptr;
    if (!db || db->getLayerTable(table, OdDb::kForWrite) != eOk) return;
    if (!table->has(name)) {
        auto* rec = new OdDbLayerTableRecord();
        rec->setName(name.GetString());
        if (table->add(rec) == eOk) rec->close();
        else delete rec;
    }
    table->close();
}

// Sets the layer by name, creating a missing layer first.
OdResult SetLayerCreating(OdDbEntity* ent, const CString& name)
{
    OdResult res = ent->setLayer(name, true);
    if (res == eKeyNotFound) {
        AddLayerIfMissing(name);
        res = ent->setLayer(name, true);
    }
    return res;
}

// Restores the process's current directory when it goes.
class CurrentDirectoryGuard {
public:
    CurrentDirectoryGuard()
    {
        DWORD n = GetCurrentDirectoryW(0, nullptr);
        std::vector<WCHAR> buf(n + 1);
        if (GetCurrentDirectoryW((DWORD)buf.size(), buf.data()) > 0) saved_ = buf.data();
    }
    ~CurrentDirectoryGuard()
    {
        if (!saved_.IsEmpty()) SetCurrentDirectoryW(saved_);
    }

private:
    CString saved_;
};

// The path relative to the folder when the file lies below it; else empty.
CString RelativeBelow(const CString& file, const CString& folder)
{
    int n = folder.GetLength();
    if (n == 0 || file.GetLength() <= n + 1 || file.Left(n).CompareNoCase(folder) != 0 || file[n] != L'\\')
        return CString();
    return file.Mid(n + 1);
}

// Removes the key from the working database's image dictionary. eOk also
// when there is no dictionary; the open status (shown) when it cannot be
// opened.
OdResult RemoveImageDictionaryEntry(const CString& key)
{
    OdDbObjectId dictId = OdDbRasterImageDef::imageDictionary(oddbHostApplicationServices()->workingDatabase());
    if (!dictId.isValid()) return eOk;
    OdDbDictionary* dict = nullptr;
    OdResult res = oddbOpenObject(dict, dictId, OdDb::kForWrite);
    if (res != eOk) {
        ShowStatus(L"Openn Dict", res);
        return res;
    }
    if (dict->has(key.GetString())) dict->remove(key.GetString());
    dict->close();
    return eOk;
}

// Erases the image, then unloads and erases its definition. The status of
// the definition's open, or of the image's when it could not be opened.
OdResult EraseImageAndDefinition(OdDbObjectId imageId)
{
    OdDbRasterImage* image = nullptr;
    OdResult res = oddbOpenObject(image, imageId, OdDb::kForWrite);
    if (res == eWasErased) return res;
    if (res != eOk && image) gcutPrintf(L"Open RasterImage ErrorCode:%d", (int)res);
    if (!image) return res;
    OdDbObjectId defId = image->imageDefId();
    image->erase(true);
    // On the Civil host the erased image is left to the host.
    if (CViewUtil::IsNotCivilHost() == 1) image->close();
    OdDbRasterImageDef* def = nullptr;
    res = oddbOpenObject(def, defId, OdDb::kForWrite);
    if (res == eOk) {
        def->unload(true);
        def->erase(true);
        def->close();
    }
    return res;
}

// The steps both image insertions share: definition, image, layer, colour,
// append to model space, optional move to the bottom, VELK_IMG record.
int InsertImage(OdDbObjectId& newId, const std::function<OdResult(OdDbRasterImage*)>& setLayer, const CString& file,
                const CString& name, const OdGePoint2d& ll, const OdGePoint2d& ur, bool relative, bool toBottom)
{
    if (file.IsEmpty() || name.IsEmpty()) return kNoInput;
    OdDbObjectId defId = CViewUtil::GetRasterImgDefId(name, file, relative);
    if (defId.isNull()) return kNoInput;

    auto* image = new OdDbRasterImage();
    image->setImageDefId(defId);
    image->setOrientation(OdGePoint3d(ll.x, ll.y, 0), OdGeVector3d(ur.x - ll.x, 0, 0), OdGeVector3d(0, ur.y - ll.y, 0));
    image->setDisplayOpt(OdDbRasterImage::kTransparent, true);
    OdResult res = setLayer(image);
    image->setColor(DefaultImageColor(), true);
    if (res == eOk) {
        ModelSpace ms(OdDb::kForWrite);
        res = ms.status;
        if (res == eOk) {
            OdDbObjectId id;
            OdResult appended = ms.block->appendOdDbEntity(id, image);
            if (appended != eOk || id.isNull()) {
                delete image;
                return appended;
            }
            image->close();
            if (toBottom) {
                if (OdDbSortentsTable* st = CViewUtil::GetSortentsTable(ms.block)) {
                    OdResult moved = st->moveToBottom(OdDbObjectIdArray{id});
                    st->close();
                    if (moved != eOk) ShowStatus(L"Img MoveToBottom", moved);
                }
            }
            if (name == VELK_IMG) BaseImageIds()[oddbHostApplicationServices()->workingDatabase()] = id;
            newId = id;
            return 0;
        }
    }
    delete image;
    ShowStatus(L"InsertIMGFile", res);
    return res;
}

}  // namespace

std::map<OdDbDatabase*, OdDbObjectId>& BaseImageIds()
{
    static std::map<OdDbDatabase*, OdDbObjectId> ids;
    return ids;
}

const OdCmColor& DefaultImageColor() { return ImageColor(); }
void SetDefaultImageColor(const OdCmColor& color) { ImageColor() = color; }

// ---- view ----

void CViewUtil::GetCurrentView(OdDbViewTableRecord& view)
{
    short mode = ShortVar(L"VIEWMODE");
    view.setPerspectiveEnabled((mode & 1) != 0);
    view.setFrontClipEnabled((mode & 2) != 0);
    view.setBackClipEnabled((mode & 4) != 0);
    view.setFrontClipAtEye((mode & 16) == 0);

    view.setCenterPoint(CConvertUtil::ToPoint2d(Trans(PointVar(L"VIEWCTR"), kUcs, kDcs, false)));
    view.setLensLength(RealVar(L"LENSLENGTH"));
    view.setTarget(CConvertUtil::UcsToWcs(PointVar(L"TARGET")));
    OdGePoint3d dir = Trans(PointVar(L"VIEWDIR"), kUcs, kWcs, true);
    view.setViewDirection(OdGeVector3d(dir.x, dir.y, dir.z));
    double height = RealVar(L"VIEWSIZE");
    view.setHeight(height);
    OdGePoint3d screen = PointVar(L"SCREENSIZE");
    view.setWidth(screen.y > 0 ? screen.x / screen.y * height : 0.0);
    view.setViewTwist(RealVar(L"VIEWTWIST"));

    bool paper = ShortVar(L"TILEMODE") == 0 && ShortVar(L"CVPORT") == 1;
    view.setIsPaperspaceView(paper);
    view.setFrontClipDistance(paper ? 0.0 : RealVar(L"FRONTZ"));
    view.setBackClipDistance(paper ? 0.0 : RealVar(L"BACKZ"));
}

void CViewUtil::GetViewExtents(ViewExtents& out, double factor)
{
    OdGePoint3d center = PointVar(L"VIEWCTR");
    double h = RealVar(L"VIEWSIZE");
    OdGePoint3d screen = PointVar(L"SCREENSIZE");
    out.screenWidth = (int)screen.x;
    out.screenHeight = (int)screen.y;
    if (!(screen.y > 0)) return;
    double w = screen.x / screen.y * h;
    out.minX = center.x - w / 2 * factor;
    out.minY = center.y - h / 2 * factor;
    out.maxX = center.x + w / 2 * factor;
    out.maxY = center.y + h / 2 * factor;
}

void CViewUtil::ZoomWindow(const OdGePoint3d& corner1, const OdGePoint3d& corner2, double factor)
{
    if (!IsUsableCorner(corner1) || !IsUsableCorner(corner2)) return;
    OdDbViewTableRecord view;
    GetCurrentView(view);
    OdGePoint3d d1 = CConvertUtil::WcsToDcs(corner1);
    OdGePoint3d d2 = CConvertUtil::WcsToDcs(corner2);
    SetView(view, OdGePoint2d((d1.x + d2.x) / 2, (d1.y + d2.y) / 2), std::fabs(d1.y - d2.y) * factor,
            std::fabs(d1.x - d2.x) * factor);
}

void CViewUtil::SetViewCenter(const OdGePoint3d& center)
{
    OdDbViewTableRecord view;
    GetCurrentView(view);
    view.setCenterPoint(CConvertUtil::ToPoint2d(CConvertUtil::WcsToDcs(center)));
    gcedSetCurrentView(&view, nullptr);
}

void CViewUtil::ZoomExtents()
{
    OdDbExtents ext;
    if (!ModelSpaceExtents(ext)) return;
    const OdGePoint3d mn = ext.minPoint(), mx = ext.maxPoint();
    const OdGePoint3d corners[8] = {{mn.x, mn.y, mn.z}, {mx.x, mn.y, mn.z}, {mx.x, mx.y, mn.z}, {mn.x, mx.y, mn.z},
                                    {mn.x, mn.y, mx.z}, {mx.x, mn.y, mx.z}, {mx.x, mx.y, mx.z}, {mn.x, mx.y, mx.z}};
    double minX = 1e30, minY = 1e30, maxX = -1e30, maxY = -1e30;
    for (const OdGePoint3d& c : corners) {
        OdGePoint3d d = CConvertUtil::WcsToDcs(c);
        minX = std::min(minX, d.x);
        minY = std::min(minY, d.y);
        maxX = std::max(maxX, d.x);
        maxY = std::max(maxY, d.y);
    }
    OdDbViewTableRecord view;
    GetCurrentView(view);
    SetView(view, OdGePoint2d((minX + maxX) / 2, (minY + maxY) / 2), std::fabs(maxY - minY), std::fabs(maxX - minX));
}

OdGePoint3d CViewUtil::GetModelSpaceExtents()
{
    OdDbExtents ext;
    ModelSpaceExtents(ext);
    const OdGePoint3d mn = ext.minPoint(), mx = ext.maxPoint();
    return {(mn.x + mx.x) / 2, (mn.y + mx.y) / 2, (mn.z + mx.z) / 2};
}

void CViewUtil::ZoomActiveViewportExtents(OdDbDatabase* db)
{
    if (!db) return;
    OdDbExtents ext = CDwgDatabaseUtil::GetModelSpaceExtent(db);
    if (!ext.isValidExtents()) return;
    OdDbViewportTable* table = nullptr;
    if (db->getViewportTable(table, OdDb::kForWrite) != eOk) return;
    OdDbViewportTableRecord* active = nullptr;
    if (table->getAt(L"*ACTIVE", active, OdDb::kForWrite) == eOk) {
        OdGePoint3d mid = CGePointUtil::GetMiddlePoint(ext.minPoint(), ext.maxPoint());
        active->setCenterPoint(OdGePoint2d(mid.x, mid.y));
        active->setHeight((ext.maxPoint().y - ext.minPoint().y) * 1.2);
        active->setWidth((ext.maxPoint().x - ext.minPoint().x) * 1.2);
        active->close();
    }
    table->close();
}

double CViewUtil::PixelsToDrawingUnits(double pixels)
{
    OdGePoint3d screen = PointVar(L"SCREENSIZE");
    if (!(screen.y > 0)) return 0.0;
    return pixels * RealVar(L"VIEWSIZE") / screen.y;
}

void CViewUtil::RefreshDisplay() { FlushGraphics(); }

void CViewUtil::FlushGraphics()
{
    if (OdDbTransactionManager* tm = odTransactionManagerPtr()) {
        tm->queueForGraphicsFlush();
        tm->flushGraphics();
    }
    gcedUpdateDisplay();
}

CString CViewUtil::GetCurrentDwgFileName()
{
    GcApDocument* doc = gcDocManagerPtr()->curDocument();
    if (!doc) return CString();
    CString name = doc->fileName().c_str();
    return name.Mid(name.ReverseFind(L'\\') + 1);
}

int CViewUtil::IsNotCivilHost()
{
    if (g_hostVariantCache != -1) return g_hostVariantCache;
    if (StringVar(L"acadprefix").Find(L"Civil") > 0) return g_hostVariantCache = 0;
    CString title;
    gcedGetGcadFrame()->GetWindowText(title);
    return g_hostVariantCache = title.Find(L"Civil") > 0 ? 0 : 1;
}

// ---- raster images and draw order ----

OdDbSortentsTable* CViewUtil::GetSortentsTable(OdDbBlockTableRecord* block)
{
    if (!block) return nullptr;
    OdDbSortentsTable* table = nullptr;
    if (block->getSortentsTable(table, OdDb::kForWrite, false) == eOk) return table;

    if (block->extensionDictionary().isNull() && block->createExtensionDictionary() != eOk) return nullptr;
    OdDbObjectId xdictId = block->extensionDictionary();
    if (xdictId.isNull()) return nullptr;
    OdDbDictionary* xdict = nullptr;
    OdResult res = oddbOpenObject(xdict, xdictId, OdDb::kForWrite);
    if (res != eOk) {
        ShowStatus(L"GetSortentsTable", res);
        return nullptr;
    }
    OdDbObject* obj = nullptr;
    if (!xdict->has(L"ACAD_SORTENTS")) {
        auto* created = new OdDbSortentsTable();
        OdDbObjectId id;
        if (xdict->setAt(L"ACAD_SORTENTS", created, id) != eOk) {
            delete created;
            xdict->close();
            return nullptr;
        }
        created->setBlockId(block->objectId());
        obj = created;
    } else {
        xdict->getAt(L"ACAD_SORTENTS", obj, OdDb::kForWrite);
    }
    xdict->close();
    if (!obj) return nullptr;
    table = OdRxCast<OdDbSortentsTable>(obj);
    if (!table) obj->close();
    return table;
}

OdDbObjectId CViewUtil::GetRasterImgDefId(CString name, CString file, bool relative)
{
    if (name.IsEmpty()) return OdDbObjectId();
    CString path = file;
    std::optional<CurrentDirectoryGuard> keepDirectory;
    if (relative) {
        keepDirectory.emplace();
        GcApDocument* doc = gcDocManagerPtr()->curDocument();
        CString dwg = doc ? CString(doc->fileName().c_str()) : CString();
        int slash = dwg.ReverseFind(L'\\');
        CString folder = slash < 0 ? CString() : dwg.Left(slash);
        if (SetCurrentDirectoryW(folder)) {
            CString below = RelativeBelow(file, folder);
            if (!below.IsEmpty()) path = below;
        }
    }

    OdDbDatabase* db = oddbHostApplicationServices()->workingDatabase();
    OdDbObjectId dictId = OdDbRasterImageDef::imageDictionary(db);
    if (!dictId.isValid() && OdDbRasterImageDef::createImageDictionary(db, dictId) != eOk) return OdDbObjectId();
    OdDbDictionary* dict = nullptr;
    OdResult res = oddbOpenObject(dict, dictId, OdDb::kForWrite);
    if (res != eOk) {
        ShowStatus(L"GetRasterImgDefId", res);
        return OdDbObjectId();
    }
    OdDbObjectId id;
    if (dict->getAt(name.GetString(), id) == eOk || path.IsEmpty()) {
        dict->close();
        return id;
    }

    auto* def = new OdDbRasterImageDef();
    res = def->setSourceFileName(path.GetString());
    if (res != eOk && relative) {
        AfxMessageBox(L"\nSetCurrentImgNameFailed!");
        res = def->setSourceFileName(file.GetString());
    }
    if (res == eOk) res = def->load(false);
    if (res == eOk) res = dict->setAt(name.GetString(), def, id);
    if (res != eOk) {
        delete def;
        dict->close();
        return OdDbObjectId();
    }
    def->close();
    dict->close();
    return id;
}

int CViewUtil::InsertIMGFile(OdDbObjectId& newId, OdDbObjectId layer, CString file, CString name,
                             OdGePoint2d lowerLeft, OdGePoint2d upperRight, bool relative)
{
    return InsertImage(
        newId, [layer](OdDbRasterImage* image) { return image->setLayer(layer, true); }, file, name, lowerLeft,
        upperRight, relative, false);
}

int CViewUtil::InsertIMGFileToBottom(OdDbObjectId& newId, CString layerName, CString file, CString name,
                                     OdGePoint2d lowerLeft, OdGePoint2d upperRight)
{
    return InsertImage(
        newId, [&layerName](OdDbRasterImage* image) { return SetLayerCreating(image, layerName); }, file, name,
        lowerLeft, upperRight, false, true);
}

OdDbObjectId CViewUtil::AddImgPoint1(OdDbObjectId& newId, OdDbObjectId definition, OdGePoint3d& anchor, int size,
                                     EntityProps props, CString)
{
    auto* image = new OdDbRasterImage();
    image->setImageDefId(definition);
    anchor.z = 0;
    SetImageOrientation(image, anchor, size);
    image->setDisplayOpt(OdDbRasterImage::kTransparent, true);

    OdResult res;
    if (!props.layer.IsEmpty()) {
        res = SetLayerCreating(image, props.layer);
    } else {
        OdDbDatabase* db = oddbHostApplicationServices()->workingDatabase();
        res = db ? image->setLayer(db->clayer(), true) : eNullObjectId;
    }
    if (res == eOk) res = image->setColor(DefaultImageColor(), true);
    if (res != eOk) {
        delete image;
        return OdDbObjectId();
    }

    ModelSpace ms(OdDb::kForWrite);
    if (ms.status != eOk) {
        if (ms.table) ShowStatus(L"AddImgPoint1", ms.status);
        delete image;
        return OdDbObjectId();
    }
    res = ms.block->appendOdDbEntity(newId, image);
    if (res != eOk) {
        gcutPrintf(L"\nCViewUtil::AddImgPoint1中添加实体失败(错误代码:%d).", (int)res);
        delete image;
        return OdDbObjectId();
    }
    image->close();
    return newId;
}

void CViewUtil::SetImageOrientation(OdDbRasterImage* image, OdGePoint3d anchor, int size)
{
    int half = size / 2;
    image->setOrientation(OdGePoint3d(anchor.x - half, anchor.y, anchor.z), OdGeVector3d(size, 0, 0),
                          OdGeVector3d(0, size, 0));
}

int CViewUtil::MoveImgToBottom(const OdDbObjectIdArray& images, DWORD* elapsedMs)
{
    if (images.isEmpty()) return 0;
    ModelSpace ms(OdDb::kForWrite);
    if (ms.status != eOk) return ms.status;
    OdDbSortentsTable* table = GetSortentsTable(ms.block);
    ms.close();
    if (!table) return 0;
    DWORD start = GetTickCount();
    OdResult res = table->moveToBottom(images);
    if (elapsedMs) *elapsedMs = GetTickCount() - start;
    table->close();
    if (res != eOk) ShowStatus(L"Img MoveToBottom", res);
    return res;
}

void CViewUtil::EraseRasterImage(OdDbObjectId image, CString definitionName, OdDbDatabase*)
{
    if (image.isNull()) return;
    OdResult res = RemoveImageDictionaryEntry(definitionName);
    if (res == eOk) res = EraseImageAndDefinition(image);
    if (res != eOk) gcutPrintf(L"清楚缓存地图失败！错误代码：%d\n", (int)res);
}

void CViewUtil::DetachBaseImage(OdDbDatabase* db)
{
    if (!db) db = oddbHostApplicationServices()->workingDatabase();
    OdDbObjectId image = BaseImageIds()[db];
    if (image.isNull()) return;
    if (RemoveImageDictionaryEntry(VELK_IMG) == eOk) EraseImageAndDefinition(image);
    BaseImageIds()[db] = OdDbObjectId();
}

OdDbObjectId CViewUtil::GetNullObjectId(CString, int) { return OdDbObjectId(); }
