// The recorder's settings: the one settings singleton of the process. Adds the
// recorder's keys to the `config` element and supplies the program's identity.
// The engine, the main window and the settings dialogs read and change the
// fields directly on the UI thread; the dialogs call Save after a change.
#pragma once

#include "settings/CCommConfig.h"

class CAppParameter : public CCommConfig {
  public:
    CAppParameter() = default;
    ~CAppParameter() override = default;

    const char* GetVersion() override { return "1.0.4.0"; }
    const char* GetTitle(int language) override;
    int GetMenuResource(int language) override;
    const char* GetHelpUrl(int language) override;
    const char* GetProductUrl(int language) override;
    int GetResource(int id) override;
    int Initialise() override;
    int InitialiseAndLoad() override;
    void ReadKeys(CXml& xml, const XmlNode* top) override;
    void WriteKeys(CXml& xml, XmlNode* root) override;

    // Where recordings go: `wave_path`; when it is empty, the current folder,
    // unless that cannot be written (an installed copy started in its program
    // folder), then the user's music folder.
    std::string RecordFolder() const;

    // Start-up values; ReadKeys falls back to the missing-key values, which
    // differ for `latency` (50) and `rec_file_channel` (0).
    int32_t m_DriverType = 0;        // `driver_type`: 0 WASAPI, 1 MME
    CString m_WavePath;              // `wave_path`
    CString m_CapDeviceName;         // `cap_device_name`
    CString m_CapDeviceId;           // `cap_device_id`
    CString m_MonDeviceName;         // `mon_device_name`
    CString m_MonDeviceId;           // `mon_device_id`
    int32_t m_Loopback = 0;          // `loopback`: 0/1
    int32_t m_WavMaxSize = 100;      // `wav_max_size`
    int32_t m_PlayDelay = 0;         // `play_delay`, seconds
    int32_t m_BoostOn = 0;           // `boost_on`: 0/1
    int32_t m_BoostLevel = 0;        // `boost_level`
    int32_t m_Latency = 100;         // `latency`, milliseconds
    int32_t m_Frequency = 48000;     // `frequency`, Hz
    int32_t m_InChannels = 2;        // `in_channels`: 1 mono, 2 stereo, 3 left only, 4 right only
    int32_t m_OutChannels = 2;       // `out_channels`
    int32_t m_DataBits = 16;         // `data_bits`
    int32_t m_Capture = 0;           // `capture`
    int32_t m_Monitor = 0;           // `monitor`
    int32_t m_VoiceCancel = 0;       // `voice_cancel`
    int32_t m_AutoRecFileName = 0;   // `auto_recfile_name`
    int32_t m_RecFileChannel = 1;    // `rec_file_channel`: 0 follow capture, 1 mono as stereo
    int32_t m_PlayFileMode = 1;      // `play_file_mode`: 0 off, 1 as is, 2 left, 3 right
    int32_t m_EnableEffect = 0;      // `enable_effect`: 0/1
    int32_t m_EnableVoiceCancel = 0; // `enable_voice_cancel`: 0/1
};

// The settings singleton, set by the program's entry point.
extern CAppParameter* g_pAppParameter;
