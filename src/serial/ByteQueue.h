// ByteQueue: the receive queue, a fixed ring of 8192 bytes that holds at most 8191.
//
// Contract: exactly one producer thread calls Push, and exactly one consumer thread calls
// Pop; either may call Count. No locks. Each side loads its own index relaxed and the
// other side's with acquire, and publishes its own with a release store after the byte
// access that the index covers, so a byte is never read before it was written, nor
// overwritten before it was read. Count is a snapshot: on the consumer side it can only
// be too low, on the producer side only too high. Reset is for construction only, while
// no other thread can see the queue.
//
// One slot always stays free, so that full (Count 8191) and empty (indices equal) differ.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

namespace keltrove {

class CByteQueue {
public:
    static constexpr std::int32_t kSlots = 8192;
    static constexpr std::int32_t kCapacity = kSlots - 1;

    CByteQueue() { Reset(); }
    CByteQueue(const CByteQueue&) = delete;
    CByteQueue& operator=(const CByteQueue&) = delete;

    void Reset() {
        m_nOut.store(0, std::memory_order_relaxed);
        m_nIn.store(0, std::memory_order_relaxed);
        m_Buffer.fill(0);
    }

    // Number of bytes held, 0..8191.
    std::int32_t Count() const {
        const std::int32_t in = m_nIn.load(std::memory_order_acquire);
        const std::int32_t out = m_nOut.load(std::memory_order_acquire);
        return (in - out + kSlots) % kSlots;
    }

    // Producer: appends `byte`. Returns 1 when stored, 0 when the queue is full.
    int Push(std::uint8_t byte) {
        const std::int32_t in = m_nIn.load(std::memory_order_relaxed);
        const std::int32_t next = (in + 1) % kSlots;
        if (next == m_nOut.load(std::memory_order_acquire)) return 0;
        m_Buffer[static_cast<std::size_t>(in)] = byte;
        m_nIn.store(next, std::memory_order_release);
        return 1;
    }

    // Consumer: removes the oldest byte into `out`. Returns 1, or 0 when empty (`out`
    // untouched).
    int Pop(std::uint8_t* out) {
        const std::int32_t pos = m_nOut.load(std::memory_order_relaxed);
        if (pos == m_nIn.load(std::memory_order_acquire)) return 0;
        *out = m_Buffer[static_cast<std::size_t>(pos)];
        m_nOut.store((pos + 1) % kSlots, std::memory_order_release);
        return 1;
    }

private:
    std::array<std::uint8_t, kSlots> m_Buffer;
    // Apart, so the producer's and the consumer's stores do not share a cache line.
    alignas(64) std::atomic<std::int32_t> m_nIn;
    alignas(64) std::atomic<std::int32_t> m_nOut;
};

}  // namespace keltrove
