// The frame's dialogs from the shipped templates, in both languages.
#include "app/CAboutDialog.h"
#include "app/CChooseLanguageDialog.h"
#include "res/resource.h"
#include "settings/CAppParameter.h"
#include "ui/Controls.h"

#include <gtest/gtest.h>

namespace {

HINSTANCE Module() {
    return GetModuleHandleW(nullptr);
}

TEST(FrameDialogs, AboutShowsTheVersionOfTheSettingsInBothLanguages) {
    CAppParameter params;
    CAppParameter* old = g_pAppParameter;
    g_pAppParameter = &params;
    for (int templateId : {IDD_ABOUT_JA, IDD_ABOUT_JA + IDD_ENGLISH_OFFSET}) {
        CAboutDialog about;
        HWND w = about.Create(Module(), templateId, nullptr);
        ASSERT_NE(w, nullptr) << templateId;
        EXPECT_EQ(ui::GetItemText(w, IDC_ABOUT_VERSION), "Version 1.0.4.0");
        EXPECT_EQ(ui::GetItemText(w, IDC_ABOUT_EDITION), "64bit edition");
        SendMessageW(w, WM_COMMAND, IDOK, 0); // modeless: OK destroys it
        EXPECT_FALSE(IsWindow(w));
        EXPECT_EQ(about.GetWindow(), nullptr);
    }
    g_pAppParameter = old;
}

TEST(FrameDialogs, LanguageChooserListsPreselectsAndTakesTheChoice) {
    struct Case {
        int language, preselected;
        const char* first;
        const char* second;
        int pick; // line chosen before the button, -1: none
        bool ok;
        int expected;
    } cases[] = {
        {1, 1, "英語", "日本語", 0, true, 0},
        {0, 0, "English", "Japanese", 1, true, 1},
        {0, 1, "English", "Japanese", 0, false, 1}, // cancel keeps the preselection
        {1, 7, "英語", "日本語", -1, true, 0},      // an invalid preselection shows English
    };
    for (const Case& c : cases) {
        CChooseLanguageDialog dialog(c.language, c.preselected);
        HWND w = dialog.Create(
            Module(), c.language == 1 ? IDD_LANGUAGE_JA : IDD_LANGUAGE_JA + IDD_ENGLISH_OFFSET, nullptr);
        ASSERT_NE(w, nullptr);
        HWND list = GetDlgItem(w, IDC_LANGUAGE_LIST);
        ASSERT_EQ(ui::ComboCount(list), 2);
        EXPECT_EQ(ui::ComboLineText(list, 0), c.first);
        EXPECT_EQ(ui::ComboLineText(list, 1), c.second);
        EXPECT_EQ(ui::ComboSelection(list), c.preselected == 1 ? 1 : 0);
        if (c.pick >= 0) ui::ComboSelect(list, c.pick);
        SendMessageW(w, WM_COMMAND, c.ok ? IDOK : IDCANCEL, 0);
        EXPECT_EQ(dialog.GetSelected(), c.expected) << c.language << " " << c.pick;
    }
}

TEST(FrameDialogs, FirstStartGuessFollowsTheUserLanguageOnly) {
    EXPECT_EQ(CChooseLanguageDialog::GuessLanguage(1041), 1);
    EXPECT_EQ(CChooseLanguageDialog::GuessLanguage(1033), 0);
    EXPECT_EQ(CChooseLanguageDialog::GuessLanguage(2052), 0);
}

} // namespace
