// Shared by the COM server tests: where the library is, registration
// through regsvr32, and clean-up of what registration writes.
#pragma once

#include <windows.h>

#include <string>

#include "TestSupport.h"

namespace pwtest {

// The x86_64 VELTDll.dll of this build (the tests run from bin/com/).
std::wstring LibraryPath();
// regsvr32 with these options and the library; returns its exit code.
DWORD Regsvr32(const std::wstring& options);
// Removes our class keys and type library from the machine's and the
// current user's classes.
void CleanRegistration();

} // namespace pwtest
