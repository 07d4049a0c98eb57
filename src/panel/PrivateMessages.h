// PrivateMessages: the numbers of the main window's private messages, which both windows
// answer whoever posts or sends them.
//
//   WM_RX_NOTIFY  received bytes wait: drain them; the watcher's notification
//   WM_RX_FRAME   evaluate the last received frame again
//   WM_TX_FRAME   send the outgoing frame again, unchanged
//
// They are a Windows dialog's WM_USER + 1 to + 3; the Linux window gives its events the same
// numbers. Constants only.
#pragma once

namespace keltrove {

inline constexpr unsigned kPrivateMessageBase = 0x0400;  // WM_USER
inline constexpr unsigned WM_RX_NOTIFY = kPrivateMessageBase + 1;
inline constexpr unsigned WM_RX_FRAME = kPrivateMessageBase + 2;
inline constexpr unsigned WM_TX_FRAME = kPrivateMessageBase + 3;

}  // namespace keltrove
