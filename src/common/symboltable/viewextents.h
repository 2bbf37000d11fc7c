// The visible area of the current view.
#pragma once

struct ViewExtents {
    // Drawing units, in the coordinates VIEWCTR is given in.
    double minX = 0, minY = 0, maxX = 0, maxY = 0;
    // The viewport in pixels, truncated toward zero.
    int screenWidth = 0, screenHeight = 0;
};
