// The main window in-process on the real engine: the MME drivers on the test
// bed's null sinks, the test driver pair where a failure must be forced. Every
// case runs in both languages.
#include "drivers/CWinDriverFactory.h"
#include "drivers/test/CTestDrivers.h"
#include "effects/CEffectManager.h"
#include "engine/RecorderHelpers.h"
#include "tests/win/MainWindowRig.h"
#include "tests/win/WinTestUtil.h"
#include "uilogic/MainWindowTexts.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

using namespace mainwin;

namespace {

const char* Pick(int language, const char* ja, const char* en) {
    return language == 1 ? ja : en;
}

class MainWindow : public ::testing::TestWithParam<int> {
  protected:
    void SetUp() override {
        dir = std::make_unique<ScratchDir>(::testing::UnitTest::GetInstance()->current_test_info()->name());
        settings = std::make_unique<TestSettings>(*dir, GetParam());
    }
    void TearDown() override {
        if (app) {
            if (app->GetWindow()) app->CanClose(1);
            app.reset();
        }
        delete g_pEffectManager;
        g_pEffectManager = nullptr;
        settings.reset();
        dir.reset();
    }
    // Builds the application on `factory` and opens its main window modeless.
    HWND Open(CDriverFactory* factory) {
        app = std::make_unique<TestApp>(factory);
        app->DisableInstanceSearch();
        if (!app->InitInstance(GetModuleHandleW(nullptr))) return nullptr;
        w = app->Create(GetModuleHandleW(nullptr), nullptr);
        return w;
    }
    int Language() const { return GetParam(); }

    std::unique_ptr<ScratchDir> dir;
    std::unique_ptr<TestSettings> settings;
    CWinDriverFactory winFactory;
    CTestDriverFactory testFactory;
    std::unique_ptr<TestApp> app;
    HWND w = nullptr;
    wintest::SinkLock sinks;
};

INSTANTIATE_TEST_SUITE_P(Languages, MainWindow, ::testing::Values(1, 0),
                         [](const auto& info) { return info.param == 1 ? "Japanese" : "English"; });

TEST_P(MainWindow, OpensWithItsTemplateAndStartState) {
    ASSERT_NE(Open(&winFactory), nullptr);
    wchar_t caption[64] = {};
    GetWindowTextW(w, caption, 64);
    EXPECT_EQ(plat::WideToUtf8(caption),
              Pick(Language(), "Sonvel！- サウンドレコーダー", "Sonvel! - Sound Recorder"));
    wchar_t cls[64] = {};
    GetClassNameW(w, cls, 64);
    EXPECT_STREQ(cls, L"SONVEL MAIN WINDOW");
    EXPECT_FALSE(Checked(w, IDC_MIC));
    EXPECT_FALSE(Checked(w, IDC_SPK));
    EXPECT_EQ(app->m_Audio.m_bMonitor, 0);
    EXPECT_EQ(Text(w, IDC_CAP_FREQ), "48000 (Hz)");
    EXPECT_EQ(Text(w, IDC_CAP_CHANNELS), "2ch");
    EXPECT_FALSE(Text(w, IDC_CAP_DEVICE).empty());
    EXPECT_FALSE(Text(w, IDC_MON_DEVICE).empty());
    EXPECT_EQ(Text(w, IDC_REC_FOLDER), dir->Path());
    EXPECT_EQ(Text(w, IDC_PLAY_DELAY), "0");
    EXPECT_EQ(ui::TrackbarMin(GetDlgItem(w, IDC_PLAY_GAIN)), 1);
    EXPECT_EQ(ui::TrackbarMax(GetDlgItem(w, IDC_PLAY_GAIN)), 16);
    EXPECT_EQ(ui::TrackbarPos(GetDlgItem(w, IDC_PLAY_GAIN)), 8);
}

} // namespace
