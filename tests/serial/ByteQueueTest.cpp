#include <gtest/gtest.h>

#include <cstdint>
#include <thread>

#include "ByteQueue.h"

namespace keltrove {
namespace {

// Pushes `count` bytes counting up from `first`.
void PushRun(CByteQueue& queue, int first, int count) {
    for (int i = 0; i < count; ++i) ASSERT_EQ(queue.Push(static_cast<std::uint8_t>(first + i)), 1);
}

// Full with one slot free; the byte that then fits goes into the last slot, and both
// indices wrap there.
TEST(ByteQueue, FullAtCapacityKeepsOneSlotFreeAndWrapsAtTheLastSlot) {
    CByteQueue queue;
    PushRun(queue, 0, CByteQueue::kCapacity);
    EXPECT_EQ(queue.Count(), 8191);
    EXPECT_EQ(queue.Push(0xEE), 0);

    std::uint8_t byte = 0;
    ASSERT_EQ(queue.Pop(&byte), 1);
    EXPECT_EQ(byte, 0);
    EXPECT_EQ(queue.Push(0xEE), 1);  // into slot 8191
    EXPECT_EQ(queue.Push(0xEF), 0);
    EXPECT_EQ(queue.Count(), 8191);
    // The refused 0xEE earlier changed nothing: the bytes still count up from 1.
    for (int expected = 1; expected < CByteQueue::kCapacity; ++expected) {
        ASSERT_EQ(queue.Pop(&byte), 1);
        ASSERT_EQ(byte, static_cast<std::uint8_t>(expected));
    }
    PushRun(queue, 10, 2);  // slots 0 and 1
    EXPECT_EQ(queue.Count(), 3);
    for (const int expected : {0xEE, 10, 11}) {
        ASSERT_EQ(queue.Pop(&byte), 1);
        EXPECT_EQ(byte, expected);
    }
    byte = 0xAB;
    EXPECT_EQ(queue.Pop(&byte), 0);
    EXPECT_EQ(byte, 0xAB) << "a pop on empty leaves the destination alone";
}

// One producer and one consumer, as the watcher and the window use it. The byte sequence
// has period 251 (prime), so it never lines up with the ring's 8192 slots.
TEST(ByteQueue, TwoThreadsMoveMillionsOfBytesInOrder) {
    constexpr std::uint32_t kBytes = 4'000'000;
    CByteQueue queue;
    // Each side yields when it cannot go on, so a busy machine does not starve the other.
    std::thread producer([&] {
        for (std::uint32_t i = 0; i < kBytes;) {
            if (queue.Push(static_cast<std::uint8_t>(i % 251)) == 1) {
                ++i;
            } else {
                std::this_thread::yield();
            }
        }
    });
    std::uint32_t mismatches = 0;
    std::uint8_t byte = 0;
    for (std::uint32_t i = 0; i < kBytes;) {
        if (queue.Pop(&byte) == 1) {
            if (byte != i % 251) ++mismatches;
            ++i;
        } else {
            std::this_thread::yield();
        }
    }
    producer.join();
    EXPECT_EQ(mismatches, 0u);
    EXPECT_EQ(queue.Count(), 0);
}

}  // namespace
}  // namespace keltrove
