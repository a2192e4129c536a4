// Asks the running card application to close its main window: posts (never
// sends) WM_CLOSE, gives it half a second and ends. Nothing is reported; when
// no window matches, the post goes to a null window, which the system turns
// into a message for this thread, where nothing reads it.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    const HWND window = FindWindowW(L"DlnMainCls", L"NORVAK Dorlen");
    PostMessageW(window, WM_CLOSE, 0, 0);
    Sleep(500);
    return 0;
}
