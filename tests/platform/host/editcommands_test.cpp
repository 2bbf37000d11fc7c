// The host's own editing commands: the events reactors hear and their
// order, copies with their extension records, undo and redo, cancels and
// failures, and the selection filters' view of what is being added.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "editor_control.h"
#include "gcapdocmanager.h"
#include "gced_cmd.h"
#include "gcedinput.h"
#include "gcedreactor.h"
#include "hostdb_control.h"
#include "oddbcurves.h"
#include "oddbdictionary.h"
#include "oddbsymboltable.h"

namespace {

// Every event in one list, as the host raises them.
struct Events : OdEditorReactor, OdDbDatabaseReactor {
    std::vector<std::wstring> log;
    void commandWillStart(const OdString& c) override { log.push_back(L"start " + c.str()); }
    void commandEnded(const OdString& c) override { log.push_back(L"ended " + c.str()); }
    void commandCancelled(const OdString& c) override { log.push_back(L"cancelled " + c.str()); }
    void commandFailed(const OdString& c) override { log.push_back(L"failed " + c.str()); }
    void objectAppended(const OdDbDatabase*, const OdDbObject* o) override { Note(L"appended ", o); }
    void objectModified(const OdDbDatabase*, const OdDbObject* o) override { Note(L"modified ", o); }
    void objectErased(const OdDbDatabase*, const OdDbObject* o, bool erased) override
    {
        Note(erased ? L"erased " : L"unerased ", o);
    }
    void Note(const wchar_t* what, const OdDbObject* o)
    {
        if (OdRxCast<OdDbEntity>(o)) log.push_back(what + o->isA()->name().str());
    }
};

class EditCommandsTest : public testing::Test {
protected:
    void SetUp() override
    {
        doc = standin::CreateDocument(L"C:\\dwg\\a.dwg");
        odedEditor->addReactor(&events);
        doc->database()->addReactor(&events);
    }
    void TearDown() override
    {
        odedEditor->removeReactor(&events);
        EXPECT_EQ(standin::OpenObjectCount(), 0);
        EXPECT_TRUE(standin::HostViolations().empty());
    }
    OdDbObjectId LinkedLine()
    {
        standin::QueuePoint(OdGePoint3d(0, 0, 0));
        standin::QueuePoint(OdGePoint3d(4, 0, 0));
        standin::QueueEnter();
        standin::InvokeCommand(L"LINE");
        ads_name last;
        OdDbObjectId id;
        EXPECT_EQ(gcdbEntLast(last), RTNORM);
        oddbGetObjectId(id, last);
        OdDbLine* line = nullptr;
        EXPECT_EQ(oddbOpenObject(line, id, OdDb::kForWrite), eOk);
        line->createExtensionDictionary();
        OdDbDictionary* dict = nullptr;
        EXPECT_EQ(oddbOpenObject(dict, line->extensionDictionary(), OdDb::kForWrite), eOk);
        auto* xrec = new OdDbXrecord();
        OdDbObjectId xid;
        dict->setAt(L"K", xrec, xid);
        OdResBuf* chain = OdResBuf::newRb(1, OdString(L"77"));
        xrec->setFromRbChain(chain);
        OdResBuf::releaseChain(chain);
        xrec->close();
        dict->close();
        line->close();
        events.log.clear();
        return id;
    }
    OdGePoint3d StartOf(OdDbObjectId id)
    {
        OdDbLine* line = nullptr;
        EXPECT_EQ(oddbOpenObject(line, id, OdDb::kForRead, true), eOk);
        OdGePoint3d p = line->startPoint();
        line->close();
        return p;
    }

