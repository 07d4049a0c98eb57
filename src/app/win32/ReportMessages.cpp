#include "ReportMessages.h"

#include <memory>
#include <new>

#include "PrivateMessages.h"

namespace keltrove {

void PostReport(HWND window, LinkReport report) {
    if (report.kind == LinkReport::Kind::Notify) {
        ::PostMessageW(window, WM_RX_NOTIFY, report.portTag,
                       static_cast<LPARAM>(report.generation) + 1);
        return;
    }
    auto* posted = new (std::nothrow) LinkReport(std::move(report));
    if (posted != nullptr &&
        !::PostMessageW(window, WM_LINK_REPORT, 0, reinterpret_cast<LPARAM>(posted))) {
        delete posted;
    }
}

std::optional<LinkReport> ReportIn(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_RX_NOTIFY && lParam != 0) {
        return LinkReport{LinkReport::Kind::Notify,
                          static_cast<std::uint16_t>(wParam),
                          static_cast<unsigned>(lParam - 1),
                          {},
                          0};
    }
    if (message == WM_LINK_REPORT && lParam != 0) {
        const std::unique_ptr<LinkReport> report(reinterpret_cast<LinkReport*>(lParam));
        return std::move(*report);
    }
    return std::nullopt;
}

void DropPostedReports(HWND window) {
    MSG message;
    while (::PeekMessageW(&message, window, WM_LINK_REPORT, WM_LINK_REPORT, PM_REMOVE)) {
        delete reinterpret_cast<LinkReport*>(message.lParam);
    }
}

}  // namespace keltrove
