// The properties every entity the plug-in creates gets when it is posted.
#pragma once

#include <cstdint>

#include "afxstr.h"
#include "odcmcolor.h"

struct EntityProps {
    // True: colour ByLayer, `color` unused.
    bool byLayer = false;
    OdCmColor color;
    // Empty keeps the entity's layer.
    CString layer;
    // Always applied, the empty name included.
    CString linetype;
    // Opacity in percent: 100 nearly opaque (alpha 254), 0 clear (alpha 0);
    // values outside 0..100 are taken as the nearer bound.
    int32_t transparency = 100;
};
