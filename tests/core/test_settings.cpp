// CCommConfig / CAppParameter: where the settings file is found, what every key
// reads as, what Save writes, and that a damaged file or a failed write never
// costs the user what was already there.
#include "settings/CAppParameter.h"
#include "settings/CCommConfig.h"
#include "tests/core/TestUtil.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <tuple>

#ifndef _WIN32
#include <csignal>
#include <sys/resource.h>
#endif

namespace {

using testutil::ReadText;

void WriteText(const std::string& path, const std::string& text) {
    ASSERT_TRUE(testutil::WriteText(path, text)) << path;
}

std::string Doc(const std::string& body) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n" + body;
}

struct IntKey {
    const char* key;
    int32_t CAppParameter::*field;
    int startup;
    int missing;
};

const IntKey kIntKeys[] = {
    {"language", &CAppParameter::m_LanguageSetting, -1, -1},
    {"font_size", &CAppParameter::m_FontSize, 0, 0},
    {"log_enabled", &CAppParameter::m_LogEnabled, 0, 0},
    {"view_toolbar", &CAppParameter::m_ViewToolbar, 1, 1},
    {"view_statusbar", &CAppParameter::m_ViewStatusbar, 1, 1},
    {"driver_type", &CAppParameter::m_DriverType, 0, 0},
    {"loopback", &CAppParameter::m_Loopback, 0, 0},
    {"wav_max_size", &CAppParameter::m_WavMaxSize, 100, 100},
    {"play_delay", &CAppParameter::m_PlayDelay, 0, 0},
    {"boost_on", &CAppParameter::m_BoostOn, 0, 0},
    {"boost_level", &CAppParameter::m_BoostLevel, 0, 0},
    {"latency", &CAppParameter::m_Latency, 100, 50},
    {"frequency", &CAppParameter::m_Frequency, 48000, 48000},
    {"in_channels", &CAppParameter::m_InChannels, 2, 2},
    {"out_channels", &CAppParameter::m_OutChannels, 2, 2},
    {"data_bits", &CAppParameter::m_DataBits, 16, 16},
    {"capture", &CAppParameter::m_Capture, 0, 0},
    {"monitor", &CAppParameter::m_Monitor, 0, 0},
    {"voice_cancel", &CAppParameter::m_VoiceCancel, 0, 0},
    {"auto_recfile_name", &CAppParameter::m_AutoRecFileName, 0, 0},
    {"rec_file_channel", &CAppParameter::m_RecFileChannel, 1, 0},
    {"play_file_mode", &CAppParameter::m_PlayFileMode, 1, 1},
    {"enable_effect", &CAppParameter::m_EnableEffect, 0, 0},
    {"enable_voice_cancel", &CAppParameter::m_EnableVoiceCancel, 0, 0},
};

class Settings : public testing::Test {
  protected:
    void SetUp() override {
        for (const std::string& d : {m_Cur, m_App, m_User})
            ASSERT_TRUE(plat::MakeDirectories(d.c_str()));
#ifndef _WIN32
        // Keep Initialise's per-user folder out of the real home.
        if (const char* old = std::getenv("XDG_DATA_HOME")) m_OldXdg = old;
        setenv("XDG_DATA_HOME", m_Dir.File("xdg").c_str(), 1);
    }
    void TearDown() override {
        if (m_OldXdg)
            setenv("XDG_DATA_HOME", m_OldXdg->c_str(), 1);
        else
            unsetenv("XDG_DATA_HOME");
#endif
    }
    // Points the object at the scratch folders, as if started there.
    void Prepare(CAppParameter& p) {
        p.m_CurrentPath = CString(m_Cur);
        p.m_AppPath = CString(m_App);
        p.m_TempPath = p.m_LogPath = CString(m_Cur);
        p.Initialise();
        p.m_UserFolder = CString(m_User);
    }
    int Load(CAppParameter& p) {
        Prepare(p);
        return p.Load();
    }
    static std::string Ini(const std::string& dir) {
        return plat::JoinPath(dir, "sonvel.ini");
    }

    testutil::TempDir m_Dir{"settings"};
    std::string m_Cur = m_Dir.File("cur"), m_App = m_Dir.File("app"), m_User = m_Dir.File("user");
    std::optional<std::string> m_OldXdg;
};

void ExpectStartupValues(CAppParameter& p) {
    for (const IntKey& k : kIntKeys)
        EXPECT_EQ(p.*k.field, k.startup) << k.key;
    EXPECT_TRUE(p.m_WavePath.IsEmpty() && p.m_CapDeviceName.IsEmpty() && p.m_MonDeviceId.IsEmpty() &&
                p.m_FontName.IsEmpty());
    EXPECT_EQ(std::vector<uint32_t>({p.m_Colors[0].text, p.m_Colors[1].text, p.m_Colors[1].background}),
              std::vector<uint32_t>({0, 0xC8C8C8, 0xFFFFFF}));
}

