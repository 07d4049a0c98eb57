// BusyWindow: holds a window still while a job blocks the GUI thread (the write).
//
// While it lives, the given controls show as disabled, repainted at once since no event
// loop runs to do it. When it goes away, the input that reached the window meanwhile
// (clicks, keys, the close box) is dropped rather than replayed: a second click on
// "Write" must not start a second write. Other windows, such as a box that the job's end
// opens, get their input as usual. GUI thread only.
#pragma once

#include <QObject>
#include <QPointer>
#include <initializer_list>
#include <vector>

class QWidget;

namespace keltrove {

class CBusyWindow final : public QObject {
public:
    CBusyWindow(QWidget& window, std::initializer_list<QWidget*> controls);
    ~CBusyWindow() override;
    CBusyWindow(const CBusyWindow&) = delete;
    CBusyWindow& operator=(const CBusyWindow&) = delete;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget& m_Window;
    std::vector<QPointer<QWidget>> m_Disabled;  // only those that were enabled
};

}  // namespace keltrove
