// CursorBlink: the text cursor stops blinking once the user has left the window alone.
//
// A blinking cursor repaints its field twice a second for as long as the program runs,
// which is most of the idle cost of a window that otherwise sleeps. Like GTK's
// gtk-cursor-blink-timeout, the blink stops 10 s after the last key or click and starts
// again with the next one; the cursor stays visible meanwhile. GUI thread only. Install one
// per application; it restores the blink when it goes away.
#pragma once

#include <QObject>
#include <QTimer>

namespace keltrove {

class CCursorBlink final : public QObject {
public:
    static constexpr int kTimeoutMs = 10'000;

    CCursorBlink();
    ~CCursorBlink() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Blink(bool on);

    const int m_nFlashTime;  // the platform's own period
    QTimer m_Timeout;
    bool m_bBlinking = true;
};

}  // namespace keltrove
