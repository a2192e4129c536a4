// A window whose message handler calls ForceQuit, as the control's does when
// the interface asks it to quit while a verification dialog is up.
#pragma once

#include <windows.h>

#include "PassWordFUN.h"

class QuitWindow {
public:
    explicit QuitWindow(PassWordFUN& engine)
    {
        WNDCLASSW wc{};
        wc.lpfnWndProc = &Proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"EngineQuitTestWindow";
        RegisterClassW(&wc);
        m_hwnd = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance,
                                 nullptr);
        SetWindowLongPtrW(m_hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&engine));
    }
    ~QuitWindow() { DestroyWindow(m_hwnd); }
    HWND Get() const { return m_hwnd; }
    static constexpr UINT kQuit = WM_APP + 7;

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
    {
        if (msg == kQuit) {
            auto* engine = reinterpret_cast<PassWordFUN*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
            engine->ForceQuit(static_cast<UINT_PTR>(wp));
            return 0;
        }
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
    HWND m_hwnd = nullptr;
};
