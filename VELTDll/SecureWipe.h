// Clears memory that held a secret in a way the optimiser cannot drop.
#pragma once

#include <cstddef>
#include <string>

inline void SecureWipe(void* data, std::size_t length)
{
    volatile unsigned char* p = static_cast<volatile unsigned char*>(data);
    while (length-- > 0)
        *p++ = 0;
}

// A narrow text that held a password: wiped when it goes.
class SecretText {
public:
    // Copies, then wipes the source: moving a short string would leave its
    // bytes behind in the source's own buffer.
    explicit SecretText(std::string text) : m_text(text) { SecureWipe(text.data(), text.size()); }
    ~SecretText() { SecureWipe(m_text.data(), m_text.size()); }
    SecretText(const SecretText&) = delete;
    SecretText& operator=(const SecretText&) = delete;
    const std::string& Text() const { return m_text; }
    std::size_t Size() const { return m_text.size(); }

private:
    std::string m_text;
};

// Any object that held a secret (a passcode, a block carrying one): wiped
// at the end of the scope.
template <class T>
class WipeOnExit {
public:
    explicit WipeOnExit(T& object) : m_object(object) {}
    ~WipeOnExit() { SecureWipe(&m_object, sizeof m_object); }
    WipeOnExit(const WipeOnExit&) = delete;
    WipeOnExit& operator=(const WipeOnExit&) = delete;

private:
    T& m_object;
};
