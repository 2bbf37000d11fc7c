// Other writers' spellings of every kind's record, made from the kinds' own
// descriptions: a record of the writer's spelling respelled with a
// subclass's marker left out, the entity's values after the kind's marker,
// a subclass's values under another marker, the markers in another order,
// a marker given twice. Where readers of the format take a value by its
// code (ValuePlaces), the reader takes it as from the writer's spelling;
// where the markers leave a record's values untold it is kept as written;
// where they place a value where its kind reads none, it is kept where it
// was. The save reads back the same, saves again to the same bytes, and
// ezdxf reads from it what it read from the respelled file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <set>

#include "dxf_control.h"
#include "dxf_kinds.h"
#include "dxf_schema.h"
#include "dxf_test_support.h"
#include "gcapdocmanager.h"
#include "hostdb_control.h"
#include "oddbsymboltable.h"
#include "standin_control.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using dxftest::Groups;
using standin::dxf::ValuePlaces;

Groups GroupsOf(const std::string& bytes)
{
    const std::vector<std::string> lines = dxftest::FileLines(bytes);
    Groups g;
    for (size_t i = 0; i + 1 < lines.size(); i += 2) g.push_back({std::atoi(lines[i].c_str()), lines[i + 1]});
    return g;
}

std::string Trimmed(const std::string& s)
{
    const size_t a = s.find_first_not_of(' '), b = s.find_last_not_of(' ');
    return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
}

// A file's records: where each begins and ends in its groups, and the
// section it is in.
struct Span {
    size_t b, e;
    std::string section;
};
std::vector<Span> RecordsOf(const Groups& g)
{
    std::vector<Span> out;
    std::string section;
    for (size_t i = 0; i < g.size(); ++i) {
        if (g[i].first != 0) continue;
        size_t e = i + 1;
        while (e < g.size() && g[e].first != 0) ++e;
        if (g[i].second == "SECTION" && i + 1 < e && g[i + 1].first == 2) section = g[i + 1].second;
        out.push_back({i, e, section});
    }
    return out;
}

std::string HandleOf(const Groups& record)
{
    for (const auto& [code, value] : record)
        if (code == 5) return Trimmed(value);
    return {};
}

// A record of the writer's spelling: its head (type, handle, application
// groups, owner), its subclasses (a marker and its groups each), and its
// end (an embedded object, extended data), which stays last.
struct Parts {
    Groups head, tail;
    std::vector<std::pair<std::string, Groups>> subclasses;
};
Parts PartsOf(const Groups& record)
{
    Parts p;
    bool tail = false;
    for (const auto& x : record) {
        if (x.first == 101 || x.first == 1001) tail = true;
        if (tail) p.tail.push_back(x);
        else if (x.first == 100) p.subclasses.push_back({x.second, {}});
        else if (p.subclasses.empty()) p.head.push_back(x);
        else p.subclasses.back().second.push_back(x);
    }
    return p;
}
Groups Joined(const Parts& p)
{
    Groups g = p.head;
    for (const auto& [marker, groups] : p.subclasses) {
        g.push_back({100, marker});
        g.insert(g.end(), groups.begin(), groups.end());
    }
    g.insert(g.end(), p.tail.begin(), p.tail.end());
    return g;
}

// What becomes of a respelled record: read as the writer's spelling is, kept
// whole as written, or read without the values it moved, which are kept as
// written.
enum class Outcome { kRead, kKeptWhole, kMovedKept };

// A respelling: the record's new groups, the groups it moved, what the
// reader makes of it and whether ezdxf reads it by the same rule (it reads
// the others' subclasses by their place, not their marker).
struct Respelled {
    Groups record, moved;
    Outcome outcome = Outcome::kRead;
    bool ezdxf = true;
};
using Spelling = std::function<bool(const std::string& type, const ValuePlaces&, Parts&, Respelled&)>;

// Whether a code the record gives in its subclasses that lack their
// marker, or give it out of the writer's order (`missing`, by their place
// in the writer's spelling), is held by two of them: the markers cannot
// tell those values apart.
bool Untold(const std::string& type, const Parts& p, const std::set<size_t>& missing)
{
    for (size_t k : missing)
        for (const auto& [code, value] : p.subclasses[k].second) {
            std::set<std::string> holders;
            for (size_t h : missing)
                if (code >= 0 && code < 1072 && standin::dxf::OwnedCodes(type, p.subclasses[h].first).test((size_t)code))
                    holders.insert(p.subclasses[h].first);
            if (holders.size() > 1) return true;
        }
    return false;
}
// Whether two or more of the subclasses after the first hold values.
bool KindSubclassesWithValues(const Parts& p)
{
    int n = 0;
    for (size_t k = 1; k < p.subclasses.size(); ++k) n += !p.subclasses[k].second.empty();
    return n >= 2;
}

