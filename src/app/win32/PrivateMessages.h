// PrivateMessages: the main dialog's private messages.
//
//   1025 WM_RX_NOTIFY  received bytes wait: drain them. wParam: the port's ID; lParam: the
//                      watcher report's generation plus one, or 0 from anyone else
//   1026 WM_RX_FRAME   evaluate the last received frame again; the result is whether it
//                      was a frame
//   1027 WM_TX_FRAME   send the outgoing frame again, unchanged; the result is how many
//                      bytes went out
//   WM_LINK_REPORT     the watcher's other reports (queue full, device lost): lParam owns
//                      a LinkReport made with new, which the receiver deletes
//
// 1025 to 1027 are answered whoever posts or sends them. They share their numbers with the
// dialog manager's DM_SETDEFID and DM_REPOSITION, which nothing here uses. Constants only,
// any thread.
#pragma once

#include <windows.h>

namespace keltrove {

inline constexpr UINT WM_RX_NOTIFY = WM_USER + 1;
inline constexpr UINT WM_RX_FRAME = WM_USER + 2;
inline constexpr UINT WM_TX_FRAME = WM_USER + 3;
inline constexpr UINT WM_LINK_REPORT = WM_APP + 1;

}  // namespace keltrove
