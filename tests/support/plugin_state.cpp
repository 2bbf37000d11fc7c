#include "plugin_state.h"

#include <cmath>
#include <cstdlib>

#include "afxwin.h"
#include "basemap/basemap.h"
#include "exchange/exchangeglobals.h"
#include "gcapdocmanager.h"
#include "gcedreactor.h"
#include "gcedview.h"
#include "module_resources.h"
#include "oddbdatabase.h"
#include "peer/peerapi.h"
#include "section/contour.h"
#include "shell/actoolbarwnd.h"
#include "shell/messagedlg.h"
#include "shell/moduleentry.h"
#include "shell/reactors.h"
#include "shell/velkarxapp.h"
#include "state/coordbinding.h"
#include "state/drawingdata.h"
#include "state/modulestate.h"
#include "state/peerhelpers.h"
#include "state/pluginresourcescope.h"
#include "state/relatepoint.h"
#include "state/sectiongeometry.h"
#include "state/settings.h"
#include "ui/peercheck.h"
#include "ui/setcoordlg.h"

namespace velktest {

HINSTANCE TestModuleInstance()
{
    static HINSTANCE instance = [] {
        auto h = (HINSTANCE)0x5E110000;
        RegisterModuleResources((HMODULE)h);
        // As the module's DllMain does: its resources join MFC's chain.
        g_pluginExtension.AttachInstance(h);
        std::atexit([] { g_pluginExtension.DetachInstance(); });
        return h;
    }();
    return instance;
}

void ResetPluginState()
{
    g_hModuleInstance = TestModuleInstance();
    // Windows go first: their ending reads the state below.
    if (g_pSetCoorDlg && g_pSetCoorDlg->m_hWnd) g_pSetCoorDlg->DestroyWindow();
    delete g_pSetCoorDlg;
    g_pSetCoorDlg = nullptr;
    if (g_pMessageDlg && g_pMessageDlg->m_hWnd) g_pMessageDlg->DestroyWindow();
    delete g_pMessageDlg;
    g_pMessageDlg = nullptr;
    DestroyToolBarWnd();
    if (g_pEditorReactor) odedEditor->removeReactor(g_pEditorReactor);
    delete g_pEditorReactor;
    g_pEditorReactor = nullptr;
    if (g_pDocReactor) gcDocManagerPtr()->removeReactor(g_pDocReactor);
    delete g_pDocReactor;
    g_pDocReactor = nullptr;
    if (g_pDbReactor) {
        GcApDocManager* m = gcDocManagerPtr();
        for (int i = 0; i < m->documentCount(); ++i) m->documentAt(i)->database()->removeReactor(g_pDbReactor);
    }
    delete g_pDbReactor;
    g_pDbReactor = nullptr;
    delete g_pSelectionFilter;
    g_pSelectionFilter = nullptr;
    delete g_pHighlightFilter;
    g_pHighlightFilter = nullptr;
    FreeLinetypeTable(g_pLinetypeTable, true);
    g_pLinetypeTable = nullptr;

    ClearDrawingRecords(drawingRecords);
    g_ptagDocIdManager = nullptr;
    g_bSuppressReactors = 0;
    g_searchName.Empty();
    g_searchAnswer = 0;

    g_peerApi = PeerApiState{};
    g_settings = PluginSettings{};
    g_cacheRoot.Empty();
    g_settingsFile.Empty();
    g_coordBinding = CoordBindingState();
    g_hostViewVars = HostViewVarsRecord();
    g_bLinkActive = 1;
    g_bFollow3Enabled = 1;
    g_lastViewMatchExtents = ViewExtents();
    g_installedPeerVersion = 0;
    g_bPeerTooOldHintArmed = true;
    g_bUpdateNoticeArmed = true;
    g_updateNotice = UpdateNoticeRecord();
    g_buttonPresent = 0;
    g_bMatchOnly = false;
    g_matchValues[0] = g_matchValues[1] = 0;
    g_bRelateResendRunning = false;
    ResetBaseMapGlobals();
    g_relatePoint = RelatePoint{};
    g_sectionFrame = SectionFrame();
    g_contourRequestCounter = 0;
    g_bBhatchRunning = 0;
    g_bFirstCommand = 1;
    g_bCommandSeen = 0;
    g_bNewDocument = 0;
    g_testDataFile.clear();
}

void InstallStandinPeer(DWORD version, std::unique_ptr<velkpeer::StandinPeer>& peer)
{
    velkpeer::InstallPeer(version, [&peer] {
        if (!peer) peer = std::make_unique<velkpeer::StandinPeer>();
        return true;
    });
}

void RegisterPluginWindowClass() { ::RegisterPluginWindowClass(); }

EditorReactorFlags* NewEditorReactor() { return new CEditorReactor(); }

bool OpenReceiverWindow()
{
    RegisterPluginWindowClass();
    g_pMessageDlg = new CMessageDlg(gcedGetGcadFrame());
    return g_pMessageDlg->Create(CMessageDlg::IDD, gcedGetGcadFrame()) != FALSE;
}

velkpeer::PeerConfig LevelledPeerConfig()
{
    velkpeer::PeerConfig config;
    for (int level = 1; level <= 28; ++level) {
        const double r = std::ldexp(1.0, 20 - level);
        config.levelResolutions.emplace_back(r, r);
    }
    return config;
}

}  // namespace velktest
