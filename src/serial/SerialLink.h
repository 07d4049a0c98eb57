// SerialLink: CSerialLink, one serial port: open, set up, write, read, close. The port may
// also be a network port (rfc2217://HOST:PORT, tcp://HOST:PORT, or a COMn mapped to one),
// which CNetPort serves behind the same calls and the same watcher's reports.
//
// Threads: Open, Close, Write, TakeReceived and the getters belong to one thread, the
// window's. The watcher (CWatchComm), which Open starts and Close ends, sees the link only
// as an IWatchedPort: it reads the port and fills the receive queue. IsWatching may be
// called from any thread.
//
// Failures: Open returns 0 and leaves a reason in LastError; Write returns fewer bytes, 0
// at worst. Nothing here throws or shows anything.
//
// States: Closed (no port held), Open but not set up (a port whose line settings were refused,
// held until the next Close), Open (set up and watched). Open on an open port closes it
// first; Close from any state returns to Closed. Neither empties m_QueueRead.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

#include "ByteQueue.h"
#include "Interfaces.h"
#include "LinkEvents.h"
#include "NetPort.h"
#include "PortHandle.h"  // from the platform folder
#include "WatchComm.h"
#include "WatchedPort.h"

namespace keltrove {

// Why Open failed, as far as whoever waits for the port must know: the device is not there
// (it may come back), another program holds it, or anything else.
enum class OpenFailure { None, Absent, InUse, Other };

class CSerialLink final : public IByteLink, private IWatchedPort {
public:
    // `events` may be null; then nothing is reported.
    explicit CSerialLink(ILinkEvents* events = nullptr);
    CSerialLink(const CSerialLink&) = delete;
    CSerialLink& operator=(const CSerialLink&) = delete;
    // Closes the port, which ends the watcher.
    ~CSerialLink() override;

    // Opens `name` ("COM1".."COM8", a device path or a network port, see ComNames.h) for
    // this program alone, sets it to raw 8N1 at `baud`, empties it and starts the watcher,
    // which reports with `portTag`. Returns 1 when open and watched, else 0 with the reason
    // in LastError.
    int Open(const std::string& name, std::uint32_t baud, std::uint16_t portTag);

    // Stops the watcher, returning after it has ended, discards pending bytes both ways,
    // restores the port's earlier settings and closes it. On a closed port it does nothing.
    void Close();

    // Writes `count` bytes, taking at most 19200 / baud ms per byte (no limit above 19200).
    // Returns how many the line took; 0 with no port open.
    std::uint32_t Write(const std::uint8_t* bytes, std::uint32_t count) override;

    // The window's side of m_QueueRead: moves up to `capacity` bytes, oldest first.
    std::size_t TakeReceived(std::uint8_t* out, std::size_t capacity) override;
    std::size_t ReceivedCount() const override {
        return static_cast<std::size_t>(m_QueueRead.Count());
    }

    // Why the last Open failed, naming the device: "/dev/ttyS2: No such file or directory",
    // "COM3: The system cannot find the file specified (...)", "COM3
    // (rfc2217://10.0.0.5:4001): no answer from 10.0.0.5 on port 4001 within 3 s; ...", or
    // "Error while creating ThreadWatchComm, COM3 (...)". Empty after a successful Open.
    const std::string& LastError() const { return m_strLastError; }
    OpenFailure LastFailure() const { return m_eLastFailure; }
    bool IsOpen() const { return m_hPort.IsValid() || m_Net.IsOpen(); }
    // A watcher is running; false once it has ended on a lost device.
    bool IsWatching() const { return m_Watcher.IsRunning(); }
    // Why the open port's device is gone: what the watcher found, or what the port says
    // now, before the watcher has looked; empty while the device seems to be there.
    std::string LostReason() const;
    // The device path that the last Open resolved its name to; for a network port its name
    // (rfc2217://HOST:PORT).
    const std::string& DevicePath() const { return m_strDevicePath; }

private:
    // IWatchedPort, for the watcher's thread.
    bool IsLinkUp() const override { return m_bLinkUp.load(std::memory_order_acquire); }
    std::uint16_t PortTag() const override { return m_wPortTag; }
    const std::string& PortName() const override;
    std::uint32_t ReadPort(std::uint8_t* buffer, std::uint32_t size, std::string* failure) override;
    void StoreReceived(const std::uint8_t* chunk, std::uint32_t length,
                       ILinkEvents* events) override;

    // The serial port's side of Close, Write and ReadPort, on the platform.
    void CloseSerial();
    std::uint32_t WriteSerial(const std::uint8_t* bytes, std::uint32_t count);
    std::uint32_t ReadSerial(std::uint8_t* buffer, std::uint32_t size, std::string* failure);
    // The platform's part of Open: opens m_strDevice, takes it for this program, sets it up
    // at `baud` and empties it. False with the reason in LastError; a port whose settings
    // were refused stays held until Close.
    bool OpenAndSetUp(std::uint32_t baud);
    // Opens, checks and locks the device; on failure an invalid handle, and the reason
    // in LastError.
    PortHandle OpenExclusive();
    // Applies the line settings to the held port and reads them back; false on failure,
    // with the reason in LastError.
    bool SetUpLine();
    // What the held port says of its device now: why it is gone, or empty.
    std::string ProbeLost() const;
    // The line settings read back are not those asked for.
    void FailLineNotTaken(const std::string& device);
    // Keeps `reason` for LastError, and `kind` for LastFailure, and returns Open's failure
    // result.
    int Fail(std::string reason, OpenFailure kind = OpenFailure::Other);

    PortHandle m_hPort;                  // the open port; none when closed
    std::string m_strDevice;             // the name given to Open, such as "COM3"
    std::atomic<bool> m_bLinkUp{false};  // the watcher's run flag: set up until Close
    std::uint16_t m_wPortTag = 0;        // Open's port ID, sent with every notification

    std::string m_strDevicePath;  // m_strDevice resolved to a device
    std::uint32_t m_nBaud = 0;
    SavedLine m_Original;  // the settings before Open, restored by Close
    std::string m_strLastError;
    OpenFailure m_eLastFailure = OpenFailure::None;
    ILinkEvents* m_pEvents = nullptr;
    CNetPort m_Net;          // a network port, open instead of m_hPort
    CByteQueue m_QueueRead;  // receive queue: the watcher pushes, the window takes
    CWatchComm m_Watcher;    // last, so it is stopped before the fields it uses go away
};

}  // namespace keltrove
