#include "DialogHarness.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <thread>

#include "TemplateControl.h"

namespace keltrove::test {

CPortDir::CPortDir() {
    if (!m_Dir.isValid()) throw std::runtime_error("no temporary directory");
    ::setenv("KELTROVE_PORT_DIR", m_Dir.path().toLocal8Bit().constData(), 1);
}

void CPortDir::Map(int com, const std::string& target) {
    const std::filesystem::path link =
        std::filesystem::path(m_Dir.path().toStdString()) / ("COM" + std::to_string(com));
    std::filesystem::remove(link);
    if (!target.empty()) std::filesystem::create_symlink(target, link);
}

CPtyPort::CPtyPort() {
    termios raw{};
    ::cfmakeraw(&raw);
    char name[256] = {};
    if (::openpty(&m_nMaster, &m_nSlave, name, &raw, nullptr) != 0) {
        throw std::runtime_error("openpty failed");
    }
    ::fcntl(m_nMaster, F_SETFD, FD_CLOEXEC);
    ::fcntl(m_nSlave, F_SETFD, FD_CLOEXEC);
    m_strSlavePath = name;
}

CPtyPort::~CPtyPort() {
    HangUp();
    if (m_nSlave != -1) ::close(m_nSlave);
}

void CPtyPort::WriteFar(const std::vector<std::uint8_t>& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_nMaster, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) throw std::runtime_error("write to the pty master failed");
        done += static_cast<std::size_t>(n);
    }
}

std::vector<std::uint8_t> CPtyPort::ReadFar(std::size_t count) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(kGuardMs);
    std::vector<std::uint8_t> bytes(count);
    std::size_t done = 0;
    while (done < count && Clock::now() < deadline) {
        pollfd fd{m_nMaster, POLLIN, 0};
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (::poll(&fd, 1, static_cast<int>(left.count()) + 1) <= 0) continue;
        const ssize_t n = ::read(m_nMaster, bytes.data() + done, count - done);
        if (n > 0) done += static_cast<std::size_t>(n);
    }
    bytes.resize(done);
    return bytes;
}

void CPtyPort::HangUp() {
    if (m_nMaster != -1) ::close(m_nMaster);
    m_nMaster = -1;
}

CMainDlg::MessageHandler CMessageLog::Handler() {
    return [this](std::string_view text, MessageButtons buttons) {
        m_Texts.emplace_back(text);
        m_Buttons.push_back(buttons);
        return buttons == MessageButtons::YesNo ? MessageAnswer::Yes : MessageAnswer::Ok;
    };
}

std::vector<std::uint8_t> Frame8(std::uint8_t command, std::uint8_t index,
                                 const std::string& value) {
    std::vector<std::uint8_t> frame;
    frame.reserve(8);
    frame.push_back(0x01);
    frame.push_back(command);
    frame.push_back(index);
    for (const char c : value) frame.push_back(static_cast<std::uint8_t>(c));
    frame.push_back(0x03);
    return frame;
}

std::vector<std::uint8_t> Report(int entry, const std::string& value) {
    return Frame8(0x50, static_cast<std::uint8_t>(entry), value);
}

std::vector<std::uint8_t> Reports(const std::vector<std::pair<int, std::string>>& values) {
    std::vector<std::uint8_t> bytes;
    for (const auto& [entry, value] : values) {
        const std::vector<std::uint8_t> frame = Report(entry, value);
        bytes.insert(bytes.end(), frame.begin(), frame.end());
    }
    return bytes;
}

QLineEdit& Field(const CMainDlg& dialog, int entry) {
    auto* field = dialog.findChild<QLineEdit*>(EntryObjectName(entry));
    if (field == nullptr) throw std::logic_error("no such entry field");
    return *field;
}

QComboBox& PortList(const CMainDlg& dialog) {
    auto* list = dialog.findChild<QComboBox*>(ControlObjectName(kIdPortList));
    if (list == nullptr) throw std::logic_error("no port list");
    return *list;
}

QPushButton& Button(const CMainDlg& dialog, int id) {
    auto* button = dialog.findChild<QPushButton*>(ControlObjectName(id));
    if (button == nullptr) throw std::logic_error("no such button");
    return *button;
}

void ChoosePort(CMainDlg& dialog, int index) {
    QComboBox& list = PortList(dialog);
    list.setCurrentIndex(index);
    emit list.activated(index);
}

bool WaitWithoutEvents(const std::function<bool()>& condition) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kGuardMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::yield();
    }
    return true;
}

int ThreadCount() {
    int count = 0;
    for ([[maybe_unused]] const auto& task :
         std::filesystem::directory_iterator("/proc/self/task")) {
        ++count;
    }
    return count;
}

}  // namespace keltrove::test
