// The hidden dialog of the module: built on template 201, invisible when
// shown (layered, opacity 0), deaf to keys, and closed as confirmed by
// WM_APP + 1. The module holds two for its lifetime and never shows them;
// the control's ForceQuit posts to the first.
#pragma once

#include <windows.h>

class DoMode {
public:
    DoMode() = default;
    DoMode(const DoMode&) = delete;
    DoMode& operator=(const DoMode&) = delete;

    // Runs the dialog modally; IDOK when closed by WM_APP + 1.
    INT_PTR DoModal(HWND parent = nullptr);
    HWND Window() const { return m_hWnd; }

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wp, LPARAM lp);
    HWND m_hWnd = nullptr;
};
