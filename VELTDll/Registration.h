// Registration of the server: the class entries (as data), the type library
// and the per-user mode.
#pragma once

#include <windows.h>

namespace velt {

HRESULT RegisterServer();
HRESULT UnregisterServer();
// From now on, registration goes to the current user's classes.
void SetPerUserRegistration(bool perUser);
bool PerUserRegistration();

} // namespace velt
