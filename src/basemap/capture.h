// The one-off base-map capture: one map image of a chosen range and level,
// made by the peer and inserted beside the drawing as a raster image at the
// bottom of the draw order. One capture runs per drawing at a time.
#pragma once

#include <cstdint>

#include "afxstr.h"
#include "gcedinput.h"
#include "odgegeometry.h"
#include "state/basemapstate.h"

// The toolbar's capture button: the dialog, then a rectangle or an entity.
void CaptureMapCommand(BaseMapState* state);
// Takes the range from the entity's extents (erasing it when asked: the
// temporary rectangle) and asks the peer; false when the entity does not
// open or the range is too small.
bool CaptureFromExtents(BaseMapState* state, const ads_name entityName, bool erase);
// Sends the capture's request (value 20 from every caller).
void RequestCapture(BaseMapState* state, int value);
// The peer's registered progress message while it makes the image.
void OnMapFileProgress(MapImageRecord* capture, int32_t created, int32_t total);
// Progress of a not-ready answer: notes a stall, shows the meter.
void ShowFetchProgress(MapImageRecord* capture, int32_t done, int32_t total);
// Inserts the finished image on the current layer at the bottom of the draw
// order and remembers it for clearing.
void InsertCapturedMapImage(BaseMapState* state, const OdGePoint2d& min, const OdGePoint2d& max, const CString& path,
                            const CString& name);
// Ends the capture; a negative status is reported.
void EndCapture(BaseMapState* state, int status);
// Erases every captured image of the drawing and deletes its file.
void ClearAllCapturedMaps(BaseMapState* state);

// The answers of a 20302 message that concern the capture. Only answers
// carrying the running capture's id count.
bool IsCaptureReply(const BaseMapState* state, const TileRequest& reply);
void OnCaptureFinished(BaseMapState* state, const TileRequest& reply);
void OnCaptureProgress(BaseMapState* state, const TileRequest& reply);

// Captures are kept beside the drawing: the drawing's path without its
// extension and "_REFMAP".
CString CaptureFolder(const CString& drawingPath);
// The image file of a named capture: that folder, the name and ".jpg".
CString NamedCaptureImagePath(const CString& drawingPath, const CString& imageName);
// The image file of the capture: named, or "<id>_LoactionMap.jpg" with the
// id of the tick count, map type and corners.
CString CaptureImagePath(const CString& drawingPath, const MapImageRecord& capture, uint32_t tickCount);
// The drawing's file has a folder (it was saved).
bool IsSavedDrawingPath(const CString& drawingPath);
