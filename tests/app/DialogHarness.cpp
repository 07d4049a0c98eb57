#include "DialogHarness.h"

#include <cstdlib>
#include <filesystem>

namespace keltrove::test {

CPortDir::CPortDir() {
    if (!m_Dir.isValid()) throw std::runtime_error("no temporary directory");
    ::setenv("KELTROVE_PORT_DIR", m_Dir.path().toLocal8Bit().constData(), 1);
}

void CPortDir::Map(int com, const std::string& target) {
    const auto link =
        std::filesystem::path(m_Dir.path().toStdString()) / ("COM" + std::to_string(com));
    std::filesystem::remove(link);
    if (!target.empty()) std::filesystem::create_symlink(target, link);
}

CMainDlg::MessageHandler CMessageLog::Handler() {
    return [this](std::string_view text, MessageButtons buttons) {
        m_Texts.emplace_back(text);
        m_Buttons.push_back(buttons);
        return buttons == MessageButtons::YesNo ? MessageAnswer::Yes : MessageAnswer::Ok;
    };
}

}  // namespace keltrove::test
