#include "ui/CEffectSettingDialog.h"

#include "effects/CEffectManager.h"
#include "engine/AudioMessages.h"
#include "res/resource.h"
#include "ui/CEffectSelectDialog.h"
#include "ui/Controls.h"
#include "uilogic/EffectEditorRules.h"

#include <commctrl.h>

namespace {

// Shown while no entry is current (the template's own texts).
constexpr char NO_ENTRY_NAME[] = "Effector Name";

int SettingTemplate(int language) {
    return language == 1 ? IDD_EFFECT_SETTING_JA : IDD_EFFECT_SETTING_JA + IDD_ENGLISH_OFFSET;
}

} // namespace

CEffectSettingDialog::CEffectSettingDialog() = default;
CEffectSettingDialog::~CEffectSettingDialog() = default;

HWND CEffectSettingDialog::Show(HINSTANCE instance) {
    m_hInstance = instance;
    if (!m_hWnd && !Create(instance, SettingTemplate(m_Language), m_hOwner)) return nullptr;
    ShowWindow(m_hWnd, SW_SHOW);
    return m_hWnd;
}

void CEffectSettingDialog::Hide() {
    if (m_hWnd) ShowWindow(m_hWnd, SW_HIDE);
}

int CEffectSettingDialog::SaveEffectList() {
    return m_Entries.SaveEffectList(m_ChainPath);
}

// ---------------------------------------------------------------- messages

INT_PTR CEffectSettingDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_HSCROLL: {
        const int id = GetDlgCtrlID(reinterpret_cast<HWND>(lParam));
        if (id >= IDC_EFFECT_SLIDER0 && id < IDC_EFFECT_SLIDER0 + EFFECT_GROUPS)
            OnSlider(id - IDC_EFFECT_SLIDER0);
        return 1;
    }
    case WM_CLOSE:
        // Alt+F4 closes the editor like its Close button.
        Close();
        return 1;
    default:
        return CDialog::DialogProc(window, message, wParam, lParam);
    }
}

void CEffectSettingDialog::OnInitDialog(HWND window) {
    RemoveMenu(GetSystemMenu(window, FALSE), SC_CLOSE, MF_BYCOMMAND);
    if (!m_bLoaded) {
        m_Entries.LoadEffectList(m_ChainPath);
        m_bLoaded = true;
    }
    CEffectManager* manager = g_pEffectManager;
    if (!m_bChainBuilt && manager) {
        for (int pos = 0; pos < CEffectList::MAX_ITEMS; ++pos) {
            const EffectItem* e = m_Entries.GetItem(pos);
            if (!e) continue;
            int32_t values[EFFECT_MAX_VALUES];
            uilogic::EffectShownValues(*e, values);
            const int32_t used = manager->AddEffect(e->type, values, m_SampleRate, pos);
            if (used >= 0) manager->SetEffectEnable(used, e->enabled);
        }
        m_bChainBuilt = true;
    }
    FillList();
    m_pCurrent = nullptr;
    if (RowCount() > 0) {
        SelectRow(0);
        m_pCurrent = m_Entries.GetItem(0);
    }
    ShowItem(m_pCurrent);
    UpdateButtons();
}

void CEffectSettingDialog::OnCommand(HWND, int id, int code) {
    switch (id) {
    case IDC_EFFECT_LIST:
        if (code == LBN_SELCHANGE) {
            const int sel = Selection();
            if (sel >= 0 && sel < RowCount()) {
                m_pCurrent = m_Entries.GetItem(sel);
                ShowItem(m_pCurrent);
            }
            UpdateButtons();
        }
        break;
    case IDC_EFFECT_UP:
        MoveItem(-1);
        break;
    case IDC_EFFECT_DOWN:
        MoveItem(1);
        break;
    case IDC_EFFECT_ADD:
        AddItem();
        break;
    case IDC_EFFECT_DEL:
        DeleteItem();
        break;
    case IDC_EFFECT_ONOFF:
        ToggleItem();
        break;
    case IDC_EFFECT_CLOSE:
        Close();
        break;
    default:
        break; // IDOK and IDCANCEL included: Enter and Escape do nothing
    }
}

