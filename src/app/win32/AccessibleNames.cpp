#include "AccessibleNames.h"

// The property GUIDs are defined here, once.
// clang-format off
#include <initguid.h>
#include <oleacc.h>
// clang-format on

#include "DialogTemplate.h"
#include "EntryTable.h"
#include "SystemError.h"
#include "WindowTexts.h"

namespace keltrove {

CAccessibleNames::~CAccessibleNames() {
    if (m_pProps == nullptr) return;
    if (m_hDialog != nullptr && ::IsWindow(m_hDialog)) {
        MSAAPROPID description = PROPID_ACC_DESCRIPTION;
        m_pProps->ClearHwndProps(m_hDialog, OBJID_CLIENT, CHILDID_SELF, &description, 1);
    }
    m_pProps->Release();
}

void CAccessibleNames::Attach(HWND dialog) {
    m_hDialog = dialog;
    void* props = nullptr;
    if (FAILED(::CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_IAccPropServices, &props))) {
        return;
    }
    m_pProps = static_cast<IAccPropServices*>(props);
    for (int entry = 1; entry <= kEntryCount; ++entry) {
        Name(::GetDlgItem(dialog, EntryControlId(entry)), FieldTip(entry));
    }
    Name(::GetDlgItem(dialog, IDC_PORT_LIST), std::string(PortListName()));
}

void CAccessibleNames::SetStatus(const std::string& text) {
    if (m_pProps == nullptr || m_hDialog == nullptr) return;
    const std::wstring status = Widen(text.substr(0, text.find_last_not_of(' ') + 1));
    m_pProps->SetHwndPropStr(m_hDialog, OBJID_CLIENT, CHILDID_SELF, PROPID_ACC_DESCRIPTION,
                             status.c_str());
    ::NotifyWinEvent(EVENT_OBJECT_DESCRIPTIONCHANGE, m_hDialog, OBJID_CLIENT, CHILDID_SELF);
}

void CAccessibleNames::Name(HWND control, const std::string& name) const {
    // The annotation is removed with the window, when it is destroyed.
    m_pProps->SetHwndPropStr(control, OBJID_CLIENT, CHILDID_SELF, PROPID_ACC_NAME,
                             Widen(name).c_str());
}

}  // namespace keltrove
