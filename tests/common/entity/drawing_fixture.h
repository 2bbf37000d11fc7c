// A current drawing for each test; nothing may be left open afterwards.
#pragma once

#include <gtest/gtest.h>

#include "gcapdocmanager.h"
#include "hostdb_control.h"
#include "oddbentity.h"

class DrawingTest : public testing::Test {
protected:
    void SetUp() override { db_ = standin::CreateDocument(L"C:\\dwg\\site.dwg")->database(); }
    void TearDown() override
    {
        EXPECT_EQ(standin::OpenObjectCount(), 0);
        EXPECT_TRUE(standin::HostViolations().empty());
    }

    // Opens an entity of the class for read; the caller closes it.
    template <class T>
    T* OpenRead(OdDbObjectId id)
    {
        T* obj = nullptr;
        EXPECT_EQ(oddbOpenObject(obj, id, OdDb::kForRead), eOk);
        return obj;
    }

    OdDbDatabase* db_ = nullptr;
};

inline void ExpectNear(const OdGePoint3d& p, double x, double y, double z = 0.0, double tol = 1e-9)
{
    EXPECT_NEAR(p.x, x, tol);
    EXPECT_NEAR(p.y, y, tol);
    EXPECT_NEAR(p.z, z, tol);
}
