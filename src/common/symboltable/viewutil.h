// The current view of the active drawing, and the raster images and draw
// order of its model space.
#pragma once

#include <map>

#include "afxstr.h"
#include "common/document/entityprops.h"
#include "common/symboltable/viewextents.h"
#include "oddbblockreference.h"
#include "oddbsortents.h"
#include "oddbsymboltable.h"
#include "windows.h"

// The image name whose inserted image is remembered per drawing.
extern const wchar_t* const VELK_IMG;

// The raster image last inserted under VELK_IMG, per drawing database. The
// entry of a drawing that goes away is to be erased by whoever sees it go.
std::map<OdDbDatabase*, OdDbObjectId>& BaseImageIds();

// The colour every inserted raster image gets (default-constructed until
// start-up sets it).
const OdCmColor& DefaultImageColor();
void SetDefaultImageColor(const OdCmColor& color);

class CViewUtil {
public:
    CViewUtil() = default;
    virtual ~CViewUtil() = default;

    // ---- view ----

    // The current view from the host's view variables.
    static void GetCurrentView(OdDbViewTableRecord& view);
    // The visible area widened by the factor about its centre. A viewport
    // without height (a minimised host) leaves the edges as they were.
    static void GetViewExtents(ViewExtents& out, double factor);
    // Shows the rectangle of the two corners (world coordinates) widened by
    // the factor. Corners that are not finite or beyond 1e10 in x or y
    // leave the view alone.
    static void ZoomWindow(const OdGePoint3d& corner1, const OdGePoint3d& corner2, double factor);
    static void SetViewCenter(const OdGePoint3d& center);
    // Shows the whole of model space; nothing when it is empty.
    static void ZoomExtents();
    // The centre of model space's extents; the origin when it is empty.
    static OdGePoint3d GetModelSpaceExtents();
    // Stores model space's extents, enlarged by a fifth, in the database's
    // "*ACTIVE" viewport; nothing when model space is empty.
    static void ZoomActiveViewportExtents(OdDbDatabase* db);
    // 0 when the viewport has no height.
    static double PixelsToDrawingUnits(double pixels);
    static void RefreshDisplay();
    static void FlushGraphics();
    // The current drawing's file name without its folder; empty when no
    // drawing is open.
    static CString GetCurrentDwgFileName();
    // 0 on the Civil flavour of the host, 1 otherwise; decided once.
    static int IsNotCivilHost();

    // ---- raster images and draw order ----

    // The block's draw-order table open for write (the caller closes it),
    // created when missing; null on failure.
    static OdDbSortentsTable* GetSortentsTable(OdDbBlockTableRecord* block);
    // The image definition of that name in the image dictionary, made for
    // the file when the name is new. With relative, a file below the
    // drawing's folder is referred to relative to that folder.
    static OdDbObjectId GetRasterImgDefId(CString name, CString file, bool relative);
    // Inserts the file as an image stretched over the two corners on the
    // layer; 0, 5 for a missing file, name or definition, else the host's
    // status.
    static int InsertIMGFile(OdDbObjectId& newId, OdDbObjectId layer, CString file, CString name,
                             OdGePoint2d lowerLeft, OdGePoint2d upperRight, bool relative);
    // The same on a layer given by name (created when missing), moved to
    // the bottom of the draw order.
    static int InsertIMGFileToBottom(OdDbObjectId& newId, CString layerName, CString file, CString name,
                                     OdGePoint2d lowerLeft, OdGePoint2d upperRight);
    // A square image of size x size whose bottom middle is the anchor (its
    // z is set to 0). Only the layer of the properties is used.
    static OdDbObjectId AddImgPoint1(OdDbObjectId& newId, OdDbObjectId definition, OdGePoint3d& anchor, int size,
                                     EntityProps props, CString text);
    static void SetImageOrientation(OdDbRasterImage* image, OdGePoint3d anchor, int size);
    // Moves the images below everything else in model space; the time it
    // took goes to elapsedMs. 0 or the host's status.
    static int MoveImgToBottom(const OdDbObjectIdArray& images, DWORD* elapsedMs);
    // Erases the image, its definition and the definition's dictionary entry.
    static void EraseRasterImage(OdDbObjectId image, CString definitionName, OdDbDatabase* db);
    // Erases the drawing's VELK_IMG image and its definition and forgets it.
    static void DetachBaseImage(OdDbDatabase* db);
    static OdDbObjectId GetNullObjectId(CString, int);
};
