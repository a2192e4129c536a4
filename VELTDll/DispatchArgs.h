// Checks of the arguments that reach IDispatch::Invoke, before any of them is
// read by the platform's invoke: a caller's null or malformed parameters give
// an HRESULT, never an access violation inside the library.
#pragma once

#include <windows.h>

#include <oaidl.h>

namespace velt {

// The pointers of a DISPPARAMS: E_INVALIDARG when the block is missing, when
// arguments are counted but their array is null, or when the named ones are
// more than all of them or have no identifiers.
HRESULT CheckDispParams(const DISPPARAMS* params);

// A method call of IPasswordCtl: the argument count and, for every argument,
// a value of the parameter's type (by value, by reference, or by reference
// to a VARIANT holding one). A reference whose pointer is null gives
// E_POINTER; a value of another type DISP_E_TYPEMISMATCH; *argError names
// the offending argument as an index into rgvarg. Named arguments are
// mapped to their parameters; an unknown or repeated one gives
// DISP_E_PARAMNOTFOUND. A record parameter needs a VT_RECORD argument with
// both of its pointers; which record it is, its invoker checks.
HRESULT CheckMethodArguments(DISPID id, const DISPPARAMS& params, UINT* argError);

// Whether id names a method of IPasswordCtl.
bool IsMethod(DISPID id);

} // namespace velt
