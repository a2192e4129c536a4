// The installation launcher. Its steps arrive with the launcher itself; for
// now it starts, traces and ends successfully.
#include <windows.h>

#include "DbgLog.h"

int wmain(int, wchar_t**)
{
    DL_SCOPE(DL_TRC, "wmain");
    return 0;
}
