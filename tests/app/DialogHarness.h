// DialogHarness: what the window tests share: a port directory of their own, a pseudo-
// terminal mapped as a COM port, a message-box recorder, a pause that does not wait, and
// lookups of the dialog's controls. GUI thread only.
#pragma once

#include <QString>
#include <QTemporaryDir>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "Interfaces.h"
#include "MainDlg.h"

class QComboBox;
class QLineEdit;
class QPushButton;

namespace keltrove::test {

// Failure guard for waits: generous, since it only ends a test that would hang.
inline constexpr int kGuardMs = 10000;

// A port directory for this process ($KELTROVE_PORT_DIR), where COMn can be mapped.
class CPortDir {
public:
    CPortDir();
    // COMn -> `target` (replacing an earlier mapping); an empty target removes it.
    void Map(int com, const std::string& target);
    QString Path() const { return m_Dir.path(); }

private:
    QTemporaryDir m_Dir;
};

// A pseudo-terminal: the program opens the slave as a port, the test is the far end.
class CPtyPort {
public:
    CPtyPort();
    ~CPtyPort();
    CPtyPort(const CPtyPort&) = delete;
    CPtyPort& operator=(const CPtyPort&) = delete;

    const std::string& SlavePath() const { return m_strSlavePath; }
    void WriteFar(const std::vector<std::uint8_t>& bytes);
    // Exactly `count` bytes sent by the program; fewer only when the guard ran out.
    std::vector<std::uint8_t> ReadFar(std::size_t count);
    // The far end goes away, as a pulled adapter does.
    void HangUp();

private:
    int m_nMaster = -1;
    int m_nSlave = -1;  // held so the pty lives until the program opens it
    std::string m_strSlavePath;
};

// Records message boxes in place of showing them; answers Yes (or OK).
class CMessageLog {
public:
    CMainDlg::MessageHandler Handler();
    const std::vector<std::string>& Texts() const { return m_Texts; }
    const std::vector<MessageButtons>& Buttons() const { return m_Buttons; }

private:
    std::vector<std::string> m_Texts;
    std::vector<MessageButtons> m_Buttons;
};

class CNoPause final : public IPause {
public:
    void Pause(std::chrono::milliseconds) override {}
};

// A frame: 01 command index v v v v 03.
std::vector<std::uint8_t> Frame8(std::uint8_t command, std::uint8_t index,
                                 const std::string& value);
// An entry report from the device: 01 50 entry v v v v 03.
std::vector<std::uint8_t> Report(int entry, const std::string& value);
// Several reports back to back.
std::vector<std::uint8_t> Reports(const std::vector<std::pair<int, std::string>>& values);

QLineEdit& Field(const CMainDlg& dialog, int entry);
QComboBox& PortList(const CMainDlg& dialog);
QPushButton& Button(const CMainDlg& dialog, int id);
// The user confirms item `index` of the port list.
void ChoosePort(CMainDlg& dialog, int index);

// Waits for `condition` without handling any event, so that nothing queued for the
// window is delivered meanwhile. False when the guard ran out.
bool WaitWithoutEvents(const std::function<bool()>& condition);

// Threads of this process, from /proc/self/task.
int ThreadCount();

}  // namespace keltrove::test