// The drawing every kind is in, as the writer spells it.
const std::string& WritersFile()
{
    static const std::string bytes = [] {
        OdDbDatabase* db = standin::CreateDocument(L"C:\\dwg\\spellings.dwg")->database();
        dxftest::BuildSampleDrawing(db);
        dxftest::AppendEveryKindsValues(db);
        // Every entity with values of its own subclass other than the
        // defaults, so that one not read shows.
        OdDbLayerTableRecord* layer = new OdDbLayerTableRecord();
        layer->setName(L"Spelt");
        OdDbLayerTable* layers = nullptr;
        EXPECT_EQ(db->getLayerTable(layers, OdDb::kForWrite), eOk);
        EXPECT_EQ(layers->add(layer), eOk);
        layer->close();
        layers->close();
        OdDbBlockTable* blocks = nullptr;
        EXPECT_EQ(db->getBlockTable(blocks, OdDb::kForRead), eOk);
        for (OdDbObjectId block : blocks->recordIds()) {
            auto* b = OdRxCast<OdDbBlockTableRecord>(block.stub()->object);
            if (!b) continue;
            for (OdDbObjectId id : b->entityIds()) {
                OdDbEntity* e = nullptr;
                if (oddbOpenObject(e, id, OdDb::kForWrite) != eOk) continue;
                e->setLayer(L"Spelt");
                e->setColorIndex(5);
                e->setLinetypeScale(2.5);
                e->close();
            }
        }
        blocks->close();
        return dxftest::Save(db);
    }();
    return bytes;
}

// Whether records of the type are respelled: the kinds' and the records of
// their sequences and blocks; of the tables' records those readers take by
// their codes (the others' subclasses are read by their place).
bool Spelt(const std::string& type, const std::string& section)
{
    if (section == "TABLES") return standin::dxf::ValuePlacesOf(type).byCode && type != "TABLE";
    if (section != "ENTITIES" && section != "BLOCKS") return false;
    return standin::dxf::KindOfType(type) || type == "VERTEX" || type == "SEQEND" || type == "BLOCK" ||
           type == "ENDBLK";
}

// Each line of a drawing's description by the handle it begins with.
std::map<std::string, std::string> ByHandle(const std::vector<std::string>& lines)
{
    std::map<std::string, std::string> m;
    for (const std::string& l : lines) m[l.substr(0, l.find(' '))] += l;
    return m;
}

bool Subsequence(const Groups& part, const Groups& whole)
{
    size_t k = 0;
    for (size_t i = 0; i < whole.size() && k < part.size(); ++i)
        if (whole[i] == part[k]) ++k;
    return k == part.size();
}

