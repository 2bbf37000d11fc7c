// The peer's answers to image requests (20302) and its map-state reports
// (20012), fed to a started base map, with the image and retry timers in
// between: whatever the bytes, no object stays open, the document is
// unlocked, the placed tiles never overlap, and each lies in the cache.
//
// The first byte sets the options (bit 0 insertion suspended, bits 1-2 the
// follow mode, bit 3 a capture runs); then steps, each a kind byte and for
// the two message kinds a 16-bit length and that many bytes: 0 a 20302
// message (its first record, as the receiver passes it), 1 a 20012 report,
// 2 timer 1009, 3 timer 1007.
#include <cmath>
#include <cstring>
#include <filesystem>

#include "basemap/basemap.h"
#include "common/symboltable/layerutil.h"
#include "editor_control.h"
#include "fuzz_support.h"
#include "gcapdocmanager.h"
#include "hostdb_control.h"
#include "shell/reactors.h"
#include "shell/velkarxapp.h"
#include "state/coordbinding.h"
#include "state/drawingdata.h"
#include "state/settings.h"

VELK_FUZZ_WITH_MACHINE()

namespace {

const wchar_t kDrawing[] = L"C:\\dwg\\tiles.dwg";
const wchar_t kCache[] = L"C:\\Temp\\MapTemp\\1";

// A tile the peer finished before: the one file the answers may name.
void Prepare()
{
    static bool done = false;
    if (done) return;
    done = true;
    std::filesystem::create_directories(velkfuzz::UseMachine() + "/C/Temp/MapTemp/1/1/16");
    velkfuzz::WriteMachineFile("Temp/MapTemp/1/1/16/0_0.png", "tile", 4);
}

uint16_t Length(velkfuzz::Input& input)
{
    uint16_t low = input.Byte();
    return (uint16_t)(low | (input.Byte() << 8));
}

bool Overlap(const PlacedTile& a, const PlacedTile& b)
{
    return std::fmin(a.maxX, b.maxX) > std::fmax(a.minX, b.minX) + 0.1 &&
           std::fmin(a.maxY, b.maxY) > std::fmax(a.minY, b.minY) + 0.1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Prepare();
    velkfuzz::Input input(data, size);
    const uint8_t options = input.Byte();
    SetDefaultSettings(g_settings);
    g_settings.onlineBaseMap = 1;
    g_settings.followMode = (options >> 1) & 3;
    g_coordBinding.coordinateType = 1;
    g_pEditorReactor = new CEditorReactor();
    g_pEditorReactor->m_bSuspendInsert = options & 1;
    g_pEditorReactor->m_bEcho = 1;
    standin::SetSysVarPoint(L"VIEWCTR", OdGePoint3d(500000, 3000000, 0));
    standin::SetSysVarReal(L"VIEWSIZE", 67.5);
    standin::SetSysVarPoint(L"SCREENSIZE", OdGePoint3d(1920, 1080, 0));

    GcApDocument* doc = standin::CreateDocument(kDrawing);
    CDrawingData* drawing = GetDrawingData(drawingRecords, kDrawing, doc);
    g_ptagDocIdManager = drawing;
    BaseMapState& s = drawing->baseMap;
    s.ready = s.loaded = 1;
    for (int level = 1; level <= 28; ++level) s.xResolution[level] = s.yResolution[level] = 4096.0 / (1 << level);
    s.grid.origin = OdGePoint3d(500000, 3000000, 0);
    s.grid.viewLevel = 16;
    s.grid.mapType = 1;
    s.grid.cacheFolder = kCache;
    CLayerUtil::Add(L"MapLayer", 1);
    s.mapLayer = CLayerUtil::GetLayerId(L"MapLayer", false);
    s.doubledView = ViewExtents{499880, 2999932.5, 500120, 3000067.5, 1920, 1080};
    if (options & 8) {
        s.currentCapture.busy = 1;
        s.currentCapture.imagePath = L"C:\\dwg\\tiles_REFMAP\\a.jpg";
        s.currentCapture.id = StringToId64(s.currentCapture.imagePath);
    }

    while (input.Left() > 0) {
        const uint8_t kind = input.Byte() % 4;
        if (kind == 0 || kind == 1) {
            const uint16_t n = Length(input);
            std::vector<uint8_t> message;
            for (uint16_t i = 0; i < n && input.Left() > 0; ++i) message.push_back(input.Byte());
            if (kind == 0 && message.size() >= sizeof(TileRequest)) {
                TileRequest reply;
                memcpy(&reply, message.data(), sizeof reply);
                InsertCapturedImage(&s, reply);
            } else if (kind == 1 && message.size() >= 52) {
                SyncViewWithPeer(&s, message.data(), (uint32_t)message.size());
            }
        } else if (kind == 2) {
            PlaceQueuedTiles(&s);
        } else {
            PollTileRetries(&s);
        }
        FUZZ_CHECK(standin::OpenObjectCount() == 0);
        FUZZ_CHECK(doc->lockCount() == 0);
    }
    FUZZ_CHECK(s.placedHandles.size() == s.placedTiles.size());
    for (auto a = s.placedTiles.begin(); a != s.placedTiles.end(); ++a) {
        // Windows paths: the drive letter and folders in any case.
        FUZZ_CHECK(a->second.imagePath.Left(CString(kCache).GetLength()).CompareNoCase(kCache) == 0);
        for (auto b = std::next(a); b != s.placedTiles.end(); ++b) FUZZ_CHECK(!Overlap(a->second, b->second));
    }

    RemoveDrawingData(drawingRecords, kDrawing, doc);
    FUZZ_CHECK(standin::OpenObjectCount() == 0);
    g_ptagDocIdManager = nullptr;
    delete g_pEditorReactor;
    g_pEditorReactor = nullptr;
    ResetBaseMapGlobals();
    standin::CloseDocument(doc);
    return 0;
}
