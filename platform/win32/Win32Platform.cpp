// Win32 implementation of the platform layer. Paths arrive as UTF-8 and are
// widened here, so names outside the ANSI code page reach the file system intact.
#include "platform/Platform.h"

#include <windows.h>
#include <shlobj.h>

#include <cstdlib>
#include <vector>

namespace plat {
namespace {
std::wstring W(const char* s) {
    return Utf8ToWide(s ? std::string(s) : std::string());
}
HANDLE H(FileHandle h) {
    return static_cast<HANDLE>(h);
}
} // namespace

FileHandle FileOpenRead(const char* path) {
    if (!path || !*path) return nullptr;
    HANDLE h = CreateFileW(W(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_FLAG_RANDOM_ACCESS, nullptr);
    return h == INVALID_HANDLE_VALUE ? nullptr : h;
}

FileHandle FileCreate(const char* path, bool overwrite, bool* existed) {
    if (existed) *existed = false;
    if (!path || !*path) return nullptr;
    HANDLE h = CreateFileW(W(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                           overwrite ? CREATE_ALWAYS : CREATE_NEW, FILE_FLAG_RANDOM_ACCESS, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        DWORD e = GetLastError();
        if (existed && (e == ERROR_FILE_EXISTS || e == ERROR_ALREADY_EXISTS)) *existed = true;
        return nullptr;
    }
    return h;
}

int64_t FileRead(FileHandle h, void* buffer, uint32_t bytes) {
    DWORD done = 0;
    if (!h || !ReadFile(H(h), buffer, bytes, &done, nullptr)) return -1;
    return done;
}

int64_t FileWrite(FileHandle h, const void* buffer, uint32_t bytes) {
    DWORD done = 0;
    if (!h || !WriteFile(H(h), buffer, bytes, &done, nullptr)) return -1;
    return done;
}

bool FileSeek(FileHandle h, uint64_t position) {
    LARGE_INTEGER li;
    li.QuadPart = static_cast<LONGLONG>(position);
    return h && static_cast<int64_t>(position) >= 0 && SetFilePointerEx(H(h), li, nullptr, FILE_BEGIN);
}

bool FileSeekEnd(FileHandle h) {
    LARGE_INTEGER zero{};
    return h && SetFilePointerEx(H(h), zero, nullptr, FILE_END);
}

bool FileTell(FileHandle h, uint64_t* position) {
    LARGE_INTEGER zero{}, now{};
    if (!h || !SetFilePointerEx(H(h), zero, &now, FILE_CURRENT)) return false;
    *position = static_cast<uint64_t>(now.QuadPart);
    return true;
}

bool FileSize(FileHandle h, uint64_t* size) {
    LARGE_INTEGER li{};
    if (!h || !GetFileSizeEx(H(h), &li)) return false;
    *size = static_cast<uint64_t>(li.QuadPart);
    return true;
}

bool FileFlush(FileHandle h) {
    return h && FlushFileBuffers(H(h));
}

void FileClose(FileHandle h) {
    if (h) CloseHandle(H(h));
}

bool PathExists(const char* path) {
    return path && GetFileAttributesW(W(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsDirectory(const char* path) {
    DWORD a = path ? GetFileAttributesW(W(path).c_str()) : INVALID_FILE_ATTRIBUTES;
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool RemoveFile(const char* path) {
    return path && DeleteFileW(W(path).c_str());
}

bool CopyFileTo(const char* from, const char* to, bool overwrite) {
    return CopyFileW(W(from).c_str(), W(to).c_str(), overwrite ? FALSE : TRUE);
}

bool ReplaceFileWith(const char* from, const char* to) {
    return MoveFileExW(W(from).c_str(), W(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}

bool MakeDirectories(const char* path) {
    if (!path || !*path) return false;
    std::wstring p = W(path);
    for (size_t i = 1; i <= p.size(); ++i) {
        if (i == p.size() || p[i] == L'\\' || p[i] == L'/') {
            std::wstring part = p.substr(0, i);
            if (part.size() == 2 && part[1] == L':') continue; // drive letter
            DWORD a = GetFileAttributesW(part.c_str());
            if (a == INVALID_FILE_ATTRIBUTES && !CreateDirectoryW(part.c_str(), nullptr) &&
                GetLastError() != ERROR_ALREADY_EXISTS)
                return false;
        }
    }
    return IsDirectory(path);
}

int64_t PathFileSize(const char* path) {
    WIN32_FILE_ATTRIBUTE_DATA d;
    if (!path || !GetFileAttributesExW(W(path).c_str(), GetFileExInfoStandard, &d)) return -1;
    if (d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return -1;
    return (static_cast<int64_t>(d.nFileSizeHigh) << 32) | d.nFileSizeLow;
}

std::string ModuleDirectory() {
    std::vector<wchar_t> buffer(32768);
    DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    std::wstring p(buffer.data(), n);
    size_t slash = p.find_last_of(L"\\/");
    return WideToUtf8(slash == std::wstring::npos ? std::wstring(L".") : p.substr(0, slash));
}

std::string CurrentDirectory() {
    std::vector<wchar_t> buffer(32768);
    DWORD n = GetCurrentDirectoryW(static_cast<DWORD>(buffer.size()), buffer.data());
    return WideToUtf8(std::wstring(buffer.data(), n));
}

bool SetCurrentDirectoryTo(const char* path) {
    return path && SetCurrentDirectoryW(W(path).c_str());
}

std::string UserDataDirectory() {
    wchar_t buffer[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, buffer)))
        return {};
    return WideToUtf8(buffer);
}

std::string UserMusicDirectory() {
    wchar_t buffer[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_MYMUSIC | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT,
                                buffer)))
        return {};
    return WideToUtf8(buffer);
}

std::string TempDirectory() {
    wchar_t buffer[MAX_PATH + 1] = {};
    DWORD n = GetTempPathW(MAX_PATH + 1, buffer);
    std::wstring p(buffer, n);
    while (!p.empty() && (p.back() == L'\\' || p.back() == L'/'))
        p.pop_back();
    return WideToUtf8(p);
}

char PathSeparator() {
    return '\\';
}

bool Cp932ToUtf8(const char* text, size_t len, std::string& out) {
    out.clear();
    if (len == 0) return true;
    int n = MultiByteToWideChar(932, 0, text, static_cast<int>(len), nullptr, 0);
    if (n <= 0) return false;
    std::wstring w(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(932, 0, text, static_cast<int>(len), w.data(), n);
    out = WideToUtf8(w);
    return true;
}

bool Utf8ToCp932(const char* text, size_t len, std::string& out) {
    out.clear();
    std::wstring w = Utf8ToWide(std::string(text, len));
    if (w.empty()) return true;
    int n = WideCharToMultiByte(932, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    if (n <= 0) return false;
    out.assign(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(932, 0, w.data(), static_cast<int>(w.size()), out.data(), n, nullptr, nullptr);
    return true;
}

uint32_t TickCount() {
    return GetTickCount();
}

void SleepMs(uint32_t ms) {
    Sleep(ms);
}

LocalTime GetLocalTimeNow() {
    SYSTEMTIME st;
    GetLocalTime(&st);
    return {st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds};
}

} // namespace plat

namespace plat {

bool UserLanguageIsJapanese() {
    // 1041 (0x0411) is Japanese (Japan); the display language is what the user reads.
    return GetUserDefaultUILanguage() == 0x0411 || GetUserDefaultLangID() == 0x0411;
}

// Large pages on Windows need a privilege users do not have: ordinary memory.
void* AllocateLarge(size_t bytes) {
    return std::malloc(bytes);
}

void FreeLarge(void* block) {
    std::free(block);
}

} // namespace plat
