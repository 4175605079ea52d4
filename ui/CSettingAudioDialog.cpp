#include "ui/CSettingAudioDialog.h"

#include "drivers/CCaptureDriver.h"
#include "platform/Platform.h"
#include "res/resource.h"
#include "settings/CAppParameter.h"
#include "ui/ChoiceControls.h"
#include "ui/Controls.h"
#include "uilogic/NumberRule.h"

#include <cstdio>
#include <memory>
#include <string>

namespace {

std::string NameOf(const AudioDeviceInfo& info) {
    return plat::WideToUtf8(info.szName);
}

// A driver that filled every unit leaves no terminator; the lists and the
// settings read these as C strings.
void Terminate(AudioDeviceInfo& info) {
    info.szName[255] = L'\0';
    info.szEndpointId[255] = L'\0';
}

std::string Number(int value) {
    char text[16];
    std::snprintf(text, sizeof text, "%d", value);
    return text;
}

// The device list line the user chose, or null for none (or for the one
// disabled line of a family without devices).
const AudioDeviceInfo* ChosenEntry(HWND combo, const std::vector<AudioDeviceInfo>& entries) {
    if (!IsWindowEnabled(combo)) return nullptr;
    int line = ui::ComboSelection(combo);
    if (line < 0 || line >= static_cast<int>(entries.size())) return nullptr;
    return &entries[static_cast<size_t>(line)];
}

} // namespace

CSettingAudioDialog::CSettingAudioDialog(int language, CDriverFactory* factory)
    : m_Language(language), m_pFactory(factory) {}

int CSettingAudioDialog::TemplateId() const {
    return m_Language == uilogic::LANGUAGE_JAPANESE ? IDD_SETTING_AUDIO_JA
                                                    : IDD_SETTING_AUDIO_JA + IDD_ENGLISH_OFFSET;
}

INT_PTR CSettingAudioDialog::Run(HINSTANCE instance, HWND owner) {
    return DoModal(instance, TemplateId(), owner);
}

void CSettingAudioDialog::OnInitDialog(HWND window) {
    ShowSmallAppIcon(window);
    CAppParameter* p = g_pAppParameter;
    if (!p) return;

    m_DriverChoice = uilogic::DriverChoiceOf(p->m_DriverType);
    ui::ComboFill(GetDlgItem(window, IDC_DRIVER),
                  {{"WASAPI", uilogic::DRIVER_CHOICE_WASAPI}, {"MME", uilogic::DRIVER_CHOICE_MME}},
                  m_DriverChoice);
    ui::SetItemText(window, IDC_LATENCY, Number(uilogic::ShownLatency(p->m_Latency)));

    FillDeviceLists(window);

    ui::ShowChoiceList(GetDlgItem(window, IDC_DEV_FREQ), uilogic::SampleRateList(p->m_Frequency));
    ui::ShowChoiceList(GetDlgItem(window, IDC_DEV_CHANNELS),
                       uilogic::ChannelList(p->m_InChannels, m_Language));
    ui::ShowChoiceList(GetDlgItem(window, IDC_DEV_BITS), uilogic::BitsList());

    ui::SetChecked(GetDlgItem(window, IDC_BOOST_ON), p->m_BoostOn != 0);
    ui::SetItemText(window, IDC_BOOST_LEVEL, Number(uilogic::ShownBoostLevel(p->m_BoostLevel)));
}

