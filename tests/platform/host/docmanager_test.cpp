// The document manager's stack of MFC resource handles and its ownership of
// the documents.
#include <gtest/gtest.h>

#include "afxwin.h"
#include "gcapdocmanager.h"
#include "hostdb_control.h"
#include "oddbcurves.h"
#include "oddbsymboltable.h"
#include "standin_control.h"
#include "test_support.h"

namespace {

HINSTANCE Handle(uintptr_t n) { return (HINSTANCE)n; }

// Opens two drawings, the first with a line in model space left open for
// write.
void OpenTwoDrawingsAndLeaveALineOpen()
{
    OdDbDatabase* db = standin::CreateDocument(L"C:\\dwg\\a.dwg")->database();
    standin::CreateDocument(L"C:\\dwg\\b.dwg", false);
    OdDbBlockTableRecord* ms = nullptr;
    ASSERT_EQ(oddbOpenObject(ms, db->getModelSpaceId(), OdDb::kForWrite), eOk);
    OdDbObjectId id;
    ASSERT_EQ(ms->appendOdDbEntity(id, new OdDbLine(OdGePoint3d(), OdGePoint3d(1, 1, 0))), eOk);
    ms->close();
    EXPECT_EQ(standin::OpenObjectCount(), 1);
    EXPECT_EQ(gcDocManagerPtr()->documentCount(), 2);
}

TEST(HostResourceStack, PushesAndPopsUnwindInOrder)
{
    GcApDocManager* docs = gcDocManagerPtr();
    AfxSetResourceHandle(Handle(0x100));
    docs->pushResourceHandle(Handle(0x200));
    EXPECT_EQ(AfxGetResourceHandle(), Handle(0x200));
    docs->pushResourceHandle(Handle(0x300));
    EXPECT_EQ(AfxGetResourceHandle(), Handle(0x300));
    // The stack keeps what each push replaced, so a handle set directly in
    // between is undone by the pop.
    AfxSetResourceHandle(Handle(0x400));
    docs->popResourceHandle();
    EXPECT_EQ(AfxGetResourceHandle(), Handle(0x200));
    docs->popResourceHandle();
    EXPECT_EQ(AfxGetResourceHandle(), Handle(0x100));
    // A pop with nothing pushed leaves the handle alone.
    docs->popResourceHandle();
    EXPECT_EQ(AfxGetResourceHandle(), Handle(0x100));

    // A new machine starts with an empty stack.
    docs->pushResourceHandle(Handle(0x500));
    standin::ResetMachine(velktest::MachineRoot());
    AfxSetResourceHandle(Handle(0x600));
    docs->popResourceHandle();
    EXPECT_EQ(AfxGetResourceHandle(), Handle(0x600));
}

// Documents are owned by the manager: the sanitizer's leak check at exit
// fails this test when a reset or the end of the program loses them.
TEST(HostDocuments, TheManagerFreesDocumentsLeftOpenAtResetAndAtExit)
{
    OpenTwoDrawingsAndLeaveALineOpen();
    standin::ResetMachine(velktest::MachineRoot());
    EXPECT_EQ(gcDocManagerPtr()->documentCount(), 0);
    EXPECT_EQ(gcDocManagerPtr()->curDocument(), nullptr);
    EXPECT_EQ(standin::OpenObjectCount(), 0);
    OpenTwoDrawingsAndLeaveALineOpen();
}

}  // namespace
