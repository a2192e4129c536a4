// The install folder: the folder of this library's own file, where its
// companion libraries and the verification dialog's language file live.
#pragma once

#include <windows.h>

class EnginePlatform;

class CGetPath {
public:
    explicit CGetPath(EnginePlatform& platform);
    // The folder ending in a backslash, or an empty text when no loaded
    // module carries the library's file name. Cached after the first find.
    const char* GetInstallPath();

private:
    EnginePlatform& m_platform;
    BOOL m_bFound = 0;
    char m_szPath[MAX_PATH] = {};
};
