// ReportMessages: the port watcher's reports as messages posted to the main window.
//
// PostReport is the presenter's post hook for this window, called on the watcher's thread:
// a notification goes as WM_RX_NOTIFY (wParam the port's tag, lParam the report's
// generation plus one, so that 0 marks one that someone else sent), any other report as
// WM_LINK_REPORT, whose lParam owns the report. ReportIn gives back the report a message
// carries; DropPostedReports frees those still queued when the window goes. PostReport on
// any thread, the rest on the window's.
#pragma once

#include <windows.h>

#include <optional>

#include "LinkReports.h"

namespace keltrove {

inline constexpr UINT WM_LINK_REPORT = WM_APP + 1;

// Queues `report` to `window` and returns at once; dropped when it cannot be posted.
void PostReport(HWND window, LinkReport report);

// The watcher's report that a WM_RX_NOTIFY or WM_LINK_REPORT carries; nothing for any other
// message, or for a WM_RX_NOTIFY that someone else sent.
std::optional<LinkReport> ReportIn(UINT message, WPARAM wParam, LPARAM lParam);

// The window is going and its port's watcher has ended: frees what is still queued.
void DropPostedReports(HWND window);

}  // namespace keltrove