void Check(const char* name, const Spelling& spell)
{
    const Groups source = GroupsOf(WritersFile());
    Groups all, ezdxf;
    std::map<std::string, Respelled> respelled;  // by handle
    std::set<std::string> types;
    for (const Span& s : RecordsOf(source)) {
        const Groups record(source.begin() + (long)s.b, source.begin() + (long)s.e);
        Respelled r;
        Parts parts = PartsOf(record);
        const std::string type = record.front().second, handle = HandleOf(record);
        if (Spelt(type, s.section) && !handle.empty() && parts.subclasses.size() >= 2 &&
            spell(type, standin::dxf::ValuePlacesOf(type), parts, r)) {
            r.record = Joined(parts);
            types.insert(type);
            respelled[handle] = r;
            all.insert(all.end(), r.record.begin(), r.record.end());
            ezdxf.insert(ezdxf.end(), (r.ezdxf ? r.record : record).begin(), (r.ezdxf ? r.record : record).end());
        } else {
            all.insert(all.end(), record.begin(), record.end());
            ezdxf.insert(ezdxf.end(), record.begin(), record.end());
        }
    }
    // Every kind is respelled.
    for (const standin::dxf::EntityKind& kind : standin::dxf::EntityKinds())
        EXPECT_TRUE(types.count(kind.type)) << name << ": no " << kind.type;
    // An attribute kept whole keeps its reference whole with it.
    for (auto& [handle, r] : respelled) {
        if (r.record.front().second != "ATTRIB" || r.outcome != Outcome::kKeptWhole) continue;
        for (const auto& [code, value] : r.record)
            if (code == 330 && respelled.count(Trimmed(value))) respelled[Trimmed(value)].outcome = Outcome::kKeptWhole;
    }

    std::unique_ptr<OdDbDatabase> writers(dxftest::Reopen(WritersFile()));
    const std::string text = dxftest::GroupText(all);
    std::unique_ptr<OdDbDatabase> read(dxftest::Reopen(text));
    const std::vector<std::string> described = dxftest::Describe(read.get());
    std::map<std::string, std::string> theirs = ByHandle(dxftest::Describe(writers.get())), ours = ByHandle(described);
    // What a record kept whole or read without its moved values owns is
    // read with it.
    std::set<std::string> otherwise;
    for (const auto& [handle, r] : respelled)
        if (r.outcome != Outcome::kRead) otherwise.insert(handle);
    for (const auto& [handle, line] : theirs)
        for (const std::string& owner : otherwise)
            if (line.find(" owner=" + owner + " ") != std::string::npos) otherwise.insert(handle);
    for (const auto& [handle, line] : theirs)
        if (!otherwise.count(handle)) {
            EXPECT_EQ(ours[handle], line) << name << ": " << handle;
        }

    // The save reads back the same and saves again to the same bytes.
    const std::string saved = dxftest::Save(read.get());
    std::unique_ptr<OdDbDatabase> again(dxftest::Reopen(saved));
    EXPECT_EQ(dxftest::LineDiff(described, dxftest::Describe(again.get())), "") << name;
    EXPECT_TRUE(dxftest::Save(again.get()) == saved) << name << ": " << dxftest::FirstDifferingLine(saved, dxftest::Save(again.get()));
    std::map<std::string, Groups> savedRecords;
    const Groups savedGroups = GroupsOf(saved);
    for (const Span& s : RecordsOf(savedGroups)) {
        const Groups record(savedGroups.begin() + (long)s.b, savedGroups.begin() + (long)s.e);
        savedRecords[HandleOf(record)] = record;
    }
    for (const auto& [handle, r] : respelled) {
        if (r.outcome == Outcome::kKeptWhole) {
            EXPECT_EQ(dxftest::GroupText(savedRecords[handle]), dxftest::GroupText(r.record)) << name << ": " << handle;
        } else if (r.outcome == Outcome::kMovedKept) {
            EXPECT_TRUE(Subsequence(r.moved, savedRecords[handle]))
                << name << ": " << handle << "\n" << dxftest::GroupText(savedRecords[handle]);
        }
    }

    // ezdxf reads from the save what it reads from the respelled file.
    if (std::system("/usr/bin/python3 -c 'import ezdxf' >/dev/null 2>&1") != 0) return;
    const fs::path folder = fs::path(VELK_BINARY_DIR) / "spellings";
    fs::create_directories(folder);
    const std::string first = (folder / (std::string(name) + ".dxf")).string(),
                      second = (folder / (std::string(name) + "_saved.dxf")).string();
    const std::string ezdxfText = dxftest::GroupText(ezdxf);
    velktest::WriteNativeFile(first, ezdxfText);
    std::unique_ptr<OdDbDatabase> forEzdxf(dxftest::Reopen(ezdxfText));
    velktest::WriteNativeFile(second, dxftest::Save(forEzdxf.get()));
    std::string report;
    FILE* p = popen(("/usr/bin/python3 '" VELK_TEST_DATA_DIR "/dxf_compare.py' '" + first + "' '" + second + "' 2>&1").c_str(), "r");
    ASSERT_NE(p, nullptr);
    char buf[4096];
    for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) report.append(buf, n);
    EXPECT_EQ(pclose(p), 0) << name << ": " << report;
}

}  // namespace

// The markers of a record's subclasses after its first left out (their
// values follow the entity's, or the table record's, marker): read by
// their codes, but where two of its subclasses hold a code it gives; and
// the first's left out (its values in the record's head).
TEST(DxfSpellings, ASubclassWithoutItsMarkerIsReadByItsCodes)
{
    Check("kind_markers_left_out", [](const std::string& type, const ValuePlaces& places, Parts& p, Respelled& r) {
        for (size_t k = 1; k < p.subclasses.size(); ++k) {
            auto& first = p.subclasses.front().second;
            first.insert(first.end(), p.subclasses[k].second.begin(), p.subclasses[k].second.end());
        }
        std::set<size_t> missing;
        for (size_t k = 1; k < p.subclasses.size(); ++k) missing.insert(k);
        const bool untold = Untold(type, p, missing);
        p.subclasses.resize(1);
        r.outcome = untold ? Outcome::kKeptWhole : Outcome::kRead;
        r.ezdxf = places.byCode;
        return true;
    });
    Check("first_marker_left_out", [](const std::string&, const ValuePlaces& places, Parts& p, Respelled& r) {
        p.head.insert(p.head.end(), p.subclasses.front().second.begin(), p.subclasses.front().second.end());
        p.subclasses.erase(p.subclasses.begin());
        r.ezdxf = places.byCode;
        return true;
    });
}

