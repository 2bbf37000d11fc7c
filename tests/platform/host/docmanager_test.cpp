// The document manager's stack of MFC resource handles.
#include <gtest/gtest.h>

#include "afxwin.h"
#include "gcapdocmanager.h"
#include "standin_control.h"
#include "test_support.h"

namespace {

HINSTANCE Handle(uintptr_t n) { return (HINSTANCE)n; }

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

}  // namespace