// No file anywhere, or one without a config element, keeps the start-up
// values; a config element without keys gives every key its missing-key
// value, whatever was there before.
TEST_F(Settings, StartupAndMissingKeyValues) {
    const std::pair<const char*, bool> cases[] = {
        {nullptr, false}, {"<settings><latency>7</latency></settings>", false}, {"<config/>", true}};
    for (auto [body, missing] : cases) {
        SCOPED_TRACE(body ? body : "no file");
        if (body) WriteText(Ini(m_Cur), Doc(body));
        CAppParameter p;
        Prepare(p);
        for (const IntKey& k : kIntKeys)
            p.*k.field = missing ? 12345 : p.*k.field;
        EXPECT_EQ(p.Load(), body ? 1 : 0);
        EXPECT_FALSE(p.IsKeepingUnreadableFile());
        EXPECT_TRUE(body || p.m_IniFile.Str() == Ini(m_App)); // need not exist yet
        if (!missing) ExpectStartupValues(p);
        for (const IntKey& k : kIntKeys)
            EXPECT_TRUE(!missing || p.*k.field == k.missing) << k.key;
    }
#ifndef _WIN32
    // The per-user folder is made, parents too, on the way.
    EXPECT_TRUE(plat::IsDirectory((m_Dir.File("xdg") + "/Vexalabs/sonvel").c_str()));
#endif
}

TEST_F(Settings, ValuesAndFixUpsOnReading) {
    using P = CAppParameter;
    // Inside <config>, the key, the value read. Values kept as they are, and
    // the number rule, are the round trip's and CXml's.
    const std::tuple<const char*, int32_t P::*, int> cases[] = {
        {"<driver_type>2</driver_type>", &P::m_DriverType, 0},
        {"<driver_type>-1</driver_type>", &P::m_DriverType, 0},
        {"<loopback>7</loopback>", &P::m_Loopback, 1},
        {"<boost_on>-3</boost_on>", &P::m_BoostOn, 1},
        {"<enable_effect>5</enable_effect>", &P::m_EnableEffect, 1},
        {"<voice_cancel>1</voice_cancel>", &P::m_VoiceCancel, 0},
        {"<enable_voice_cancel>3</enable_voice_cancel>", &P::m_EnableVoiceCancel, 1},
        {"<latency>1</latency><latency>2</latency>", &P::m_Latency, 1}}; // the first one counts
    for (auto [body, field, expected] : cases) {
        WriteText(Ini(m_Cur), Doc(std::string("<config>") + body + "</config>"));
        CAppParameter p;
        EXPECT_EQ(Load(p), 1);
        EXPECT_EQ(p.*field, expected) << body;
    }
}

