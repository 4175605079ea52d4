#include "settings/CAppParameter.h"

#include "platform/Platform.h"

#include <cstdio>

CAppParameter* g_pAppParameter = nullptr;

namespace {

// The maker's site; only the paths below are fixed.
#define SONVEL_SITE "https://www.vexalabs.example"

void AddKey(CXml& xml, XmlNode* parent, const char* name, const char* text) {
    CXml::AppendChild(parent, xml.CreateNode(name, text));
}

void AddIntKey(CXml& xml, XmlNode* parent, const char* name, int value) {
    char text[16];
    std::snprintf(text, sizeof text, "%d", value);
    AddKey(xml, parent, name, text);
}

} // namespace

const char* CAppParameter::GetTitle(int language) {
    return language == 1 ? "Sonvel！- サウンドレコーダー" : "Sonvel! - Sound Recorder";
}

int CAppParameter::GetMenuResource(int language) {
    return GetResource(language == 1 ? 10013 : 10014);
}

const char* CAppParameter::GetHelpUrl(int language) {
    return language == 1 ? SONVEL_SITE "/soft/sonvel/help" : SONVEL_SITE "/en/sonvel/help";
}

const char* CAppParameter::GetProductUrl(int language) {
    return language == 1 ? SONVEL_SITE "/soft/sonvel" : SONVEL_SITE "/en/sonvel";
}

int CAppParameter::GetResource(int id) {
    if (id >= 10011 && id <= 10016) return id;
    if (id >= 20002 && id <= 20010) return id;
    return 0;
}

std::string CAppParameter::RecordFolder() const {
    if (!m_WavePath.IsEmpty()) return m_WavePath.Str();
    if (plat::IsWritableDirectory(m_CurrentPath.Str())) return m_CurrentPath.Str();
    std::string music = plat::UserMusicDirectory();
    return music.empty() ? m_CurrentPath.Str() : music;
}

int CAppParameter::Initialise() {
    m_MainWindowClass = "SONVEL MAIN WINDOW";
    m_ChildWindowClass = "SONVEL CHILD WINDOW";
    m_ControlItemWindowClass = "SONVEL CONTROL ITEM WINDOW";
    m_MdiClientWindowClass = "SONVEL MDI CLIENT WINDOW";
    LocateFiles();
    return 1;
}

int CAppParameter::InitialiseAndLoad() {
    Initialise();
    return Load();
}

void CAppParameter::ReadKeys(CXml& xml, const XmlNode* top) {
    CCommConfig::ReadKeys(xml, top);
    const XmlNode* config = CXml::FindNode(top, "config");
    if (!config) return;
    auto integer = [&](const char* name, int missing, int32_t& field) {
        field = ReadInt(xml, config, name, missing, field);
    };
    auto text = [&](const char* name, CString& field) { field = ReadText(config, name, CString(), field); };

    integer("driver_type", 0, m_DriverType);
    text("wave_path", m_WavePath);
    text("cap_device_name", m_CapDeviceName);
    text("cap_device_id", m_CapDeviceId);
    text("mon_device_name", m_MonDeviceName);
    text("mon_device_id", m_MonDeviceId);
    integer("loopback", 0, m_Loopback);
    integer("wav_max_size", 100, m_WavMaxSize);
    integer("play_delay", 0, m_PlayDelay);
    integer("boost_on", 0, m_BoostOn);
    integer("boost_level", 0, m_BoostLevel);
    integer("latency", 50, m_Latency);
    integer("frequency", 48000, m_Frequency);
    integer("in_channels", 2, m_InChannels);
    integer("out_channels", 2, m_OutChannels);
    integer("data_bits", 16, m_DataBits);
    integer("capture", 0, m_Capture);
    integer("monitor", 0, m_Monitor);
    integer("voice_cancel", 0, m_VoiceCancel);
    integer("auto_recfile_name", 0, m_AutoRecFileName);
    integer("rec_file_channel", 0, m_RecFileChannel);
    integer("play_file_mode", 1, m_PlayFileMode);
    integer("enable_effect", 0, m_EnableEffect);
    integer("enable_voice_cancel", 0, m_EnableVoiceCancel);

    if (static_cast<uint32_t>(m_DriverType) > 1) m_DriverType = 0;
    m_Loopback = m_Loopback != 0;
    m_BoostOn = m_BoostOn != 0;
    m_EnableEffect = m_EnableEffect != 0;
    m_EnableVoiceCancel = m_EnableVoiceCancel != 0;
    if (!m_EnableVoiceCancel) m_VoiceCancel = 0;
}

void CAppParameter::WriteKeys(CXml& xml, XmlNode* root) {
    CCommConfig::WriteKeys(xml, root);
    XmlNode* config = CXml::FindChild(root, "config");
    if (!config) return;
    auto flag = [](int v) { return v != 0 ? 1 : 0; };
    AddIntKey(xml, config, "driver_type", m_DriverType);
    AddKey(xml, config, "wave_path", m_WavePath.c_str());
    AddKey(xml, config, "cap_device_name", m_CapDeviceName.c_str());
    AddKey(xml, config, "cap_device_id", m_CapDeviceId.c_str());
    AddKey(xml, config, "mon_device_name", m_MonDeviceName.c_str());
    AddKey(xml, config, "mon_device_id", m_MonDeviceId.c_str());
    AddIntKey(xml, config, "loopback", flag(m_Loopback));
    AddIntKey(xml, config, "wav_max_size", m_WavMaxSize);
    AddIntKey(xml, config, "play_delay", m_PlayDelay);
    AddIntKey(xml, config, "boost_on", flag(m_BoostOn));
    AddIntKey(xml, config, "boost_level", m_BoostLevel);
    AddIntKey(xml, config, "latency", m_Latency);
    AddIntKey(xml, config, "frequency", m_Frequency);
    AddIntKey(xml, config, "in_channels", m_InChannels);
    AddIntKey(xml, config, "out_channels", m_OutChannels);
    AddIntKey(xml, config, "data_bits", m_DataBits);
    AddIntKey(xml, config, "capture", flag(m_Capture));
    AddIntKey(xml, config, "monitor", flag(m_Monitor));
    AddIntKey(xml, config, "voice_cancel", flag(m_VoiceCancel));
    AddIntKey(xml, config, "auto_recfile_name", flag(m_AutoRecFileName));
    AddIntKey(xml, config, "rec_file_channel", m_RecFileChannel);
    AddIntKey(xml, config, "play_file_mode", m_PlayFileMode);
    if (m_EnableEffect) AddKey(xml, config, "enable_effect", "1");
    if (m_EnableVoiceCancel) AddKey(xml, config, "enable_voice_cancel", "1");
}
