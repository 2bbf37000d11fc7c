#include "state/relatepoint.h"

RelatePoint g_relatePoint{};