// ---------------------------------------------------------------- commands

int32_t CEffectSettingDialog::ChooseType() {
    CEffectSelectDialog chooser;
    chooser.DoModal(m_hInstance ? m_hInstance : GetModuleHandleW(nullptr),
                    CEffectSelectDialog::TemplateFor(m_Language), m_hWnd);
    return chooser.GetType();
}

void CEffectSettingDialog::AddItem() {
    const int count = RowCount();
    if (uilogic::EffectAddRow(Selection(), count) < 0) return;
    const int32_t type = ChooseType();
    if (!m_hWnd || !GetEffectTypeInfo(type)) return;
    // The chooser was modal; read the selection again in case it changed.
    const int row = uilogic::EffectAddRow(Selection(), RowCount());
    if (row < 0) return;
    EffectItem* item = m_Entries.InsertItem(row, type);
    if (!item) return;
    SendMessageW(Item(IDC_EFFECT_LIST), LB_INSERTSTRING, static_cast<WPARAM>(row),
                 reinterpret_cast<LPARAM>(item->name));
    SelectRow(row);
    m_pCurrent = item;
    ShowItem(item);
    UpdateButtons();
    if (CEffectManager* manager = g_pEffectManager) manager->AddEffect(type, item->value, m_SampleRate, row);
}

void CEffectSettingDialog::DeleteItem() {
    const int sel = Selection();
    if (sel < 0 || sel >= RowCount()) return;
    if (CEffectManager* manager = g_pEffectManager) manager->RemoveEffect(sel);
    SendMessageW(Item(IDC_EFFECT_LIST), LB_DELETESTRING, static_cast<WPARAM>(sel), 0);
    m_Entries.RemoveItem(sel);
    const int next = uilogic::EffectRowAfterDelete(sel, RowCount());
    SelectRow(next);
    m_pCurrent = next >= 0 ? m_Entries.GetItem(next) : nullptr;
    ShowItem(m_pCurrent);
    UpdateButtons();
}

void CEffectSettingDialog::MoveItem(int direction) {
    const int sel = Selection();
    const int to = uilogic::EffectMoveRow(sel, RowCount(), direction);
    const EffectItem* moving = m_Entries.GetItem(sel);
    if (to < 0 || !moving) return;
    HWND list = Item(IDC_EFFECT_LIST);
    SendMessageW(list, LB_DELETESTRING, static_cast<WPARAM>(sel), 0);
    SendMessageW(list, LB_INSERTSTRING, static_cast<WPARAM>(to), reinterpret_cast<LPARAM>(moving->name));
    m_Entries.MoveItem(sel, to);
    SelectRow(to);
    UpdateButtons();
    if (CEffectManager* manager = g_pEffectManager) manager->MoveEffect(sel, to);
}

void CEffectSettingDialog::ToggleItem() {
    const int pos = CurrentPosition();
    CEffectManager* manager = g_pEffectManager;
    if (pos < 0 || !manager) return;
    const int32_t state = manager->GetEffectEnable(pos);
    if (state < 0) return;
    const int32_t on = state ? 0 : 1;
    manager->SetEffectEnable(pos, on);
    m_Entries.SetEnabled(pos, on);
    ui::SetItemText(m_hWnd, IDC_EFFECT_ONOFF, uilogic::EffectSwitchText(on));
}

void CEffectSettingDialog::OnSlider(int group) {
    HWND trackbar = Item(IDC_EFFECT_SLIDER0 + group);
    const int32_t value = ui::TrackbarPos(trackbar);
    ui::SetItemText(m_hWnd, IDC_EFFECT_VALUE0 + group, uilogic::EffectValueText(value));
    const int pos = CurrentPosition();
    if (pos < 0) return;
    uilogic::EffectTakeEdit(*m_pCurrent, group, value);
    // Marks the list as edited, so the chain file is written at exit.
    m_Entries.SetValue(pos, group, m_pCurrent->value[group]);
    if (CEffectManager* manager = g_pEffectManager)
        manager->SetEffectParams(pos, m_pCurrent->value, m_SampleRate);
}

