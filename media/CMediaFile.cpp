#include "media/CMediaFile.h"

CMediaFile::~CMediaFile() = default;

int CMediaFile::Create(const wchar_t* name, int overwrite) {
    return CFile::CreateWrite(name, overwrite) == 0 ? 0 : 1;
}

int CMediaFile::Open(const wchar_t* name) {
    m_BlockCount = 0;
    m_BlockIndex[0] = m_BlockIndex[1] = 0;
    CString n(name);
    if (!CFile::OpenRead(n)) return 0;
    SetBlock(m_BlockBytes, m_BlockMsec);
    return 1;
}

int CMediaFile::OpenRaw(const wchar_t* name) {
    CString n(name);
    return CFile::OpenRead(n);
}

void CMediaFile::Rewind() {
    m_BlockIndex[0] = m_BlockIndex[1] = 0;
    Seek(0);
}

int CMediaFile::WriteData(const void* buffer, uint32_t bytes) {
    if (m_bRead) return 1;
    return Write(buffer, bytes) == bytes ? 1 : 0;
}

uint32_t CMediaFile::ReadBlockWith(int counter, void* buffer, uint32_t bytes) {
    if (!m_bRead || !m_hFile || m_BlockIndex[counter] >= m_BlockCount) return 0;
    ++m_BlockIndex[counter];
    uint32_t n = (m_BlockBytes == 0 || bytes < m_BlockBytes) ? bytes : m_BlockBytes;
    return CFile::Read(buffer, n);
}

uint32_t CMediaFile::ReadNextBlock(void* buffer, uint32_t bytes) {
    return ReadBlockWith(0, buffer, bytes);
}

int CMediaFile::IsEnd() {
    if (!m_hFile) return 1;
    return GetPosition() >= m_Size ? 1 : 0;
}

void CMediaFile::SetBlock(uint32_t bytes, uint32_t msec) {
    m_BlockBytes = bytes;
    m_BlockMsec = msec;
    if (bytes != 0) m_BlockCount = (static_cast<uint32_t>(m_Size) - 1 + bytes) / bytes;
}
