// The index arithmetic and copies shared by CFIFO and SoundRing. The caller
// holds the ring's lock.
#pragma once

#include <cstdint>
#include <cstring>

namespace ringcopy {

inline uint32_t FreeSpace(uint32_t size, uint32_t read, uint32_t write) {
    if (read == write) return size;
    if (write < read) return read - write;
    return size - write + read;
}

// The shared ring copy; the caller holds the lock.
inline int RingWrite(uint8_t* buffer, uint32_t size, uint32_t read, uint32_t& write, const void* data,
                     uint32_t bytes) {
    const auto* src = static_cast<const uint8_t*>(data);
    if (write >= read && size - write < bytes) {
        uint32_t first = size - write;
        std::memcpy(buffer + write, src, first);
        std::memcpy(buffer, src + first, bytes - first);
        write = bytes - first;
    } else {
        std::memcpy(buffer + write, src, bytes);
        write += bytes;
        if (write == size) write = 0;
    }
    return 1;
}

inline uint32_t RingRead(const uint8_t* buffer, uint32_t size, uint32_t& read, uint32_t write, void* out,
                         uint32_t bytes) {
    auto* dst = static_cast<uint8_t*>(out);
    if (write > read) {
        uint32_t n = write - read < bytes ? write - read : bytes;
        std::memcpy(dst, buffer + read, n);
        read += n;
        return n;
    }
    uint32_t first = size - read < bytes ? size - read : bytes;
    std::memcpy(dst, buffer + read, first);
    uint32_t second = 0;
    if (first < bytes) {
        second = bytes - first < write ? bytes - first : write;
        std::memcpy(dst + first, buffer, second);
    }
    if (second > 0)
        read = second;
    else
        read += first;
    if (read == size) read = 0;
    return first + second;
}

} // namespace ringcopy