    GcApDocument* doc = nullptr;
    Events events;
};

TEST_F(EditCommandsTest, CopyCarriesTheExtensionRecordsAndUndoRedoReverseIt)
{
    OdDbObjectId line = LinkedLine();
    standin::QueueSelection(OdDbObjectIdArray().append(line));
    standin::QueuePoint(OdGePoint3d(0, 0, 0));
    standin::QueuePoint(OdGePoint3d(0, 10, 0));
    standin::QueueEnter();
    ASSERT_TRUE(standin::InvokeCommand(L"_copy"));
    EXPECT_EQ(events.log, (std::vector<std::wstring>{L"start COPY", L"appended AcDbLine", L"modified AcDbLine",
                                                     L"ended COPY"}));
    ads_name last;
    OdDbObjectId copy;
    ASSERT_EQ(gcdbEntLast(last), RTNORM);
    oddbGetObjectId(copy, last);
    ASSERT_NE(copy, line);
    EXPECT_TRUE(StartOf(copy).isEqualTo(OdGePoint3d(0, 10, 0)));
    OdDbLine* opened = nullptr;
    ASSERT_EQ(oddbOpenObject(opened, copy, OdDb::kForRead), eOk);
    OdDbObjectId dictId = opened->extensionDictionary();
    opened->close();
    OdDbDictionary* dict = nullptr;
    ASSERT_EQ(oddbOpenObject(dict, dictId, OdDb::kForRead), eOk);
    OdDbXrecord* xrec = nullptr;
    ASSERT_EQ(dict->getAt(L"K", xrec, OdDb::kForRead), eOk);
    OdResBuf* chain = xrec->rbChain();
    EXPECT_EQ(chain->getString(), L"77");
    OdResBuf::releaseChain(chain);
    xrec->close();
    dict->close();

    // Undo takes the copy away, redo brings it back; each is one command.
    events.log.clear();
    ASSERT_TRUE(standin::InvokeCommand(L"UNDO"));
    EXPECT_TRUE(copy.isErased());
    ASSERT_TRUE(standin::InvokeCommand(L"REDO"));
    EXPECT_FALSE(copy.isErased());
    EXPECT_EQ(events.log, (std::vector<std::wstring>{L"start UNDO", L"erased AcDbLine", L"ended UNDO", L"start REDO",
                                                     L"unerased AcDbLine", L"ended REDO"}));
}

TEST_F(EditCommandsTest, MoveAndEraseAreUndoneInReverseAndCancelsAndFailuresAreReported)
{
    OdDbObjectId line = LinkedLine();
    standin::QueueSelection(OdDbObjectIdArray().append(line));
    standin::QueuePoint(OdGePoint3d(0, 0, 0));
    standin::QueuePoint(OdGePoint3d(1, 2, 0));
    standin::InvokeCommand(L"MOVE");
    standin::QueueSelection(OdDbObjectIdArray().append(line));
    standin::InvokeCommand(L"ERASE");
    EXPECT_TRUE(line.isErased());
    standin::InvokeCommand(L"UNDO");
    EXPECT_FALSE(line.isErased());
    EXPECT_TRUE(StartOf(line).isEqualTo(OdGePoint3d(1, 2, 0)));
    standin::InvokeCommand(L"UNDO");
    EXPECT_TRUE(StartOf(line).isEqualTo(OdGePoint3d(0, 0, 0)));
    // A new change drops what could be redone.
    standin::QueuePoint(OdGePoint3d(5, 5, 0));
    standin::InvokeCommand(L"POINT");
    events.log.clear();
    standin::InvokeCommand(L"REDO");
    EXPECT_EQ(events.log, (std::vector<std::wstring>{L"start REDO", L"ended REDO"}));

    events.log.clear();
    standin::QueuePoint(OdGePoint3d(0, 0, 0));
    standin::QueueCancel();
    standin::InvokeCommand(L"RECTANG");
    standin::SetAppLoader([](const std::wstring& path) { return path == L"C:\\ok.grx"; });
    standin::QueueText(L"C:\\missing.grx");
    standin::InvokeCommand(L"APPLOAD");
    EXPECT_EQ(events.log,
              (std::vector<std::wstring>{L"start RECTANG", L"cancelled RECTANG", L"start APPLOAD", L"failed APPLOAD"}));
}

// Removes every other entry as it is told to, from the first.
struct DropOdd : GcEdSSGetFilter {
    std::vector<int> seen;
    void ssgetAddFilter(int, GcEdSelectionSetService& service, const OdDbObjectIdArray&,
                        const OdDbObjectIdArray& toAdd) override
    {
        seen.push_back(toAdd.length());
        EXPECT_EQ(service.remove(toAdd.length()), eInvalidIndex);
        for (int i = 1; i < toAdd.length(); ++i) service.remove(i);
    }
};

TEST_F(EditCommandsTest, FiltersSeeTheUsersSelectionShrinkAsTheyRemoveFromIt)
{
    OdDbObjectIdArray lines;
    for (int i = 0; i < 5; ++i) lines.append(LinkedLine());
    DropOdd filter;
    ASSERT_EQ(addSSgetFilterInputContextReactor(doc, &filter), eOk);
    standin::QueueSelection(lines);
    ads_name ss;
    ASSERT_EQ(gcedSSGet(nullptr, nullptr, nullptr, nullptr, ss), RTNORM);
    int32_t n = 0;
    gcedSSLength(ss, &n);
    gcedSSFree(ss);
    // Removing entries 1 and then 2 of what is left drops lines 1 and 3.
    EXPECT_EQ(n, 3);
    // Programs that select everything are not filtered.
    ASSERT_EQ(gcedSSGet(L"X", nullptr, nullptr, nullptr, ss), RTNORM);
    gcedSSLength(ss, &n);
    gcedSSFree(ss);
    EXPECT_EQ(n, 5);
    EXPECT_EQ(filter.seen, std::vector<int>{5});
    removeSSgetFilterInputContextReactor(doc, &filter);
}

}  // namespace
