// AboutDlg: the about box (template 100): the icon, "Keltrove 버전 1.0", a second line
// and the default button "확인", which closes it.
// GUI thread only. Run it modally with exec().
#pragma once

#include <QDialog>

namespace keltrove {

class CAboutDlg final : public QDialog {
    Q_OBJECT

public:
    explicit CAboutDlg(QWidget* parent);
};

}  // namespace keltrove
