// Folder checks built on the file operations, the same on every platform.
#include "platform/Platform.h"

namespace plat {

bool IsWritableDirectory(const std::string& folder) {
    if (folder.empty() || !IsDirectory(folder.c_str())) return false;
    // Access bits do not tell the whole story (read-only media, ACLs on
    // Windows, a protected program folder); creating a file does. A probe name
    // that is taken (left over from a crash) moves on to the next one rather
    // than touching that file.
    for (int n = 0; n < 10; ++n) {
        const std::string probe = JoinPath(folder, "~sonvel_probe" + std::to_string(n) + ".tmp");
        bool existed = false;
        FileHandle h = FileCreate(probe.c_str(), false, &existed);
        if (!h) {
            if (existed) continue;
            return false;
        }
        FileClose(h);
        RemoveFile(probe.c_str());
        return true;
    }
    return false;
}

} // namespace plat
