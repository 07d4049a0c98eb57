// BusyWindow: holds some of a window's controls still while a job runs (a read, a write).
//
// While it lives, the given controls show as disabled, repainted at once since a write
// blocks the event loop that would do it. With `dropInput`, the input that reaches the
// window meanwhile (clicks, keys, the close box), whether it waited while the job held the
// thread or came later, is dropped rather than acted on: a second click on "Write" must not
// start a second write. Other windows, such as a box that the job's end opens, get their
// input as usual. End drops what is still queued and enables the controls again; going away
// without End only enables them, as a window that is being destroyed needs. GUI thread only.
#pragma once

#include <QObject>
#include <QPointer>
#include <initializer_list>
#include <vector>

class QWidget;

namespace keltrove {

class CBusyWindow final : public QObject {
public:
    CBusyWindow(QWidget& window, std::initializer_list<QWidget*> controls, bool dropInput);
    ~CBusyWindow() override;
    CBusyWindow(const CBusyWindow&) = delete;
    CBusyWindow& operator=(const CBusyWindow&) = delete;

    // Drops the window's queued input (with `dropInput`) and enables the controls again.
    void End();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget& m_Window;
    std::vector<QPointer<QWidget>> m_Disabled;  // only those that were enabled
    bool m_bFiltering = false;
};

}  // namespace keltrove
