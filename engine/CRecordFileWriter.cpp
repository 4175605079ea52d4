#include "engine/CRecordFileWriter.h"

#include "engine/RecorderHelpers.h"
#include "platform/Platform.h"

#include <algorithm>

CRecordFileWriter::CRecordFileWriter() : m_pFile(&m_OwnFile) {}

CRecordFileWriter::~CRecordFileWriter() {
    Close();
}

int CRecordFileWriter::Create(const std::string& path, const WAVEFORMATEX& format) {
    Close();
    m_Format = format;
    m_BasePath = path;
    m_PartPath = path;
    m_FailedPath.clear();
    m_Part = 1;
    m_PartBytes = 0;
    m_TakeFrames = 0;
    m_BytesAtRefresh = 0;
    m_TickAtRefresh = plat::TickCount();
    std::wstring wide = plat::Utf8ToWide(path);
    int result = m_pFile->CreateWave(wide.c_str(), m_Format, 1);
    if (result != 0) m_Part = 0;
    return result;
}

uint64_t CRecordFileWriter::GetPartFrames() const {
    return m_Format.nBlockAlign ? m_PartBytes / m_Format.nBlockAlign : 0;
}

int CRecordFileWriter::Write(const void* data, uint32_t bytes) {
    if (!m_pFile->IsOpen() || !m_Format.nBlockAlign) return 0;
    const uint64_t align = m_Format.nBlockAlign;
    const uint64_t limit = std::max<uint64_t>(m_PartLimit / align * align, align);
    const auto* p = static_cast<const uint8_t*>(data);
    while (bytes > 0) {
        if (m_PartBytes >= limit && !OpenNextPart()) {
            Fail();
            return 0;
        }
        auto n = static_cast<uint32_t>(std::min<uint64_t>(bytes, limit - m_PartBytes));
        if (!m_pFile->WriteSamples(p, n)) {
            Fail();
            return 0;
        }
        m_PartBytes += n;
        m_TakeFrames += n / align;
        p += n;
        bytes -= n;
    }
    return 1;
}

int CRecordFileWriter::OpenNextPart() {
    m_pFile->Close();
    int part = m_Part + 1;
    std::string path = recorder::SplitPartPath(m_BasePath, part);
    // A part name that is already taken is skipped rather than overwritten: the
    // user agreed to replace the take's own name only.
    while (part < 100000 && recorder::RecordFileExists(path))
        path = recorder::SplitPartPath(m_BasePath, ++part);
    std::wstring wide = plat::Utf8ToWide(path);
    if (m_pFile->CreateWave(wide.c_str(), m_Format, 1) != 0) {
        plat::Trace("file open error %s\n", path.c_str());
        m_PartPath = path;
        return 0;
    }
    plat::Trace("[CAudioControl] record file continues in %s\n", path.c_str());
    m_Part = part;
    m_PartPath = path;
    m_PartBytes = 0;
    m_BytesAtRefresh = 0;
    m_TickAtRefresh = plat::TickCount();
    return 1;
}

int CRecordFileWriter::WriteHeaderSizes() {
    if (!m_pFile->WriteHeader()) return 0;
    // On disk, not only in the process: a take survives a crash of the machine too.
    m_pFile->Flush();
    return 1;
}

int CRecordFileWriter::RefreshHeaderIfDue() {
    if (!m_pFile->IsOpen()) return 1;
    const uint32_t now = plat::TickCount();
    const uint64_t audioBytes = static_cast<uint64_t>(m_Format.nAvgBytesPerSec) * HEADER_REFRESH_MS / 1000;
    if (now - m_TickAtRefresh < HEADER_REFRESH_MS && m_PartBytes - m_BytesAtRefresh < audioBytes) return 1;
    m_TickAtRefresh = now;
    m_BytesAtRefresh = m_PartBytes;
    if (!WriteHeaderSizes()) {
        Fail();
        return 0;
    }
    return 1;
}

void CRecordFileWriter::Fail() {
    m_FailedPath = m_PartPath;
    plat::Trace("[CAudioControl] record file write error %s\n", m_PartPath.c_str());
    // Close writes the header for the bytes that did reach the file.
    m_pFile->Close();
}

void CRecordFileWriter::Close() {
    if (m_pFile->IsOpen()) m_pFile->Close();
}
