#include "GetPath.h"

#include <cstring>

#include "DbgLog.h"
#include "EnginePlatform.h"

CGetPath::CGetPath(EnginePlatform& platform) : m_platform(platform) {}

const char* CGetPath::GetInstallPath()
{
    DL_SCOPE(DL_INF, "CGetPath::GetInstallPath");
    if (m_bFound)
        return m_szPath;
    const HMODULE self = m_platform.FindLoadedModule("VELTDll.dll");
    if (self == nullptr)
        return m_szPath;
    char name[MAX_PATH] = {};
    const DWORD length = m_platform.ModuleFileName(self, name, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return m_szPath;
    if (const char* slash = std::strrchr(name, '\\')) {
        const std::size_t keep = static_cast<std::size_t>(slash - name) + 1;
        std::memcpy(m_szPath, name, keep);
        m_szPath[keep] = '\0';
    } else if (length + 1 < MAX_PATH) {
        std::memcpy(m_szPath, name, length);
        m_szPath[length] = '\\';
        m_szPath[length + 1] = '\0';
    }
    m_bFound = 1;
    return m_szPath;
}