// The entity's values (its layer, colour ...) after the kind's marker, as
// some writers put them: readers take them there but for a kind they read
// none of them after its marker (ValuePlaces::entityAfter).
TEST(DxfSpellings, TheEntitysValuesAfterTheKindsMarkerAreTheEntitys)
{
    Check("entity_values_after_kind_marker", [](const std::string& type, const ValuePlaces& places, Parts& p, Respelled& r) {
        if (p.subclasses.front().first != standin::dxf::EntityCodes::kMarker || p.subclasses.front().second.empty())
            return false;
        r.moved = p.subclasses.front().second;
        auto& kind = p.subclasses[1].second;
        kind.insert(kind.begin(), r.moved.begin(), r.moved.end());
        p.subclasses.front().second.clear();
        r.outcome = places.byCode || places.entityAfter > 0 ? Outcome::kRead : Outcome::kMovedKept;
        // ezdxf leaves a multiline's there unread.
        r.ezdxf = type != "MLINE";
        return true;
    });
}

// The values of a record's last subclass under the marker before it, its
// own marker following with nothing: read by their codes where readers take
// them so, else kept where they are, as readers leave them.
TEST(DxfSpellings, ASubclassesValuesUnderAnotherMarkerAreReadByTheirCodes)
{
    Check("values_under_another_marker", [](const std::string&, const ValuePlaces& places, Parts& p, Respelled& r) {
        size_t last = p.subclasses.size() - 1;
        while (last > 0 && p.subclasses[last].second.empty()) --last;
        if (last == 0) return false;
        r.moved = p.subclasses[last].second;
        auto& before = p.subclasses[last - 1].second;
        before.insert(before.end(), r.moved.begin(), r.moved.end());
        p.subclasses[last].second.clear();
        r.outcome = places.byCode ? Outcome::kRead : Outcome::kMovedKept;
        r.ezdxf = places.byCode;
        return true;
    });
}

// The subclasses in the other order: read by their codes; a kind read by
// subclass whose own subclasses are out of the writer's order is kept
// whole, one whose entity's subclass alone comes last is read.
TEST(DxfSpellings, SubclassesInAnotherOrderAreReadOrKeptWhole)
{
    Check("markers_in_another_order", [](const std::string&, const ValuePlaces& places, Parts& p, Respelled& r) {
        std::reverse(p.subclasses.begin(), p.subclasses.end());
        r.outcome = places.byCode                 ? Outcome::kRead
                    : KindSubclassesWithValues(p) ? Outcome::kKeptWhole
                    : places.entityAfter > 0      ? Outcome::kRead
                                                  : Outcome::kMovedKept;
        // The entity's values, last now, where its kind reads none of them.
        r.moved = p.subclasses.back().second;
        r.ezdxf = places.byCode;
        return true;
    });
}

// A subclass's marker given again halfway through its values: read by their
// codes, else kept where they are.
TEST(DxfSpellings, AMarkerGivenTwiceIsReadByItsCodes)
{
    Check("marker_twice", [](const std::string&, const ValuePlaces& places, Parts& p, Respelled& r) {
        size_t last = p.subclasses.size() - 1;
        while (last > 0 && p.subclasses[last].second.size() < 2) --last;
        auto& groups = p.subclasses[last].second;
        if (groups.size() < 2) return false;
        // Not between a point's coordinates.
        size_t half = groups.size() / 2;
        while (half < groups.size() && groups[half].first % 100 >= 20 && groups[half].first % 100 < 40) ++half;
        if (half == groups.size()) return false;
        r.moved.assign(groups.begin() + (long)half, groups.end());
        groups.resize(half);
        p.subclasses.insert(p.subclasses.begin() + (long)last + 1, {p.subclasses[last].first, r.moved});
        r.outcome = places.byCode ? Outcome::kRead : Outcome::kMovedKept;
        r.ezdxf = places.byCode;
        return true;
    });
}

