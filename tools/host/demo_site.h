// The demo's site plan: what the host's commands cannot draw (arcs, a
// polyline with bulges, a circle, a hatch with an island, a block with an
// attribute, an icon image), drawn as a user's drawing would hold it.
#pragma once

#include <ostream>
#include <string>

class OdDbDatabase;

namespace velkhost {

// Draws the site plan near (500000, 3000000) on the layers 道路, 建筑 and
// 注记 (made when missing); the icon's file is written beside the drawing
// (demo_icons\well.png). The number of entities drawn in model space.
int DrawDemoSitePlan(OdDbDatabase* db, const std::wstring& drawing, std::ostream& out);

}  // namespace velkhost
