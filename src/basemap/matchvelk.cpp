#include "basemap/matchvelk.h"

#include "afxmsgbox.h"
#include "common/symboltable/viewutil.h"
#include "gcedview.h"
#include "peer/peerrequests.h"
#include "state/coordbinding.h"
#include "state/modulestate.h"
#include "state/peerhelpers.h"
#include "state/peerstatus.h"
#include "state/settings.h"
#include "ui/peercheck.h"

void MatchVelk()
{
    if (!oddbHostApplicationServices()->workingDatabase() || !CheckVelkStatus()) return;
    if (g_coordBinding.geographic) {
        AfxMessageBox(L"拓岚当前的坐标系为经纬度，不支持该操作！", MB_OK);
        return;
    }
    ViewExtents view;
    CViewUtil::GetViewExtents(view, 1.0);
    // 50 pixels in drawing units; a view without width cannot be measured.
    if (view.screenWidth == 0) return;
    g_bMatchOnly = true;
    g_matchValues[0] = g_matchValues[1] = 0;
    const OdGePoint3d c((view.minX + view.maxX) / 2, (view.minY + view.maxY) / 2, 0);
    const double h = (view.maxX - view.minX) / view.screenWidth * 50;
    int r = PeerApiMatchView(&g_peerApi, c.x - h, c.y - h, c.x + h, c.y + h, 20000, (uint32_t)g_settings.maxBaseMapLevel);
    ReportVelkMsgError(r, L"MatchVelkErr:", true);
    // The request's status is 0 when it was taken; its answer, when one came
    // during the request, stored the match values and cleared the flag. A
    // flag still set means no match arrived: nothing to zoom to, and a later
    // answer to another request is not to be taken for this one.
    const bool answered = !g_bMatchOnly;
    g_bMatchOnly = false;
    if (r < 0 || !answered) return;
    float s = (float)g_matchValues[0] / 100;
    if (s <= 0) return;
    while (s >= 2) s /= 2;
    CViewUtil::ZoomWindow(OdGePoint3d(c.x - (c.x - view.minX) / s, c.y - (c.y - view.minY) / s, 0),
                          OdGePoint3d(c.x + (c.x - view.minX) / s, c.y + (c.y - view.minY) / s, 0), 1.0);
    short hundred = 100;
    SetShortVar(L"ZOOMFACTOR", hundred);
}