namespace {

// The groups of the saved record of that type whose handle (5 or 105)
// follows its type.
std::vector<std::string> SavedRecord(const std::vector<std::string>& groups, const std::string& type,
                                     const std::string& handle)
{
    for (size_t i = 0; i + 1 < groups.size(); ++i) {
        if (groups[i] != "0 " + type || (groups[i + 1] != "5 " + handle && groups[i + 1] != "105 " + handle)) continue;
        size_t end = i + 1;
        while (end < groups.size() && groups[end].rfind("0 ", 0) != 0) ++end;
        return std::vector<std::string>(groups.begin() + (long)i, groups.begin() + (long)end);
    }
    return {};
}

long PlaceOf(const std::vector<std::string>& record, const std::string& group)
{
    auto it = std::find(record.begin(), record.end(), group);
    return it == record.end() ? -1 : (long)(it - record.begin());
}

}  // namespace

// Values an object does not hold are kept, and go back in the subclass
// they are of wherever the file gave them, where readers by marker take
// them: a vertex's colour and linetype after its vertex marker, or without
// markers after its values, in the entity's subclass; a dimension style's
// settings before its name, without markers, in the dimension style's.
TEST(DxfSpellings, KeptValuesGoBackInTheSubclassTheyAreOf)
{
    const dxftest::Groups polyline = {{0, "POLYLINE"}, {5, "30"}, {100, "AcDbEntity"}, {8, "0"},
                                      {100, "AcDb2dPolyline"}, {66, "1"}, {10, "0"}, {20, "0"}, {30, "0"}, {70, "0"}};
    const dxftest::Groups marked = {{0, "VERTEX"}, {5, "31"}, {330, "30"}, {100, "AcDbEntity"}, {100, "AcDbVertex"},
                                    {8, "0"}, {6, "CONTINUOUS"}, {62, "1"}, {100, "AcDb2dVertex"}, {10, "1"},
                                    {20, "2"}, {30, "0"}, {70, "0"}};
    const dxftest::Groups markerless = {{0, "VERTEX"}, {5, "31"}, {70, "0"}, {10, "1"}, {20, "2"}, {30, "0"},
                                        {6, "CONTINUOUS"}, {8, "0"}, {62, "1"}};
    const dxftest::Groups seqend = {{0, "SEQEND"}, {5, "32"}, {8, "0"}};
    const dxftest::Groups dimstyles = {{0, "TABLE"}, {2, "DIMSTYLE"}, {70, "1"},   {0, "DIMSTYLE"}, {105, "2B"},
                                       {41, "0.18"}, {40, "2.5"},     {70, "0"},   {2, "SPELT"},    {0, "ENDTAB"}};
    for (const char* version : {"AC1024", "AC1009"}) {
        const bool r12 = std::string(version) == "AC1009";
        dxftest::Groups entities = polyline;
        if (r12) entities.erase(std::remove_if(entities.begin(), entities.end(), [](const auto& g) { return g.first == 100; }),
                                entities.end());
        const dxftest::Groups& vertex = r12 ? markerless : marked;
        entities.insert(entities.end(), vertex.begin(), vertex.end());
        entities.insert(entities.end(), seqend.begin(), seqend.end());
        std::vector<std::pair<const char*, dxftest::Groups>> sections = {{"ENTITIES", entities}};
        if (r12) sections.insert(sections.begin(), {"TABLES", dimstyles});
        std::unique_ptr<OdDbDatabase> read(dxftest::Reopen(dxftest::SectionsFile({{9, "$ACADVER"}, {1, version}}, sections)));
        ASSERT_TRUE(read) << version;
        const std::string saved = dxftest::Save(read.get());
        const std::vector<std::string> groups = dxftest::GroupLines(saved);
        const std::vector<std::string> v = SavedRecord(groups, "VERTEX", "31");
        ASSERT_FALSE(v.empty()) << version << "\n" << saved;
        const long entity = PlaceOf(v, "100 AcDbEntity"), own = PlaceOf(v, "100 AcDbVertex");
        for (const char* kept : {"62 1", "6 CONTINUOUS"}) {
            const long at = PlaceOf(v, kept);
            EXPECT_TRUE(entity >= 0 && entity < at && at < own) << version << ": " << kept << "\n" << saved;
        }
        if (r12) {
            const std::vector<std::string> d = SavedRecord(groups, "DIMSTYLE", "2B");
            const long own = PlaceOf(d, "100 AcDbDimStyleTableRecord");
            for (const char* kept : {"41 0.18", "40 2.5"})
                EXPECT_TRUE(own >= 0 && PlaceOf(d, kept) > own) << version << ": " << kept << "\n" << saved;
        }
        std::unique_ptr<OdDbDatabase> again(dxftest::Reopen(saved));
        EXPECT_TRUE(dxftest::Save(again.get()) == saved) << version;
    }
}
