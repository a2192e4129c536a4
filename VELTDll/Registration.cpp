#include "Registration.h"

#include <oleauto.h>

#include <span>
#include <string>

#include "ComModule.h"
#include "ComPtr.h"
#include "DbgLog.h"
#include "Win32Handles.h"

namespace velt {
namespace {

bool g_perUser = false;

// One value of a registry script; the key is relative to the classes root,
// a null name is the default value, and "%MODULE%" stands for the library.
struct RegistryValue {
    const wchar_t* key;
    const wchar_t* name;
    const wchar_t* data; // null: the key alone
};

struct RegistryScript {
    int resourceId;          // the script's number in the original registry scripts
    const wchar_t* classKey; // deleted with its content before writing and on removal
    std::span<const RegistryValue> values;
};

#define COMPREG_KEY L"CLSID\\{3B1C7E52-9A0D-4F61-8E2B-5C7D90A1E3F4}"
#define PASSWORDCTL_KEY L"CLSID\\{6E2A4D18-0B7C-4C95-A3D1-2F8E6B0C9D57}"
#define LIBID_TEXT L"{A5D3F0C2-7E41-4B8A-9C06-1D2E3F4A5B6C}"

constexpr RegistryValue kCompRegValues[] = {
    {COMPREG_KEY, nullptr, L"CompReg Class"},
    {COMPREG_KEY L"\\InprocServer32", nullptr, L"%MODULE%"},
    {COMPREG_KEY L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
    {COMPREG_KEY L"\\TypeLib", nullptr, LIBID_TEXT},
    {COMPREG_KEY L"\\Version", nullptr, L"1.0"},
};

constexpr RegistryValue kPasswordCtlValues[] = {
    {PASSWORDCTL_KEY, nullptr, L"PasswordCtl Class"},
    {PASSWORDCTL_KEY L"\\Programmable", nullptr, nullptr},
    {PASSWORDCTL_KEY L"\\InprocServer32", nullptr, L"%MODULE%"},
    {PASSWORDCTL_KEY L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
    {PASSWORDCTL_KEY L"\\TypeLib", nullptr, LIBID_TEXT},
    {PASSWORDCTL_KEY L"\\Version", nullptr, L"1.0"},
};

constexpr RegistryScript kCompRegScript = {101, COMPREG_KEY, kCompRegValues};
constexpr RegistryScript kPasswordCtlScript = {106, PASSWORDCTL_KEY, kPasswordCtlValues};

HRESULT FromWin32(LONG error)
{
    return error == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(error);
}

HRESULT RemoveScript(const RegistryScript& script)
{
    const LONG error = RegDeleteTreeW(HKEY_CLASSES_ROOT, script.classKey);
    return error == ERROR_FILE_NOT_FOUND ? S_OK : FromWin32(error);
}

HRESULT RunScript(const RegistryScript& script)
{
    HRESULT hr = RemoveScript(script);
    if (FAILED(hr))
        return hr;
    const std::wstring module = ModulePath();
    for (const RegistryValue& value : script.values) {
        pw::UniqueKey key;
        hr = FromWin32(RegCreateKeyExW(HKEY_CLASSES_ROOT, value.key, 0, nullptr, 0, KEY_WRITE, nullptr, key.put(),
                                       nullptr));
        if (FAILED(hr))
            break;
        if (value.data == nullptr)
            continue;
        const std::wstring data = std::wstring(value.data) == L"%MODULE%" ? module : value.data;
        hr = FromWin32(RegSetValueExW(key.get(), value.name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                                      static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t))));
        if (FAILED(hr))
            break;
    }
    if (FAILED(hr))
        DL_LOG_IN(DL_ERR, "velt::RunScript").Print("Error Code: 0x%x", static_cast<unsigned>(hr));
    return hr;
}

HRESULT LoadOwnTypeLib(ComPtr<ITypeLib>& library)
{
    return LoadTypeLibEx(ModulePath().c_str(), REGKIND_NONE, library.Put());
}

HRESULT RegisterOwnTypeLib()
{
    ComPtr<ITypeLib> library;
    HRESULT hr = LoadOwnTypeLib(library);
    if (FAILED(hr))
        return hr;
    std::wstring path = ModulePath();
    return RegisterTypeLib(library.Get(), path.data(), nullptr);
}

HRESULT UnregisterOwnTypeLib()
{
    ComPtr<ITypeLib> library;
    HRESULT hr = LoadOwnTypeLib(library);
    if (FAILED(hr))
        return hr;
    TLIBATTR* attributes = nullptr;
    hr = library->GetLibAttr(&attributes);
    if (FAILED(hr))
        return hr;
    const TLIBATTR a = *attributes;
    library->ReleaseTLibAttr(attributes);
    hr = UnRegisterTypeLib(a.guid, a.wMajorVerNum, a.wMinorVerNum, a.lcid, a.syskind);
    // Removing what is not registered is not a failure.
    return hr == TYPE_E_REGISTRYACCESS || hr == TYPE_E_CANTLOADLIBRARY ? S_OK : hr;
}

// Runs a registration step with the classes root redirected to the current
// user's classes in per-user mode, and the thread locale set to the
// system's for the duration.
template <class Step>
HRESULT InRegistrationContext(Step step)
{
    const LCID callerLocale = GetThreadLocale();
    SetThreadLocale(LOCALE_SYSTEM_DEFAULT);
    pw::UniqueKey userClasses;
    HRESULT hr = S_OK;
    if (g_perUser) {
        hr = FromWin32(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Classes", 0, nullptr, 0, KEY_ALL_ACCESS,
                                       nullptr, userClasses.put(), nullptr));
        if (SUCCEEDED(hr))
            hr = FromWin32(RegOverridePredefKey(HKEY_CLASSES_ROOT, userClasses.get()));
    }
    if (SUCCEEDED(hr))
        hr = step();
    if (g_perUser)
        RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
    SetThreadLocale(callerLocale);
    return hr;
}

} // namespace

void SetPerUserRegistration(bool perUser)
{
    g_perUser = perUser;
}

bool PerUserRegistration()
{
    return g_perUser;
}

HRESULT RegisterServer()
{
    DL_SCOPE(DL_INF, "velt::RegisterServer");
    return InRegistrationContext([] {
        HRESULT hr = RunScript(kCompRegScript);
        if (SUCCEEDED(hr))
            hr = RunScript(kPasswordCtlScript); // the class-object table: PasswordCtl, no categories
        if (SUCCEEDED(hr))
            hr = RegisterOwnTypeLib();
        return hr;
    });
}

HRESULT UnregisterServer()
{
    DL_SCOPE(DL_INF, "velt::UnregisterServer");
    return InRegistrationContext([] {
        HRESULT hr = RemoveScript(kPasswordCtlScript);
        if (SUCCEEDED(hr))
            hr = UnregisterOwnTypeLib();
        if (SUCCEEDED(hr))
            hr = RemoveScript(kCompRegScript);
        return hr;
    });
}

} // namespace velt
