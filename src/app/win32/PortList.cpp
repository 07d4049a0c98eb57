#include "PortList.h"

// commctrl.h needs windows.h before it.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include "ComNames.h"
#include "PortDescription.h"
#include "SystemError.h"
#include "WindowTexts.h"

namespace keltrove {

namespace {

constexpr UINT_PTR kSubclassId = 1;

void AddTool(HWND tooltip, HWND owner, HWND tool) {
    TOOLINFOW info{};
    info.cbSize = sizeof info;
    info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    info.hwnd = owner;
    info.uId = reinterpret_cast<UINT_PTR>(tool);
    info.lpszText = LPSTR_TEXTCALLBACKW;
    ::SendMessageW(tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
}

}  // namespace

void CPortList::Attach(HWND dialog, HWND list, HWND tooltip) {
    m_hList = list;
    m_hTooltip = tooltip;
    // Added in this order and never sorted, so that the index is the COM number.
    for (int index = kPortDisable; index <= kLastComPort; ++index) {
        ::SendMessageW(list, CB_ADDSTRING, 0,
                       reinterpret_cast<LPARAM>(Widen(PortItemText(index)).c_str()));
    }
    ::SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    AddTool(tooltip, dialog, list);
    COMBOBOXINFO info{};
    info.cbSize = sizeof info;
    if (::GetComboBoxInfo(list, &info) && info.hwndList != nullptr) {
        m_hDropped = info.hwndList;
        AddTool(tooltip, dialog, m_hDropped);
        ::SetWindowSubclass(m_hDropped, DroppedListProc, kSubclassId,
                            reinterpret_cast<DWORD_PTR>(this));
    }
}

int CPortList::Selection() const {
    return static_cast<int>(::SendMessageW(m_hList, CB_GETCURSEL, 0, 0));
}

void CPortList::OnDropDown() {
    for (int index = kPortDisable; index <= kLastComPort; ++index) {
        m_Items[static_cast<std::size_t>(index)] = Describe(index);
    }
    m_nHover = -1;
}

void CPortList::OnSelChange() const {
    ::SendMessageW(m_hTooltip, TTM_POP, 0, 0);
}

const wchar_t* CPortList::TipText(UINT_PTR tool) {
    if (tool == reinterpret_cast<UINT_PTR>(m_hList)) {
        const int index = Selection();
        m_strTip =
            index < kPortDisable || index > kLastComPort ? Widen(kComNumberHint) : Describe(index);
    } else if (tool == reinterpret_cast<UINT_PTR>(m_hDropped) && m_hDropped != nullptr) {
        m_strTip = m_nHover < kPortDisable || m_nHover > kLastComPort
                       ? std::wstring()
                       : m_Items[static_cast<std::size_t>(m_nHover)];
    } else {
        return nullptr;
    }
    return m_strTip.c_str();
}

std::wstring CPortList::Describe(int index) const {
    std::string text = DescribePortItem(index).tooltip;
    // Device Manager numbers the adapters, not a server that the user's map names.
    if (index != kPortDisable && !NetworkPortOf(ComPortName(index))) {
        text += "\n" + std::string(kComNumberHint);
    }
    return Widen(text + "\n" + std::string(kPortKeysTip));
}

// Follows the mouse over the dropped list, so that the tooltip names the item under it.
LRESULT CALLBACK CPortList::DroppedListProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam,
                                            UINT_PTR /*id*/, DWORD_PTR data) {
    auto* self = reinterpret_cast<CPortList*>(data);
    if (message == WM_MOUSEMOVE) {
        const LRESULT hit = ::SendMessageW(hWnd, LB_ITEMFROMPOINT, 0, lParam);
        const int item = HIWORD(hit) != 0 ? -1 : static_cast<int>(LOWORD(hit));
        if (item != self->m_nHover) {
            self->m_nHover = item;
            ::SendMessageW(self->m_hTooltip, TTM_POP, 0, 0);  // shows again with the new text
        }
    } else if (message == WM_NCDESTROY) {
        ::RemoveWindowSubclass(hWnd, DroppedListProc, kSubclassId);
    }
    return ::DefSubclassProc(hWnd, message, wParam, lParam);
}

}  // namespace keltrove
