// Where the settings file lives: a portable copy keeps it beside itself, an
// installed copy in a protected folder keeps it in the per-user folder.
#include "settings/CAppParameter.h"
#include "settings/CCommConfig.h"

#include "platform/Platform.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <tuple>

namespace {

std::set<std::string> g_Readable, g_Writable;
bool Readable(const std::string& p) {
    return g_Readable.count(p) > 0;
}
bool Writable(const std::string& p) {
    return g_Writable.count(p) > 0;
}

std::string J(const char* dir) {
    return plat::JoinPath(dir, "sonvel.ini");
}

TEST(SettingsPlace, CurrentFolderThenProgramFolderThenPerUserFolder) {
    // A file in the current folder wins; else a portable copy (program folder
    // writable) keeps it beside the program, an installed one in the per-user
    // folder, when one is known.
    const std::tuple<bool, bool, const char*, std::string, bool> cases[] = {
        {true, false, "user", J("cur"), false},
        {false, true, "user", J("app"), false},
        {false, false, "user", J("user"), true},
        {false, false, "", J("app"), false},
    };
    for (const auto& [iniInCurrent, appWritable, userFolder, expected, perUser] : cases) {
        g_Readable.clear();
        g_Writable.clear();
        if (iniInCurrent) g_Readable.insert(J("cur"));
        if (appWritable) g_Writable.insert("app");
        CCommConfig::SettingsPlace place =
            CCommConfig::ChooseSettingsFile("cur", "app", userFolder, "sonvel.ini", Readable, Writable);
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
