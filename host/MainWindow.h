// The host's main window: the user-password and supervisor-password panels,
// the owner string and a status line. It shows how a host drives the
// control: Init first, every enable state from GetCTLStatus (refreshed after
// each operation), and ForceQuit when the window closes during a verification.
#pragma once

#include <windows.h>

#include "ResultCodes.h"
#include "VELTDll_h.h"

namespace host {

class CMainWindow {
public:
    explicit CMainWindow(IPasswordCtl* control) : m_control(control) {}
    CMainWindow(const CMainWindow&) = delete;
    CMainWindow& operator=(const CMainWindow&) = delete;

    // The modeless window; it posts the quit message when it is destroyed.
    HWND Create();

private:
    static INT_PTR CALLBACK Proc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    void OnInit();
    void Start();
    void OnCommand(int id);
    void Close();

    void SetPassword(bool user);
    void ChangePassword(bool user);
    void DeletePassword(bool user);
    void ApplyOwner();
    void EditUserPolicy();

    void Refresh();
    void LoadOwner();
    void EnableOperations(bool enable);
    // Shows what a result code means: success in the status line, failure in
    // a message box. Returns whether it was a success.
    bool Report(results::Operation operation, LONG code);
    void PasswordWritten(results::Operation operation, LONG code);
    void OfferRestart();
    bool Ask(UINT question);
    // Whether the window is to go now that an operation has returned.
    bool Closing();

    IPasswordCtl* m_control;
    HWND m_dialog = nullptr;
    bool m_usable = false;     // start-up left the firmware reachable
    bool m_hddSupported = false;
    bool m_busy = false;       // a call into the control is running
    bool m_closeRequested = false;
    bool m_quitSent = false;

    friend class CBusy;
};

} // namespace host
