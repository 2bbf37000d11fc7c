// The receive walk over an exchange buffer as the peer sends it: whatever
// the bytes, the walk ends cleanly, with the document unlocked, no
// transaction left running and no object left open. The first byte sets
// the settings the walk reads; the rest is the buffer.
#include "exchange/arxoperation.h"
#include "exchange/exchangeglobals.h"
#include "exchange/velkobjtree.h"
#include "fuzz_support.h"
#include "gcapdocmanager.h"
#include "hostdb_control.h"
#include "module_resources.h"
#include "oddbdatabase.h"
#include "state/drawingdata.h"
#include "state/modulestate.h"
#include "state/settings.h"

VELK_FUZZ_WITH_MACHINE()

namespace {

const wchar_t kDrawing[] = L"C:\\dwg\\fuzz.dwg";

void Prepare()
{
    static bool done = false;
    if (done) return;
    done = true;
    // The icons come from the module's resources, as in the module.
    RegisterModuleResources((HMODULE)0x5E110000);
    for (int level = 1; level <= 28; ++level)
        g_levelResolutionX[level] = g_levelResolutionY[level] = 1 << (28 - level);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Prepare();
    velkfuzz::Input input(data, size);
    uint8_t options = input.Byte();
    SetDefaultSettings(g_settings);
    g_settings.pointsAsIcons = options & 1;
    g_settings.colourByLayer = (options >> 1) & 1;
    g_settings.followMode = (options >> 2) & 3;
    g_settings.receiveHintOff = (options >> 4) & 1;
    g_cacheRoot = L"C:\\Temp";

    GcApDocument* doc = standin::CreateDocument(kDrawing);
    CDrawingData* drawing = GetDrawingData(drawingRecords, kDrawing, doc);
    g_ptagDocIdManager = drawing;
    drawing->contour.busy = (options >> 5) & 1;
    // A folder this drawing sent earlier, for the walk to leave out.
    SetPeerEntity(drawing->peerEntities, 1000, 0x77);

    velkfuzz::Input::Bytes buffer = input.Rest();
    ArxOperation::ReceiveMapObjects(buffer.data, (uint32_t)buffer.size);
    FUZZ_CHECK(doc->lockCount() == 0);
    FUZZ_CHECK(odTransactionManagerPtr()->numActiveTransactions() == 0);
    FUZZ_CHECK(standin::OpenObjectCount() == 0);

    RemoveDrawingData(drawingRecords, kDrawing, doc);
    g_ptagDocIdManager = nullptr;
    g_velkObjTree.names.clear();
    g_bSuppressReactors = 0;
    standin::CloseDocument(doc);
    return 0;
}
