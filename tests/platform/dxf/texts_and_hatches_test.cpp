// Texts and hatches as other writers spell them: caret codes (a NUL among
// them), files that name no code page or one the reader does not know, a
// hatch's pixel size of 0, a solid fill's pattern and loops their count
// leaves out. The fixtures ezdxf made (data/) are given such records; each
// file's save holds what the file held, ezdxf (data/dxf_compare.py) reads
// from it what it reads from the file in the code page the open said it
// assumed, and the save saved again is the same bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>

#include "dxf_control.h"
#include "dxf_test_support.h"
#include "oddbcurves.h"
#include "oddbdictionary.h"
#include "oddbhatch.h"
#include "oddbtext.h"
#include "test_support.h"
#include "text_internal.h"

namespace {

namespace fs = std::filesystem;
using dxftest::Groups;

std::string Fixture(const char* name) { return velktest::ReadNativeFile(std::string(VELK_TEST_DATA_DIR "/") + name); }

std::string Replaced(std::string s, const std::vector<std::pair<std::string, std::string>>& swaps)
{
    for (const auto& [from, to] : swaps)
        for (size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size()))
            s.replace(at, from.size(), to);
    return s;
}

// The file with the records first among its entities.
std::string WithEntities(const std::string& file, const Groups& records)
{
    const size_t at = file.find("\nENTITIES\n");
    EXPECT_NE(at, std::string::npos);
    return file.substr(0, at + 10) + dxftest::GroupText(records) + file.substr(at + 10);
}

template <class T>
T* At(OdDbDatabase* db, uint64_t handle)
{
    OdDbObjectId id;
    if (db->getOdDbObjectId(id, false, OdDbHandle(handle)) != eOk || id.isNull()) return nullptr;
    return OdRxCast<T>(id.stub()->object);
}

// Reads the file and saves it; the save saved again must be the same bytes.
// Both files go to the build tree for ezdxf.
struct RoundTrip {
    std::unique_ptr<OdDbDatabase> db;
    std::string saved;
    std::pair<std::string, std::string> files;

    RoundTrip(const std::string& name, const std::string& bytes) : db(dxftest::Reopen(bytes))
    {
        saved = dxftest::Save(db.get());
        std::unique_ptr<OdDbDatabase> again(dxftest::Reopen(saved));
        const std::string second = dxftest::Save(again.get());
        EXPECT_TRUE(second == saved) << name << ": " << dxftest::FirstDifferingLine(saved, second);
        const fs::path folder = fs::path(VELK_BINARY_DIR) / "dxf_texts_and_hatches";
        fs::create_directories(folder);
        files = {(folder / (name + ".dxf")).string(), (folder / (name + ".saved.dxf")).string()};
        velktest::WriteNativeFile(files.first, bytes);
        velktest::WriteNativeFile(files.second, saved);
    }
};

// ezdxf reads the same from each save as from its file, the file read in
// `encoding`; skipped, after every other check, without ezdxf.
void ExpectEzdxfReadsTheSame(const std::vector<std::pair<std::string, std::string>>& pairs, const std::string& encoding)
{
    std::string report;
    EXPECT_TRUE(dxftest::EzdxfCompare(pairs, encoding, report)) << report;
}

}  // namespace

