// A point picked in the drawing, posted to the receiver window, becomes a
// sign.
#include "../exchange/receive_fixture.h"
#include "shell/messagedlg.h"
#include "ui/pluginfolder.h"
#include "window_control.h"

namespace {

using ReceiveSignTest = ReceiveTest;

}  // namespace

TEST_F(ReceiveSignTest, APointPickedInTheDrawingBecomesAnIconSign)
{
    g_settings.pointsAsIcons = 1;
    auto* point = (double*)malloc(2 * sizeof(double));
    point[0] = 10, point[1] = 20;
    PostMessageW(g_pMessageDlg->GetSafeHwnd(), WM_SIGN_AT_POINT, 0, (LPARAM)point);
    standin::PumpMessages();
    auto icons = All<OdDbRasterImage>();
    ASSERT_EQ(icons.size(), 1u);
    Reading<OdDbRasterImage> image(icons[0]);
    OdGePoint3d origin;
    OdGeVector3d u, v;
    image->getOrientation(origin, u, v);
    EXPECT_EQ(origin + u / 2, OdGePoint3d(10, 20, 0));
    EXPECT_EQ(image->imageDefId(), GetIconImageDefId(4));
    EXPECT_EQ(doc->lockCount(), 0);
}
