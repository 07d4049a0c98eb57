// GdiHandles: one owner for each GDI object, device context and menu the window makes, so
// that no early return leaks one.
//
// Move-only where a move makes sense; each releases what it holds in its destructor. Owned
// by the window's thread. No failures: an owner of nothing does nothing.
#pragma once

#include <windows.h>

#include <utility>

namespace keltrove {

// A font, brush or pen of the program's own, deleted once.
template <class Handle>
class UniqueGdiObject {
public:
    UniqueGdiObject() = default;
    explicit UniqueGdiObject(Handle handle) : m_Handle(handle) {}
    UniqueGdiObject(UniqueGdiObject&& other) noexcept : m_Handle(other.Release()) {}
    UniqueGdiObject& operator=(UniqueGdiObject&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }
    ~UniqueGdiObject() { Reset(); }

    Handle Get() const { return m_Handle; }
    explicit operator bool() const { return m_Handle != nullptr; }
    Handle Release() { return std::exchange(m_Handle, nullptr); }
    void Reset(Handle handle = nullptr) {
        if (m_Handle != nullptr) ::DeleteObject(m_Handle);
        m_Handle = handle;
    }

private:
    Handle m_Handle = nullptr;
};

using UniqueFont = UniqueGdiObject<HFONT>;
using UniqueBrush = UniqueGdiObject<HBRUSH>;

// The window's device context from GetDC, for drawing outside WM_PAINT.
class CWindowDC {
public:
    explicit CWindowDC(HWND hWnd) : m_hWnd(hWnd), m_hDC(::GetDC(hWnd)) {}
    ~CWindowDC() {
        if (m_hDC != nullptr) ::ReleaseDC(m_hWnd, m_hDC);
    }
    CWindowDC(const CWindowDC&) = delete;
    CWindowDC& operator=(const CWindowDC&) = delete;

    HDC Get() const { return m_hDC; }

private:
    HWND m_hWnd;
    HDC m_hDC;
};

// BeginPaint and EndPaint around one WM_PAINT.
class CPaintDC {
public:
    explicit CPaintDC(HWND hWnd) : m_hWnd(hWnd), m_hDC(::BeginPaint(hWnd, &m_Paint)) {}
    ~CPaintDC() { ::EndPaint(m_hWnd, &m_Paint); }
    CPaintDC(const CPaintDC&) = delete;
    CPaintDC& operator=(const CPaintDC&) = delete;

    HDC Get() const { return m_hDC; }

private:
    HWND m_hWnd;
    PAINTSTRUCT m_Paint{};
    HDC m_hDC;
};

// An object selected into a device context until the end of the scope.
class CSelectObject {
public:
    CSelectObject(HDC hDC, HGDIOBJ object) : m_hDC(hDC), m_hOld(::SelectObject(hDC, object)) {}
    ~CSelectObject() {
        if (m_hOld != nullptr && m_hOld != HGDI_ERROR) ::SelectObject(m_hDC, m_hOld);
    }
    CSelectObject(const CSelectObject&) = delete;
    CSelectObject& operator=(const CSelectObject&) = delete;

private:
    HDC m_hDC;
    HGDIOBJ m_hOld;
};

// A device context's state (clipping, colours, mode), put back at the end of the scope.
class CSavedDC {
public:
    explicit CSavedDC(HDC hDC) : m_hDC(hDC), m_nSaved(::SaveDC(hDC)) {}
    ~CSavedDC() {
        if (m_nSaved != 0) ::RestoreDC(m_hDC, m_nSaved);
    }
    CSavedDC(const CSavedDC&) = delete;
    CSavedDC& operator=(const CSavedDC&) = delete;

private:
    HDC m_hDC;
    int m_nSaved;
};

// A popup menu of the program's own, destroyed once.
class CPopupMenu {
public:
    CPopupMenu() : m_hMenu(::CreatePopupMenu()) {}
    ~CPopupMenu() {
        if (m_hMenu != nullptr) ::DestroyMenu(m_hMenu);
    }
    CPopupMenu(const CPopupMenu&) = delete;
    CPopupMenu& operator=(const CPopupMenu&) = delete;

    HMENU Get() const { return m_hMenu; }

private:
    HMENU m_hMenu;
};

}  // namespace keltrove