void CSettingAudioDialog::FillDeviceLists(HWND window) {
    m_CaptureEntries.clear();
    m_MonitorEntries.clear();
    std::vector<std::string> captureNames, renderNames;
    bool canLoopBack = false;
    if (m_pFactory) {
        std::unique_ptr<CCaptureDriver> capture(m_pFactory->CreateCapture(m_DriverChoice));
        std::unique_ptr<CRenderDriver> render(m_pFactory->CreateRender(m_DriverChoice));
        if (capture && render) {
            canLoopBack = capture->CanLoopback() == 1;
            const int c = capture->EnumDevice(0, nullptr);
            const int r = render->EnumDevice(0, nullptr);
            for (int i = 0; i < c; ++i) {
                AudioDeviceInfo info{};
                capture->EnumDevice(i, &info);
                Terminate(info);
                info.bLoopback = 0;
                m_CaptureEntries.push_back(info);
                captureNames.push_back(NameOf(info));
            }
            for (int i = 0; i < r; ++i) {
                AudioDeviceInfo info{};
                render->EnumDevice(i, &info);
                Terminate(info);
                m_MonitorEntries.push_back(info);
                renderNames.push_back(NameOf(info));
                if (canLoopBack) {
                    info.bLoopback = 1;
                    m_CaptureEntries.push_back(info);
                }
            }
        }
    }
    // The loopback entries follow every capture device in render order: the
    // line order of the capture list.
    CAppParameter* p = g_pAppParameter;
    const std::string capName = p ? p->m_CapDeviceName.Str() : std::string();
    const std::string monName = p ? p->m_MonDeviceName.Str() : std::string();
    const int loopback = p ? p->m_Loopback : 0;
    ui::ShowChoiceList(
        GetDlgItem(window, IDC_DEV_CAPTURE),
        uilogic::CaptureDeviceList(captureNames, renderNames, canLoopBack, capName, loopback, m_Language));
    ui::ShowChoiceList(GetDlgItem(window, IDC_DEV_MONITOR),
                       uilogic::MonitorDeviceList(renderNames, monName, m_Language));
}

void CSettingAudioDialog::OnCommand(HWND window, int id, int code) {
    switch (id) {
    case IDC_DRIVER:
        if (code == CBN_SELCHANGE) {
            int line = ui::ComboSelection(GetDlgItem(window, IDC_DRIVER));
            if (line >= 0 && line != m_DriverChoice) {
                m_DriverChoice = uilogic::DriverChoiceOf(line);
                FillDeviceLists(window);
            }
        }
        break;
    case IDC_BOOST_ON:
        // A plain check box: the click turns it over here, nowhere else.
        if (code == BN_CLICKED) {
            HWND box = GetDlgItem(window, IDC_BOOST_ON);
            ui::SetChecked(box, !ui::IsChecked(box));
        }
        break;
    default:
        CDialog::OnCommand(window, id, code);
        break;
    }
}

int CSettingAudioDialog::OnOK(HWND window) {
    CAppParameter* p = g_pAppParameter;
    if (!p) return 1;
    intptr_t value = 0;
    if (ui::ComboSelectedData(GetDlgItem(window, IDC_DRIVER), &value))
        p->m_DriverType = static_cast<int32_t>(value);
    p->m_Latency = uilogic::DialogNumber(ui::GetItemText(window, IDC_LATENCY));
    p->m_BoostOn = ui::IsChecked(GetDlgItem(window, IDC_BOOST_ON)) ? 1 : 0;
    p->m_BoostLevel = uilogic::DialogNumber(ui::GetItemText(window, IDC_BOOST_LEVEL));

    if (const AudioDeviceInfo* cap = ChosenEntry(GetDlgItem(window, IDC_DEV_CAPTURE), m_CaptureEntries)) {
        p->m_CapDeviceName = CString(cap->szName);
        p->m_Loopback = cap->bLoopback ? 1 : 0;
        p->m_CapDeviceId = CString(cap->szEndpointId);
    }
    if (const AudioDeviceInfo* mon = ChosenEntry(GetDlgItem(window, IDC_DEV_MONITOR), m_MonitorEntries)) {
        p->m_MonDeviceName = CString(mon->szName);
        p->m_MonDeviceId = CString(mon->szEndpointId);
    }
    if (ui::ComboSelectedData(GetDlgItem(window, IDC_DEV_FREQ), &value))
        p->m_Frequency = static_cast<int32_t>(value);
    if (ui::ComboSelectedData(GetDlgItem(window, IDC_DEV_CHANNELS), &value))
        p->m_InChannels = static_cast<int32_t>(value);
    if (ui::ComboSelectedData(GetDlgItem(window, IDC_DEV_BITS), &value))
        p->m_DataBits = static_cast<int32_t>(value);
    p->Save();
    return 1;
}
