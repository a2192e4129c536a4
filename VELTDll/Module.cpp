// In-process server entry points. Until the control and its class objects
// exist, every entry point answers that it has nothing to offer.
#include <windows.h>

#include <objbase.h>

#include "DbgLog.h"

extern "C" {

STDAPI DllCanUnloadNow()
{
    return S_OK;
}

STDAPI DllGetClassObject(REFCLSID, REFIID, LPVOID* ppv)
{
    if (ppv != nullptr)
        *ppv = nullptr;
    return CLASS_E_CLASSNOTAVAILABLE;
}

STDAPI DllRegisterServer()
{
    DL_SCOPE(DL_INF, "DllRegisterServer");
    return E_NOTIMPL;
}

STDAPI DllUnregisterServer()
{
    DL_SCOPE(DL_INF, "DllUnregisterServer");
    return E_NOTIMPL;
}

STDAPI DllInstall(BOOL, LPCWSTR)
{
    return E_NOTIMPL;
}

} // extern "C"
