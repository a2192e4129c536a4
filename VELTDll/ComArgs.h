// Interface identifiers arrive as references, but a C caller passes them as
// pointers and may pass null. The address is read through a volatile so that
// the compiler keeps the test (a C++ reference is never null to it).
#pragma once

#include <windows.h>

namespace velt {

inline bool IsNullReference(const GUID& guid)
{
    const GUID* volatile address = &guid;
    return address == nullptr;
}

} // namespace velt
