#include "SerialLink.h"

#include <algorithm>
#include <utility>

#include "ComNames.h"
#include "PortMap.h"
#include "SystemError.h"
#include "WriteTime.h"

namespace keltrove {

namespace {

// The driver's queue sizes, each way.
constexpr DWORD kDriverQueue = 4096;

// What CreateFile opens for a port name that PortNameProblem takes: the port through the
// device namespace, which every COM number needs from COM10 on.
std::string DevicePathFor(const std::string& name) {
    return std::string(kDeviceNamespace) + ComPortName(PortComNumber(name));
}

// Waits for an overlapped ReadFile or WriteFile that `ok` and the last error describe.
// The count done; 0 on failure, with the error left in `error`.
DWORD Complete(HANDLE port, OVERLAPPED& pending, BOOL ok, DWORD& error) {
    DWORD done = 0;
    error = ok ? ERROR_SUCCESS : ::GetLastError();
    if (!ok && error != ERROR_IO_PENDING) return 0;
    if (!::GetOverlappedResult(port, &pending, &done, TRUE)) {
        error = ::GetLastError();
        return done;
    }
    error = ERROR_SUCCESS;
    return done;
}

}  // namespace

bool CSerialLink::OpenAndSetUp(std::uint32_t baud) {
    if (baud == 0) {
        Fail(m_strDevice + ": unsupported baud rate 0");
        return false;
    }
    PortHandle port = OpenExclusive();
    if (!port.IsValid()) return false;
    SavedLine original;
    original.settings.DCBlength = sizeof(DCB);
    if (!::GetCommState(port.Get(), &original.settings) ||
        !::GetCommTimeouts(port.Get(), &original.timeouts)) {
        Fail(DescribeSystemError(m_strDevice, ::GetLastError(), "cannot read the line settings"));
        return false;
    }
    // From here on the port is held even if its settings are refused; Close releases it.
    m_hPort = std::move(port);
    m_Original = original;
    m_Original.saved = true;
    m_nBaud = baud;
    if (!SetUpLine()) return false;
    // Bytes from before Open are not ours.
    ::PurgeComm(m_hPort.Get(), PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
    return true;
}

PortHandle CSerialLink::OpenExclusive() {
    // CON, NUL, AUX or a file would open as well, and AUX would even be COM1 by another name.
    if (std::string wrong = PortNameProblem(m_strDevice); !wrong.empty()) {
        Fail(std::move(wrong));
        return {};
    }
    // A COMn that the user's map has is never the system's port: its entry was refused, or
    // was made after Open looked, and the next open takes it.
    if (const std::optional<MapEntry> mapped = UserMapEntryOf(m_strDevice)) {
        Fail(mapped->network
                 ? mapped->entry + " was made while " + m_strDevice + " was opening; open it again"
                 : mapped->problem,
             OpenFailure::Absent);
        return {};
    }
    m_strDevicePath = DevicePathFor(m_strDevice);
    PortHandle port;
    // Share mode 0: for this program alone. Overlapped, so that the watcher's wait and the
    // window's writes run side by side on one handle.
    port.handle.Reset(::CreateFileA(m_strDevicePath.c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr));
    if (!port.IsValid()) {
        const DWORD error = ::GetLastError();
        const bool gone = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
        const bool held = error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION;
        Fail(DescribeSystemError(m_strDevice, error), gone   ? OpenFailure::Absent
                                                      : held ? OpenFailure::InUse
                                                             : OpenFailure::Other);
        return {};
    }
    if (::GetFileType(port.Get()) != FILE_TYPE_CHAR) {
        Fail(m_strDevice + ": it is not a serial port");
        return {};
    }
    port.readDone.Reset(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
    port.writeDone.Reset(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!port.readDone.IsValid() || !port.writeDone.IsValid()) {
        Fail(DescribeSystemError(m_strDevice, ::GetLastError(), "cannot make its events"));
        return {};
    }
    if (!::SetupComm(port.Get(), kDriverQueue, kDriverQueue)) {
        Fail(DescribeSystemError(m_strDevice, ::GetLastError(), "cannot size its queues"));
        return {};
    }
    ::PurgeComm(port.Get(), PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
    return port;
}

bool CSerialLink::SetUpLine() {
    // 8N1 at the speed asked for, binary, no XON/XOFF either way; the hardware flow control
    // and modem lines stay as the port had them.
    DCB wanted = m_Original.settings;
    wanted.BaudRate = m_nBaud;
    wanted.ByteSize = 8;
    wanted.Parity = NOPARITY;
    wanted.StopBits = ONESTOPBIT;
    wanted.fBinary = TRUE;
    wanted.fParity = FALSE;
    wanted.fOutX = FALSE;
    wanted.fInX = FALSE;
    wanted.fErrorChar = FALSE;
    wanted.fNull = FALSE;
    wanted.fAbortOnError = FALSE;  // a framing error must not stop every later read
    if (!::SetCommState(m_hPort.Get(), &wanted)) {
        Fail(DescribeSystemError(m_strDevice, ::GetLastError(), "the line settings were refused"));
        return false;
    }
    DCB actual{};
    actual.DCBlength = sizeof(DCB);
    if (!::GetCommState(m_hPort.Get(), &actual)) {
        Fail(DescribeSystemError(m_strDevice, ::GetLastError(), "cannot read the line settings"));
        return false;
    }
    if (actual.BaudRate != wanted.BaudRate || actual.ByteSize != 8 || actual.Parity != NOPARITY ||
        actual.StopBits != ONESTOPBIT || actual.fOutX || actual.fInX) {
        FailLineNotTaken(m_strDevice);
        return false;
    }
    // Reads return at once with what has arrived; a write may take WriteMsPerByte a byte.
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.WriteTotalTimeoutMultiplier = WriteMsPerByte(m_nBaud);
    if (!::SetCommTimeouts(m_hPort.Get(), &timeouts) || !::SetCommMask(m_hPort.Get(), EV_RXCHAR)) {
        Fail(DescribeSystemError(m_strDevice, ::GetLastError(), "cannot set its timeouts"));
        return false;
    }
    return true;
}

void CSerialLink::CloseSerial() {
    const HANDLE port = m_hPort.Get();
    ::PurgeComm(port, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
    if (m_Original.saved) {
        ::SetCommState(port, &m_Original.settings);
        ::SetCommTimeouts(port, &m_Original.timeouts);
    }
    m_hPort = PortHandle();
    m_Original.saved = false;
}

std::uint32_t CSerialLink::WriteSerial(const std::uint8_t* bytes, std::uint32_t count) {
    if (!m_hPort.IsValid() || count == 0) return 0;
    OVERLAPPED pending{};
    pending.hEvent = m_hPort.writeDone.Get();
    ::ResetEvent(pending.hEvent);
    DWORD error = ERROR_SUCCESS;
    // The port's write timeout bounds the wait: a stalled line gives back a short count.
    const BOOL ok = ::WriteFile(m_hPort.Get(), bytes, count, nullptr, &pending);
    return Complete(m_hPort.Get(), pending, ok, error);
}

// The name given, COM3: what Windows users know their ports by.
const std::string& CSerialLink::PortName() const {
    return m_strDevice;
}

std::string CSerialLink::ProbeLost() const {
    DWORD errors = 0;
    COMSTAT status{};
    // A hang-up shows as the port refusing to say its state.
    if (::ClearCommError(m_hPort.Get(), &errors, &status)) return {};
    return DescribeSystemError(m_strDevice, ::GetLastError(), "the device is gone");
}

std::uint32_t CSerialLink::ReadSerial(std::uint8_t* buffer, std::uint32_t size,
                                      std::string* failure) {
    if (!m_hPort.IsValid() || size == 0) return 0;
    DWORD errors = 0;
    COMSTAT status{};
    // Also the only sign of a hang-up that some drivers give.
    if (!::ClearCommError(m_hPort.Get(), &errors, &status)) {
        if (failure != nullptr) {
            *failure = DescribeSystemError(m_strDevice, ::GetLastError(), "the device is gone");
        }
        return 0;
    }
    // Only what waits: a read of more can block on some drivers despite the timeouts.
    const DWORD wanted = std::min<DWORD>(size, status.cbInQue);
    if (wanted == 0) return 0;
    OVERLAPPED pending{};
    pending.hEvent = m_hPort.readDone.Get();
    ::ResetEvent(pending.hEvent);
    DWORD error = ERROR_SUCCESS;
    const BOOL ok = ::ReadFile(m_hPort.Get(), buffer, wanted, nullptr, &pending);
    const DWORD got = Complete(m_hPort.Get(), pending, ok, error);
    if (got == 0 && error != ERROR_SUCCESS && failure != nullptr) {
        *failure = DescribeSystemError(m_strDevice, error, "read");
    }
    return got;
}

}  // namespace keltrove
