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
