// Receiving, and a large drawing: the receive walk over 10,000 objects, and
// 100,000 entities sent and 100,000 map objects received in one go through
// the stand-in peer. The large rows are measured against the same work done
// in ten parts of 10,000, so that their ratio is the time per object of one
// large exchange over that of a tenth as large: near 1 while the exchange
// grows linearly. Each also notes the growth of the process's peak resident
// memory over one exchange.
#include <dl_creationadapter.h>
#include <dl_dxf.h>
#include <malloc.h>

#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "afxwin.h"
#include "bench_drawing.h"
#include "bench_rows.h"
#include "common/document/dwgdatabaseutil.h"
#include "dxf_control.h"
#include "editor_control.h"
#include "oddbcurves.h"
#include "oddbdictionary.h"
#include "exchange/arxoperation.h"
#include "exchange/exchangeglobals.h"
#include "exchange/objexchangebuffer.h"
#include "exchange/velkobjtree.h"
#include "gcapdocmanager.h"
#include "gcedreactor.h"
#include "gcedview.h"
#include "hostdb_control.h"
#include "module_resources.h"
#include "oddbdatabase.h"
#include "oddbsymboltable.h"
#include "peer/peerapi.h"
#include "peer/peerrequests.h"
#include "peer_encode.h"
#include "shell/messagedlg.h"
#include "shell/moduleentry.h"
#include "shell/velkarxapp.h"
#include "standin_control.h"
#include "standin_peer.h"
#include "state/drawingdata.h"
#include "state/modulestate.h"
#include "state/pluginresourcescope.h"
#include "state/settings.h"

namespace velkbench {

PeerSite& Site()
{
    static PeerSite site;
    static const bool started = [] {
        std::string tmpl = (std::filesystem::temp_directory_path() / "velk-bench-XXXXXX").string();
        if (!mkdtemp(tmpl.data())) {
            site.error = "no temporary folder";
            return false;
        }
        site.root = tmpl;
        standin::ResetMachine(site.root);
        // As the module's DllMain does: its resources join MFC's chain.
        g_hModuleInstance = (HINSTANCE)0x5E110000;
        RegisterModuleResources((HMODULE)g_hModuleInstance);
        g_pluginExtension.AttachInstance(g_hModuleInstance);
        std::atexit([] { g_pluginExtension.DetachInstance(); });
        SetDefaultSettings(g_settings);
        g_cacheRoot = L"C:\\Temp";
        RegisterPluginWindowClass();
        g_pMessageDlg = new CMessageDlg(gcedGetGcadFrame());
        if (!g_pMessageDlg->Create(CMessageDlg::IDD, gcedGetGcadFrame())) site.error = "no receiver window";
        return site.error.empty();
    }();
    (void)started;
    return site;
}

PeerSite::~PeerSite()
{
    std::error_code ec;
    if (!root.empty()) std::filesystem::remove_all(root, ec);
}

void FreshDrawing()
{
    PeerSite& s = Site();
    if (s.doc) {
        RemoveDrawingData(drawingRecords, L"C:\\dwg\\large.dwg", s.doc);
        standin::CloseDocument(s.doc);
    }
    s.doc = standin::CreateDocument(L"C:\\dwg\\large.dwg");
    s.drawing = GetDrawingData(drawingRecords, L"C:\\dwg\\large.dwg", s.doc);
    g_ptagDocIdManager = s.drawing;
}

void FreshSite()
{
    PeerSite& s = Site();
    if (!s.error.empty()) return;
    s.peer.reset();
    g_velkObjTree.Clear();
    g_velkObjTree.names.clear();
    g_velkObjTree.workspaceId = 0;
    g_peerApi = PeerApiState{};
    velkpeer::PeerConfig config;
    // Level L shows 2^(20 - L) drawing units per pixel.
    for (int level = 1; level <= 28; ++level) {
        const double r = std::ldexp(1.0, 20 - level);
        config.levelResolutions.emplace_back(r, r);
    }
    s.peer = std::make_unique<velkpeer::StandinPeer>(config);
    PeerApiSetClientName(&g_peerApi, L"VelkArxWin");
    FreshDrawing();
    if (PeerApiGetLevelResolutions(&g_peerApi, 0, 0) != 0) s.error = "the peer gave no level resolutions";
}

namespace {

// Growth of the peak resident memory over a stretch of work; freed heap is
// handed back first, so that the growth is what the work itself held.
class PeakMemory {
public:
    void Start()
    {
        malloc_trim(0);
        FILE* clear = fopen("/proc/self/clear_refs", "w");
        reset_ = clear && fputs("5", clear) >= 0;
        if (clear) reset_ = fclose(clear) == 0 && reset_;
        start_ = StatusBytes("VmRSS");
    }
    void Stop()
    {
        const int64_t grown = StatusBytes(reset_ ? "VmHWM" : "VmRSS") - start_;
        if (grown > peak_) peak_ = grown;
    }
    double PeakMb() const { return peak_ / 1048576.0; }

private:
    static int64_t StatusBytes(const char* key)
    {
        FILE* f = fopen("/proc/self/status", "r");
        if (!f) return 0;
        char line[256];
        long long kb = 0;
        const size_t n = strlen(key);
        while (fgets(line, sizeof line, f))
            if (strncmp(line, key, n) == 0 && line[n] == ':') sscanf(line + n + 1, "%lld", &kb);
        fclose(f);
        return kb * 1024;
    }

