// Functions of the cross-section mode that the object exchange calls and
// that are not built yet: they change nothing.
#include "basemap/crosssectionmode.h"

int SectionObjectToPeer(CrossSectionState*, void*, uint32_t) { return 0; }
