// The library's COM module: its instance handle, the lock count that keeps
// it loaded while objects or server locks live, and the first hidden dialog.
#pragma once

#include <windows.h>

#include <string>

namespace velt {

HINSTANCE ModuleInstance();
void LockModule();
void UnlockModule();
LONG ModuleLockCount();

// The window of the module's first hidden dialog (null while not shown):
// ForceQuit posts WM_APP + 1 to it.
HWND FirstDoModeWindow();

// Full path of the library file.
std::wstring ModulePath();

} // namespace velt
