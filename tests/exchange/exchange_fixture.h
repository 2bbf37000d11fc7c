// A current drawing for each test, with the exchange's module-wide state
// emptied before and after; nothing may be left open.
#pragma once

#include <gtest/gtest.h>

#include "exchange/exchangeglobals.h"
#include "exchange/velkobjtree.h"
#include "gcapdocmanager.h"
#include "hostdb_control.h"
#include "oddbcurves.h"
#include "oddbsymboltable.h"
#include "state/drawingdata.h"
#include "test_support.h"

inline void ResetExchangeState()
{
    ClearDrawingRecords(drawingRecords);
    g_ptagDocIdManager = nullptr;
    g_velkObjTree.Clear();
    g_velkObjTree.names.clear();
    g_velkObjTree.workspaceId = 0;
    ClearEntityLinks(folderRecordLinks);
    peerFolderList.clear();
    g_subFolderName.Empty();
    g_searchName.Empty();
    g_searchAnswer = 0;
    g_bNewFoldersSent = 0;
    g_bShowSendProgress = 0;
    g_bSuppressReactors = 0;
}

// Appends a new entity to model space of the database; its id.
inline OdDbObjectId AppendToModelSpace(OdDbDatabase* db, OdDbEntity* ent) { return velktest::AppendEntity(db, ent); }

// The corners of an axis-parallel square, counter-clockwise from (x0, y0).
inline OdGePoint2dArray Square(double x0, double y0, double size)
{
    OdGePoint2dArray v;
    v.append(OdGePoint2d(x0, y0));
    v.append(OdGePoint2d(x0 + size, y0));
    v.append(OdGePoint2d(x0 + size, y0 + size));
    v.append(OdGePoint2d(x0, y0 + size));
    return v;
}

class ExchangeTest : public testing::Test {
protected:
    void SetUp() override
    {
        ResetExchangeState();
        doc_ = standin::CreateDocument(L"C:\\dwg\\site.dwg");
        db_ = doc_->database();
    }
    void TearDown() override
    {
        ResetExchangeState();
        EXPECT_EQ(standin::OpenObjectCount(), 0);
        EXPECT_TRUE(standin::HostViolations().empty());
    }

    // A line in model space of the working drawing; its handle.
    uint64_t AddLine(double x0, double y0, double x1, double y1)
    {
        return AddEntity(new OdDbLine(OdGePoint3d(x0, y0, 0), OdGePoint3d(x1, y1, 0)));
    }
    uint64_t AddEntity(OdDbEntity* ent, OdDbDatabase* db = nullptr)
    {
        return (uint64_t)AppendToModelSpace(db ? db : db_, ent).getHandle();
    }
    OdDbObjectId IdOf(uint64_t handle, OdDbDatabase* db = nullptr)
    {
        OdDbObjectId id;
        (db ? db : db_)->getOdDbObjectId(id, false, OdDbHandle(handle));
        return id;
    }

    GcApDocument* doc_ = nullptr;
    OdDbDatabase* db_ = nullptr;
};
