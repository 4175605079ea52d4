#include "engine/EngineLinks.h"

#include "effects/CEffectManager.h"
#include "platform/Platform.h"
#include "settings/CAppParameter.h"

#include <algorithm>

namespace enginelinks {

// Without a settings object (a tool or test that made none) the engine runs
// with the settings' start-up values.
namespace {
const CAppParameter& Settings() {
    static const CAppParameter defaults;
    return g_pAppParameter ? *g_pAppParameter : defaults;
}
std::wstring Wide(const CString& s) {
    return plat::Utf8ToWide(s.Str());
}
} // namespace

int DriverType() {
    return std::clamp<int>(Settings().m_DriverType, 0, 2);
}

DeviceSelection Devices() {
    const CAppParameter& p = Settings();
    DeviceSelection d;
    d.captureName = Wide(p.m_CapDeviceName);
    d.captureId = Wide(p.m_CapDeviceId);
    d.monitorName = Wide(p.m_MonDeviceName);
    d.monitorId = Wide(p.m_MonDeviceId);
    d.loopback = p.m_Loopback;
    return d;
}

int BoostOn() {
    return Settings().m_BoostOn;
}
int BoostLevel() {
    return Settings().m_BoostLevel;
}
int RecFileChannel() {
    return Settings().m_RecFileChannel;
}
int PlayFileMode() {
    return Settings().m_PlayFileMode;
}

bool RunEffectChain(int16_t* samples, int32_t count, int channels, int rate) {
    CEffectManager* manager = g_pEffectManager;
    if (!manager) return false;
    manager->SetStreamFormat(channels, rate);
    manager->ProcessChain(samples, count);
    manager->ReadChainOutput(samples, count);
    return true;
}

} // namespace enginelinks
