// POSIX implementation of the platform layer (the native build and its tests).
#include "platform/Platform.h"

#include <cerrno>
#include <cstdint>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <iconv.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <thread>
#include <unistd.h>

namespace plat {
namespace {
int Fd(FileHandle h) {
    return static_cast<int>(reinterpret_cast<intptr_t>(h)) - 1;
}
FileHandle Handle(int fd) {
    return reinterpret_cast<FileHandle>(static_cast<intptr_t>(fd) + 1);
}

bool Iconv(const char* from, const char* to, const char* text, size_t len, std::string& out) {
    out.clear();
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    std::string buffer(len * 4 + 16, '\0');
    char* in = const_cast<char*>(text);
    size_t inLeft = len;
    char* dst = buffer.data();
    size_t outLeft = buffer.size();
    while (inLeft > 0) {
        size_t r = iconv(cd, &in, &inLeft, &dst, &outLeft);
        if (r != static_cast<size_t>(-1)) break;
        if (errno == E2BIG) break; // cannot happen with 4x room
        // An invalid or truncated sequence: one replacement, then go on.
        const char* repl = std::strcmp(to, "UTF-8") == 0 ? "\xEF\xBF\xBD" : "?";
        size_t rl = std::strlen(repl);
        if (outLeft < rl) break;
        std::memcpy(dst, repl, rl);
        dst += rl;
        outLeft -= rl;
        ++in;
        --inLeft;
    }
    out.assign(buffer.data(), buffer.size() - outLeft);
    iconv_close(cd);
    return true;
}
} // namespace

FileHandle FileOpenRead(const char* path) {
    if (!path || !*path) return nullptr;
    int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat st;
    if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    return Handle(fd);
}

FileHandle FileCreate(const char* path, bool overwrite, bool* existed) {
    if (existed) *existed = false;
    if (!path || !*path) return nullptr;
    int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (overwrite ? O_TRUNC : O_EXCL);
    int fd = ::open(path, flags, 0644);
    if (fd < 0) {
        if (existed && errno == EEXIST) *existed = true;
        return nullptr;
    }
    return Handle(fd);
}

int64_t FileRead(FileHandle h, void* buffer, uint32_t bytes) {
    if (!h) return -1;
    size_t total = 0;
    auto* p = static_cast<char*>(buffer);
    while (total < bytes) {
        ssize_t r = ::read(Fd(h), p + total, bytes - total);
        if (r < 0) {
            if (errno == EINTR) continue;
            return total ? static_cast<int64_t>(total) : -1;
        }
        if (r == 0) break;
        total += static_cast<size_t>(r);
    }
    return static_cast<int64_t>(total);
}

int64_t FileWrite(FileHandle h, const void* buffer, uint32_t bytes) {
    if (!h) return -1;
    size_t total = 0;
    auto* p = static_cast<const char*>(buffer);
    while (total < bytes) {
        ssize_t r = ::write(Fd(h), p + total, bytes - total);
        if (r < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        total += static_cast<size_t>(r);
    }
    return static_cast<int64_t>(total);
}

bool FileSeek(FileHandle h, uint64_t position) {
    if (!h || position > static_cast<uint64_t>(LLONG_MAX)) return false;
    return ::lseek(Fd(h), static_cast<off_t>(position), SEEK_SET) >= 0;
}

bool FileSeekEnd(FileHandle h) {
    return h && ::lseek(Fd(h), 0, SEEK_END) >= 0;
}

bool FileTell(FileHandle h, uint64_t* position) {
    if (!h) return false;
    off_t p = ::lseek(Fd(h), 0, SEEK_CUR);
    if (p < 0) return false;
    *position = static_cast<uint64_t>(p);
    return true;
}

bool FileSize(FileHandle h, uint64_t* size) {
    struct stat st;
    if (!h || fstat(Fd(h), &st) != 0) return false;
    *size = static_cast<uint64_t>(st.st_size);
    return true;
}

bool FileFlush(FileHandle h) {
    return h && ::fsync(Fd(h)) == 0;
}

void FileClose(FileHandle h) {
    if (h) ::close(Fd(h));
}

bool PathExists(const char* path) {
    struct stat st;
    return path && ::stat(path, &st) == 0;
}

bool IsDirectory(const char* path) {
    struct stat st;
    return path && ::stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

bool RemoveFile(const char* path) {
    return path && ::unlink(path) == 0;
}

bool CopyFileTo(const char* from, const char* to, bool overwrite) {
    FileHandle in = FileOpenRead(from);
    if (!in) return false;
    FileHandle out = FileCreate(to, overwrite);
    if (!out) {
        FileClose(in);
        return false;
    }
    char buffer[65536];
    bool ok = true;
    for (;;) {
        int64_t r = FileRead(in, buffer, sizeof buffer);
        if (r < 0) {
            ok = false;
            break;
        }
        if (r == 0) break;
        if (FileWrite(out, buffer, static_cast<uint32_t>(r)) != r) {
            ok = false;
            break;
        }
    }
    FileClose(in);
    FileClose(out);
    if (!ok) ::unlink(to);
    return ok;
}

bool ReplaceFileWith(const char* from, const char* to) {
    return ::rename(from, to) == 0;
}

bool MakeDirectories(const char* path) {
    if (!path || !*path) return false;
    std::string p(path);
    for (size_t i = 1; i <= p.size(); ++i) {
        if (i == p.size() || p[i] == '/') {
            std::string part = p.substr(0, i);
            if (!IsDirectory(part.c_str()) && ::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST)
                return false;
        }
    }
    return IsDirectory(path);
}

int64_t PathFileSize(const char* path) {
    struct stat st;
    if (!path || ::stat(path, &st) != 0 || S_ISDIR(st.st_mode)) return -1;
    return static_cast<int64_t>(st.st_size);
}

std::string ModuleDirectory() {
    char buffer[4096];
    ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return CurrentDirectory();
    std::string p(buffer, static_cast<size_t>(n));
    size_t slash = p.rfind('/');
    return slash == std::string::npos ? std::string(".") : p.substr(0, slash);
}

std::string CurrentDirectory() {
    char buffer[4096];
    return ::getcwd(buffer, sizeof buffer) ? std::string(buffer) : std::string(".");
}

bool SetCurrentDirectoryTo(const char* path) {
    return path && ::chdir(path) == 0;
}

std::string UserDataDirectory() {
    const char* xdg = std::getenv("XDG_DATA_HOME");
    if (xdg && *xdg == '/') return xdg;
    const char* home = std::getenv("HOME");
    if (home && *home) return std::string(home) + "/.local/share";
    return {};
}

std::string UserMusicDirectory() {
    const char* xdg = std::getenv("XDG_MUSIC_DIR");
    if (xdg && *xdg == '/') return xdg;
    const char* home = std::getenv("HOME");
    if (home && *home) return std::string(home) + "/Music";
    return {};
}

std::string TempDirectory() {
    const char* t = std::getenv("TMPDIR");
    return t && *t ? std::string(t) : std::string("/tmp");
}

char PathSeparator() {
    return '/';
}

bool Cp932ToUtf8(const char* text, size_t len, std::string& out) {
    return Iconv("CP932", "UTF-8", text, len, out);
}

bool Utf8ToCp932(const char* text, size_t len, std::string& out) {
    return Iconv("UTF-8", "CP932", text, len, out);
}

uint32_t TickCount() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint32_t>(static_cast<uint64_t>(ts.tv_sec) * 1000u + ts.tv_nsec / 1000000);
}

void SleepMs(uint32_t ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

LocalTime GetLocalTimeNow() {
    timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    tm t;
    localtime_r(&ts.tv_sec, &t);
    return {t.tm_year + 1900,
            t.tm_mon + 1,
            t.tm_mday,
            t.tm_hour,
            t.tm_min,
            t.tm_sec,
            static_cast<int>(ts.tv_nsec / 1000000)};
}

} // namespace plat

namespace plat {

bool UserLanguageIsJapanese() {
    return PosixLocaleIsJapanese(std::getenv("LC_ALL"), std::getenv("LC_MESSAGES"), std::getenv("LANG"));
}

void* AllocateLarge(size_t bytes) {
    if (bytes < kLargePage) return std::malloc(bytes);
    if (bytes > SIZE_MAX - kLargePage) return nullptr;
    const size_t rounded = (bytes + kLargePage - 1) / kLargePage * kLargePage;
    void* block = std::aligned_alloc(kLargePage, rounded);
#ifdef MADV_HUGEPAGE
    // Only advice: without transparent huge pages the block is ordinary memory.
    if (block) madvise(block, rounded, MADV_HUGEPAGE);
#endif
    return block;
}

void FreeLarge(void* block) {
    std::free(block);
}

} // namespace plat
