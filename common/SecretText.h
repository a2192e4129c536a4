// Holders of a password as a host has it: the typed text and the BSTR handed
// to the control. Both are wiped before their memory goes back.
#pragma once

#include <windows.h>

#include <oleauto.h>

#include <string>

namespace pw {

struct SecretText {
    std::wstring text;
    SecretText() = default;
    SecretText(const SecretText&) = delete;
    SecretText& operator=(const SecretText&) = delete;
    ~SecretText() { Wipe(); }
    void Wipe()
    {
        SecureZeroMemory(text.data(), text.capacity() * sizeof(wchar_t));
        text.clear();
    }
};

class SecretBstr {
public:
    explicit SecretBstr(const std::wstring& text) : m_b(SysAllocStringLen(text.data(), static_cast<UINT>(text.size())))
    {
    }
    ~SecretBstr()
    {
        if (m_b) {
            SecureZeroMemory(m_b, SysStringByteLen(m_b));
            SysFreeString(m_b);
        }
    }
    SecretBstr(const SecretBstr&) = delete;
    SecretBstr& operator=(const SecretBstr&) = delete;
    BSTR Get() const { return m_b; }

private:
    BSTR m_b;
};

} // namespace pw
