// PrivateEvents: the main window's private events, answered whoever posts or sends them.
//
//   1025 WM_RX_NOTIFY  received bytes wait: drain them
//   1026 WM_RX_FRAME   evaluate the last received frame again
//   1027 WM_TX_FRAME   send the outgoing frame again, unchanged
//
// Constants only, any thread.
#pragma once

#include <QEvent>

namespace keltrove {

inline constexpr QEvent::Type WM_RX_NOTIFY = static_cast<QEvent::Type>(1025);
inline constexpr QEvent::Type WM_RX_FRAME = static_cast<QEvent::Type>(1026);
inline constexpr QEvent::Type WM_TX_FRAME = static_cast<QEvent::Type>(1027);

}  // namespace keltrove
