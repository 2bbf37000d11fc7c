#include "basemap/relatepoint.h"

RelatePoint g_relatePoint{};
