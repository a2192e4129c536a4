// The reference host: a window in which a person sets, changes and deletes
// the firmware passwords, writes the owner string and the user policy. It
// creates PasswordCtl by its class identifier, as any host does.
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include <cstdio>

#include "ComPtr.h"
#include "HostTexts.h"
#include "MainWindow.h"
#include "Texts.h"
#include "VELTDll_h.h"

namespace {

enum Exit : int { kOk = 0, kNoControl = 3 };

// One apartment for the life of the program: the control is apartment-threaded.
class CApartment {
public:
    CApartment() : m_hr(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~CApartment()
    {
        if (SUCCEEDED(m_hr))
            CoUninitialize();
    }
    CApartment(const CApartment&) = delete;
    CApartment& operator=(const CApartment&) = delete;
    HRESULT Result() const { return m_hr; }

private:
    HRESULT m_hr;
};

int Run()
{
    CApartment apartment;
    velt::ComPtr<IPasswordCtl> control;
    HRESULT hr = apartment.Result();
    if (SUCCEEDED(hr))
        hr = CoCreateInstance(CLSID_PasswordCtl, nullptr, CLSCTX_INPROC_SERVER, IID_IPasswordCtl,
                              reinterpret_cast<void**>(control.Put()));
    if (FAILED(hr)) {
        wchar_t code[16];
        std::swprintf(code, 16, L"0x%08lX", static_cast<unsigned long>(hr));
        MessageBoxW(nullptr, host::Text(IDS_NO_CONTROL, code).c_str(), host::Text(IDS_PRODUCT_NAME).c_str(),
                    MB_OK | MB_ICONERROR);
        return kNoControl;
    }

    host::CMainWindow window(control.Get());
    const HWND dialog = window.Create();
    if (dialog == nullptr)
        return kNoControl;
    ShowWindow(dialog, SW_SHOWNORMAL);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        // ForceQuit posts a message to the thread while no dialog of the
        // control is shown; it needs no answer here.
        if (msg.hwnd == nullptr)
            continue;
        if (!IsDialogMessageW(dialog, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    return kOk;
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    const INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    return Run();
}
