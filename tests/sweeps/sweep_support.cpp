#include "sweep_support.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sstream>

#include "afxmsgbox.h"
#include "basemap/basemap.h"
#include "common/document/dwgdatabaseutil.h"
#include "dxf_control.h"
#include "exchange/entitylink.h"
#include "exchange/exchangeglobals.h"
#include "exchange/hatchfill.h"
#include "exchange/velkobjtree.h"
#include "../exchange/exchange_fixture.h"
#include "gcapdocmanager.h"
#include "gcutprint.h"
#include "hostdb_control.h"
#include "oddbentity.h"
#include "plugin_state.h"
#include "standin_control.h"

namespace sweep {
namespace {

const char kMissingLink[] = "an entity carrying a link the tables lack";

// The group pairs of a DXF text.
std::vector<std::pair<std::string, std::string>> Groups(const std::string& dxf)
{
    std::vector<std::pair<std::string, std::string>> out;
    std::istringstream in(dxf);
    std::string code, value;
    auto trim = [](std::string& s) {
        while (!s.empty() && (s.back() == '\r' || s.back() == ' ')) s.pop_back();
        size_t i = s.find_first_not_of(' ');
        s.erase(0, i == std::string::npos ? s.size() : i);
    };
    while (std::getline(in, code) && std::getline(in, value)) {
        trim(code);
        trim(value);
        out.emplace_back(code, value);
    }
    return out;
}

std::string Describe(const std::string& text, size_t max = 200)
{
    return text.size() <= max ? text : text.substr(0, max) + "...";
}

}  // namespace

Snapshot TakeSnapshot(OdDbDatabase* db)
{
    Snapshot shot;
    std::string dxf;
    if (standin::WriteDxfBytes(db, dxf) != eOk) {
        ADD_FAILURE() << "the drawing does not write";
        return shot;
    }
    std::string section, record;
    uint64_t handle = 0;
    bool inDictionaryGroup = false;
    // A table's head counts its records (the module may add some); block
    // bounds, vertices and sequence ends are numbered anew by each write.
    auto kept = [](const std::string& r) {
        for (const char* kind : {"0 TABLE\n", "0 BLOCK\n", "0 ENDBLK\n", "0 VERTEX\n", "0 SEQEND\n"})
            if (r.rfind(kind, 0) == 0) return false;
        return true;
    };
    auto flush = [&] {
        if (handle && !record.empty() && kept(record)) shot[handle] = record;
        record.clear();
        handle = 0;
    };
    for (const auto& [code, value] : Groups(dxf)) {
        if (code == "0") {
            flush();
            if (value == "ENDSEC") section.clear();
        }
        if (code == "2" && record == "0 SECTION\n") {
            section = value;
            record.clear();
            continue;
        }
        if (section != "TABLES" && section != "BLOCKS" && section != "ENTITIES") {
            record = code == "0" && value == "SECTION" ? "0 SECTION\n" : "";
            continue;
        }
        if (code == "102") {
            if (value == "{ACAD_XDICTIONARY") inDictionaryGroup = true;
            bool skip = inDictionaryGroup;
            if (value == "}") inDictionaryGroup = false;
            if (skip) continue;
        }
        if (inDictionaryGroup) continue;
        if (code == "5" && !handle) handle = std::stoull(value, nullptr, 16);
        record += code + " " + value + "\n";
    }
    flush();
    return shot;
}

std::vector<std::string> Changes(const Snapshot& before, const Snapshot& after)
{
    std::vector<std::string> out;
    for (const auto& [handle, text] : before) {
        auto it = after.find(handle);
        std::ostringstream line;
        line << std::hex << "#" << handle << ": ";
        if (it == after.end())
            out.push_back(line.str() + "gone: " + Describe(text));
        else if (it->second != text)
            out.push_back(line.str() + "was\n" + text + "now\n" + it->second);
    }
    return out;
}

std::vector<std::string> LinkProblems(CDrawingData* drawing, OdDbDatabase* db)
{
    std::vector<std::string> out;
    auto say = [&out](const std::string& what, uint64_t h, uint64_t extra = 0) {
        std::ostringstream s;
        s << what << " #" << std::hex << h;
        if (extra) s << " (" << std::dec << extra << ")";
        out.push_back(s.str());
    };
    auto live = [db](uint64_t handle) {
        OdDbObjectId id;
        if (db->getOdDbObjectId(id, false, OdDbHandle(handle)) != eOk || id.isNull()) return false;
        // Layers carry the links of their peer folders.
        OdDbObject* o = nullptr;
        if (oddbOpenObject(o, id, OdDb::kForRead) != eOk) return false;
        o->close();
        return true;
    };
    // The peer id the entity's (or layer's) Xrecord holds; 0 for none.
    auto xrecordPeerId = [db](uint64_t handle) {
        OdDbObjectId id;
        OdDbObject* o = nullptr;
        if (db->getOdDbObjectId(id, false, OdDbHandle(handle)) != eOk || oddbOpenObject(o, id, OdDb::kForRead) != eOk)
            return 0u;
        std::unique_ptr<MapObjInfo> link(GetEntityLink(o, false, false));
        o->close();
        return link ? link->peerId : 0u;
    };
    for (const auto& [key, r] : drawing->links) {
        if (!r || r->handle != key) {
            say("a link stored under another handle", key);
            continue;
        }
        if (!live(key)) {
            say("a link of no live entity", key, r->peerId);
            continue;
        }
        uint32_t stored = xrecordPeerId(key);
        if (r->saved && r->peerId != 0 && stored != r->peerId) say("a saved link missing from its entity", key, r->peerId);
    }
    for (const OdDbObjectId& id : CDwgDatabaseUtil::GetAllEntityIds(nullptr, db)) {
        uint64_t h = (uint64_t)id.getHandle();
        uint32_t stored = xrecordPeerId(h);
        if (stored == 0) continue;
        MapObjInfo* r = FindEntityLink(drawing->links, h);
        if (!r) say(kMissingLink, h, stored);
        else if (r->saved && r->peerId != stored) say("an entity carrying another link than its table's", h, stored);
    }
    for (const PeerEntityMap* map : {&drawing->peerEntities, &drawing->pairedPeerEntities})
        for (const auto& [peerId, h] : *map) {
            MapObjInfo* r = FindEntityLink(drawing->links, h);
            if (!live(h)) say("a peer id naming no live entity", h, peerId);
            else if (!r || r->peerId != peerId) say("a peer id naming an entity linked elsewhere", h, peerId);
        }
    for (const GroupMap* map : {&drawing->pointGroups, &drawing->pieceGroups})
        for (const auto& [key, group] : *map)
            for (uint64_t h : group->handles)
                if (!live(h)) say("a group member that is no live entity", h, key);
    return out;
}

std::wstring Reports()
{
    std::wstring out;
    for (const auto& box : standin::MessageBoxes()) out += L"[box] " + std::wstring(box.text) + L"\n";
    return out + standin::CommandLineText();
}

void FreshMachine()
{
    velktest::ResetPluginState();
    ResetMeasurement();
    ResetExchangeState();
    std::string root = standin::MachineRoot();
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(root, ec)) std::filesystem::remove_all(e.path(), ec);
    standin::ResetMachine(root);
}

