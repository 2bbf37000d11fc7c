#include "basemap/crosssection.h"

void BeginCrossSectionMode(CrossSectionState*) {}
void CrossSectionCommand(CrossSectionState*) {}
bool CrossSectionFromRectangle(CrossSectionState*, const ads_name, bool) { return false; }
void OnCrossSectionBaseLine(CrossSectionState*, const uint8_t*, uint32_t, double) {}
