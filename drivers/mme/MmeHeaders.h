// The header rotation both MME drivers share. A header is touched only by the
// side that has claimed it; the device owns it while it is queued.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include <algorithm>
#include <atomic>
#include <cstddef>
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
template <size_t N>
int NextDone(WAVEHDR (&headers)[N], std::atomic<int> (&busy)[N], std::atomic<uint32_t> (&seq)[N]) {
    int order[N];
    for (size_t i = 0; i < N; ++i)
        order[i] = static_cast<int>(i);
    // Sequence numbers wrap; their differences do not.
    std::sort(order, order + N,
              [&seq](int a, int b) { return static_cast<int32_t>(seq[a].load() - seq[b].load()) < 0; });
    for (int i : order)
        if (IsDone(headers[i]) && TryClaim(busy[i])) {
            if (IsDone(headers[i])) return i;
            Release(busy[i]);
        }
    return -1;
}

} // namespace mmeheaders