// The start-up document is written byte for byte as the program has always
// written it; every key then set reads back as it was saved.
TEST_F(Settings, SaveWritesTheDocumentAndLoadGivesBackEveryKey) {
    CAppParameter p;
    Prepare(p);
    p.m_TempPath = "C:\\tmp";
    p.m_LogPath = "C:\\log";
    std::string expected = ReadText(std::string(SONVEL_SOURCE_DIR) + "/tests/core/data/settings_default.ini");
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(p.Save(), 1);
    EXPECT_EQ(ReadText(p.m_IniFile.Str()), expected);
    EXPECT_FALSE(plat::PathExists((p.m_IniFile.Str() + ".tmp").c_str()));
    // The exit backup copies it into the per-user folder, if there is one.
    EXPECT_EQ(p.BackupSettings(), 1);
    EXPECT_EQ(ReadText(Ini(m_User)), expected);
    p.m_UserFolder = "";
    EXPECT_EQ(p.BackupSettings(), 0);

    int n = 3;
    for (const IntKey& k : kIntKeys)
        p.*k.field = n++;
    // Values a read does not keep as they are; switches are written as 1.
    p.m_DriverType = 1;
    p.m_BoostOn = p.m_Monitor = p.m_VoiceCancel = p.m_AutoRecFileName = p.m_EnableVoiceCancel = 1;
    p.m_Loopback = 7;
    p.m_Capture = -2;
    p.m_EnableEffect = 4;
    const std::pair<CString CAppParameter::*, const char*> strings[] = {
        {&CAppParameter::m_WavePath, "C:\\録音\\テスト 😀"},
        {&CAppParameter::m_CapDeviceName, "Mic <USB> & \"Line\" 'In'"},
        {&CAppParameter::m_CapDeviceId, "{0.0.1.00000000}.{abc}"},
        {&CAppParameter::m_MonDeviceName, "Lautsprecher (Realtek® Audio)"},
        {&CAppParameter::m_MonDeviceId, "{0.0.0.00000000}.{def}"},
        {&CAppParameter::m_FontName, "ＭＳ ゴシック"},
        {&CAppParameter::m_TempPath, "/tmp/sonvel"},
        {&CAppParameter::m_LogPath, "D:\\logs"},
    };
    for (auto [field, value] : strings)
        p.*field = value;
    p.m_Colors[0] = {0x123456, 0x654321};
    p.m_Colors[1] = {0, 0xFFFFFF};
    ASSERT_EQ(p.Save(), 1);
    const std::string doc = ReadText(p.m_IniFile.Str());
    for (const char* line :
         {"<loopback>1</loopback>\r\n", "<capture>1</capture>\r\n",
          "<enable_effect>1</enable_effect>\r\n<enable_voice_cancel>1</enable_voice_cancel>\r\n"
          "</config>\r\n"})
        EXPECT_NE(doc.find(line), std::string::npos) << line;
    p.m_Loopback = p.m_Capture = p.m_EnableEffect = 1;

    CAppParameter q;
    ASSERT_EQ(Load(q), 1);
    for (const IntKey& k : kIntKeys)
        EXPECT_EQ(q.*k.field, p.*k.field) << k.key;
    for (auto [field, value] : strings)
        EXPECT_EQ((q.*field).Str(), value);
    EXPECT_EQ(std::vector<uint32_t>({q.m_Colors[0].text, q.m_Colors[0].background, q.m_Colors[1].text}),
              std::vector<uint32_t>({0x123456, 0x654321, 0}));
}

// A missing or unparsable settings file falls back on the per-user copy; an
// unparsable one is kept as it is until the user changes a setting, a missing
// one is restored from a good copy.
TEST_F(Settings, DamagedOrMissingFileAndThePerUserCopy) {
    const std::string garbage("\x00\x01<config>\xFF\xFE binary", 20), broken = "\x01\x02garbage";
    const std::string copy = Doc("<config><frequency>32000</frequency><wave_path>/rec</wave_path></config>");
    // The file in the current folder and the per-user copy (null: none), what Load answers, the rate read.
    const std::tuple<const std::string*, const std::string*, int, int> cases[] = {
        {&garbage, nullptr, 0, 48000},
        {&garbage, &copy, 1, 32000},
        {nullptr, &copy, 1, 32000},
        {nullptr, &broken, 0, 48000}};
    for (auto [cur, user, loaded, frequency] : cases) {
        SCOPED_TRACE(cur ? "unparsable" : "missing");
        for (const std::string& dir : {m_Cur, m_App, m_User})
            plat::RemoveFile(Ini(dir).c_str());
        if (cur) WriteText(Ini(m_Cur), *cur);
        if (user) WriteText(Ini(m_User), *user);
        CAppParameter p;
        EXPECT_EQ(Load(p), loaded);
        EXPECT_EQ(p.m_Frequency, frequency);
        EXPECT_EQ(p.IsKeepingUnreadableFile(), cur != nullptr);
        if (!cur) {
            // A good copy is written back in place of the missing file; a damaged one is not.
            EXPECT_EQ(ReadText(p.m_IniFile.Str()), loaded ? copy : "");
            EXPECT_EQ(p.m_WavePath.Str(), loaded ? "/rec" : "");
            continue;
        }
        if (!loaded) ExpectStartupValues(p);
        // The start-up save of an unchanged state and the exit backup leave it alone.
        EXPECT_EQ(p.Save(), 0);
        EXPECT_EQ(p.BackupSettings(), 0);
        EXPECT_EQ(ReadText(Ini(m_Cur)), *cur);
        EXPECT_EQ(ReadText(Ini(m_User)), user ? *user : "");
        // The user changes a setting: now the file is written.
        p.m_Frequency = 96000;
        EXPECT_EQ(p.Save(), 1);
        EXPECT_FALSE(p.IsKeepingUnreadableFile());
        CAppParameter q;
        EXPECT_EQ(Load(q), 1);
        EXPECT_EQ(q.m_Frequency, 96000);
    }
}

