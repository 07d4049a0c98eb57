#include "DialogHarness.h"


namespace keltrove::test {

MessageAnswer CMessageLog::Ask(const PanelBox& box) {
    m_Texts.push_back(box.text);
    return box.buttons == MessageButtons::YesNo ? m_Answer : MessageAnswer::Ok;
}

}  // namespace keltrove::test
