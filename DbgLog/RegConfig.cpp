#include <windows.h>

#include <cstring>

#include "DbgLog.h"
#include "RegConfig.h"

RegConfigAccess::~RegConfigAccess()
{
    Close();
}

HRESULT RegConfigAccess::Open(const wchar_t* subKey, REGSAM access)
{
    HRESULT hr = S_OK;
    if (m_hKey != nullptr)
        hr = E_HANDLE;
    else if (subKey == nullptr)
        hr = E_POINTER;
    if (hr != S_OK) {
        DL_LOG_IN(DL_ERR, "RegConfigAccess::Open").PrintLastError(L"Error Code: 0x%x", hr);
        return hr;
    }
    const LONG error = RegOpenKeyExW(HKEY_LOCAL_MACHINE, subKey, 0, access, &m_hKey);
    if (error != ERROR_SUCCESS) {
        m_hKey = nullptr;
        hr = RegResult(error);
        DL_LOG_IN(DL_WRN, "RegConfigAccess::Open").Print(L"Open %s failed, %x", subKey, hr);
    }
    return hr;
}

HRESULT RegConfigAccess::Create(const wchar_t* subKey)
{
    HRESULT hr = S_OK;
    if (m_hKey != nullptr)
        hr = E_HANDLE;
    else if (subKey == nullptr)
        hr = E_POINTER;
    if (hr != S_OK) {
        DL_LOG_IN(DL_ERR, "RegConfigAccess::Create").PrintLastError(L"Error Code: 0x%x", hr);
        return hr;
    }
    const LONG error = RegCreateKeyExW(HKEY_LOCAL_MACHINE, subKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                       KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr, &m_hKey, nullptr);
    if (error != ERROR_SUCCESS) {
        m_hKey = nullptr;
        hr = RegResult(error);
        DL_LOG_IN(DL_ERR, "RegConfigAccess::Create").Print(L"Error Code: 0x%x", hr);
    }
    return hr;
}

HRESULT RegConfigAccess::Close()
{
    if (m_hKey == nullptr) {
        DL_LOG_IN(DL_ERR, "RegConfigAccess::Close").Print(L"Error Code: 0x%x", E_HANDLE);
        return E_HANDLE;
    }
    const HRESULT hr = RegResult(RegCloseKey(m_hKey));
    if (hr != S_OK) {
        DL_LOG_IN(DL_ERR, "RegConfigAccess::Close").Print(L"Error Code: 0x%x", hr);
        return hr;
    }
    m_hKey = nullptr;
    return S_OK;
}

HRESULT RegConfigAccess::GetBytes(const wchar_t* name, std::vector<BYTE>& bytes)
{
    if (m_hKey == nullptr) {
        DL_LOG_IN(DL_ERR, "RegConfigAccess::GetValue").Print(L"Error Code: 0x%x", E_HANDLE);
        return E_HANDLE;
    }
    DWORD size = 0;
    HRESULT hr = RegResult(RegQueryValueExW(m_hKey, name, nullptr, nullptr, nullptr, &size));
    if (hr != S_OK) {
        DL_LOG_IN(DL_ERR, "RegConfigAccess::GetValue").Print(L"Error Code: 0x%x", hr);
        return hr;
    }
    // Room for one more element than the size asks for, all zero: a text
    // stored without its terminator still ends in one.
    std::vector<BYTE> buffer(size + sizeof(DWORD), 0);
    DWORD read = size;
    hr = RegResult(RegQueryValueExW(m_hKey, name, nullptr, nullptr, buffer.data(), &read));
    if (hr != S_OK) {
        DL_LOG_IN(DL_ERR, "RegConfigAccess::GetValue").Print(L"Error Code: 0x%x", hr);
        return hr;
    }
    buffer.resize(read);
    bytes = std::move(buffer);
    return S_OK;
}

HRESULT RegConfigAccess::SetMultiString(const wchar_t* name, const void* data, DWORD bytes)
{
    if (m_hKey == nullptr) {
        DL_LOG_IN(DL_ERR, "RegConfigAccess::SetValue").Print(L"Error Code: 0x%x", E_HANDLE);
        return E_HANDLE;
    }
    const HRESULT hr =
        RegResult(RegSetValueExW(m_hKey, name, 0, REG_MULTI_SZ, static_cast<const BYTE*>(data), bytes));
    if (hr != S_OK)
        DL_LOG_IN(DL_ERR, "RegConfigAccess::SetValue").Print(L"Error Code: 0x%x", hr);
    return hr;
}

HRESULT RegConfigAccess::SetValue(const wchar_t* name, const std::vector<wchar_t>& data)
{
    return SetMultiString(name, data.data(), static_cast<DWORD>(data.size() * sizeof(wchar_t)));
}

HRESULT RegConfigAccess::SetValue(const wchar_t* name, const wchar_t (&text)[kTextChars])
{
    return SetMultiString(name, text, sizeof text);
}

HRESULT RegConfigAccess::DeleteValue(const wchar_t* name)
{
    if (m_hKey == nullptr) {
        DL_LOG_IN(DL_ERR, "RegConfigAccess::DeleteValue").Print(L"Error Code: 0x%x", E_HANDLE);
        return E_HANDLE;
    }
    const HRESULT hr = RegResult(RegDeleteValueW(m_hKey, name));
    if (hr != S_OK)
        DL_LOG_IN(DL_ERR, "RegConfigAccess::DeleteValue").Print(L"Error Code: 0x%x", hr);
    return hr;
}

HRESULT RegConfigAccess::DeleteSubKey(const wchar_t* name)
{
    if (m_hKey == nullptr) {
        DL_LOG_IN(DL_ERR, "RegConfigAccess::DeleteSubKey").Print(L"Error Code: 0x%x", E_HANDLE);
        return E_HANDLE;
    }
    // RegDeleteKey refuses a key with subkeys of its own.
    const HRESULT hr = RegResult(RegDeleteKeyW(m_hKey, name));
    if (hr != S_OK)
        DL_LOG_IN(DL_ERR, "RegConfigAccess::DeleteSubKey").Print(L"Error Code: 0x%x", hr);
    return hr;
}