void CEffectSettingDialog::Close() {
    Hide();
    if (m_hOwner) PostMessageW(m_hOwner, WM_EFFECT_CLOSE, 0, 0);
}

// ---------------------------------------------------------------- the right side

void CEffectSettingDialog::ShowItem(EffectItem* item) {
    EnableWindow(Item(IDC_EFFECT_ONOFF), item != nullptr);
    if (!item) {
        ui::SetItemText(m_hWnd, IDC_EFFECT_NAME, NO_ENTRY_NAME);
        ui::SetItemText(m_hWnd, IDC_EFFECT_ONOFF, uilogic::EffectSwitchText(1));
        ShowGroups(0);
        return;
    }
    SetWindowTextW(Item(IDC_EFFECT_NAME), item->name ? item->name : L"");
    ui::SetItemText(m_hWnd, IDC_EFFECT_ONOFF, uilogic::EffectSwitchText(item->enabled));
    ShowGroups(uilogic::EffectGroupMask(*item));
    for (int i = 0; i < EFFECT_GROUPS; ++i) {
        const uilogic::EffectGroupView view = uilogic::EffectGroupOf(*item, i);
        if (view.visible) SetGroup(i, view.label, view.min, view.max, view.value);
    }
}

void CEffectSettingDialog::ShowGroups(uint32_t mask) {
    for (int i = 0; i < EFFECT_GROUPS; ++i) {
        const int show = (mask >> i & 1u) ? SW_SHOW : SW_HIDE;
        for (int base : {IDC_EFFECT_GROUP0, IDC_EFFECT_LABEL0, IDC_EFFECT_VALUE0, IDC_EFFECT_SLIDER0})
            ShowWindow(Item(base + i), show);
    }
}

void CEffectSettingDialog::SetGroup(int group, const wchar_t* label, int32_t min, int32_t max,
                                    int32_t value) {
    SetWindowTextW(Item(IDC_EFFECT_LABEL0 + group), label ? label : L"");
    HWND trackbar = Item(IDC_EFFECT_SLIDER0 + group);
    ui::TrackbarSetRangeAndPos(trackbar, min, max, value);
    ui::SetItemText(m_hWnd, IDC_EFFECT_VALUE0 + group, uilogic::EffectValueText(value));
}

// ---------------------------------------------------------------- list helpers

void CEffectSettingDialog::FillList() {
    HWND list = Item(IDC_EFFECT_LIST);
    SendMessageW(list, LB_RESETCONTENT, 0, 0);
    for (int pos = 0; pos < CEffectList::MAX_ITEMS; ++pos)
        if (const EffectItem* e = m_Entries.GetItem(pos))
            SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(e->name ? e->name : L""));
}

void CEffectSettingDialog::SelectRow(int row) {
    SendMessageW(Item(IDC_EFFECT_LIST), LB_SETCURSEL, static_cast<WPARAM>(row), 0);
}

int CEffectSettingDialog::Selection() const {
    return ui::ListSelection(Item(IDC_EFFECT_LIST));
}

int CEffectSettingDialog::RowCount() const {
    return ui::ListCount(Item(IDC_EFFECT_LIST));
}

int CEffectSettingDialog::CurrentPosition() const {
    if (!m_pCurrent) return -1;
    for (int pos = 0; pos < CEffectList::MAX_ITEMS; ++pos)
        if (m_Entries.GetItem(pos) == m_pCurrent) return pos;
    return -1;
}

void CEffectSettingDialog::UpdateButtons() {
    const uilogic::EffectButtons b = uilogic::EffectButtonStates(Selection(), RowCount());
    EnableWindow(Item(IDC_EFFECT_ADD), b.add);
    EnableWindow(Item(IDC_EFFECT_DEL), b.del);
    EnableWindow(Item(IDC_EFFECT_UP), b.up);
    EnableWindow(Item(IDC_EFFECT_DOWN), b.down);
    // A button that just went grey (Up on reaching the top) would leave the
    // keyboard focus nowhere.
    HWND focus = GetFocus();
    if (focus && GetParent(focus) == m_hWnd && !IsWindowEnabled(focus)) SetFocus(Item(IDC_EFFECT_LIST));
}
