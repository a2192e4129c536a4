// Owners for the Win32 handle kinds this project uses.
#pragma once

#include <windows.h>

#include "Unique.h"

namespace pw {

inline void CloseHandleIfAny(HANDLE h) { ::CloseHandle(h); }
inline void CloseKey(HKEY h) { ::RegCloseKey(h); }
inline void CloseModule(HMODULE h) { ::FreeLibrary(h); }
inline void ReleaseLocal(HLOCAL h) { ::LocalFree(h); }
inline HANDLE InvalidFileHandle() { return INVALID_HANDLE_VALUE; }

using UniqueHandle = Unique<HANDLE, &CloseHandleIfAny>;                 // null when empty
using UniqueFileHandle = Unique<HANDLE, &CloseHandleIfAny, &InvalidFileHandle>;
using UniqueKey = Unique<HKEY, &CloseKey>;
using UniqueModule = Unique<HMODULE, &CloseModule>;
using UniqueLocal = Unique<HLOCAL, &ReleaseLocal>;

} // namespace pw