TEST(DxfTexts, CaretCodesAndANulComeBackAsTheFileSpelledThem)
{
    const Groups records{
        {0, "TEXT"}, {5, "A0"}, {330, "17"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbText"}, {10, "0.0"},
        {20, "0.0"}, {30, "0.0"}, {40, "1.0"}, {1, "A^@B^IC^JD^ME^^F^ G^"}, {100, "AcDbText"},
        {0, "MTEXT"}, {5, "A1"}, {330, "17"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbMText"}, {10, "0.0"},
        {20, "0.0"}, {30, "0.0"}, {40, "1.0"}, {1, "x^@y^Jz^"},
        {0, "ATTDEF"}, {5, "A2"}, {330, "17"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbText"}, {10, "0.0"},
        {20, "0.0"}, {30, "0.0"}, {40, "1.0"}, {1, "v^@w"}, {100, "AcDbAttributeDefinition"}, {3, "P^@Q"},
        {2, "T^@X"}, {70, "0"}};
    std::string why;
    const bool ezdxf = dxftest::EzdxfAvailable(why);
    for (const char* form : {"r2010", "r2000"}) {
        SCOPED_TRACE(form);
        RoundTrip r(std::string("carets_") + form,
                    WithEntities(Fixture((std::string("drawing_") + form + ".dxf").c_str()), records));
        // Every character the caret codes stand for, a NUL too, with the
        // caret before a space and the lone one at the end.
        auto* text = At<OdDbText>(r.db.get(), 0xA0);
        auto* mtext = At<OdDbMText>(r.db.get(), 0xA1);
        auto* def = At<OdDbAttributeDefinition>(r.db.get(), 0xA2);
        ASSERT_TRUE(text && mtext && def);
        EXPECT_EQ(text->textString().str(), std::wstring(L"A\0B\tC\nD\rE\x1e" L"F^G^", 14));
        EXPECT_EQ(mtext->contents().str(), std::wstring(L"x\0y\nz^", 6));
        EXPECT_EQ(def->textString().str(), std::wstring(L"v\0w", 3));
        EXPECT_EQ(def->tag().str(), std::wstring(L"T\0X", 3));
        EXPECT_EQ(def->prompt().str(), std::wstring(L"P\0Q", 3));
        for (const char* spelled : {"A^@B^IC^JD^ME^^F^ G^", "x^@y^Jz^", "v^@w", "T^@X", "P^@Q"})
            EXPECT_NE(r.saved.find(std::string("\r\n") + spelled + "\r\n"), std::string::npos) << spelled;
        if (ezdxf) ExpectEzdxfReadsTheSame({r.files}, "");
    }
    if (!ezdxf) GTEST_SKIP() << why;
}

// Extended data's texts keep every byte as the file spelled them, as a
// record's own texts do: a caret's own escape ("^ "), "\U+" and "\M+"
// escapes, text of the file's code page. The database holds what they say;
// a save writes each as spelled while the object holds what it read,
// edited otherwise or not, and one the object holds anew as the writer
// spells it.
TEST(DxfTexts, ExtendedDataKeepsTheTextsAsTheFileSpelledThem)
{
    std::string why;
    const bool ezdxf = dxftest::EzdxfAvailable(why);
    const std::string utf8Measure = "\xE6\xB5\x8B\xE9\x87\x8F";  // in page 936: B2 E2 C1 BF
    for (const char* form : {"r2010", "r2000"}) {
        SCOPED_TRACE(form);
        const std::string measure = form == std::string("r2000") ? "\xB2\xE2\xC1\xBF" : utf8Measure;
        const Groups records{{0, "LINE"}, {5, "A0"}, {330, "17"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbLine"},
                             {10, "0.0"}, {20, "0.0"}, {30, "0.0"}, {11, "1.0"}, {21, "1.0"}, {31, "0.0"},
                             {1001, "ACAD"}, {1000, "caret ^ alone"}, {1000, "\\U+00B0 and \\M+1A2B3"},
                             {1000, measure + " ^ x"}, {1070, "3"}, {1000, "line^Jbreak"}};
        RoundTrip r(std::string("xdata_carets_") + form,
                    WithEntities(Fixture((std::string("drawing_") + form + ".dxf").c_str()), records));
        auto* line = At<OdDbLine>(r.db.get(), 0xA0);
        ASSERT_TRUE(line);
        OdResBuf* held = line->xData(L"ACAD");
        std::vector<std::wstring> texts;
        for (const OdResBuf* rb = held; rb; rb = rb->next())
            if (rb->restype() == 1000) texts.push_back(rb->getString().str());
        ASSERT_EQ(texts.size(), 4u);
        EXPECT_EQ(texts[0], L"caret ^alone");
        EXPECT_EQ(texts[1].substr(0, 6), L"\u00B0 and ");
        EXPECT_EQ(texts[2], L"\u6D4B\u91CF ^x");
        EXPECT_EQ(texts[3], L"line\nbreak");
        const std::vector<std::string> spelled = {"caret ^ alone", "\\U+00B0 and \\M+1A2B3", utf8Measure + " ^ x",
                                                  "line^Jbreak"};
        for (const std::string& s : spelled)
            EXPECT_NE(r.saved.find("\r\n" + s + "\r\n"), std::string::npos) << s;
        if (ezdxf) ExpectEzdxfReadsTheSame({r.files}, "");

        // Moved, and with its first text anew: the others keep their
        // spelling, the new one is written as the writer spells it.
        ASSERT_EQ(oddbOpenObject(line, line->objectId(), OdDb::kForWrite), eOk);
        ASSERT_EQ(line->transformBy(OdGeMatrix3d::translation(OdGeVector3d(5, 0, 0))), eOk);
        held->next()->setString(L"caret ^ now");
        ASSERT_EQ(line->setXData(held), eOk);
        line->close();
        OdResBuf::releaseChain(held);
        const std::string edited = dxftest::Save(r.db.get());
        EXPECT_NE(edited.find("\r\ncaret ^  now\r\n"), std::string::npos);
        EXPECT_EQ(edited.find("\r\ncaret ^ alone\r\n"), std::string::npos);
        for (size_t k = 1; k < spelled.size(); ++k)
            EXPECT_NE(edited.find("\r\n" + spelled[k] + "\r\n"), std::string::npos) << spelled[k];
    }
    if (!ezdxf) GTEST_SKIP() << why;
}

// The 2000 fixture's texts (a layer's name, a text, an Xrecord's strings)
// in other code pages, in a file that names none or one the reader does
// not know: each is read in the page the open says, and ezdxf reads the
// file so as the save reads.
TEST(DxfTexts, AFileThatNamesNoCodePageIsReadInOneItsTextsFitAndTheOpenSaysWhich)
{
    const std::string named = Fixture("drawing_r2000.dxf");
    const std::string page = "  9\n$DWGCODEPAGE\n  3\nANSI_936\n";
    ASSERT_NE(named.find(page), std::string::npos);
    const std::string none = Replaced(named, {{page, ""}});
    const std::string measure = "\xB2\xE2\xC1\xBF", point = "\xB5\xE3", omega = "\xA6\xB8", note = "\xB1\xB8\xD7\xA2";
    struct Case {
        const char* name;
        std::string bytes;
        const char* assumed;   // the open's page
        const char* encoding;  // ezdxf's name of it
        std::wstring layer, text;
    };
    const std::wstring chinese = L"\u6D4B\u91CF";
    const Case cases[] = {
        {"gbk", none, "ANSI_936 (the file names no code page", "gbk", chinese, chinese + L"\u70B9 \u03A9 \U0001F600"},
        {"utf8",
         Replaced(none, {{measure, "\xE6\xB5\x8B\xE9\x87\x8F"}, {point, "\xE7\x82\xB9"}, {omega, "\xCE\xA9"},
                         {note, "\xE5\xA4\x87\xE6\xB3\xA8"}}),
         "UTF-8 (the file names no code page", "utf-8", chinese, chinese + L"\u70B9 \u03A9 \U0001F600"},
        // Western words that page 936 reads too, as characters of two bytes
        // ending in ASCII letters ("\xDF" "e").
        {"cp1252",
         Replaced(named, {{"ANSI_936", "UNDEFINED"}, {measure, "Ma\xDF" "e"}, {point, "stab"}, {omega, "H\xF6he"},
                          {note, "Fl\xE4" "che"}}),
         "ANSI_1252 (the file's code page \"UNDEFINED\"", "cp1252", L"Ma\u00DFe", L"Ma\u00DFestab H\u00F6he \U0001F600"},
        // Bytes ANSI_1252 leaves undefined, where page 936 reads none.
        {"latin1",
         Replaced(none, {{measure, "Ma\xDF" "e\x81"}, {point, " stab"}, {omega, "H\xF6he\x81"}, {note, "Fl\xE4" "che\x81"}}),
         "ISO8859-1 (the file names no code page", "latin-1", L"Ma\u00DFe\u0081",
         L"Ma\u00DFe\u0081 stab H\u00F6he\u0081 \U0001F600"},
    };
    std::string why;
    const bool ezdxf = dxftest::EzdxfAvailable(why);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RoundTrip r(std::string("code_page_") + c.name, c.bytes);
        const std::wstring assumed = standin::DxfCodePageAssumed(r.db.get());
        EXPECT_EQ(assumed.rfind(standin::Utf8ToWide(c.assumed), 0), 0u) << standin::WideToUtf8(assumed);
        auto* text = At<OdDbText>(r.db.get(), 0x31);
        ASSERT_NE(text, nullptr);
        EXPECT_EQ(text->textString().str(), c.text);
        EXPECT_EQ(text->layer().str(), c.layer);
        if (ezdxf) ExpectEzdxfReadsTheSame({r.files}, c.encoding);
    }
    // A file that names its page, or whose texts are ASCII, says nothing.
    EXPECT_EQ(standin::DxfCodePageAssumed(RoundTrip("code_page_named", named).db.get()), L"");
    EXPECT_EQ(standin::DxfCodePageAssumed(
                  RoundTrip("code_page_ascii", Replaced(none, {{measure, "M"}, {point, "P"}, {omega, "O"}, {note, "N"}}))
                      .db.get()),
              L"");
    if (!ezdxf) GTEST_SKIP() << why;
}

// A pattern's pixel size of 0; a solid fill with a pattern's angle, scale
// and lines after its loops, as ezdxf writes one; a hatch that counts no
// loops and gives one (other readers take it, and the elevation before
// the count).
// In a file of a double-byte code page, a lead byte without its trail
// byte (at a text's end, before a space) is kept as that byte, not
// replaced: held as U+DC00 plus the byte and saved as its escape, which
// reads back as the same; an MTEXT whose pieces cut a character in two is
// read joined, the character whole.
TEST(DxfTexts, ALeadByteWithoutItsTrailIsKeptAndPiecesAreJoinedBeforeTheyAreRead)
{
    const std::string named = Fixture("drawing_r2000.dxf");
    ASSERT_NE(named.find("$DWGCODEPAGE\n  3\nANSI_936\n"), std::string::npos);
    std::string contents = std::string(249, 'x') + "\xB2\xE2\xC1\xBF";
    const Groups records{
        {0, "TEXT"}, {5, "7A1"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbText"}, {10, "0"}, {20, "0"}, {30, "0"},
        {40, "1"}, {1, "end\x81"}, {100, "AcDbText"},
        {0, "TEXT"}, {5, "7A2"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbText"}, {10, "0"}, {20, "0"}, {30, "0"},
        {40, "1"}, {1, "\x81 space"}, {100, "AcDbText"},
        {0, "MTEXT"}, {5, "7A3"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbMText"}, {10, "0"}, {20, "0"}, {30, "0"},
        {40, "1"}, {3, contents.substr(0, 250)}, {1, contents.substr(250)}};
    RoundTrip r("lone_lead_bytes", WithEntities(named, records));
    const auto* end = At<OdDbText>(r.db.get(), 0x7A1);
    const auto* space = At<OdDbText>(r.db.get(), 0x7A2);
    const auto* mtext = At<OdDbMText>(r.db.get(), 0x7A3);
    ASSERT_TRUE(end && space && mtext);
    EXPECT_EQ(std::wstring(end->textString().c_str()), L"end\xDC81");
    EXPECT_EQ(std::wstring(space->textString().c_str()), L"\xDC81 space");
    EXPECT_EQ(std::wstring(mtext->contents().c_str()), std::wstring(249, L'x') + L"\u6D4B\u91CF");
    EXPECT_NE(r.saved.find("\r\nend\\U+DC81\r\n"), std::string::npos);
    EXPECT_EQ(r.saved.find("\xEF\xBF\xBD"), std::string::npos);  // no U+FFFD
    std::unique_ptr<OdDbDatabase> back(dxftest::Reopen(r.saved));
    ASSERT_NE(At<OdDbText>(back.get(), 0x7A1), nullptr);
    EXPECT_EQ(std::wstring(At<OdDbText>(back.get(), 0x7A1)->textString().c_str()), L"end\xDC81");
    EXPECT_EQ(std::wstring(At<OdDbMText>(back.get(), 0x7A3)->contents().c_str()), std::wstring(249, L'x') + L"\u6D4B\u91CF");
}

TEST(DxfHatches, APixelSizeOfZeroASolidFillsPatternAndLoopsTheCountLeavesOutComeBack)
{
    const Groups head{{330, "17"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbHatch"}, {10, "0.0"}, {20, "0.0"},
                      {30, "0.0"}, {210, "0.0"}, {220, "0.0"}, {230, "1.0"}};
    const Groups triangle{{92, "7"}, {72, "0"}, {73, "1"}, {93, "3"}, {10, "0.0"}, {20, "0.0"}, {10, "10.0"},
                          {20, "0.0"}, {10, "10.0"}, {20, "10.0"}, {97, "0"}};
    auto hatch = [&](const char* handle, Groups body) {
        Groups g{{0, "HATCH"}, {5, handle}};
        g.insert(g.end(), head.begin(), head.end());
        g.insert(g.end(), body.begin(), body.end());
        return g;
    };
    auto join = [](std::initializer_list<Groups> parts) {
        Groups all;
        for (const Groups& p : parts) all.insert(all.end(), p.begin(), p.end());
        return all;
    };
    const Groups pattern{{52, "30.0"}, {41, "2.0"}, {77, "0"}, {78, "1"}, {53, "75.0"}, {43, "0.0"},
                         {44, "0.0"},  {45, "-6.133628997"}, {46, "1.6435009364"}, {79, "0"}};
    const Groups records = join({
        hatch("B0", join({{{2, "ANSI31"}, {70, "0"}, {71, "0"}, {91, "1"}}, triangle,
                          {{75, "0"}, {76, "1"}, {52, "0.0"}, {41, "1.0"}, {77, "0"}, {78, "1"}, {53, "45.0"},
                           {43, "0.0"}, {44, "0.0"}, {45, "-2.245064"}, {46, "2.245064"}, {79, "0"}, {47, "0.0"},
                           {98, "0"}}})),
        hatch("B1", join({{{2, "SOLID"}, {70, "1"}, {71, "0"}, {91, "1"}}, triangle, {{75, "1"}, {76, "1"}}, pattern,
                          {{98, "0"}}})),
        hatch("B2", {{2, "SOLID"}, {70, "1"}, {71, "0"}, {91, "0"}, {92, "1"}, {93, "3"}, {72, "1"}, {10, "7.5"},
                     {20, "0.0"}, {11, "10.0"}, {21, "0.0"}, {72, "1"}, {10, "10.0"}, {20, "0.0"}, {11, "10.0"},
                     {21, "10.0"}, {72, "1"}, {10, "10.0"}, {20, "10.0"}, {11, "7.5"}, {21, "0.0"}, {97, "0"},
                     {75, "0"}, {76, "1"}, {98, "0"}}),
    });
    RoundTrip r("hatches", WithEntities(Fixture("drawing_r2010.dxf"), records));
    const std::vector<std::string> groups = dxftest::GroupLines(r.saved);
    // Each goes back where other readers look for it: the pixel size and
    // the pattern before the seeds.
    auto after = [](const std::vector<std::string>& rec, const std::string& first, const std::vector<std::string>& next) {
        auto at = std::find(rec.begin(), rec.end(), first);
        return at != rec.end() && (size_t)(rec.end() - at) > next.size() && std::equal(next.begin(), next.end(), at + 1);
    };
    EXPECT_TRUE(after(dxftest::Record(groups, "HATCH", "B0"), "79 0", {"47 0.0", "98 0"}));
    std::vector<std::string> spelled;
    for (const auto& [code, value] : pattern) spelled.push_back(std::to_string(code) + " " + value);
    spelled.push_back("98 0");
    EXPECT_TRUE(after(dxftest::Record(groups, "HATCH", "B1"), "76 1", spelled));
    auto* counted = At<OdDbHatch>(r.db.get(), 0xB2);
    ASSERT_NE(counted, nullptr);
    EXPECT_EQ(counted->numLoops(), 1);
    EXPECT_EQ(counted->elevation(), 0.0);
    EXPECT_TRUE(after(dxftest::Record(groups, "HATCH", "B2"), "92 1", {"93 3", "72 1", "10 7.5", "20 0.0"}));
    std::string why;
    if (!dxftest::EzdxfAvailable(why)) GTEST_SKIP() << why;
    ExpectEzdxfReadsTheSame({r.files}, "");
}

// A solid fill's pattern value given apart from its pattern type, past a
// value that cannot be read, is no pattern of it in any read: kept where
// it stands, it goes back after that value, and the save reads back alike.
TEST(DxfHatches, ASolidFillsPatternValuePastAnUnreadableOneStaysKeptInEverySave)
{
    for (const bool markers : {false, true}) {
        SCOPED_TRACE(markers);
        Groups hatch{{0, "HATCH"}, {5, "B3"}};
        if (markers) hatch.insert(hatch.end(), {{100, "AcDbEntity"}, {8, "0"}, {100, "AcDbHatch"}});
        hatch.insert(hatch.end(), {{50, ""}, {77, "1"}, {76, "1"}});
        RoundTrip r(markers ? "solid_pattern_apart_markers" : "solid_pattern_apart",
                    WithEntities(Fixture("drawing_r2010.dxf"), hatch));
        const std::vector<std::string> record = dxftest::Record(dxftest::GroupLines(r.saved), "HATCH", "B3");
        const auto empty = std::find(record.begin(), record.end(), "50 ");
        const auto doubled = std::find(record.begin(), record.end(), "77 1");
        EXPECT_TRUE(empty < doubled && doubled != record.end()) << r.saved;
    }
}