    int64_t start_ = 0;
    int64_t peak_ = 0;
    bool reset_ = false;
};

// Signs (texts and icons), tracks of 12 points and closed shapes of 8, in
// turn, spread over the map, made in the peer with its own encoder.
std::vector<uint32_t> PutMapObjects(velkpeer::StandinPeer& peer, int count)
{
    std::vector<uint32_t> ids;
    ids.reserve((size_t)count);
    char name[40];
    for (int i = 0; i < count; ++i) {
        const double x = 500000 + (i % 300) * 25.0, y = 3000000 + (i / 300) * 25.0;
        snprintf(name, sizeof name, "object %d", i);
        std::vector<uint8_t> body;
        uint32_t kind = 0;
        switch (i % 3) {
        case 0: {
            velkpeer::PeerSign s;
            s.name = name;
            s.remark = "remark";
            s.x = x;
            s.y = y;
            s.signType = i % 2 ? 1 : 3;
            s.iconNumber = 12;
            s.fontSize = 14;
            s.level = 16;
            body = velkpeer::EncodeSign(s);
            kind = 7;
            break;
        }
        case 1: {
            velkpeer::PeerTrack t;
            t.name = name;
            for (int k = 0; k < 12; ++k) t.points.push_back({x + 1.5 * k, y + (k % 3), 0, 0});
            body = velkpeer::EncodeTrack(t);
            kind = 8;
            break;
        }
        default: {
            velkpeer::PeerShape s;
            s.name = name;
            for (int k = 0; k < 8; ++k) {
                const double a = k * 3.14159265358979 / 4;
                s.points.push_back({x + 6 * std::cos(a), y + 6 * std::sin(a), 0, 0});
            }
            body = velkpeer::EncodeShape(s);
            kind = 13;
            break;
        }
        }
        ids.push_back(peer.ObjectStore().Put(kind, 0, body));
    }
    return ids;
}

// Peer objects the current drawing's entities are linked to.
size_t ReceivedCount() { return Site().drawing ? Site().drawing->peerEntities.size() : 0; }

std::string CountCheck(const char* what, size_t got, size_t wanted)
{
    if (got == wanted) return std::string();
    return std::string(what) + ": " + std::to_string(got) + " of " + std::to_string(wanted);
}

// --- the receive walk over one buffer ---

struct Walk {
    std::vector<uint8_t> frame;
    std::unique_ptr<uint8_t[]> copy;
    size_t received = 0;  // by the last walk
};

Pair ReceiveWalkRow(const Scale& scale)
{
    Pair pair;
    FreshSite();
    if (!Site().error.empty()) {
        pair.error = Site().error;
        return pair;
    }
    auto w = std::make_shared<Walk>();
    const int count = scale.Pick(10000, 60);
    Site().peer->ObjectStore().ChooseForCad(PutMapObjects(*Site().peer, count));
    w->frame = Site().peer->ObjectStore().FrameChosen();
    // Each walk goes into a new drawing: objects that come again would
    // replace the earlier ones, which is other work.
    pair.prepare = FreshDrawing;
    pair.module = [w]() {
        ArxOperation::ReceiveMapObjects(w->frame.data(), (uint32_t)w->frame.size());
        w->received = ReceivedCount();
    };
    pair.reference = [w]() {
        w->copy.reset(new uint8_t[w->frame.size()]);
        memcpy(w->copy.get(), w->frame.data(), w->frame.size());
    };
    pair.check = [w, count]() { return CountCheck("objects received", w->received, (size_t)count); };
    return pair;
}

// --- the large drawing ---

// One large exchange (module) against ten of a tenth (reference), each run
// from a new peer and drawing; the peak memory of the large one is noted.
struct Large {
    int count = 0;
    int parts = 10;
    std::vector<uint32_t> ids;     // peer objects to receive
    OdDbObjectIdArray entities;    // entities to send
    PeakMemory peak;
    size_t moduleResult = 0, referenceResult = 0;
};

// The row of one large exchange: `fresh` makes a new peer and drawing with
// what the exchange needs, `run(-1)` does the whole exchange and `run(i)`
// part i of ten. Afterwards `wanted` peer objects are linked to entities.
Pair LargeExchangeRow(std::shared_ptr<Large> l, std::function<void()> fresh, std::function<void(int)> run,
                      size_t wanted, const char* what)
{
    Pair pair;
    fresh();
    if (!Site().error.empty()) {
        pair.error = Site().error;
        return pair;
    }
    pair.prepare = [l, fresh]() {
        fresh();
        l->peak.Start();
    };
    pair.module = [l, run]() {
        run(-1);
        l->moduleResult = ReceivedCount();
        l->peak.Stop();
    };
    pair.prepareReference = fresh;
    pair.reference = [l, run]() {
        for (int i = 0; i < l->parts; ++i) run(i);
        l->referenceResult = ReceivedCount();
    };
    pair.check = [l, wanted]() {
        return CountCheck("linked in one go", l->moduleResult, wanted) +
               CountCheck("linked in ten parts", l->referenceResult, wanted);
    };
    pair.note = [l, what]() {
        char line[200];
        snprintf(line, sizeof line, "%s %d in one go: peak resident memory +%.0f MB", what, l->count,
                 l->peak.PeakMb());
        return std::string(line);
    };
    return pair;
}

// The peer frames the chosen objects and sends them to the module's
// receiver window, which walks them into the drawing.
Pair ReceiveLargeRow(const Scale& scale)
{
    auto l = std::make_shared<Large>();
    l->count = scale.Pick(100000, 60);
    auto fresh = [l]() {
        FreshSite();
        l->ids = PutMapObjects(*Site().peer, l->count);
    };
    auto run = [l](int part) {
        Site().peer->ObjectStore().ChooseForCad(part < 0 ? l->ids : PartOf(l->ids, part, l->parts));
        PeerApiGetObjTree(&g_peerApi, 3);
    };
    return LargeExchangeRow(l, fresh, run, (size_t)l->count, "receiving");
}

// The user's selection and the toolbar's send button: the layer's folder,
// then one buffer of every entity, answered by the peer. Every entity but
// the points gets a peer object of its own; points go as sets, which ten
// sends group differently.
Pair SendLargeRow(const Scale& scale)
{
    auto l = std::make_shared<Large>();
    l->count = scale.Pick(100000, 60);
    auto fresh = [l]() {
        FreshSite();
        l->entities = AddMixedEntities(Site().doc->database(), l->count);
    };
    auto run = [l](int part) {
        standin::SetPickFirst(part < 0 ? l->entities : PartOf(l->entities, part, l->parts));
        ArxOperation::SendSelectedObjects();
    };
    return LargeExchangeRow(l, fresh, run, (size_t)(l->count - l->count / 10), "sending");
}

// --- linear growth of the module's own part ---

// The walk alone over the peer's framing of all objects, against ten walks
// over the framings of its tenths.
Pair WalkGrowthRow(const Scale& scale)
{
    Pair pair;
    FreshSite();
    if (!Site().error.empty()) {
        pair.error = Site().error;
        return pair;
    }
    auto l = std::make_shared<Large>();
    l->count = scale.Pick(100000, 60);
    auto frames = std::make_shared<std::vector<std::vector<uint8_t>>>();
    const std::vector<uint32_t> ids = PutMapObjects(*Site().peer, l->count);
    auto& store = Site().peer->ObjectStore();
    store.ChooseForCad(ids);
    frames->push_back(store.FrameChosen());
    for (int i = 0; i < l->parts; ++i) {
        store.ChooseForCad(PartOf(ids, i, l->parts));
        frames->push_back(store.FrameChosen());
    }
    pair.prepare = FreshDrawing;
    pair.prepareReference = FreshDrawing;
    pair.module = [l, frames]() {
        const std::vector<uint8_t>& all = frames->front();
        ArxOperation::ReceiveMapObjects(all.data(), (uint32_t)all.size());
        l->moduleResult = ReceivedCount();
    };
    pair.reference = [l, frames]() {
        for (size_t i = 1; i < frames->size(); ++i)
            ArxOperation::ReceiveMapObjects((*frames)[i].data(), (uint32_t)(*frames)[i].size());
        l->referenceResult = ReceivedCount();
    };
    pair.check = [l]() {
        return CountCheck("received in one walk", l->moduleResult, (size_t)l->count) +
               CountCheck("received in ten walks", l->referenceResult, (size_t)l->count);
    };
    return pair;
}

// Converting and framing all entities into one exchange buffer, against ten
// buffers of a tenth each.
Pair FramingGrowthRow(const Scale& scale)
{
    Pair pair;
    FreshSite();
    auto l = std::make_shared<Large>();
    l->count = scale.Pick(100000, 60);
    if (!Site().error.empty()) {
        pair.error = Site().error;
        return pair;
    }
    l->entities = AddMixedEntities(Site().doc->database(), l->count);
    if (l->entities.length() != l->count) {
        pair.error = "the entities were not made";
        return pair;
    }
    // The size of the buffers' records, of the last run of each.
    auto frame = [](const OdDbObjectIdArray& ids) {
        ObjExchangeBuffer buffer;
        StartExchangeBuffer(&buffer, 7);
        std::vector<uint32_t> oldPeerIds;
        ArxOperation::ConvertEntities(&buffer, ids, 7, oldPeerIds, false);
        CloseExchangeBuffer(&buffer);
        return (size_t)buffer.buffer.length - kExchangeHeadBytes;
    };
    pair.module = [l, frame]() { l->moduleResult = frame(l->entities); };
    pair.reference = [l, frame]() {
        l->referenceResult = 0;
        for (int i = 0; i < l->parts; ++i) l->referenceResult += frame(PartOf(l->entities, i, l->parts));
    };
    // Points go as sets, which ten buffers cut differently: the bytes
    // differ by those sets alone.
    pair.check = [l]() {
        if (l->moduleResult == 0 || l->referenceResult == 0) return std::string("nothing was framed");
        const double a = (double)l->moduleResult, b = (double)l->referenceResult;
        if (std::fabs(a - b) > 0.05 * a) return CountCheck("record bytes of ten buffers against one", (size_t)b, (size_t)a);
        return std::string();
    };
    return pair;
}

// --- drawing files of the stand-in host ---

}  // namespace

size_t ModelSpaceCount(OdDbDatabase* db)
{
    OdDbBlockTableRecord* ms = nullptr;
    if (!db || oddbOpenObject(ms, db->getModelSpaceId(), OdDb::kForRead) != eOk) return 0;
    size_t n = ms->entityIds().size();
    ms->close();
    return n;
}

namespace {

// A drawing file of the mixed entities (some carrying extended data) as the
// stand-in host saves it; `parts` of them cut from the same entities.
struct DxfLarge {
    int count = 0;
    int parts = 10;
    std::string whole;
    std::vector<std::string> pieces;
    std::unique_ptr<OdDbDatabase> drawing;             // the whole one, read
    std::vector<std::unique_ptr<OdDbDatabase>> split;  // the pieces, read
    size_t moduleResult = 0, referenceResult = 0;
};

std::unique_ptr<OdDbDatabase> MixedDrawing(int count)
{
    auto db = std::make_unique<OdDbDatabase>(true);
    db->newRegApp(L"BENCH");
    OdDbObjectIdArray ids = AddMixedEntities(db.get(), count);
    // Every tenth entity carries extended data, as drawings from other
    // programs do.
    for (int i = 0; i < ids.length(); i += 10) {
        OdDbObject* o = nullptr;
        if (oddbOpenObject(o, ids[i], OdDb::kForWrite) != eOk) continue;
        OdResBuf* chain = OdResBuf::newRb(1001, OdString(L"BENCH"));
        chain->setNext(OdResBuf::newRb(1000, OdString(L"kept")))->setNext(OdResBuf::newRb(1071, (int32_t)i));
        o->setXData(chain);
        OdResBuf::releaseChain(chain);
        o->close();
    }
    return db;
}

std::shared_ptr<DxfLarge> DxfInputs(const Scale& scale, std::string& error)
{
    auto l = std::make_shared<DxfLarge>();
    l->count = scale.Pick(100000, 60);
    std::unique_ptr<OdDbDatabase> db = MixedDrawing(l->count);
    if (standin::WriteDxfBytes(db.get(), l->whole) != eOk) error = "the drawing was not written";
    for (int i = 0; i < l->parts && error.empty(); ++i) {
        std::unique_ptr<OdDbDatabase> part = MixedDrawing(l->count / l->parts);
        l->pieces.emplace_back();
        if (standin::WriteDxfBytes(part.get(), l->pieces.back()) != eOk) error = "a part was not written";
    }
    return l;
}

// Opening: the file's bytes read into a new database, against ten files of
// a tenth.
Pair DxfOpenRow(const Scale& scale)
{
    Pair pair;
    auto l = DxfInputs(scale, pair.error);
    if (!pair.error.empty()) return pair;
    pair.prepare = [l]() { l->drawing.reset(); };
    pair.prepareReference = [l]() { l->split.clear(); };
    pair.module = [l]() {
        l->drawing = std::make_unique<OdDbDatabase>(false);
        standin::ReadDxfBytes(l->drawing.get(), l->whole);
        l->moduleResult = ModelSpaceCount(l->drawing.get());
    };
    pair.reference = [l]() {
        l->referenceResult = 0;
        for (const std::string& piece : l->pieces) {
            l->split.push_back(std::make_unique<OdDbDatabase>(false));
            standin::ReadDxfBytes(l->split.back().get(), piece);
            l->referenceResult += ModelSpaceCount(l->split.back().get());
        }
    };
    pair.check = [l]() {
        return CountCheck("entities read in one file", l->moduleResult, (size_t)l->count) +
               CountCheck("entities read in ten files", l->referenceResult, (size_t)l->count);
    };
    return pair;
}

// Saving: the database written as DXF bytes, against ten databases of a
// tenth.
Pair DxfSaveRow(const Scale& scale)
{
    Pair pair;
    auto l = DxfInputs(scale, pair.error);
    if (!pair.error.empty()) return pair;
    l->drawing = std::make_unique<OdDbDatabase>(false);
    standin::ReadDxfBytes(l->drawing.get(), l->whole);
    for (const std::string& piece : l->pieces) {
        l->split.push_back(std::make_unique<OdDbDatabase>(false));
        standin::ReadDxfBytes(l->split.back().get(), piece);
    }
    // What a file holds besides its entities (header, tables, objects).
    std::string empty;
    standin::WriteDxfBytes(MixedDrawing(0).get(), empty);
    const double overhead = (double)empty.size();
    auto written = std::make_shared<std::pair<size_t, size_t>>();
    pair.module = [l, written]() {
        std::string bytes;
        standin::WriteDxfBytes(l->drawing.get(), bytes);
        written->first = bytes.size();
    };
    pair.reference = [l, written]() {
        written->second = 0;
        for (const auto& db : l->split) {
            std::string bytes;
            standin::WriteDxfBytes(db.get(), bytes);
            written->second += bytes.size();
        }
    };
    // Ten files carry ten headers and tables: the entities' bytes agree.
    pair.check = [written, overhead, l]() {
        const double a = (double)written->first - overhead, b = (double)written->second - l->parts * overhead;
        if (a <= 0 || b <= 0) return std::string("nothing was written");
        if (std::fabs(a - b) > 0.05 * a) return CountCheck("entity bytes of ten files against one", (size_t)b, (size_t)a);
        return std::string();
    };
    return pair;
}


}  // namespace

// --- drawing files another program wrote, against dxflib reading them ---

std::string FileAround(OdDbDatabase& db, size_t room, size_t& entitiesAt, std::string& error)
{
    std::string head;
    if (standin::WriteDxfBytes(&db, head) != eOk) error = "the drawing was not written";
    // ezdxf's lines end in a line feed alone.
    std::string text;
    text.reserve(head.size() + room);
    for (char ch : head)
        if (ch != '\r') text += ch;
    const std::string marker = "  2\nENTITIES\n";
    const size_t at = text.find(marker);
    if (at == std::string::npos) error = "the drawing has no entities section";
    entitiesAt = at == std::string::npos ? 0 : at + marker.size();
    return text;
}

std::string PointsFile(int count, const std::function<uint64_t(int i, uint64_t seed)>& handleOf, std::string& error)
{
    OdDbDatabase db(true);
    size_t at = 0;
    std::string text = FileAround(db, (size_t)count * 120, at, error);
    if (!error.empty()) return std::string();
    const unsigned long long owner = (unsigned long long)db.getModelSpaceId().getHandle();
    const uint64_t seed = (uint64_t)db.handseed() + 0x100;
    std::string out;
    out.reserve((size_t)count * 120);
    char line[300];
    for (int i = 0; i < count; ++i) {
        snprintf(line, sizeof line,
                 "  0\nPOINT\n  5\n%llX\n330\n%llX\n100\nAcDbEntity\n  8\n0\n100\nAcDbPoint\n 10\n%d.5\n 20\n%d.25\n"
                 " 30\n0.0\n",
                 (unsigned long long)handleOf(i, seed), owner, i % 1000, i / 1000);
        out += line;
    }
    text.insert(at, out);
    return text;
}

// A drawing file as ezdxf writes one: lines, light polylines, texts,
// circles, arcs, block references and hatches in turn on four layers, its
// reals spelled that program's way ("0.0", angles in whole degrees with
// ".0"). The header, tables and blocks are the stand-in's own (a drawing
// with the four layers and the referenced block); the entities, all of the
// file's weight, are written here.
std::string OtherProgramsFile(int count, std::string& error)
{
    OdDbDatabase db(true);
    auto addRecord = [&](OdDbObjectId table, OdDbSymbolTableRecord* r, const wchar_t* name) {
        OdDbSymbolTable* t = nullptr;
        OdDbObjectId id;
        r->setName(name);
        if (oddbOpenObject(t, table, OdDb::kForWrite) != eOk || t->add(id, r) != eOk) error = "no table record";
        r->close();
        if (t) t->close();
        return id;
    };
    const wchar_t* const layers[] = {L"A", L"B", L"C", L"D"};
    for (int i = 0; i < 4; ++i) {
        auto* layer = new OdDbLayerTableRecord();
        OdCmColor c;
        c.setColorIndex((uint16_t)(i + 1));
        layer->setColor(c);
        addRecord(db.getLayerTableId(), layer, layers[i]);
    }
    const OdDbObjectId mark = addRecord(db.getBlockTableId(), new OdDbBlockTableRecord(), L"MARK");
    for (OdDbEntity* e : {(OdDbEntity*)new OdDbCircle(OdGePoint3d(), OdGeVector3d::kZAxis, 1),
                          (OdDbEntity*)new OdDbLine(OdGePoint3d(-1, 0, 0), OdGePoint3d(1, 0, 0))}) {
        OdDbBlockTableRecord* b = nullptr;
        OdDbObjectId id;
        if (oddbOpenObject(b, mark, OdDb::kForWrite) != eOk || b->appendOdDbEntity(id, e) != eOk) {
            error = "no block";
            delete e;
        } else {
            e->close();
        }
        if (b) b->close();
    }
    size_t at = 0;
    std::string text = FileAround(db, (size_t)count * 190, at, error);
    if (!error.empty()) return std::string();
    const uint64_t owner = (uint64_t)db.getModelSpaceId().getHandle();
    uint64_t handle = (uint64_t)db.handseed();
    std::string out;
    char line[600];
    auto reals = [](double v) {
        // Python's repr of the coordinates used here: a ".0" on whole ones.
        char b[40];
        snprintf(b, sizeof b, "%.17g", v);
        std::string s = b;
        double back = 0;
        for (int digits = 1; digits <= 17; ++digits) {
            snprintf(b, sizeof b, "%.*g", digits, v);
            if (sscanf(b, "%lf", &back) == 1 && back == v) {
                s = b;
                break;
            }
        }
        if (s.find_first_of(".e") == std::string::npos) s += ".0";
        return s;
    };
    for (int i = 0; i < count; ++i) {
        const std::string x = reals((i % 300) * 25.0 + 0.125), y = reals((i / 300) * 25.0 + 0.3);
        const double xv = (i % 300) * 25.0 + 0.125, yv = (i / 300) * 25.0 + 0.3;
        const char layer = "ABCD"[i % 4];
        const unsigned long long h = (unsigned long long)handle++;
        const unsigned long long o = (unsigned long long)owner;
        switch (i % 7) {
        case 0:
            snprintf(line, sizeof line,
                     "  0\nLINE\n  5\n%llX\n330\n%llX\n100\nAcDbEntity\n  8\n%c\n100\nAcDbLine\n 10\n%s\n 20\n%s\n"
                     " 30\n0.0\n 11\n%s\n 21\n%s\n 31\n0.0\n",
                     h, o, layer, x.c_str(), y.c_str(), reals(xv + 10.5).c_str(), reals(yv + 3.25).c_str());
            break;
        case 1:
            snprintf(line, sizeof line,
                     "  0\nLWPOLYLINE\n  5\n%llX\n330\n%llX\n100\nAcDbEntity\n  8\n%c\n100\nAcDbPolyline\n 90\n4\n"
                     " 70\n1\n 10\n%s\n 20\n%s\n 10\n%s\n 20\n%s\n 10\n%s\n 20\n%s\n 10\n%s\n 20\n%s\n",
                     h, o, layer, x.c_str(), y.c_str(), reals(xv + 5).c_str(), y.c_str(), reals(xv + 5).c_str(),
                     reals(yv + 5).c_str(), x.c_str(), reals(yv + 5.5).c_str());
            break;
        case 2:
            snprintf(line, sizeof line,
                     "  0\nTEXT\n  5\n%llX\n330\n%llX\n100\nAcDbEntity\n  8\n%c\n100\nAcDbText\n 10\n%s\n 20\n%s\n"
                     " 30\n0.0\n 40\n2.5\n  1\ntext %d\n100\nAcDbText\n",
                     h, o, layer, x.c_str(), y.c_str(), i);
            break;
        case 3:
            snprintf(line, sizeof line,
                     "  0\nCIRCLE\n  5\n%llX\n330\n%llX\n100\nAcDbEntity\n  8\n%c\n100\nAcDbCircle\n 10\n%s\n"
                     " 20\n%s\n 30\n0.0\n 40\n3.7\n",
                     h, o, layer, x.c_str(), y.c_str());
            break;
        case 4:
            snprintf(line, sizeof line,
                     "  0\nARC\n  5\n%llX\n330\n%llX\n100\nAcDbEntity\n  8\n%c\n100\nAcDbCircle\n 10\n%s\n"
                     " 20\n%s\n 30\n0.0\n 40\n4.2\n100\nAcDbArc\n 50\n15.0\n 51\n200.0\n",
                     h, o, layer, x.c_str(), y.c_str());
            break;
        case 5:
            snprintf(line, sizeof line,
                     "  0\nINSERT\n  5\n%llX\n330\n%llX\n100\nAcDbEntity\n  8\n%c\n100\nAcDbBlockReference\n"
                     "  2\nMARK\n 10\n%s\n 20\n%s\n 30\n0.0\n 50\n30.0\n",
                     h, o, layer, x.c_str(), y.c_str());
            break;
        default:
            snprintf(line, sizeof line,
                     "  0\nHATCH\n  5\n%llX\n330\n%llX\n100\nAcDbEntity\n  8\n%c\n 62\n2\n100\nAcDbHatch\n 10\n0.0\n"
                     " 20\n0.0\n 30\n0.0\n210\n0.0\n220\n0.0\n230\n1.0\n  2\nSOLID\n 70\n1\n 71\n0\n 91\n1\n 92\n3\n"
                     " 72\n0\n 73\n1\n 93\n4\n 10\n%s\n 20\n%s\n 10\n%s\n 20\n%s\n 10\n%s\n 20\n%s\n 10\n%s\n"
                     " 20\n%s\n 97\n0\n 75\n0\n 76\n1\n 98\n0\n",
                     h, o, layer, x.c_str(), y.c_str(), reals(xv + 4).c_str(), y.c_str(), reals(xv + 4).c_str(),
                     reals(yv + 4).c_str(), x.c_str(), reals(yv + 4).c_str());
            break;
        }
        out += line;
    }
    text.insert(at, out);
    return text;
}

std::string OtherProgramsFileIn(const char* prefix, int count, std::string& folder, std::string& error)
{
    std::string tmpl = (std::filesystem::temp_directory_path() / (std::string(prefix) + "-XXXXXX")).string();
    if (!mkdtemp(tmpl.data())) {
        error = "no temporary folder";
        return std::string();
    }
    folder = tmpl;
    const std::string bytes = OtherProgramsFile(count, error);
    if (!error.empty()) return std::string();
    const std::string file = folder + "/drawing.dxf";
    std::ofstream out(file, std::ios::binary);
    out.write(bytes.data(), (std::streamsize)bytes.size());
    if (!out.flush()) {
        error = "cannot write " + file;
        return std::string();
    }
    return file;
}

std::string SelfPath()
{
    std::error_code ec;
    return std::filesystem::read_symlink("/proc/self/exe", ec).string();
}

// dxflib's reader with callbacks that only count the entities outside
// blocks.
struct DxflibCounter : DL_CreationAdapter {
    size_t entities = 0;
    bool inBlock = false;
    void addBlock(const DL_BlockData&) override { inBlock = true; }
    void endBlock() override { inBlock = false; }
    void addLine(const DL_LineData&) override { entities += !inBlock; }
    void addArc(const DL_ArcData&) override { entities += !inBlock; }
    void addCircle(const DL_CircleData&) override { entities += !inBlock; }
    void addPolyline(const DL_PolylineData&) override { entities += !inBlock; }
    void addText(const DL_TextData&) override { entities += !inBlock; }
    void addInsert(const DL_InsertData&) override { entities += !inBlock; }
    void addHatch(const DL_HatchData&) override { entities += !inBlock; }
};

size_t DxflibEntityCount(std::istream& in)
{
    DxflibCounter counter;
    DL_Dxf reader;
    reader.in(in, &counter);
    return counter.entities;
}

namespace {

struct OtherFile {
    int count = 0;
    std::string bytes;
    std::unique_ptr<OdDbDatabase> drawing;
    std::unique_ptr<std::istringstream> stream;
    PeakMemory peak;
    bool save = false;
    size_t moduleResult = 0, referenceResult = 0, saved = 0;
};

// The file opened (and, with `save`, saved again) against dxflib reading
// it; the note gives the peak resident memory of the opening per byte of
// the file.
Pair OtherFileRow(const Scale& scale, bool save)
{
    Pair pair;
    auto l = std::make_shared<OtherFile>();
    l->count = scale.Pick(100000, 70);
    l->save = save;
    l->bytes = OtherProgramsFile(l->count, pair.error);
    if (!pair.error.empty()) return pair;
    pair.prepare = [l]() {
        l->drawing.reset();
        l->peak.Start();
    };
    pair.module = [l]() {
        l->drawing = std::make_unique<OdDbDatabase>(false);
        standin::ReadDxfBytes(l->drawing.get(), l->bytes);
        if (!l->save) l->peak.Stop();
        l->moduleResult = ModelSpaceCount(l->drawing.get());
        if (l->save) {
            std::string out;
            standin::WriteDxfBytes(l->drawing.get(), out);
            l->saved = out.size();
            l->peak.Stop();
        }
    };
    pair.prepareReference = [l]() { l->stream = std::make_unique<std::istringstream>(l->bytes); };
    pair.reference = [l]() { l->referenceResult = DxflibEntityCount(*l->stream); };
    pair.check = [l]() {
        std::string d = CountCheck("entities the stand-in read", l->moduleResult, (size_t)l->count) +
                        CountCheck("entities dxflib read", l->referenceResult, (size_t)l->count);
        if (l->save && l->saved == 0) d += "nothing was saved";
        return d;
    };
    // The target is the opening's; a save adds the file it writes.
    pair.note = [l]() {
        const double perByte = l->peak.PeakMb() * 1048576.0 / (double)l->bytes.size();
        char line[200];
        if (l->save)
            snprintf(line, sizeof line, "opening and saving a file of %.1f MB: peak resident memory %.1f bytes a byte of the file",
                     l->bytes.size() / 1048576.0, perByte);
        else
            snprintf(line, sizeof line, "opening a file of %.1f MB: peak resident memory %.1f bytes a byte of the file (target <= 9.5: %s)",
                     l->bytes.size() / 1048576.0, perByte, perByte <= 9.5 ? "ok" : "MISSED");
        return std::string(line);
    };
    return pair;
}

Pair OtherFileOpenRow(const Scale& scale) { return OtherFileRow(scale, false); }
Pair OtherFileOpenSaveRow(const Scale& scale) { return OtherFileRow(scale, true); }

}  // namespace

VELK_BENCH_ROWS({
    {"exchange", "receive walk over 10,000 objects into a drawing", "a plain copy of the same bytes", 0, 9,
     ReceiveWalkRow},
    {"large drawing", "receive walk over 100,000 objects", "ten walks over 10,000", 0, 5, WalkGrowthRow},
    {"large drawing", "converting and framing 100,000 entities", "ten buffers of 10,000", 0, 5, FramingGrowthRow},
    {"large drawing", "sending 100,000 entities through the peer", "the same in ten sends of 10,000", 0, 3,
     SendLargeRow},
    {"large drawing", "receiving 100,000 objects through the peer", "the same in ten receipts of 10,000", 0, 3,
     ReceiveLargeRow},
    {"drawing files", "opening a DXF file of 100,000 entities", "ten files of 10,000", 1.05, 9, DxfOpenRow},
    {"drawing files", "saving 100,000 entities as a DXF file", "ten drawings of 10,000", 1.05, 9, DxfSaveRow},
    {"drawing files", "opening ezdxf's file of 100,000 entities", "dxflib reading it, empty callbacks", 1.5, 9,
     OtherFileOpenRow},
    {"drawing files", "opening and saving that file", "dxflib reading it, empty callbacks", 2.2, 9,
     OtherFileOpenSaveRow},
});

}  // namespace velkbench
