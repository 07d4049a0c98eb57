// UucpLock: the lock file in /run/lock through which serial programs keep out of each
// other's way.
//
// The UUCP convention, which minicom, CuteCom and Qt's serial port follow: a file
// /run/lock/LCK..<device> (the device's path under /dev, every '/' made '_': LCK..ttyUSB0,
// LCK..pts_3), made exclusively, holding the owner's pid as ten right-aligned characters
// and a newline. A lock whose process is alive refuses the port; one whose process has
// ended is stale and is taken over. Where the lock directory is not writable (a user
// outside the lock group), the port goes on with flock alone and nothing is said.
// $KELTROVE_LOCK_DIR replaces /run/lock, for tests.
//
// One thread at a time per object. Take returns why the port is refused, or "".
#pragma once

#include <string>
#include <string_view>

namespace keltrove {

class CUucpLock {
public:
    CUucpLock() = default;
    CUucpLock(CUucpLock&& other) noexcept;
    CUucpLock& operator=(CUucpLock&& other) noexcept;
    ~CUucpLock() { Release(); }

    // Takes the lock for `device` (a real path, no links). `shown` names the port in the
    // refusal: "COM1 (/dev/ttyUSB0) is in use by minicom (pid 4242)".
    std::string Take(const std::string& device, std::string_view shown);

    // Removes the lock file, if this object made it.
    void Release();

    static std::string Directory();
    static std::string FileName(const std::string& device);

private:
    std::string m_strPath;
};

}  // namespace keltrove
