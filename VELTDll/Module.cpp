// The in-process server: entry points, the module's lock count, the class
// object of PasswordCtl and the module's hidden dialogs.
#include <windows.h>

#include <objbase.h>

#include <mutex>

#include "ComArgs.h"
#include "ComModule.h"
#include "DbgLog.h"
#include "DoMode.h"
#include "PasswordCtl.h"
#include "Registration.h"

namespace {

HINSTANCE g_instance = nullptr;
LONG g_locks = 0;

// The module's two hidden dialogs, for its whole lifetime; never shown here.
DoMode g_doMode[2];

// The class object of PasswordCtl. It does not count as a lock itself; only
// LockServer and the objects it creates do.
class CPasswordCtlFactory : public IClassFactory {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (ppv == nullptr)
            return E_POINTER;
        if (velt::IsNullReference(riid)) {
            *ppv = nullptr;
            return E_POINTER;
        }
        if (riid == IID_IUnknown || riid == IID_IClassFactory) {
            *ppv = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override
    {
        return CPasswordCtl::CreateInstance(outer, riid, ppv);
    }
    STDMETHODIMP LockServer(BOOL lock) override
    {
        if (lock)
            velt::LockModule();
        else
            velt::UnlockModule();
        return S_OK;
    }
};

} // namespace

namespace velt {

HINSTANCE ModuleInstance()
{
    return g_instance;
}

void LockModule()
{
    InterlockedIncrement(&g_locks);
}

void UnlockModule()
{
    InterlockedDecrement(&g_locks);
}

LONG ModuleLockCount()
{
    return g_locks;
}

HWND FirstDoModeWindow()
{
    return g_doMode[0].Window();
}

std::wstring ModulePath()
{
    wchar_t path[MAX_PATH] = {};
    const DWORD n = GetModuleFileNameW(g_instance, path, MAX_PATH);
    return std::wstring(path, n < MAX_PATH ? n : 0);
}

} // namespace velt

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        g_instance = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* ppv)
{
    if (ppv == nullptr)
        return E_POINTER;
    *ppv = nullptr;
    if (velt::IsNullReference(clsid) || velt::IsNullReference(riid))
        return E_POINTER;
    if (clsid != CLSID_PasswordCtl)
        return CLASS_E_CLASSNOTAVAILABLE;
    static CPasswordCtlFactory factory; // made on first request (thread-safe), kept until unload
    return factory.QueryInterface(riid, ppv);
}

STDAPI DllCanUnloadNow()
{
    return velt::ModuleLockCount() == 0 ? S_OK : S_FALSE;
}

STDAPI DllRegisterServer()
{
    return velt::RegisterServer();
}

STDAPI DllUnregisterServer()
{
    return velt::UnregisterServer();
}

// "user" (the whole text, any case) switches registration to the current
// user's classes for the rest of the process.
STDAPI DllInstall(BOOL install, LPCWSTR commandLine)
{
    if (commandLine != nullptr && _wcsicmp(commandLine, L"user") == 0)
        velt::SetPerUserRegistration(true);
    if (!install)
        return velt::UnregisterServer();
    const HRESULT hr = velt::RegisterServer();
    if (FAILED(hr))
        velt::UnregisterServer();
    return hr;
}

} // extern "C"
