#include "DialogHarness.h"

#include <QDir>
#include <cstdlib>
#include <filesystem>

namespace keltrove::test {

CPortDir::CPortDir() {
    if (!m_Dir.isValid() || !m_Locks.isValid() || !m_Config.isValid()) {
        throw std::runtime_error("no temporary directory");
    }
    ::setenv("KELTROVE_PORT_DIR", m_Dir.path().toLocal8Bit().constData(), 1);
    ::setenv("KELTROVE_LOCK_DIR", m_Locks.path().toLocal8Bit().constData(), 1);
    // The user's own port map must play no part.
    ::setenv("XDG_CONFIG_HOME", m_Config.path().toLocal8Bit().constData(), 1);
}

int CPortDir::LockFiles() const {
    return static_cast<int>(QDir(m_Locks.path()).entryList(QDir::Files | QDir::Hidden).size());
}

void CPortDir::Map(int com, const std::string& target) {
    const auto link =
        std::filesystem::path(m_Dir.path().toStdString()) / ("COM" + std::to_string(com));
    std::filesystem::remove(link);
    if (!target.empty()) std::filesystem::create_symlink(target, link);
}

MessageAnswer CMessageLog::Ask(const PanelBox& box) {
    m_Texts.push_back(box.text);
    return box.buttons == MessageButtons::YesNo ? m_Answer : MessageAnswer::Ok;
}

}  // namespace keltrove::test
