// keltrove_screenshot <file.png>: renders the main window as it looks after a read, with
// COM1 chosen, the simulator's default table received and the status line drawn, and
// saves it as a PNG.
// Runs on any Qt platform (offscreen needs no display). Exit code 1 when saving fails.
#include <QApplication>
#include <QComboBox>
#include <cstdio>

#include "DeviceTable.h"
#include "MainDlg.h"
#include "TemplateControl.h"

namespace {

void ShowSampleRead(keltrove::CMainDlg& dialog) {
    keltrove::ISessionView& view = dialog.View();
    for (int entry = 1; entry <= keltrove::kEntryCount; ++entry) view.MarkReceived(entry);
    view.ShowEntryTexts(keltrove::device::DefaultTableTexts());
    view.ShowStatus(keltrove::SessionStatus::ReadDone);
    if (auto* ports = dialog.findChild<QComboBox*>(keltrove::ControlObjectName(IDC_PORT_LIST))) {
        ports->setCurrentIndex(1);
    }
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: keltrove_screenshot <file.png>\n");
        return 2;
    }
    keltrove::CMainDlg dialog;
    dialog.show();
    ShowSampleRead(dialog);
    QApplication::processEvents();
    if (!dialog.grab().save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "keltrove_screenshot: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
