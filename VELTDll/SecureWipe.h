// Clears memory that held a secret in a way the optimiser cannot drop.
#pragma once

#include <cstddef>

inline void SecureWipe(void* data, std::size_t length)
{
    volatile unsigned char* p = static_cast<volatile unsigned char*>(data);
    while (length-- > 0)
        *p++ = 0;
}
