// The host's own editing commands: the events reactors hear and their
// order, undo and redo, cancels and failures.
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
    OdDbObjectId DrawLine()
    {
        standin::QueuePoint(OdGePoint3d(0, 0, 0));
        standin::QueuePoint(OdGePoint3d(4, 0, 0));
        standin::QueueEnter();
        standin::InvokeCommand(L"LINE");
        ads_name last;
        OdDbObjectId id;
        EXPECT_EQ(gcdbEntLast(last), RTNORM);
        oddbGetObjectId(id, last);
        return id;
    }
    OdDbObjectId EntLast()
    {
        ads_name last;
        OdDbObjectId id;
        if (gcdbEntLast(last) == RTNORM) oddbGetObjectId(id, last);
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

TEST_F(EditCommandsTest, ChangesAreHeardInOrderUndoneInReverseAndCancelsAndFailuresReported)
{
    OdDbObjectId line = DrawLine();
    EXPECT_EQ(events.log, (std::vector<std::wstring>{L"start LINE", L"appended AcDbLine", L"modified AcDbLine",
                                                     L"ended LINE"}));
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

// The last entity is the newest of model space that is not erased: objects
// that are no entities, and erased entities, are passed over.
TEST_F(EditCommandsTest, TheLastEntityIsTheNewestNotErasedOfModelSpace)
{
    const OdDbObjectId first = DrawLine();
    const OdDbObjectId second = DrawLine();
    EXPECT_EQ(EntLast(), second);
    standin::QueueSelection(OdDbObjectIdArray().append(second));
    standin::InvokeCommand(L"ERASE");
    EXPECT_EQ(EntLast(), first);
    OdDbLine* line = nullptr;
    ASSERT_EQ(oddbOpenObject(line, first, OdDb::kForWrite), eOk);
    EXPECT_EQ(line->createExtensionDictionary(), eOk);
    line->close();
    EXPECT_EQ(EntLast(), first);
    standin::InvokeCommand(L"UNDO");
    EXPECT_EQ(EntLast(), second);
}

}  // namespace
