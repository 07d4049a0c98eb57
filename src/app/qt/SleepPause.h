// SleepPause: the write sequence's pauses, as real sleeps of the calling thread.
//
// Called on the GUI thread, it blocks the window for the pause, which the write sequence
// intends: nothing else may happen between its frames. Cannot fail.
#pragma once

#include <chrono>
#include <thread>

#include "Interfaces.h"

namespace keltrove {

class CSleepPause final : public IPause {
public:
    void Pause(std::chrono::milliseconds duration) override {
        std::this_thread::sleep_for(duration);
    }
};

}  // namespace keltrove
