#include "basemap/contour.h"

void ContourCommand(ContourState*) {}
bool ContourFromExtents(ContourState*, const ads_name) { return false; }
void OnContourReply(ContourState*, const uint8_t*, uint32_t) {}
void OnContourProgress(ContourState*, int32_t, int32_t) {}
