// Operations of ArxOperation that are not built yet: receiving map objects.
// Each does nothing and reports nothing made.
#include "exchange/arxoperation.h"

bool ArxOperation::ReceiveMapObjects(const uint8_t*, uint32_t) { return false; }
void ArxOperation::ZoomToReceivedEntity(OdDbObjectId) {}
void ArxOperation::DatabaseHook(OdDbDatabase*) {}
void ArxOperation::SignToTextEx(SignRecord*, const CString&, OdDbObjectId&, OdDbObjectId&, bool) {}
OdDbObjectId ArxOperation::SignToText(SignRecord*, const CString&, bool) { return OdDbObjectId(); }
OdDbObjectId ArxOperation::TrackToPolyline(TrackRecord*, const CString&, uint32_t) { return OdDbObjectId(); }
OdDbObjectId ArxOperation::MultiPartToPolyline(MultiPartRecord*, const CString&) { return OdDbObjectId(); }
OdDbObjectId ArxOperation::ShapeToPolygon(ShapeRecord*, const CString&) { return OdDbObjectId(); }
