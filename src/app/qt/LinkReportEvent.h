// LinkReportEvent: the watcher's reports as events posted to the window.
//
// PostLinkReport is CLinkReports' post hook for a Qt window: it posts a notification as
// the window's WM_RX_NOTIFY (PrivateMessages.h) and the other reports as an event type of their
// own, so that each report is one event. LinkReportIn gives the report a delivered event carries,
// or null for any other event, such as a WM_RX_NOTIFY that someone else sent.
// PostLinkReport may be called from any thread; LinkReportIn on the window's.
#pragma once

#include "LinkReports.h"

class QEvent;
class QObject;

namespace keltrove {

void PostLinkReport(QObject& window, LinkReport report);
const LinkReport* LinkReportIn(const QObject& window, const QEvent& event);

}  // namespace keltrove
