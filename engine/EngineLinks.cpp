#include "engine/EngineLinks.h"

#include "effects/CEffectManager.h"
#include "platform/Platform.h"
#include "settings/CAppParameter.h"

#include <algorithm>

namespace {
std::wstring Wide(const CString& s) {
    return plat::Utf8ToWide(s.Str());
}
} // namespace

// Without a settings object (a tool or test that made none) the engine runs
// with the settings' start-up values.
const CAppParameter& EngineLinks::Settings() const {
    static const CAppParameter defaults;
    return m_pSettings ? *m_pSettings : defaults;
}

int EngineLinks::DriverType() const {
    return std::clamp<int>(Settings().m_DriverType, 0, 2);
}

EngineLinks::DeviceSelection EngineLinks::Devices() const {
    const CAppParameter& p = Settings();
    DeviceSelection d;
    d.captureName = Wide(p.m_CapDeviceName);
    d.captureId = Wide(p.m_CapDeviceId);
    d.monitorName = Wide(p.m_MonDeviceName);
    d.monitorId = Wide(p.m_MonDeviceId);
    d.loopback = p.m_Loopback;
    return d;
}

int EngineLinks::BoostOn() const {
    return Settings().m_BoostOn;
}
int EngineLinks::BoostLevel() const {
    return Settings().m_BoostLevel;
}
int EngineLinks::RecFileChannel() const {
    return Settings().m_RecFileChannel;
}
int EngineLinks::PlayFileMode() const {
    return Settings().m_PlayFileMode;
}

bool EngineLinks::RunEffectChain(int16_t* samples, int32_t count, int channels, int rate) const {
    if (!m_pChain) return false;
    m_pChain->SetStreamFormat(channels, rate);
    m_pChain->ProcessChain(samples, count);
    m_pChain->ReadChainOutput(samples, count);
    return true;
}
