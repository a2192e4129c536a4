// One registry key under HKEY_LOCAL_MACHINE. Every operation returns an
// HRESULT and logs its failures; nothing throws.
#pragma once

#include <windows.h>

#include <cstring>
#include <vector>

// Registry errors become 0x8007xxxx with the system error in the low word.
inline HRESULT RegResult(LONG error)
{
    return error > 0 ? static_cast<HRESULT>(0x80070000u | (static_cast<DWORD>(error) & 0xFFFFu))
                     : static_cast<HRESULT>(error);
}

class RegConfigAccess {
public:
    static constexpr DWORD kTextChars = 260;

    RegConfigAccess() = default;
    RegConfigAccess(const RegConfigAccess&) = delete;
    RegConfigAccess& operator=(const RegConfigAccess&) = delete;
    virtual ~RegConfigAccess();

    HRESULT Open(const wchar_t* subKey, REGSAM access);
    // Full access in the 64-bit view, non-volatile.
    HRESULT Create(const wchar_t* subKey);
    HRESULT Close();

    // The value's data as elements of T, trimmed to the whole elements read
    // (a text keeps its terminating zero).
    template <class T>
    HRESULT GetValue(const wchar_t* name, std::vector<T>& out);

    // Multi-string values: a list of wide characters, or a 260-character
    // buffer that is always written whole (520 bytes).
    HRESULT SetValue(const wchar_t* name, const std::vector<wchar_t>& data);
    HRESULT SetValue(const wchar_t* name, const wchar_t (&text)[kTextChars]);
    HRESULT DeleteValue(const wchar_t* name);
    HRESULT DeleteSubKey(const wchar_t* name);

    HKEY Handle() const { return m_hKey; }

private:
    HRESULT GetBytes(const wchar_t* name, std::vector<BYTE>& bytes);
    HRESULT SetMultiString(const wchar_t* name, const void* data, DWORD bytes);

    HKEY m_hKey = nullptr;
};

template <class T>
HRESULT RegConfigAccess::GetValue(const wchar_t* name, std::vector<T>& out)
{
    std::vector<BYTE> bytes;
    const HRESULT hr = GetBytes(name, bytes);
    if (hr != S_OK)
        return hr;
    const std::size_t count = bytes.size() / sizeof(T);
    const T* first = reinterpret_cast<const T*>(bytes.data());
    std::vector<T> elements(count);
    std::memcpy(elements.data(), first, count * sizeof(T));
    out = std::move(elements);
    return S_OK;
}
