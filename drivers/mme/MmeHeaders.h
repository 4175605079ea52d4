// The header rotation both MME drivers share. A header is touched only by the
// side that has claimed it; the device owns it while it is queued.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include <atomic>
#include <thread>

namespace mmeheaders {

inline bool TryClaim(std::atomic<int>& busy) {
    int expected = 0;
    return busy.compare_exchange_strong(expected, 1);
}

// The other side holds a header only for one fill or one delivery.
inline void Claim(std::atomic<int>& busy) {
    while (!TryClaim(busy))
        std::this_thread::yield();
}

inline void Release(std::atomic<int>& busy) {
    busy.store(0);
}

inline bool IsDone(const WAVEHDR& header) {
    return (reinterpret_cast<const volatile DWORD&>(header.dwFlags) & WHDR_DONE) != 0;
}

// A returned header that is not to be queued again for now.
inline void MarkIdle(WAVEHDR& header) {
    header.dwFlags &= ~static_cast<DWORD>(WHDR_DONE);
}

// Claims and returns the returned header that went to the device first, or -1.
inline int NextDone(WAVEHDR (&headers)[2], std::atomic<int> (&busy)[2], std::atomic<uint32_t> (&seq)[2]) {
    int order[2] = {0, 1};
    if (static_cast<int32_t>(seq[1].load() - seq[0].load()) < 0) {
        order[0] = 1;
        order[1] = 0;
    }
    for (int i : order)
        if (IsDone(headers[i]) && TryClaim(busy[i])) {
            if (IsDone(headers[i])) return i;
            Release(busy[i]);
        }
    return -1;
}

} // namespace mmeheaders
