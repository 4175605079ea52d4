// The factory that gives the engine the test driver pair (sonvel-tool, the
// tests and the native build).
#pragma once

#include "drivers/AudioTypes.h"
#include "drivers/test/CTestCapture.h"
#include "drivers/test/CTestRenderer.h"

#include <functional>

// Hands out a test pair; the last pair it created stays reachable for tests.
class CTestDriverFactory : public CDriverFactory {
  public:
    CCaptureDriver* CreateCapture(int driverType) override;
    CRenderDriver* CreateRender(int driverType) override;
    // Called on every new driver before the engine sees it.
    std::function<void(CTestCapture&)> m_ConfigureCapture;
    std::function<void(CTestRenderer&)> m_ConfigureRender;
    // False: no renderer, as with a capture-only set-up (nothing is monitored).
    bool m_WithRenderer = true;
    // Capture drivers created so far (a new driver type creates a new pair).
    int m_CaptureCount = 0;
    CTestCapture* m_pLastCapture = nullptr;
    CTestRenderer* m_pLastRender = nullptr;
};
