// One open file: read, create, positioned and appending writes, seek, flush.
// No lock: one thread uses a file object at a time. Nothing throws; results
// are byte counts, 1/0, or for creation 0 / -1 / -2.
#pragma once

#include "platform/Platform.h"
#include "platform/CString.h"

#include <cstdint>

constexpr uint64_t FILE_CURRENT_POSITION = ~0ull;

class CFile {
  public:
    CFile() = default;
    virtual ~CFile();
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    virtual void Close();
    // `position` all ones: at the current position. Returns the bytes read, 0 on failure.
    virtual uint32_t Read(void* buffer, uint32_t bytes, uint64_t position = FILE_CURRENT_POSITION);
    // A positioned write (a header patch) leaves the file pointer at the end of the
    // file, so later appends land where they belong. Returns the bytes written.
    virtual uint32_t Write(const void* buffer, uint32_t bytes, uint64_t position = FILE_CURRENT_POSITION);
    virtual int Seek(uint64_t position);
    virtual int Flush();

    // 1 on success; 0 when a file is already open, the name is empty or the open failed.
    int OpenRead(const CString& name);
    // 0 on success; -1 when a file is already open, the name is empty, or (with
    // overwrite) the create failed; -2 when, without overwrite, it exists or cannot be made.
    int CreateWrite(const CString& name, int overwrite);
    int CreateWrite(const wchar_t* name, int overwrite);

    bool IsOpen() const { return m_hFile != nullptr; }
    uint64_t GetSize() const { return m_Size; }
    // Current file pointer, 0 when unknown.
    uint64_t GetPosition() const;

  protected:
    plat::FileHandle m_hFile = nullptr;
    CString m_FileName;
    int32_t m_bRead = 0;
    int32_t m_bWrite = 0;
    uint64_t m_Size = 0;
};