namespace {

using Shots = std::vector<Snapshot>;

Shots TakeSnapshots(World& w)
{
    Shots shots;
    for (auto& [drawing, db] : w.drawings()) {
        Snapshot shot = TakeSnapshot(db);
        if (w.watched)
            for (auto it = shot.begin(); it != shot.end();) it = w.watched(it->first) ? std::next(it) : shot.erase(it);
        shots.push_back(shot);
    }
    return shots;
}

template <class Lines>
std::string Join(const Lines& lines)
{
    std::string s;
    for (const auto& l : lines) s += std::string(l.begin(), l.end()) + "\n";
    return s;
}

// What every run must leave, faulted or not.
void CheckAfter(World& w, const Shots& before, bool reported)
{
    EXPECT_EQ(standin::OpenObjectCount(), 0) << Join(standin::OpenObjects());
    EXPECT_TRUE(standin::HostViolations().empty()) << Join(standin::HostViolations());
    GcApDocManager* m = gcDocManagerPtr();
    for (int i = 0; i < m->documentCount(); ++i) EXPECT_EQ(m->documentAt(i)->lockCount(), 0);
    EXPECT_EQ(odTransactionManagerPtr()->numActiveTransactions(), 0);
    auto drawings = w.drawings();
    for (size_t i = 0; i < drawings.size() && i < before.size(); ++i) {
        auto [drawing, db] = drawings[i];
        auto changes = Changes(before[i], TakeSnapshot(db));
        EXPECT_TRUE(changes.empty()) << "user records changed:\n" << Join(changes);
        if (drawing) {
            auto problems = LinkProblems(drawing, db);
            if (reported && w.reportedMayMissLinks)
                problems.erase(std::remove_if(problems.begin(), problems.end(),
                                              [](const std::string& p) { return p.rfind(kMissingLink, 0) == 0; }),
                               problems.end());
            EXPECT_TRUE(problems.empty()) << Join(problems);
        }
    }
}

}  // namespace

static const int kMaxFailingRuns = getenv("SWEEP_ALL") ? 1000 : 3;

int SweepHostCalls(World& w, const char* op, int status)
{
    FreshMachine();
    int liveAtStart = standin::LiveObjectCount();
    w.build();
    Shots before = TakeSnapshots(w);
    w.run();
    std::string clean = w.outcome();
    std::wstring cleanReports = Reports();
    {
        SCOPED_TRACE(std::string("the clean run of ") + op);
        CheckAfter(w, before, false);
        if (w.check) w.check(false);
    }
    int n = 0, failingRuns = 0;
    for (;; ++n) {
        if (w.teardown) w.teardown();
        FreshMachine();
        EXPECT_EQ(standin::LiveObjectCount(), liveAtStart) << "objects leaked by the run failing " << op << " #" << n - 1;
        w.build();
        before = TakeSnapshots(w);
        standin::FailHostCall(op, status, n, 1);
        bool failed = w.run();
        if (standin::HostFaultPending(op)) break;
        SCOPED_TRACE(std::string("failing ") + op + " #" + std::to_string(n));
        const testing::TestResult* result = testing::UnitTest::GetInstance()->current_test_info()->result();
        int partsBefore = result->total_part_count();
        std::wstring said = Reports();
        CheckAfter(w, before, failed || said != cleanReports);
        std::string outcome = w.outcome();
        if (outcome != clean && !(w.sameEnough && w.sameEnough(clean, outcome))) {
            EXPECT_TRUE(failed || said != cleanReports)
                << "a run that achieved less said nothing:\n"
                << clean << "\nbecame\n"
                << outcome;
        }
        if (w.check) w.check(true);
        // A fault that breaks one run usually breaks its neighbours too.
        if (result->total_part_count() > partsBefore && ++failingRuns >= kMaxFailingRuns) break;
    }
    if (w.teardown) w.teardown();
    FreshMachine();
    EXPECT_EQ(standin::LiveObjectCount(), liveAtStart) << "objects leaked by the last run";
    std::printf("[  sweep   ] %d calls of %s failed in turn\n", n, op);
    return n;
}

}  // namespace sweep
