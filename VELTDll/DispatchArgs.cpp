#include "DispatchArgs.h"

#include <array>
#include <initializer_list>
#include <vector>

namespace velt {

namespace {

// What a parameter of the interface holds.
enum class Param { Long, ULong, Bstr, Record };

struct Signature {
    DISPID id;
    std::initializer_list<Param> params;
};

// The methods of IPasswordCtl in the type library's order, with their
// parameters from left to right ([in, out] ones by their base type).
const std::array<Signature, 16> kMethods = {{
    {1, {Param::Long}},                                        // Init
    {2, {Param::Long, Param::Long}},                           // DeletePassword
    {3, {Param::Bstr, Param::Long, Param::Long, Param::Long}}, // SetPassword
    {4, {Param::Bstr, Param::Long, Param::Long}},              // ChangePassword
    {5, {Param::Long, Param::Long, Param::Long}},              // IsSuppordHdd
    {6, {Param::Long, Param::Record}},                         // GetCTLStatus
    {7, {Param::Bstr, Param::Long}},                           // SetOwnerString
    {8, {Param::Bstr, Param::Long}},                           // GetOwnerString
    {9, {Param::Record, Param::Long}},                         // GetPolicyStatus
    {10, {Param::Record, Param::Long}},                        // SetPolicy
    {11, {Param::ULong}},                                      // ForceQuit
    {12, {}},                                                  // DoReboot
    {13, {}},                                                  // ForceChangeUSKeyboard
    {14, {}},                                                  // ChangeUSKeyboard
    {15, {Param::Bstr, Param::Long}},                          // IsLegalChar
    {16, {Param::Bstr, Param::Long}},                          // CreatePasswordFile
}};

const Signature* Find(DISPID id)
{
    for (const Signature& s : kMethods)
        if (s.id == id)
            return &s;
    return nullptr;
}

// The value behind at most two references to VARIANTs, read in place; null
// with E_POINTER when one of them is null.
const VARIANT* FollowVariantReferences(const VARIANT& arg, HRESULT& hr)
{
    hr = S_OK;
    const VARIANT* value = &arg;
    for (int level = 0; level < 2 && V_VT(value) == (VT_BYREF | VT_VARIANT); ++level) {
        if (V_VARIANTREF(value) == nullptr) {
            hr = E_POINTER;
            return nullptr;
        }
        value = V_VARIANTREF(value);
    }
    return value;
}

// The value behind at most two levels of reference (a VARIANT by reference
// may itself hold a reference), or null with E_POINTER for a null one.
const VARIANT* Dereferenced(const VARIANT& arg, VARIANT& scratch, HRESULT& hr)
{
    hr = S_OK;
    const VARIANT* value = &arg;
    for (int level = 0; level < 2 && (V_VT(value) & VT_BYREF); ++level) {
        if (V_BYREF(value) == nullptr) {
            hr = E_POINTER;
            return nullptr;
        }
        if (V_VT(value) == (VT_BYREF | VT_VARIANT)) {
            value = V_VARIANTREF(value);
            continue;
        }
        // A typed reference: VariantCopyInd reads through it safely now.
        VariantInit(&scratch);
        if (FAILED(VariantCopyInd(&scratch, const_cast<VARIANT*>(value)))) {
            hr = DISP_E_TYPEMISMATCH;
            return nullptr;
        }
        return &scratch;
    }
    if (V_VT(value) & VT_BYREF) {
        hr = DISP_E_TYPEMISMATCH; // deeper references than any caller makes
        return nullptr;
    }
    return value;
}

HRESULT CheckValue(const VARIANT& arg, Param param)
{
    if ((V_VT(&arg) & VT_BYREF) && V_BYREF(&arg) == nullptr)
        return E_POINTER;
    const bool record = (V_VT(&arg) & ~VT_BYREF) == VT_RECORD;
    if (param == Param::Record) {
        // A record by value or by reference, both held in the same two
        // pointers; which record it is, its invoker checks.
        if (!record)
            return DISP_E_TYPEMISMATCH;
        return arg.pvRecord == nullptr || arg.pRecInfo == nullptr ? E_POINTER : S_OK;
    }
    if (record)
        return DISP_E_TYPEMISMATCH;
    if (param == Param::Bstr) {
        // A string needs no conversion, and a trial conversion would copy
        // it: the text may be a password.
        HRESULT hr = S_OK;
        const VARIANT* text = FollowVariantReferences(arg, hr);
        if (text == nullptr)
            return hr;
        if (V_VT(text) == VT_BSTR)
            return S_OK;
        if (V_VT(text) == (VT_BSTR | VT_BYREF))
            return V_BSTRREF(text) == nullptr ? E_POINTER : S_OK;
    }
    VARIANT scratch;
    VariantInit(&scratch);
    HRESULT hr = S_OK;
    const VARIANT* value = Dereferenced(arg, scratch, hr);
    if (value != nullptr) {
        const VARTYPE want = param == Param::Bstr ? VT_BSTR : param == Param::ULong ? VT_UI4 : VT_I4;
        VARIANT converted;
        VariantInit(&converted);
        hr = VariantChangeType(&converted, const_cast<VARIANT*>(value), 0, want);
        VariantClear(&converted);
        if (FAILED(hr))
            hr = DISP_E_TYPEMISMATCH;
    }
    VariantClear(&scratch);
    return hr;
}

} // namespace

bool IsMethod(DISPID id)
{
    return Find(id) != nullptr;
}

bool TakesPassword(DISPID id)
{
    // SetPassword, ChangePassword, IsLegalChar, CreatePasswordFile.
    return id == 3 || id == 4 || id == 15 || id == 16;
}

UINT ArgumentIndex(const DISPPARAMS& params, UINT position)
{
    for (UINT k = 0; k < params.cNamedArgs; ++k) {
        if (params.rgdispidNamedArgs[k] == static_cast<DISPID>(position))
            return k;
    }
    return params.cArgs - 1 - position;
}

SecretTextArgument::SecretTextArgument(const VARIANT& arg)
{
    VariantInit(&m_converted);
    const VARIANT* value = FollowVariantReferences(arg, m_status);
    if (value == nullptr)
        return;
    if (V_VT(value) == VT_BSTR) {
        m_text = V_BSTR(value);
    } else if (V_VT(value) == (VT_BSTR | VT_BYREF)) {
        if (V_BSTRREF(value) == nullptr)
            m_status = E_POINTER;
        else
            m_text = *V_BSTRREF(value);
    } else if (FAILED(VariantChangeType(&m_converted, const_cast<VARIANT*>(value), 0, VT_BSTR))) {
        m_status = DISP_E_TYPEMISMATCH;
    } else {
        m_text = V_BSTR(&m_converted);
    }
}

SecretTextArgument::~SecretTextArgument()
{
    if (V_VT(&m_converted) == VT_BSTR && V_BSTR(&m_converted) != nullptr)
        SecureZeroMemory(V_BSTR(&m_converted), SysStringByteLen(V_BSTR(&m_converted)));
    VariantClear(&m_converted);
}

LongResultArgument::LongResultArgument(VARIANT& arg)
{
    const VARTYPE type = V_VT(&arg);
    if (!(type & VT_BYREF))
        return; // by value: the caller gets nothing back
    if (V_BYREF(&arg) == nullptr) {
        m_status = E_POINTER;
        return;
    }
    switch (type & ~VT_BYREF) {
    case VT_I4:
    case VT_INT:
    case VT_UI4:
    case VT_UINT:
        m_target = static_cast<LONG*>(V_BYREF(&arg));
        break;
    case VT_VARIANT:
        m_variant = V_VARIANTREF(&arg);
        break;
    default:
        m_status = DISP_E_TYPEMISMATCH;
    }
}

void LongResultArgument::Store()
{
    if (m_variant == nullptr)
        return;
    VariantClear(m_variant);
    V_VT(m_variant) = VT_I4;
    V_I4(m_variant) = m_local;
}

HRESULT CheckDispParams(const DISPPARAMS* params)
{
    if (params == nullptr)
        return E_INVALIDARG;
    if (params->cArgs > 0 && params->rgvarg == nullptr)
        return E_INVALIDARG;
    if (params->cNamedArgs > params->cArgs)
        return E_INVALIDARG;
    if (params->cNamedArgs > 0 && params->rgdispidNamedArgs == nullptr)
        return E_INVALIDARG;
    return S_OK;
}

HRESULT CheckMethodArguments(DISPID id, const DISPPARAMS& params, UINT* argError)
{
    const Signature* method = Find(id);
    if (method == nullptr)
        return DISP_E_MEMBERNOTFOUND;
    const UINT count = static_cast<UINT>(method->params.size());
    if (params.cArgs != count)
        return DISP_E_BADPARAMCOUNT;
    // Which argument (index into rgvarg) fills each parameter: the named
    // ones come first in rgvarg, the positional ones follow in reverse.
    std::vector<int> source(count, -1);
    const UINT positional = params.cArgs - params.cNamedArgs;
    for (UINT i = 0; i < positional; ++i)
        source[i] = static_cast<int>(params.cArgs - 1 - i);
    for (UINT k = 0; k < params.cNamedArgs; ++k) {
        const DISPID named = params.rgdispidNamedArgs[k];
        if (named < 0 || static_cast<UINT>(named) >= count || source[named] != -1) {
            if (argError)
                *argError = k;
            return DISP_E_PARAMNOTFOUND;
        }
        source[named] = static_cast<int>(k);
    }
    UINT index = 0;
    for (const Param param : method->params) {
        const int at = source[index++];
        const HRESULT hr = CheckValue(params.rgvarg[at], param);
        if (FAILED(hr)) {
            if (argError)
                *argError = static_cast<UINT>(at);
            return hr;
        }
    }
    return S_OK;
}

} // namespace velt
