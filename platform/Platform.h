// The small layer the portable core stands on: files, code pages, time and the
// debug trace. One header, two implementations (platform/posix, platform/win32).
// Every path and text here is UTF-8; wide strings are the platform's wchar_t
// (UTF-16 on Windows, UTF-32 elsewhere).
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <string>

namespace plat {

// ---------------------------------------------------------------- files
// An open file; null when closed. Only one thread uses a handle at a time.
using FileHandle = void*;

FileHandle FileOpenRead(const char* path);
// overwrite: replace an existing file; otherwise fail when it exists (*existed is
// set to true in that case when given).
FileHandle FileCreate(const char* path, bool overwrite, bool* existed = nullptr);
// Bytes transferred, or -1 on failure.
int64_t FileRead(FileHandle h, void* buffer, uint32_t bytes);
int64_t FileWrite(FileHandle h, const void* buffer, uint32_t bytes);
bool FileSeek(FileHandle h, uint64_t position);
bool FileSeekEnd(FileHandle h);
bool FileTell(FileHandle h, uint64_t* position);
bool FileSize(FileHandle h, uint64_t* size);
bool FileFlush(FileHandle h);
void FileClose(FileHandle h);

bool PathExists(const char* path);
bool IsDirectory(const char* path);
bool RemoveFile(const char* path);
bool CopyFileTo(const char* from, const char* to, bool overwrite);
// Replaces `to` by `from` in one step where the platform allows it; `from` is gone afterwards.
bool ReplaceFileWith(const char* from, const char* to);
// Creates the folder and any missing parents; true when it exists afterwards.
bool MakeDirectories(const char* path);
// True when a file can be created in the folder (checked by creating and
// removing a small probe file).
bool IsWritableDirectory(const std::string& folder);
// Size in bytes of a file by name, or -1.
int64_t PathFileSize(const char* path);

std::string ModuleDirectory(); // folder of the running executable
std::string CurrentDirectory();
bool SetCurrentDirectoryTo(const char* path);
// Per-user data folder: the local application-data folder on Windows,
// $XDG_DATA_HOME (or ~/.local/share) elsewhere. Empty when unknown.
std::string UserDataDirectory();
std::string TempDirectory();
// The user's music folder (Windows' "Music"; $XDG_MUSIC_DIR or ~/Music
// elsewhere). Empty when unknown.
std::string UserMusicDirectory();
char PathSeparator();
std::string JoinPath(const std::string& dir, const std::string& name);

// ---------------------------------------------------------------- code pages
// Code page numbers as the program uses them: 0 (the program's own narrow
// encoding, which is UTF-8), 65001 (UTF-8), 932 (Shift-JIS, Windows' table).
constexpr int CP_PROGRAM = 0;
constexpr int CP_UTF8_ = 65001;
constexpr int CP_SHIFT_JIS = 932;

// Converts `len` bytes (or up to the NUL when len < 0) of text in `codePage` to
// wide characters. Invalid sequences become U+FFFD. False when the code page is unknown.
bool MultiByteToWideString(const char* text, int len, int codePage, std::wstring& out);
// The reverse; characters the code page lacks become '?'.
bool WideToMultiByteString(const wchar_t* text, int len, int codePage, std::string& out);
std::wstring Utf8ToWide(const std::string& s);
std::string WideToUtf8(const std::wstring& s);
// Shift-JIS (CP932) to UTF-8 and back.
bool Cp932ToUtf8(const char* text, size_t len, std::string& out);
bool Utf8ToCp932(const char* text, size_t len, std::string& out);

// ---------------------------------------------------------------- time
uint32_t TickCount(); // milliseconds, wraps after ~49 days
void SleepMs(uint32_t ms);
struct LocalTime {
    int year, month, day, hour, minute, second, millisecond;
};
LocalTime GetLocalTimeNow();

// ---------------------------------------------------------------- user language
// Whether the user's interface language is Japanese, asked of the running
// system (never fixed when the program is built): the first start picks its
// language from this.
bool UserLanguageIsJapanese();
// The POSIX rule behind it: the first of LC_ALL, LC_MESSAGES and LANG that is
// set and not empty decides; it names Japanese when it is "ja" alone or "ja"
// followed by a territory, code set or modifier ("ja_JP.UTF-8", "ja@x").
// Null stands for an unset variable.
bool PosixLocaleIsJapanese(const char* lcAll, const char* lcMessages, const char* lang);

// ---------------------------------------------------------------- memory
// For large, long-lived blocks (a parsed document's arena). A block of
// kLargePage bytes or more is asked to be backed by large pages where the
// system offers them, which saves a page fault for every 4 KiB of a big
// document. Null when there is no memory; FreeLarge takes null too.
constexpr size_t kLargePage = size_t{2} << 20;
void* AllocateLarge(size_t bytes);
void FreeLarge(void* block);

// ---------------------------------------------------------------- debug trace
// Debug lines never reach the user. The sink may be called from any thread; the
// default sink drops lines (the app installs its own).
using TraceSink = void (*)(const char* line, void* context);
void SetTraceSink(TraceSink sink, void* context);
void Trace(const char* format, ...)
#if defined(__MINGW32__)
    __attribute__((format(gnu_printf, 1, 2)))
#elif defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
void TraceV(const char* format, va_list args);

} // namespace plat
