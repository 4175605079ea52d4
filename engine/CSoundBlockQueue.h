// The captured blocks on their way from the capture driver's thread to the
// engine's sound thread: a fixed ring of preallocated slots, so a stalled
// sound thread (slow disk, slow effect chain) costs a bounded amount of
// memory and the capture thread never allocates. A block that does not fit
// is dropped whole and counted.
//
// Threads: Push from the capture driver's thread (one producer); Take and
// Release from the sound thread (one consumer); Configure, Quit, Restart and
// the counters from the engine's control thread. Every operation holds the
// queue's own mutex for its length and takes no other lock.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

class CSoundBlockQueue {
  public:
    struct Block {
        uint8_t* data = nullptr;
        uint32_t bytes = 0;
    };

    // Lays the ring out as `slots` slots of `slotBytes` bytes (allocated only
    // when the size changes). Called while nothing is being pushed; waits for a
    // block the consumer still holds, then discards what is queued (it belongs
    // to the previous format) and clears the drop count. False when out of memory.
    bool Configure(uint32_t slotBytes, uint32_t slots);

    // Copies a block in; one longer than a slot takes consecutive slots. All or
    // nothing: false (and one more dropped block) when the ring has no room.
    bool Push(const void* data, uint32_t bytes);

    // Waits for the oldest queued slot and hands it out until Release. False
    // once Quit was called and nothing is queued any more.
    bool Take(Block& out);
    void Release();

    // Ends Take's waiting; Restart undoes it for a new consumer.
    void Quit();
    void Restart();
    // Drops whatever is queued (not counted as dropped).
    void Discard();

    // Slots queued or held by the consumer.
    uint32_t GetInFlight() const;
    uint32_t GetPending() const;
    uint32_t GetCapacity() const;
    uint32_t GetSlotBytes() const;
    uint64_t GetDropped() const;

  private:
    mutable std::mutex m_Lock;
    std::condition_variable m_Ready;    // a slot was queued, or Quit
    std::condition_variable m_Released; // the consumer gave its slot back
    std::vector<uint8_t> m_Storage;
    std::vector<uint32_t> m_Bytes; // bytes held by each slot
    uint32_t m_SlotBytes = 0;
    uint32_t m_Slots = 0;
    uint32_t m_Head = 0;  // oldest queued slot
    uint32_t m_Count = 0; // queued slots, the held one (at m_Head) included
    bool m_Held = false;
    bool m_Quit = false;
    uint64_t m_Dropped = 0;
};
