// Any bytes as the settings file: Load must keep going, and whatever values it
// ends with must survive a Save and a Load unchanged.
#include "platform/Platform.h"
#include "settings/CAppParameter.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <unistd.h>

namespace {

// Made once per process and removed at exit; never destroyed before that.
const std::string& ScratchFolder() {
    static const std::string* folder = [] {
        auto* pattern = new std::string(plat::TempDirectory() + "/sonvel-fuzz-settings-XXXXXX");
        if (!mkdtemp(pattern->data())) std::abort();
        setenv("XDG_DATA_HOME", pattern->c_str(), 1); // keep the per-user folder in here
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(ScratchFolder(), ec);
        });
        return pattern;
    }();
    return *folder;
}

void Prepare(CAppParameter& p, const std::string& folder) {
    p.m_CurrentPath = CString(folder);
    p.m_AppPath = CString(folder);
    p.m_TempPath = CString(folder);
    p.m_LogPath = CString(folder);
    p.Initialise();
    p.m_UserFolder = ""; // no per-user copy to fall back on
}

bool WriteFile(const std::string& path, const void* data, size_t size) {
    plat::FileHandle h = plat::FileCreate(path.c_str(), true);
    if (!h) return false;
    bool ok = plat::FileWrite(h, data, static_cast<uint32_t>(size)) == static_cast<int64_t>(size);
    plat::FileClose(h);
    return ok;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1 << 20) return 0;
    std::string folder = ScratchFolder();
    std::string ini = plat::JoinPath(folder, "sonvel.ini");
    if (!WriteFile(ini, data, size)) std::abort();

    CAppParameter first;
    Prepare(first, folder);
    first.Load();
    std::string document = first.BuildDocument();
    if (document.empty()) std::abort();
    first.m_Frequency ^= 1; // a change, so that even a kept unreadable file is replaced
    if (!first.Save()) std::abort();
    first.m_Frequency ^= 1;
    if (!first.Save()) std::abort();

    CAppParameter second;
    Prepare(second, folder);
    if (second.Load() != 1) std::abort();
    if (second.BuildDocument() != document) std::abort();
    return 0;
}
