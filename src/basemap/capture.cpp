#include "basemap/capture.h"

void CaptureMapCommand(BaseMapState*) {}
void RequestCapture(BaseMapState*, int) {}
void OnMapFileProgress(MapImageRecord*, int32_t, int32_t) {}
