#include "media/CFile.h"

CFile::~CFile() {
    if (m_hFile) plat::FileClose(m_hFile);
    m_hFile = nullptr;
}

void CFile::Close() {
    if (m_hFile) plat::FileClose(m_hFile);
    m_hFile = nullptr;
    m_Size = 0;
}

uint32_t CFile::Read(void* buffer, uint32_t bytes, uint64_t position) {
    if (!m_hFile || !buffer) return 0;
    if (position != FILE_CURRENT_POSITION && !Seek(position)) return 0;
    int64_t n = plat::FileRead(m_hFile, buffer, bytes);
    return n < 0 ? 0 : static_cast<uint32_t>(n);
}

uint32_t CFile::Write(const void* buffer, uint32_t bytes, uint64_t position) {
    if (!m_hFile || !buffer) return 0;
    if (position != FILE_CURRENT_POSITION && !Seek(position)) return 0;
    int64_t n = plat::FileWrite(m_hFile, buffer, bytes);
    if (n < 0) return 0;
    auto written = static_cast<uint32_t>(n);
    if (position == FILE_CURRENT_POSITION) {
        m_Size += written;
    } else {
        if (position + written > m_Size) m_Size = position + written;
        plat::FileSeekEnd(m_hFile);
    }
    return written;
}

int CFile::Seek(uint64_t position) {
    if (!m_hFile) return 0;
    return plat::FileSeek(m_hFile, position) ? 1 : 0;
}

int CFile::Flush() {
    if (!m_hFile) return 0;
    plat::FileFlush(m_hFile);
    return 1;
}

uint64_t CFile::GetPosition() const {
    uint64_t p = 0;
    if (!m_hFile || !plat::FileTell(m_hFile, &p)) return 0;
    return p;
}

int CFile::OpenRead(const CString& name) {
    if (m_hFile || name.IsEmpty()) return 0;
    m_FileName = name;
    plat::FileHandle h = plat::FileOpenRead(m_FileName.c_str());
    if (!h) return 0;
    m_hFile = h;
    m_bRead = 1;
    m_bWrite = 0;
    uint64_t size = 0;
    if (plat::FileSize(h, &size)) m_Size = size;
    return 1;
}

int CFile::CreateWrite(const CString& name, int overwrite) {
    if (m_hFile || name.IsEmpty()) return -1;
    m_FileName = name;
    plat::FileHandle h = plat::FileCreate(m_FileName.c_str(), overwrite != 0);
    if (!h) return overwrite ? -1 : -2;
    m_hFile = h;
    m_bRead = 0;
    m_bWrite = 1;
    m_Size = 0;
    return 0;
}

int CFile::CreateWrite(const wchar_t* name, int overwrite) {
    CString n(name);
    return CreateWrite(n, overwrite);
}
