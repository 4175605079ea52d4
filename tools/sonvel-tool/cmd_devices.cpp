// sonvel-tool devices: the capture and render devices of both driver families,
// one "name: value" line each, so a user (or a script) can see what the
// program would find:
//   mme.capture.0: Monitor of Speakers
//   wasapi.render.0: Speakers
//   wasapi.render.0.id: {0.0.0.00000000}.{...}
//   wasapi.loopback.1000: Speakers
// The index is the one the drivers' SelectDevice takes.
#include "tools/sonvel-tool/Tool.h"

#ifdef _WIN32
#include "drivers/mme/CMMECapture.h"
#include "drivers/mme/CMMERenderer.h"
#include "drivers/wasapi/CWASAPICapture.h"
#include "drivers/wasapi/CWASAPIRenderer.h"
#include "platform/Platform.h"

#include <objbase.h>

namespace {
void PrintDevice(const char* prefix, int index, const AudioDeviceInfo& info, bool withId) {
    std::printf("%s.%d: %s\n", prefix, index, plat::WideToUtf8(info.szName).c_str());
    if (withId) std::printf("%s.%d.id: %s\n", prefix, index, plat::WideToUtf8(info.szEndpointId).c_str());
}

template <class Driver> void ListDevices(Driver& driver, const char* prefix, int base, bool withId) {
    AudioDeviceInfo info;
    int count = driver.EnumDevice(base, nullptr);
    std::printf("%s.count: %d\n", prefix, count);
    for (int i = 0; i < count; ++i) {
        driver.EnumDevice(base + i, &info);
        PrintDevice(prefix, base + i, info, withId);
    }
}

int Devices(const std::vector<std::string>& args) {
    if (!args.empty()) return ToolFail("usage: devices");
    HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    {
        CMMECapture mmeIn;
        CMMERenderer mmeOut;
        ListDevices(mmeIn, "mme.capture", 0, false);
        ListDevices(mmeOut, "mme.render", 0, false);
        CWASAPICapture wasapiIn;
        CWASAPIRenderer wasapiOut;
        ListDevices(wasapiIn, "wasapi.capture", 0, true);
        ListDevices(wasapiOut, "wasapi.render", 0, true);
        ListDevices(wasapiIn, "wasapi.loopback", LOOPBACK_INDEX_BASE, true);
    }
    if (SUCCEEDED(com)) CoUninitialize();
    return 0;
}
ToolRegistrar reg("devices", "devices", Devices);
} // namespace
#endif
