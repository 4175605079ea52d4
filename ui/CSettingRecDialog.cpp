#include "ui/CSettingRecDialog.h"

#include "platform/Platform.h"
#include "res/resource.h"
#include "settings/CAppParameter.h"
#include "ui/ChoiceControls.h"
#include "ui/Controls.h"
#include "uilogic/RecDialogRules.h"

#include <shlobj.h>

namespace {

// Typing stops where the file functions stop taking a folder name.
constexpr int FOLDER_TEXT_LIMIT = MAX_PATH - 1;

// Opens the browser on the folder the edit names, so a user who only wants a
// neighbouring folder does not start again from the top.
int CALLBACK BrowseCallback(HWND browser, UINT message, LPARAM, LPARAM start) {
    if (message == BFFM_INITIALIZED && start) SendMessageW(browser, BFFM_SETSELECTIONW, TRUE, start);
    return 0;
}

} // namespace

CSettingRecDialog::CSettingRecDialog(int language) : m_Language(language) {}

int CSettingRecDialog::TemplateId() const {
    return m_Language == uilogic::LANGUAGE_JAPANESE ? IDD_SETTING_REC_JA
                                                    : IDD_SETTING_REC_JA + IDD_ENGLISH_OFFSET;
}

INT_PTR CSettingRecDialog::Run(HINSTANCE instance, HWND owner) {
    return DoModal(instance, TemplateId(), owner);
}

void CSettingRecDialog::OnInitDialog(HWND window) {
    ShowSmallAppIcon(window);
    SendDlgItemMessageW(window, IDC_SAVE_FOLDER, EM_LIMITTEXT, FOLDER_TEXT_LIMIT, 0);
    CAppParameter* p = g_pAppParameter;
    if (!p) return;
    ui::SetItemText(window, IDC_SAVE_FOLDER, p->m_WavePath.Str());
    ui::ShowChoiceList(GetDlgItem(window, IDC_REC_CHANNEL),
                       uilogic::RecChannelList(p->m_RecFileChannel, m_Language));
    ui::ShowChoiceList(GetDlgItem(window, IDC_PLAY_MODE),
                       uilogic::PlayFileList(p->m_PlayFileMode, m_Language));
    ui::SetChecked(GetDlgItem(window, IDC_USE_EFFECT), p->m_EnableEffect != 0);
    ui::SetChecked(GetDlgItem(window, IDC_USE_VOICE_CANCEL), p->m_EnableVoiceCancel != 0);
}

void CSettingRecDialog::OnCommand(HWND window, int id, int code) {
    if (id == IDC_SAVE_BROWSE && code == BN_CLICKED) {
        std::string folder = ui::GetItemText(window, IDC_SAVE_FOLDER);
        if (BrowseForFolder(window, &folder)) ui::SetItemText(window, IDC_SAVE_FOLDER, folder);
        return;
    }
    CDialog::OnCommand(window, id, code);
}

int CSettingRecDialog::OnOK(HWND window) {
    CAppParameter* p = g_pAppParameter;
    if (!p) return 1;
    // Refused before anything is stored: a recording started later would only
    // fail then, far from the place where the folder was typed.
    const std::string folder = ui::GetItemText(window, IDC_SAVE_FOLDER);
    const std::string message =
        uilogic::RecordFolderMessage(uilogic::CheckRecordFolder(folder), folder, m_Language);
    if (!message.empty()) {
        ShowMessage(window, message, MB_OK | MB_ICONWARNING);
        HWND edit = GetDlgItem(window, IDC_SAVE_FOLDER);
        SetFocus(edit);
        SendMessageW(edit, EM_SETSEL, 0, -1);
        return 0;
    }
    p->m_WavePath = CString(folder);
    intptr_t value = 0;
    if (ui::ComboSelectedData(GetDlgItem(window, IDC_REC_CHANNEL), &value))
        p->m_RecFileChannel = static_cast<int32_t>(value);
    if (ui::ComboSelectedData(GetDlgItem(window, IDC_PLAY_MODE), &value))
        p->m_PlayFileMode = static_cast<int32_t>(value);
    p->m_EnableEffect = ui::IsChecked(GetDlgItem(window, IDC_USE_EFFECT)) ? 1 : 0;
    p->m_EnableVoiceCancel = ui::IsChecked(GetDlgItem(window, IDC_USE_VOICE_CANCEL)) ? 1 : 0;
    // With its button hidden nobody could turn the stage off again; loading
    // the settings file applies the same rule.
    if (!p->m_EnableVoiceCancel) p->m_VoiceCancel = 0;
    p->Save();
    return 1;
}

bool CSettingRecDialog::BrowseForFolder(HWND owner, std::string* folder) {
    if (!folder) return false;
    const std::wstring start = plat::Utf8ToWide(*folder);
    BROWSEINFOW info{};
    info.hwndOwner = owner;
    info.pidlRoot = nullptr; // the top of the namespace
    info.lpszTitle = L"Wav";
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    info.lpfn = BrowseCallback;
    info.lParam = start.empty() ? 0 : reinterpret_cast<LPARAM>(start.c_str());
    PIDLIST_ABSOLUTE picked = SHBrowseForFolderW(&info);
    if (!picked) return false;
    wchar_t path[MAX_PATH] = {};
    const bool ok = SHGetPathFromIDListW(picked, path) != FALSE;
    CoTaskMemFree(picked);
    if (!ok) return false;
    *folder = plat::WideToUtf8(path);
    return true;
}

int CSettingRecDialog::ShowMessage(HWND owner, const std::string& text, UINT type) {
    // The dialog's own caption is already in the language in use.
    const std::wstring caption = plat::Utf8ToWide(ui::GetText(owner));
    return MessageBoxW(owner, plat::Utf8ToWide(text).c_str(), caption.c_str(), type);
}