TEST_F(Settings, FailedSaveLeavesTheOldFile) {
    const std::string old = Doc("<config><frequency>44100</frequency></config>");
    const std::string tmp = Ini(m_Cur) + ".tmp";
    WriteText(Ini(m_Cur), old);
    CAppParameter p;
    ASSERT_EQ(Load(p), 1);
    p.m_Frequency = 8000;
    // The temporary file cannot be made.
    ASSERT_TRUE(plat::MakeDirectories(tmp.c_str()));
    EXPECT_EQ(p.Save(), 0);
    EXPECT_EQ(ReadText(Ini(m_Cur)), old);
#ifndef _WIN32
    // A file-size limit makes the write come up short, as a full disk would.
    ASSERT_TRUE(std::filesystem::remove(tmp));
    p.m_WavePath = CString(std::string(4000, 'x'));
    struct rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    void (*oldHandler)(int) = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = {1024, saved.rlim_max};
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    int result = p.Save();
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(ReadText(Ini(m_Cur)), old);
    EXPECT_FALSE(plat::PathExists(tmp.c_str()));
#endif
}

TEST_F(Settings, DamagedFileKeepsWhatItDoesNotValidlySet) {
    // Cut off in the middle of <monitor>: the keys before it count, the rest
    // keep their values instead of taking the missing-key values. A colour
    // without an index, or out of range, is skipped; a value left out keeps its default.
    WriteText(Ini(m_Cur), Doc("<config><colors>"
                              "<color><index>5</index><text>1</text><background>1</background></color>"
                              "<color><text>2</text></color>"
                              "<color><index>1</index><background>255</background></color>"
                              "<color><index>0</index><text>65280</text><background>12</background></color>"
                              "</colors><frequency>44100</frequency><latency>20</latency>"
                              "<wave_path>C:\\x</wave_path><monitor>0"));
    CAppParameter p;
    Prepare(p);
    p.m_Monitor = 1;
    EXPECT_EQ(p.Load(), 1);
    EXPECT_EQ(
        std::vector<int>({p.m_Frequency, p.m_Latency, p.m_Monitor, p.m_RecFileChannel, p.m_LanguageSetting}),
        std::vector<int>({44100, 20, 1, 1, -1}));
    EXPECT_EQ(p.m_WavePath.Str(), "C:\\x");
    EXPECT_EQ(std::vector<uint32_t>({p.m_Colors[0].text, p.m_Colors[0].background, p.m_Colors[1].text,
                                     p.m_Colors[1].background}),
              std::vector<uint32_t>({65280, 12, 0xC8C8C8, 255}));
    EXPECT_FALSE(p.IsKeepingUnreadableFile());
    EXPECT_TRUE(p.WasReadInPart()); // the user is told
    // A whole file read after it clears the notice.
    WriteText(Ini(m_Cur), Doc("<config><frequency>44100</frequency></config>"));
    EXPECT_EQ(p.Load(), 1);
    EXPECT_FALSE(p.WasReadInPart());
}

// A file in the current folder wins; else a portable copy (program folder
// writable) keeps it beside the program, an installed one in the per-user
// folder, when one is known.
TEST(SettingsPlace, CurrentFolderThenProgramFolderThenPerUserFolder) {
    static std::set<std::string> readable, writable;
    auto ini = [](const char* dir) { return plat::JoinPath(dir, "sonvel.ini"); };
    const std::tuple<bool, bool, const char*, std::string, bool> cases[] = {
        {true, false, "user", ini("cur"), false},
        {false, true, "user", ini("app"), false},
        {false, false, "user", ini("user"), true},
        {false, false, "", ini("app"), false}};
    for (const auto& [iniInCurrent, appWritable, userFolder, expected, perUser] : cases) {
        readable = iniInCurrent ? std::set<std::string>{ini("cur")} : std::set<std::string>{};
        writable = appWritable ? std::set<std::string>{"app"} : std::set<std::string>{};
        CCommConfig::SettingsPlace place = CCommConfig::ChooseSettingsFile(
            "cur", "app", userFolder, "sonvel.ini",
            [](const std::string& f) { return readable.count(f) > 0; },
            [](const std::string& d) { return writable.count(d) > 0; });
        EXPECT_EQ(place.file, expected);
        EXPECT_EQ(place.perUser, perUser) << expected;
    }
}

TEST(SettingsPlace, RecordFolderIsTheSettingOrTheWritableCurrentFolder) {
    CAppParameter p;
    p.m_WavePath = "C:\\takes";
    EXPECT_EQ(p.RecordFolder(), "C:\\takes");
    p.m_WavePath = "";
    // The test runs in a folder it can write: an empty setting means that folder.
    ASSERT_TRUE(plat::IsWritableDirectory(p.m_CurrentPath.Str()));
    EXPECT_EQ(p.RecordFolder(), p.m_CurrentPath.Str());
}

} // namespace
