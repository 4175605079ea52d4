#include "ui/ChoiceControls.h"

#include "res/resource.h"
#include "settings/CAppParameter.h"
#include "ui/Controls.h"

namespace ui {

void ShowChoiceList(HWND combo, const uilogic::ChoiceList& list) {
    std::vector<ListLine> lines;
    lines.reserve(list.lines.size());
    for (const uilogic::ListLine& line : list.lines)
        lines.push_back({line.text, line.value});
    int shown = list.selection;
    if (!list.enabled && !lines.empty()) shown = 0;
    ComboFill(combo, lines, shown);
    if (combo) EnableWindow(combo, list.enabled ? TRUE : FALSE);
}

HICON SetSmallAppIcon(HWND dialog) {
    int id = g_pAppParameter ? g_pAppParameter->GetResource(IDI_APP) : IDI_APP;
    if (!dialog || id == 0) return nullptr;
    auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(dialog, GWLP_HINSTANCE));
    auto icon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(id), IMAGE_ICON, 16, 16, 0));
    if (icon) SendMessageW(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    return icon;
}

} // namespace ui
