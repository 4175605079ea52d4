// The Windows driver factory: MME for driver type 1, WASAPI for any other value.
#include "drivers/CWinDriverFactory.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

TEST(WinDriverFactory, DriverTypeChoosesTheFamily) {
    struct Case {
        int type;
        bool mme;
    } cases[] = {{1, true}, {0, false}, {2, false}, {-1, false}, {7, false}};
    CWinDriverFactory factory;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        std::unique_ptr<CCaptureDriver> capture(factory.CreateCapture(c.type));
        std::unique_ptr<CRenderDriver> render(factory.CreateRender(c.type));
        ASSERT_TRUE(capture && render);
        EXPECT_EQ(dynamic_cast<CWASAPICapture*>(capture.get()) == nullptr, c.mme);
        EXPECT_EQ(dynamic_cast<CWASAPIRenderer*>(render.get()) == nullptr, c.mme);
        EXPECT_EQ(capture->CanLoopback(), c.mme ? 0 : 1);
        capture->Terminate();
        render->Terminate();
    }
}

} // namespace
