// PortSensor: the Linux half of CPortWatch (PortWatch.h): what tells it that a port may have
// come or gone.
//
// It follows the port's chain of names as the COM map does (every map's COMn, the built-in
// /dev/ttyS<n-1>, then each link's target in turn) and keeps, for each directory the chain
// passes through, the names there that matter; a directory that is missing is stood for by
// its nearest ancestor that exists, with the name of the next step down. inotify watches
// those directories; an event on a name that matters (or on the directory itself) is a
// change, after which the chain is followed again and the watches moved. Where inotify
// cannot be had, or a directory cannot be watched, it also polls once a second: the status
// of each such directory and of each name that matters, compared with the last poll's.
//
// Open, Next and Polls belong to the watch's thread once it runs; Wake may be called from
// any thread. Open returns why it cannot wait at all (no wake-up descriptor); nothing throws.
#pragma once

#include <atomic>
#include <chrono>
#include <map>
#include <set>
#include <string>

#include "UniqueFd.h"

namespace keltrove {

class CPortSensor {
public:
    // `port` empty: every serial device and every COMn. `poll`: never use inotify;
    // `period`: how often the poll looks.
    CPortSensor(std::string port, bool poll, std::chrono::milliseconds period);

    std::string Open();

    // Blocks until something may have changed (true), or until Wake (false).
    bool Next();

    // Ends the Next that waits, and every later one.
    void Wake();

    bool Polls() const { return m_bPolling.load(std::memory_order_relaxed); }

    // The names that matter in a directory; `any`: all of them.
    struct Interest {
        std::set<std::string> names;
        bool any = false;
    };
    using Interests = std::map<std::string, Interest>;  // by directory

    // What to watch for `port` (empty: every port), as the file system stands now.
    static Interests WhatToWatch(const std::string& port);

private:
    using Clock = std::chrono::steady_clock;

    // One read of the inotify descriptor: whether an event concerns a name that matters.
    bool TakeEvents();
    // Drops a watch whose directory was deleted or moved; Rewatch makes a new one.
    void Forget(int watch);
    // Follows the chain again and moves the inotify watches to where it now leads.
    void Rewatch();
    // The status of what is watched, as text, for the poll to compare.
    std::string Snapshot() const;

    const std::string m_strPort;
    const bool m_bPollOnly;
    const std::chrono::milliseconds m_PollPeriod;
    std::atomic<bool> m_bPolling{false};
    UniqueFd m_Wake;     // an eventfd: readable once Wake was called
    UniqueFd m_Inotify;  // invalid when polling only
    Interests m_Interests;
    std::map<std::string, int> m_WatchOf;  // watch descriptor by directory
    std::map<int, Interest> m_ByWatch;     // what matters, by watch descriptor
    std::string m_strSnapshot;             // the last poll's
    Clock::time_point m_NextPoll;
};

}  // namespace keltrove
