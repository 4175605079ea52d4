// Where the settings file lives: a portable copy keeps it beside itself, an
// installed copy in a protected folder keeps it in the per-user folder.
#include "settings/CAppParameter.h"
#include "settings/CCommConfig.h"

#include "platform/Platform.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

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
    struct Case {
        const char* what;
        bool iniInCurrent;
        bool appWritable;
        const char* userFolder;
        std::string expected;
        bool perUser;
    } cases[] = {
        {"a file in the current folder wins", true, false, "user", J("cur"), false},
        {"portable copy: beside the program", false, true, "user", J("app"), false},
        {"installed copy: per-user folder", false, false, "user", J("user"), true},
        {"no per-user folder known: beside the program", false, false, "", J("app"), false},
    };
    for (const Case& c : cases) {
        g_Readable.clear();
        g_Writable.clear();
        if (c.iniInCurrent) g_Readable.insert(J("cur"));
        if (c.appWritable) g_Writable.insert("app");
        CCommConfig::SettingsPlace place =
            CCommConfig::ChooseSettingsFile("cur", "app", c.userFolder, "sonvel.ini", Readable, Writable);
        EXPECT_EQ(place.file, c.expected) << c.what;
        EXPECT_EQ(place.perUser, c.perUser) << c.what;
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
