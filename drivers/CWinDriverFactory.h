// The driver factory of the Windows program: the MME pair for driver type 1,
// the WASAPI pair for every other value. Defined in the header so that it is
// compiled into whatever links the Windows drivers, never into the portable core.
#pragma once

#ifdef _WIN32

#include "drivers/CCaptureDriver.h"
#include "drivers/CRenderDriver.h"
#include "drivers/mme/CMMECapture.h"
#include "drivers/mme/CMMERenderer.h"
#include "drivers/wasapi/CWASAPICapture.h"
#include "drivers/wasapi/CWASAPIRenderer.h"

class CWinDriverFactory : public CDriverFactory {
  public:
    static constexpr int DRIVER_TYPE_MME = 1;

    CCaptureDriver* CreateCapture(int driverType) override {
        if (driverType == DRIVER_TYPE_MME) return new CMMECapture();
        return new CWASAPICapture();
    }
    CRenderDriver* CreateRender(int driverType) override {
        if (driverType == DRIVER_TYPE_MME) return new CMMERenderer();
        return new CWASAPIRenderer();
    }
};

#endif
