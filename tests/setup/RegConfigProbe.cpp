// Exercises RegConfigAccess in a process of its own, so that a test can set
// up the diagnostic log beside it and read the lines each operation writes.
#include <windows.h>

#include "RegConfig.h"

int wmain()
{
    {
        RegConfigAccess never; // destroyed unopened: one E_HANDLE line
    }
    RegConfigAccess access;
    access.Open(L"SOFTWARE\\pwtest-absent-key", KEY_READ);
    access.Open(L"SOFTWARE", KEY_READ);
    SetLastError(ERROR_FILE_NOT_FOUND);
    access.Open(L"SOFTWARE", KEY_READ); // already open
    access.Close();
    return 0;
}
