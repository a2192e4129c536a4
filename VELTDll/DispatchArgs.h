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

// Whether the method's first parameter is a password: its call is unpacked
// by the library itself, because the platform's invoke copies a string
// argument into a string of its own and frees it unwiped.
bool TakesPassword(DISPID id);

// The index into rgvarg of the argument that fills parameter `position`
// (from the left) of a call that CheckMethodArguments accepted.
UINT ArgumentIndex(const DISPPARAMS& params, UINT position);

// A string argument of a checked call, read where it stands when it is a
// string (by value, by reference, or through references to VARIANTs);
// any other value is converted into a string of this object's own, which
// is wiped when it goes.
class SecretTextArgument {
public:
    explicit SecretTextArgument(const VARIANT& arg);
    ~SecretTextArgument();
    SecretTextArgument(const SecretTextArgument&) = delete;
    SecretTextArgument& operator=(const SecretTextArgument&) = delete;
    HRESULT Status() const { return m_status; }
    BSTR Get() const { return m_text; }

private:
    VARIANT m_converted;
    BSTR m_text = nullptr;
    HRESULT m_status = S_OK;
};

// An [in, out] long argument of a checked call: the method writes Get(),
// Store() hands the value to the caller. A reference to a 32-bit integer is
// written in place, a reference to a VARIANT receives a VT_I4, and a value
// passed by value receives nothing. References to other types give
// DISP_E_TYPEMISMATCH.
class LongResultArgument {
public:
    explicit LongResultArgument(VARIANT& arg);
    HRESULT Status() const { return m_status; }
    LONG* Get() { return m_target != nullptr ? m_target : &m_local; }
    void Store();

private:
    VARIANT* m_variant = nullptr;
    LONG* m_target = nullptr;
    LONG m_local = 0;
    HRESULT m_status = S_OK;
};

} // namespace velt
