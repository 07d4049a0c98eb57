// DialogHarness: what the window tests, the end-to-end tests and the benchmark share: a
// message-box recorder, a pause that does not wait, and the dialog's controls. GUI thread
// only.
#pragma once

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QString>
#include <chrono>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "Interfaces.h"
#include "MainDlg.h"
#include "PortDir.h"
#include "SimulatorProcess.h"  // kGuardMs
#include "StatusLine.h"
#include "TemplateControl.h"

namespace keltrove::test {

// Bytes as the fields show them: one character per byte.
inline QString Latin1(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

// Records message boxes in place of showing them; answers a Yes/No box as told (Yes unless
// changed) and any other with OK, and a file dialog with the file given last (none: cancel).
class CMessageLog final : public IDialogAnswers {
public:
    MessageAnswer Ask(const PanelBox& box) override;
    std::optional<std::string> ChooseFile(FileChoice) override { return m_Chosen; }
    const std::vector<std::string>& Texts() const { return m_Texts; }
    void Answer(MessageAnswer answer) { m_Answer = answer; }
    void Choose(std::optional<std::string> file) { m_Chosen = std::move(file); }

private:
    std::vector<std::string> m_Texts;
    MessageAnswer m_Answer = MessageAnswer::Yes;
    std::optional<std::string> m_Chosen;
};

class CNoPause final : public IPause {
public:
    void Pause(std::chrono::milliseconds) override {}
};

// The dialog's controls, by object name.
template <typename T>
T& Child(const CMainDlg& dialog, const QString& name) {
    auto* child = dialog.findChild<T*>(name);
    if (child == nullptr) throw std::logic_error("no control " + name.toStdString());
    return *child;
}
inline QLineEdit& Field(const CMainDlg& dialog, int entry) {
    return Child<QLineEdit>(dialog, EntryObjectName(entry));
}
inline QComboBox& PortList(const CMainDlg& dialog) {
    return Child<QComboBox>(dialog, ControlObjectName(IDC_PORT_LIST));
}
inline QPushButton& Button(const CMainDlg& dialog, int id) {
    return Child<QPushButton>(dialog, ControlObjectName(id));
}
// What the status line shows now, and what it shows for `status`.
inline QString StatusText(const CMainDlg& dialog) {
    return dialog.findChild<CStatusLine*>()->Text();
}
inline QString StatusText(SessionStatus status) {
    return QString::fromStdString(StatusLineFor(status));
}

// The user confirms item `index` of the port list.
inline void ChoosePort(CMainDlg& dialog, int index) {
    PortList(dialog).setCurrentIndex(index);
    emit PortList(dialog).activated(index);
}

}  // namespace keltrove::test
