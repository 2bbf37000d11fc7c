// Functions of the cross-section mode that the object exchange calls and
// that are not built yet: they change nothing.
#include "basemap/crosssectionmode.h"

int SectionObjectToPeer(CrossSectionState*, void*, uint32_t) { return 0; }
bool MapPointsToSection(CrossSectionState*, TrackPoint*&, uint32_t&) { return false; }
bool MapSignToSection(CrossSectionState*, SignRecord*) { return false; }
