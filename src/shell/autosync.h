// Handing entities to the receiver window for sending after the host has
// finished the command at hand.
#pragma once

#include "oddbobject.h"

// Posts WM_APP+48 with the list (created with new) to the receiver window,
// which owns it from then on; without a receiver window it is deleted.
// True when posted.
bool PostResend(OdDbObjectIdArray* ids);
// Posts WM_APP+49 with a pair of doubles (x, y) from the C heap; freed here
// when there is no receiver window.
bool PostSignPoint(double* xy);
