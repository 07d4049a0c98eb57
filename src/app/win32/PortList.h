// PortList: the port list, "Disable" and "COM1" to "COM8", and its tooltips.
//
// The item's index is the COM number: kPortDisable (0) means no port. The list is unsorted
// and starts with no item chosen. Its tooltip says what the chosen item stands for; while the
// list is dropped down, what the item under the mouse stands for. Each COM item's tooltip
// also says how to give an adapter one of these numbers, since Windows numbers the ports
// itself. Items are not greyed (the list is not drawn by the program); a port that cannot
// be opened now says why in its tooltip. What the items stand for is looked up again
// whenever the list drops down or a tooltip is shown, since adapters come and go. GUI
// thread only.
#pragma once

#include <windows.h>

#include <array>
#include <string>

#include "ComNames.h"

namespace keltrove {

class CPortList {
public:
    // Fills `list` and adds its tools to `tooltip`, whose notifications go to `dialog`.
    void Attach(HWND dialog, HWND list, HWND tooltip);

    // The chosen item, or -1 for none.
    int Selection() const;
    // CBN_DROPDOWN: the items are described again.
    void OnDropDown();
    // CBN_SELCHANGE: a tooltip on show gives way to the new item's.
    void OnSelChange() const;
    // TTN_GETDISPINFO for one of this list's tools: its text, or null when not one of them.
    const wchar_t* TipText(UINT_PTR tool);

private:
    static LRESULT CALLBACK DroppedListProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam,
                                            UINT_PTR id, DWORD_PTR data);
    std::wstring Describe(int index) const;

    HWND m_hList = nullptr;
    HWND m_hDropped = nullptr;  // the list box that drops down
    HWND m_hTooltip = nullptr;
    std::array<std::wstring, kLastComPort + 1> m_Items;  // as described at the drop-down
    int m_nHover = -1;                                   // the dropped list's item under the mouse
    std::wstring m_strTip;                               // what TipText handed out last
};

}  // namespace keltrove
