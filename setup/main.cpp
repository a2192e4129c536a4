// The installation launcher: one run described by "SetupConfig.ini" beside
// it; the process exit code tells how the run ended.
#include <windows.h>

#include "Setup.h"

int wmain(int, wchar_t**)
{
    return SetupMain();
}
