#include "PortSensor.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/stat.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <system_error>
#include <utility>

#include "ComNames.h"
#include "PortMap.h"
#include "PortWatch.h"
#include "SerialDevices.h"
#include "SystemError.h"

namespace keltrove {

namespace {

namespace fs = std::filesystem;

// More links than this in a row are a loop, as the kernel's own limit says.
constexpr int kMaxLinks = 40;

// What changes a name's fate: it comes, goes, is renamed, or changes owner or mode (udev
// gives a new device node its group only after the kernel has made it).
constexpr std::uint32_t kEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_ATTRIB |
                                  IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
// Events about the watched directory itself, or about events lost.
constexpr std::uint32_t kAboutTheDirectory =
    IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT | IN_IGNORED | IN_Q_OVERFLOW;

bool IsDirectory(const fs::path& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// `name` in `dir`, or, while `dir` is missing, the step towards it in the nearest ancestor.
void AddName(CPortSensor::Interests& interests, fs::path dir, std::string name) {
    while (!IsDirectory(dir)) {
        if (!dir.has_relative_path()) return;  // not even the root
        name = dir.filename().string();
        dir = dir.parent_path();
    }
    interests[dir.string()].names.insert(std::move(name));
}

// Every name of `dir`; while it is missing, the step towards it.
void AddEveryName(CPortSensor::Interests& interests, const fs::path& dir) {
    if (IsDirectory(dir)) {
        interests[dir.string()].any = true;
    } else {
        AddName(interests, dir.parent_path(), dir.filename().string());
    }
}

// Each step of the chain of links from `path` on: its directory and its name.
void AddChain(CPortSensor::Interests& interests, const fs::path& start) {
    std::error_code error;
    fs::path path = fs::absolute(start, error).lexically_normal();
    for (int hop = 0; !error && hop < kMaxLinks; ++hop) {
        AddName(interests, path.parent_path(), path.filename().string());
        if (!fs::is_symlink(fs::symlink_status(path, error)) || error) return;
        const fs::path target = fs::read_symlink(path, error);
        path = (target.is_absolute() ? target : path.parent_path() / target).lexically_normal();
    }
}

// A COMn's chain in every place the map looks, as MapPort looks there.
void AddComChains(CPortSensor::Interests& interests, int number, const PortPlaces& places) {
    const std::string name = ComPortName(number);
    for (const auto& [place, directory] : places.maps)
        AddChain(interests, fs::path(directory) / name);
    AddChain(interests, fs::path(places.devDir) / ("ttyS" + std::to_string(number - 1)));
}

// A path's status as text: enough to tell that it came, went, was replaced or changed mode.
std::string StatusText(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) return "-;";
    return std::to_string(info.st_ino) + ' ' + std::to_string(info.st_mode) + ' ' +
           std::to_string(info.st_uid) + ' ' + std::to_string(info.st_gid) + ' ' +
           std::to_string(info.st_rdev) + ' ' + std::to_string(info.st_mtim.tv_sec) + '.' +
           std::to_string(info.st_mtim.tv_nsec) + ' ' + std::to_string(info.st_ctim.tv_sec) + '.' +
           std::to_string(info.st_ctim.tv_nsec) + ';';
}

}  // namespace

CPortSensor::CPortSensor(std::string port, bool poll, std::chrono::milliseconds period)
    : m_strPort(std::move(port)), m_bPollOnly(poll), m_PollPeriod(period) {}

CPortSensor::Interests CPortSensor::WhatToWatch(const std::string& port) {
    Interests interests;
    const PortPlaces places = PortPlaces::Standard();
    if (port.empty()) {
        for (int number = kFirstComPort; number <= kLastComPort; ++number) {
            AddComChains(interests, number, places);
        }
        AddEveryName(interests, places.devDir);
        AddEveryName(interests, fs::path(kSerialByIdDir));
    } else if (const int number = ComNumber(port); number != 0) {
        AddComChains(interests, number, places);
    } else {
        AddChain(interests, port);
    }
    return interests;
}

std::string CPortSensor::Open() {
    m_Wake.Reset(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!m_Wake.IsValid()) {
        return "cannot make the port watch's wake-up descriptor: " + SystemMessage(errno);
    }
    if (!m_bPollOnly) m_Inotify.Reset(::inotify_init1(IN_CLOEXEC | IN_NONBLOCK));
    m_bPolling.store(!m_Inotify.IsValid(), std::memory_order_relaxed);
    m_NextPoll = Clock::now() + m_PollPeriod;
    Rewatch();
    return {};
}

void CPortSensor::Wake() {
    const std::uint64_t one = 1;
    // Cannot fail but for EINTR: the counter is far from overflowing.
    while (::write(m_Wake.Get(), &one, sizeof one) < 0 && errno == EINTR) {
    }
}

bool CPortSensor::Next() {
    for (;;) {
        int timeout = -1;
        if (Polls()) {
            const auto left =
                std::chrono::ceil<std::chrono::milliseconds>(m_NextPoll - Clock::now());
            timeout = static_cast<int>(std::max<std::chrono::milliseconds::rep>(left.count(), 0));
        }
        std::array<pollfd, 2> fds{{{m_Wake.Get(), POLLIN, 0}, {m_Inotify.Get(), POLLIN, 0}}};
        if (::poll(fds.data(), fds.size(), timeout) < 0) {
            if (errno == EINTR) continue;
            return false;  // cannot wait (no memory): the waiter's own retries go on
        }
        if (fds[0].revents != 0) return false;
        bool changed = (fds[1].revents & POLLIN) != 0 && TakeEvents();
        if (Polls() && Clock::now() >= m_NextPoll) {
            m_NextPoll = Clock::now() + m_PollPeriod;
            m_Interests = WhatToWatch(m_strPort);  // a link may lead elsewhere now
            changed = Snapshot() != m_strSnapshot || changed;
        }
        if (changed) {
            // Before the report: a change after it lands in a watched directory.
            Rewatch();
            return true;
        }
    }
}

bool CPortSensor::TakeEvents() {
    alignas(inotify_event) std::array<char, 16 * 1024> buffer;
    bool changed = false;
    for (;;) {
        const ssize_t got = ::read(m_Inotify.Get(), buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return changed;  // EAGAIN: all taken
        for (ssize_t at = 0; at < got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer.data() + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            if ((event->mask & IN_Q_OVERFLOW) != 0) {
                changed = true;
                continue;
            }
            // A watch that Rewatch removed reports its end; that is no change.
            const auto watched = m_ByWatch.find(event->wd);
            if (watched == m_ByWatch.end()) continue;
            const Interest& interest = watched->second;
            if ((event->mask & kAboutTheDirectory) != 0) {
                Forget(event->wd);  // the path may hold another directory now, or none
                changed = true;
            } else if (event->len > 0 && (interest.any || interest.names.count(event->name) != 0)) {
                changed = true;
            }
        }
    }
}

void CPortSensor::Forget(int watch) {
    ::inotify_rm_watch(m_Inotify.Get(), watch);  // already gone after IN_IGNORED: no matter
    m_ByWatch.erase(watch);
    std::erase_if(m_WatchOf, [watch](const auto& entry) { return entry.second == watch; });
}

void CPortSensor::Rewatch() {
    m_Interests = WhatToWatch(m_strPort);
    if (Polls()) m_strSnapshot = Snapshot();
    if (!m_Inotify.IsValid()) return;
    std::map<std::string, int> watchOf;
    m_ByWatch.clear();
    for (const auto& [dir, interest] : m_Interests) {
        const auto had = m_WatchOf.find(dir);
        const int watch = had != m_WatchOf.end()
                              ? had->second
                              : ::inotify_add_watch(m_Inotify.Get(), dir.c_str(), kEvents);
        if (watch < 0) {
            // Not readable, out of watches, or gone meanwhile: the poll sees it.
            if (!Polls()) {
                m_bPolling.store(true, std::memory_order_relaxed);
                m_NextPoll = Clock::now() + m_PollPeriod;
                m_strSnapshot = Snapshot();
            }
            continue;
        }
        watchOf[dir] = watch;
        // Two names of one directory share a watch descriptor.
        Interest& merged = m_ByWatch[watch];
        merged.any = merged.any || interest.any;
        merged.names.insert(interest.names.begin(), interest.names.end());
    }
    for (const auto& [dir, watch] : m_WatchOf) {
        if (m_ByWatch.count(watch) == 0) ::inotify_rm_watch(m_Inotify.Get(), watch);
    }
    m_WatchOf = std::move(watchOf);
}

std::string CPortSensor::Snapshot() const {
    std::string text;
    for (const auto& [dir, interest] : m_Interests) {
        // A directory's own status changes with any name in it: only where any name counts.
        if (interest.any) text += dir + '=' + StatusText(dir);
        for (const std::string& name : interest.names) {
            text += name + '=' + StatusText(dir + "/" + name);
        }
    }
    return text;
}

}  // namespace keltrove
