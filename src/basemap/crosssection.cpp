#include "basemap/crosssection.h"

void BeginCrossSectionMode(CrossSectionState*) {}
void CrossSectionCommand(CrossSectionState*) {}
void OnCrossSectionBaseLine(CrossSectionState*, const uint8_t*, uint32_t, double) {}
