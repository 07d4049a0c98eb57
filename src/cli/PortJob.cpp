#include "PortJob.h"

#include "ComNames.h"
#include "Conversation.h"
#include "LocalTime.h"
#include "TableFile.h"

namespace keltrove::cli {

CPortJob::CPortJob(std::string port, std::uint16_t portTag, CStopRequest& stop, IJobWatch* watch,
                   const OpenWait* wait)
    : m_strPort(std::move(port)),
      m_wPortTag(portTag),
      m_Stop(stop),
      m_pWatch(watch),
      m_pWait(wait) {}

JobResult CPortJob::Read() {
    JobResult result;
    result.port = m_strPort;
    CConversation conversation(m_strPort, m_wPortTag, m_Stop, m_pWatch, result);
    EntryTexts panel;
    if (conversation.Open(m_pWait) && conversation.ReadPanel(panel, ReadFor::Read)) {
        result.panel = panel;
    }
    return result;
}

JobResult CPortJob::Write(const EntryTexts& table, const WriteSteps& steps) {
    JobResult result;
    result.port = m_strPort;
    CConversation conversation(m_strPort, m_wPortTag, m_Stop, m_pWatch, result);
    if (!conversation.Open(m_pWait)) return result;
    if (!steps.save && !steps.ifChanged) {
        conversation.WriteAndConfirm(table, steps.confirm);
        return result;
    }
    EntryTexts before;
    if (conversation.ReadPanel(before, ReadFor::BeforeWrite)) {
        conversation.WriteOnto(before, table, steps);
    }
    return result;
}

JobResult CPortJob::Verify(const EntryTexts& table) {
    JobResult result = Read();
    if (!result.panel) return result;
    result.differences = DiffWithPanel(*result.panel, table);
    if (!result.differences.empty()) result.code = kExitDifferent;
    return result;
}

std::string PanelTableFile(const EntryTexts& panel, const JobResult& result,
                           std::vector<std::string>& notes) {
    notes = DescribeNotRestorable(NotRestorable(panel));
    std::vector<std::string> comments{"read from " + PortAndDevice(result.port, result.device) +
                                      " at " + LocalTimeText()};
    comments.insert(comments.end(), notes.begin(), notes.end());
    return FormatTableFile(panel, comments);
}

}  // namespace keltrove::cli
