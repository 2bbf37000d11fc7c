// The map level whose ground size per pixel fits the current view.
#include <cmath>

#include "basemap/basemap.h"
#include "common/symboltable/viewutil.h"
#include "peer/peerapi.h"
#include "peer/peerrequests.h"
#include "shell/velkarxapp.h"
#include "ui/reactors.h"

namespace {

const int kMaxLevel = 28;

// The peer's level resolutions when none are held yet.
void AskResolutions(BaseMapState* state)
{
    if (state->xResolution[1] != 0) return;
    PeerApiGetOrigin(&g_peerApi);
    PeerApiGetLevelResolutions(&g_peerApi, state->grid.origin.x, state->grid.origin.y);
}

// Shows the level's ground size per pixel about the view's centre.
void SnapView(const BaseMapState* state, const ViewExtents& view, int level)
{
    OdGePoint3d centre((view.minX + view.maxX) / 2, (view.minY + view.maxY) / 2, 0);
    OdGeVector3d half((view.screenWidth / 2) * state->xResolution[level],
                      (view.screenHeight / 2) * state->yResolution[level], 0);
    if (g_pEditorReactor) g_pEditorReactor->m_bViewGuard = 0;
    CViewUtil::ZoomWindow(centre - half, centre + half, 1.0);
}

}  // namespace

int LevelForView(BaseMapState* state, const ViewExtents& view)
{
    AskResolutions(state);
    double d = view.screenWidth > 0 ? (view.maxX - view.minX) / view.screenWidth : 0.0;
    for (int level = 1; level <= kMaxLevel && d > 0; ++level) {
        if (!(state->xResolution[level] > 0)) continue;
        double r = d / state->xResolution[level];
        if (!(r > 0.8 && r < 1.2)) continue;
        if (r < 0.95 || r > 1.05) SnapView(state, view, level);
        return level;
    }
    AskResolutions(state);
    int level = 5;
    for (int candidate = kMaxLevel; candidate >= 6; --candidate) {
        if (state->xResolution[candidate] > 0.6 * d) {
            level = candidate;
            break;
        }
    }
    if (level == kMaxLevel && state->xResolution[kMaxLevel] < d) level = 20;
    SnapView(state, view, level);
    return level;
}
