// A COM client of the registered server: creation, identity, every method
// through the function table and through IDispatch (records included), the
// event connection point, the module's unload answer and the trace.
#include <gtest/gtest.h>

#include <olectl.h>

#include <cstring>
#include <map>

#include "NotebookSupport.h"
#include "RegisteredControl.h"
#include "Trace.h"
#include "VELTDll_h.h"

using namespace pwtest;

namespace {

// {4F6A8C2E-3B5D-4E7F-9A1C-2D3E4F5A6B7C}, {5A7B9C1D-2E3F-4A5B-8C6D-7E8F9A0B1C2D}
const GUID kCTLStatusGuid = {0x4F6A8C2E, 0x3B5D, 0x4E7F, {0x9A, 0x1C, 0x2D, 0x3E, 0x4F, 0x5A, 0x6B, 0x7C}};
const GUID kUserPolicyGuid = {0x5A7B9C1D, 0x2E3F, 0x4A5B, {0x8C, 0x6D, 0x7E, 0x8F, 0x9A, 0x0B, 0x1C, 0x2D}};

class ComClient : public RegisteredControl {
protected:
    // A machine of the test's own (a test may set up another one).
    VirtualNotebook machine{sim::CScenario().Class21()};
};

// A sink for the event interface that counts what it is asked.
class Sink : public IDispatch {
public:
    int invokes = 0;
    ULONG refs = 1;
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == DIID__IPasswordCtlEvents) {
            *ppv = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() override { return --refs; }
    STDMETHODIMP GetTypeInfoCount(UINT*) override { return (++invokes, E_NOTIMPL); }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return (++invokes, E_NOTIMPL); }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return (++invokes, E_NOTIMPL); }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return (++invokes, S_OK);
    }
};

// Calls every method once through the function table.
void CallAllSixteen(IPasswordCtl* c)
{
    const LONG sentinel = 0x7AAAAAAA;
    LONG code = sentinel;
    BSTR text = SysAllocString(L"abc");
    EXPECT_EQ(c->Init(&code), S_OK);
    EXPECT_NE(code, sentinel);
    code = sentinel;
    EXPECT_EQ(c->DeletePassword(1, &code), S_OK);
    EXPECT_NE(code, sentinel);
    code = sentinel;
    EXPECT_EQ(c->SetPassword(text, 0, 1, &code), S_OK);
    EXPECT_NE(code, sentinel);
    code = sentinel;
    EXPECT_EQ(c->ChangePassword(text, 1, &code), S_OK);
    EXPECT_NE(code, sentinel);
    LONG support = 5, enable = 5;
    code = sentinel;
    EXPECT_EQ(c->IsSuppordHdd(&support, &enable, &code), S_OK);
    EXPECT_NE(code, sentinel);
    CTLStatus status{};
    EXPECT_EQ(c->GetCTLStatus(1, &status), S_OK);
    code = sentinel;
    EXPECT_EQ(c->SetOwnerString(text, &code), S_OK);
    EXPECT_NE(code, sentinel);
    BSTR owner = nullptr;
    code = sentinel;
    EXPECT_EQ(c->GetOwnerString(&owner, &code), S_OK);
    EXPECT_NE(code, sentinel);
    SysFreeString(owner);
    UserPolicy policy{};
    code = sentinel;
    EXPECT_EQ(c->GetPolicyStatus(&policy, &code), S_OK);
    EXPECT_NE(code, sentinel);
    code = sentinel;
    EXPECT_EQ(c->SetPolicy(policy, &code), S_OK);
    EXPECT_NE(code, sentinel);
    EXPECT_EQ(c->ForceQuit(0), S_OK);
    EXPECT_EQ(c->ForceChangeUSKeyboard(), S_OK);
    EXPECT_EQ(c->ChangeUSKeyboard(), S_OK);
    LONG legal = sentinel;
    EXPECT_EQ(c->IsLegalChar(text, &legal), S_OK);
    EXPECT_EQ(legal, 1);
    SysFreeString(text);
    // DoReboot and CreatePasswordFile would restart the machine or show a
    // dialog: their wrappers are covered by the trace test with care.
}

} // namespace

TEST_F(ComClient, CompRegIsRegisteredButCannotBeCreated)
{
    Com<IUnknown> unknown;
    EXPECT_EQ(CoCreateInstance(CLSID_CompReg, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, unknown.Out()),
              CLASS_E_CLASSNOTAVAILABLE);
}

TEST_F(ComClient, QueryInterfaceAnswersExactlyFourInterfaces)
{
    const std::pair<const IID*, bool> rows[] = {
        {&IID_IUnknown, true},          {&IID_IPasswordCtl, true},   {&IID_IDispatch, true},
        {&IID_IConnectionPointContainer, true}, {&IID_IConnectionPoint, false}, {&IID_IProvideClassInfo, false},
        {&IID_IPersist, false},         {&IID_IClassFactory, false}, {&DIID__IPasswordCtlEvents, false},
    };
    for (const auto& [iid, answered] : rows) {
        Com<IUnknown> got;
        const HRESULT hr = control->QueryInterface(*iid, got.Out());
        EXPECT_EQ(hr, answered ? S_OK : E_NOINTERFACE);
        EXPECT_EQ(got.p != nullptr, answered);
    }
    // One identity.
    Com<IUnknown> a, b;
    control->QueryInterface(IID_IUnknown, a.Out());
    Com<IConnectionPointContainer> container;
    control->QueryInterface(IID_IConnectionPointContainer, container.Out());
    container->QueryInterface(IID_IUnknown, b.Out());
    EXPECT_EQ(a.p, b.p);
}

TEST_F(ComClient, EveryMethodReturnsSOkAndStoresTheEngineCode)
{
    CallAllSixteen(control.p);
}

TEST_F(ComClient, NullOutPointersAreRefused)
{
    BSTR text = SysAllocString(L"abc");
    LONG value = 0;
    EXPECT_EQ(control->Init(nullptr), E_POINTER);
    EXPECT_EQ(control->SetPassword(text, 0, 1, nullptr), E_POINTER);
    EXPECT_EQ(control->IsSuppordHdd(nullptr, &value, &value), E_POINTER);
    EXPECT_EQ(control->GetCTLStatus(1, nullptr), E_POINTER);
    EXPECT_EQ(control->GetOwnerString(nullptr, &value), E_POINTER);
    EXPECT_EQ(control->IsLegalChar(text, nullptr), E_POINTER);
    SysFreeString(text);
}

TEST_F(ComClient, IsSuppordHddPresetsItsFlags)
{
    LONG support = 7, enable = 7, code = 0;
    ASSERT_EQ(control->IsSuppordHdd(&support, &enable, &code), S_OK);
    // Before Init the engine reads no firmware: it fails and leaves the flags.
    EXPECT_EQ(code, static_cast<LONG>(E_FAIL));
    EXPECT_EQ(support, 0);
    EXPECT_EQ(enable, 0);
}

TEST_F(ComClient, IsLegalCharLooksAtTheFirstCharacterOnly)
{
    const std::pair<const wchar_t*, LONG> rows[] = {
        {L"", 1}, {L"A", 1}, {L"\t", 1}, {L"\x7F", 1}, {L"\x00E9", 0}, {L"A\x00E9", 1}, {L"\x00E9" L"A", 0},
    };
    for (const auto& [text, expected] : rows) {
        BSTR b = SysAllocString(text);
        LONG legal = -1;
        EXPECT_EQ(control->IsLegalChar(b, &legal), S_OK);
        EXPECT_EQ(legal, expected) << Narrow(text);
        SysFreeString(b);
    }
    LONG legal = -1;
    EXPECT_EQ(control->IsLegalChar(nullptr, &legal), S_OK);
    EXPECT_EQ(legal, 1);
}

TEST_F(ComClient, DispatchNamesAndPlainMethods)
{
    const wchar_t* names[] = {L"Init", L"DeletePassword", L"SetPassword", L"ChangePassword", L"IsSuppordHdd",
                              L"GetCTLStatus", L"SetOwnerString", L"GetOwnerString", L"GetPolicyStatus",
                              L"SetPolicy", L"ForceQuit", L"DoReboot", L"ForceChangeUSKeyboard",
                              L"ChangeUSKeyboard", L"IsLegalChar", L"CreatePasswordFile"};
    Com<IDispatch> dispatch;
    ASSERT_EQ(control->QueryInterface(IID_IDispatch, dispatch.Out()), S_OK);
    for (int i = 0; i < 16; ++i) {
        LPOLESTR name = const_cast<LPOLESTR>(names[i]);
        DISPID id = -1;
        EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), S_OK) << Narrow(names[i]);
        EXPECT_EQ(id, i + 1) << Narrow(names[i]);
    }
    LPOLESTR unknown = const_cast<LPOLESTR>(L"NoSuchMethod");
    DISPID id = 0;
    EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, &unknown, 1, 0, &id), DISP_E_UNKNOWNNAME);

    // IsLegalChar(Passcode, [in,out] bLegal) late-bound: arguments go last first.
    LONG legal = -1;
    VARIANT args[2];
    VariantInit(&args[0]);
    VariantInit(&args[1]);
    V_VT(&args[0]) = VT_I4 | VT_BYREF;
    V_I4REF(&args[0]) = &legal;
    V_VT(&args[1]) = VT_BSTR;
    V_BSTR(&args[1]) = SysAllocString(L"\x00E9");
    DISPPARAMS params = {args, nullptr, 2, 0};
    EXPECT_EQ(dispatch->Invoke(15, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(legal, 0);
    VariantClear(&args[1]);

    // Init([in,out] pErrorCode) late-bound gives what the function table gives.
    LONG viaDispatch = 0x7AAAAAAA, viaTable = 0x7BBBBBBB;
    VARIANT code;
    V_VT(&code) = VT_I4 | VT_BYREF;
    V_I4REF(&code) = &viaDispatch;
    DISPPARAMS one = {&code, nullptr, 1, 0};
    EXPECT_EQ(dispatch->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &one, nullptr, nullptr, nullptr), S_OK);
    control->Init(&viaTable);
    EXPECT_EQ(viaDispatch, viaTable);
}

// The methods that take a password are unpacked by the library itself (the
// platform's invoke would leave copies of the text): they take the argument
// forms late-bound callers use, as the other methods do.
TEST_F(ComClient, DispatchPasswordMethodsTakeTheUsualArgumentForms)
{
    Com<IDispatch> dispatch;
    ASSERT_EQ(control->QueryInterface(IID_IDispatch, dispatch.Out()), S_OK);
    BSTR ascii = SysAllocString(L"a");
    BSTR accented = SysAllocString(L"\x00E9");
    LONG legal = -1;
    VARIANT holder; // what a script's variable is: a VARIANT passed by reference
    VariantInit(&holder);

    enum class Text { Value, Reference, InVariant, Number };
    enum class Out { Long, Variant, ByValue, WrongType };
    struct Row {
        const char* name;
        BSTR text;
        Text textForm;
        Out outForm;
        bool named;
        HRESULT hr;
        LONG legal;
    };
    const Row rows[] = {
        {"plain", ascii, Text::Value, Out::Long, false, S_OK, 1},
        {"not legal", accented, Text::Value, Out::Long, false, S_OK, 0},
        {"text by reference", accented, Text::Reference, Out::Long, false, S_OK, 0},
        {"text in a VARIANT by reference", ascii, Text::InVariant, Out::Long, false, S_OK, 1},
        {"a number as text", nullptr, Text::Number, Out::Long, false, S_OK, 1},
        {"result in a VARIANT", accented, Text::Value, Out::Variant, false, S_OK, 0},
        {"result by value", ascii, Text::Value, Out::ByValue, false, S_OK, -1},
        {"named arguments", ascii, Text::Value, Out::Long, true, S_OK, 1},
        {"result of another type", ascii, Text::Value, Out::WrongType, false, DISP_E_TYPEMISMATCH, -1},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        legal = -1;
        VariantClear(&holder);
        VARIANT text, out, inner;
        VariantInit(&text);
        VariantInit(&out);
        VariantInit(&inner);
        BSTR textRef = r.text;
        switch (r.textForm) {
        case Text::Value: V_VT(&text) = VT_BSTR; V_BSTR(&text) = r.text; break;
        case Text::Reference: V_VT(&text) = VT_BSTR | VT_BYREF; V_BSTRREF(&text) = &textRef; break;
        case Text::InVariant:
            V_VT(&inner) = VT_BSTR;
            V_BSTR(&inner) = r.text;
            V_VT(&text) = VT_VARIANT | VT_BYREF;
            V_VARIANTREF(&text) = &inner;
            break;
        case Text::Number: V_VT(&text) = VT_I4; V_I4(&text) = 5; break;
        }
        switch (r.outForm) {
        case Out::Long: V_VT(&out) = VT_I4 | VT_BYREF; V_I4REF(&out) = &legal; break;
        case Out::Variant: V_VT(&out) = VT_VARIANT | VT_BYREF; V_VARIANTREF(&out) = &holder; break;
        case Out::ByValue: V_VT(&out) = VT_I4; V_I4(&out) = 0; break;
        case Out::WrongType: V_VT(&out) = VT_BSTR | VT_BYREF; V_BSTRREF(&out) = &textRef; break;
        }
        // Positional arguments go last first; named ones in any order.
        VARIANT args[2] = {out, text};
        DISPID names[2] = {1, 0};
        DISPPARAMS params = {args, r.named ? names : nullptr, 2, r.named ? 2u : 0u};
        UINT argError = 99;
        EXPECT_EQ(dispatch->Invoke(15, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, &argError), r.hr);
        if (r.outForm == Out::Variant) {
            EXPECT_EQ(V_VT(&holder), VT_I4);
            EXPECT_EQ(V_I4(&holder), r.legal);
        } else {
            EXPECT_EQ(legal, r.legal);
        }
        if (FAILED(r.hr)) {
            EXPECT_EQ(argError, 0u) << "the result argument";
        }
    }

    // SetPassword with its two flags as texts, as a script may pass them:
    // converted, and the result reaches the caller as through the table.
    LONG init = -1;
    ASSERT_EQ(control->Init(&init), S_OK);
    LONG code = -1;
    VARIANT args[4];
    for (VARIANT& v : args)
        VariantInit(&v);
    V_VT(&args[0]) = VT_I4 | VT_BYREF;
    V_I4REF(&args[0]) = &code;
    V_VT(&args[1]) = VT_BSTR;
    V_BSTR(&args[1]) = SysAllocString(L"0"); // bIsUser
    V_VT(&args[2]) = VT_BSTR;
    V_BSTR(&args[2]) = SysAllocString(L"0"); // bCheckSetHddPW
    V_VT(&args[3]) = VT_BSTR;
    V_BSTR(&args[3]) = SysAllocString(L"boss1");
    DISPPARAMS params = {args, nullptr, 4, 0};
    EXPECT_EQ(dispatch->Invoke(3, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(code, 103);
    EXPECT_NE(machine.State().supervisor, std::nullopt);
    V_VT(&args[2]) = VT_DISPATCH; // no number
    V_DISPATCH(&args[2]) = nullptr;
    UINT argError = 99;
    EXPECT_EQ(dispatch->Invoke(3, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, &argError),
              DISP_E_TYPEMISMATCH);
    EXPECT_EQ(argError, 2u);
    for (int i : {1, 3})
        VariantClear(&args[i]);
    SysFreeString(ascii);
    SysFreeString(accented);
}

TEST_F(ComClient, DispatchCarriesTheRecords)
{
    Com<IDispatch> dispatch;
    ASSERT_EQ(control->QueryInterface(IID_IDispatch, dispatch.Out()), S_OK);
    Com<IRecordInfo> statusInfo, policyInfo;
    ASSERT_EQ(GetRecordInfoFromGuids(LIBID_VELTDLLLib, 1, 0, 0, kCTLStatusGuid, &statusInfo.p), S_OK);
    ASSERT_EQ(GetRecordInfoFromGuids(LIBID_VELTDLLLib, 1, 0, 0, kUserPolicyGuid, &policyInfo.p), S_OK);
    ULONG size = 0;
    statusInfo->GetSize(&size);
    EXPECT_EQ(size, 20u);
    policyInfo->GetSize(&size);
    EXPECT_EQ(size, 36u);

    // GetCTLStatus(bIsUser, [in,out] CTLStatus*): the record is filled in place.
    CTLStatus status;
    std::memset(&status, 0x5A, sizeof status);
    VARIANT args[2];
    VariantInit(&args[0]);
    VariantInit(&args[1]);
    V_VT(&args[0]) = VT_RECORD | VT_BYREF;
    args[0].pvRecord = &status;
    args[0].pRecInfo = statusInfo.p;
    V_VT(&args[1]) = VT_I4;
    V_I4(&args[1]) = 1;
    DISPPARAMS params = {args, nullptr, 2, 0};
    EXPECT_EQ(dispatch->Invoke(6, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr), S_OK);
    CTLStatus direct;
    std::memset(&direct, 0x5A, sizeof direct);
    control->GetCTLStatus(1, &direct);
    EXPECT_EQ(std::memcmp(&status, &direct, sizeof status), 0);

    // SetPolicy(UserPolicy by value, pErrorCode).
    UserPolicy policy{};
    LONG code = 0x7AAAAAAA;
    V_VT(&args[1]) = VT_RECORD;
    args[1].pvRecord = &policy;
    args[1].pRecInfo = policyInfo.p;
    V_VT(&args[0]) = VT_I4 | VT_BYREF;
    V_I4REF(&args[0]) = &code;
    EXPECT_EQ(dispatch->Invoke(10, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr), S_OK);
    EXPECT_NE(code, 0x7AAAAAAA);

    // A record of the wrong type is refused, not read.
    args[1].pRecInfo = statusInfo.p;
    UINT argError = 99;
    EXPECT_EQ(dispatch->Invoke(10, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, &argError),
              DISP_E_TYPEMISMATCH);
    EXPECT_EQ(argError, 1u);
    params.cArgs = 1;
    params.rgvarg = &args[1];
    EXPECT_EQ(dispatch->Invoke(6, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr),
              DISP_E_BADPARAMCOUNT);
}

TEST_F(ComClient, EventSinksAreKeptButNeverCalled)
{
    Com<IConnectionPointContainer> container;
    ASSERT_EQ(control->QueryInterface(IID_IConnectionPointContainer, container.Out()), S_OK);
    Com<IConnectionPoint> point;
    ASSERT_EQ(container->FindConnectionPoint(DIID__IPasswordCtlEvents, &point.p), S_OK);
    Com<IConnectionPoint> none;
    EXPECT_EQ(container->FindConnectionPoint(IID_IDispatch, &none.p), CONNECT_E_NOCONNECTION);
    IID iid{};
    point->GetConnectionInterface(&iid);
    EXPECT_EQ(iid, DIID__IPasswordCtlEvents);

    Com<IEnumConnectionPoints> points;
    ASSERT_EQ(container->EnumConnectionPoints(&points.p), S_OK);
    IConnectionPoint* listed[2] = {};
    ULONG fetched = 0;
    EXPECT_EQ(points->Next(2, listed, &fetched), S_FALSE);
    ASSERT_EQ(fetched, 1u);
    EXPECT_EQ(listed[0], point.p);
    listed[0]->Release();
    points.p->Release(); // the enumerator keeps the control alive
    points.p = nullptr;

    Sink sink;
    DWORD cookie = 0;
    ASSERT_EQ(point->Advise(&sink, &cookie), S_OK);
    EXPECT_NE(cookie, 0u);
    Com<IEnumConnections> connections;
    ASSERT_EQ(point->EnumConnections(&connections.p), S_OK);
    CONNECTDATA data{};
    ASSERT_EQ(connections->Next(1, &data, &fetched), S_OK);
    EXPECT_EQ(data.dwCookie, cookie);
    data.pUnk->Release();
    connections.p->Release();
    connections.p = nullptr;

    CallAllSixteen(control.p);
    EXPECT_EQ(sink.invokes, 0);
    EXPECT_EQ(point->Unadvise(cookie), S_OK);
    EXPECT_EQ(point->Unadvise(cookie), CONNECT_E_NOCONNECTION);

    // A sink still advised is released when the control goes.
    ASSERT_EQ(point->Advise(&sink, &cookie), S_OK);
    const ULONG held = sink.refs;
    point.p->Release();
    point.p = nullptr;
    container.p->Release();
    container.p = nullptr;
    control.p->Release();
    control.p = nullptr;
    EXPECT_EQ(sink.refs, held - 1);
}

TEST_F(ComClient, TraceHasOneEnterAndLeavePerMethod)
{
    Trace trace;
    CallAllSixteen(control.p);
    control.p->Release();
    control.p = nullptr;
    std::map<std::string, int> enters, leaves;
    for (const std::string& line : trace.Lines()) {
        const auto at = line.find("ENTER CPasswordCtl::");
        if (at != std::string::npos) {
            EXPECT_EQ(line.substr(0, 5), "[INF]") << line;
            ++enters[line.substr(at + 6)];
        }
        const auto leave = line.find("LEAVE CPasswordCtl::");
        if (leave != std::string::npos)
            ++leaves[line.substr(leave + 6)];
    }
    const char* methods[] = {"Init", "DeletePassword", "SetPassword", "ChangePassword", "IsSuppordHdd",
                             "GetCTLStatus", "SetOwnerString", "GetOwnerString", "GetPolicyStatus", "SetPolicy",
                             "ForceQuit", "ForceChangeUSKeyboard", "ChangeUSKeyboard", "~CPasswordCtl"};
    for (const char* method : methods) {
        EXPECT_EQ(enters[std::string("CPasswordCtl::") + method], 1) << method;
        EXPECT_EQ(leaves[std::string("CPasswordCtl::") + method], 1) << method;
    }
    EXPECT_EQ(enters.count("CPasswordCtl::IsLegalChar"), 0u);
    EXPECT_EQ(enters.size(), std::size(methods));
}

TEST(ComModule, CanUnloadOnlyWithoutLiveObjectsOrLocks)
{
    const HMODULE library = LoadLibraryW(LibraryPath().c_str());
    ASSERT_NE(library, nullptr);
    using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
    using CanUnload = HRESULT(WINAPI*)();
    const auto getClassObject =
        reinterpret_cast<GetClassObject>(reinterpret_cast<void (*)()>(GetProcAddress(library, "DllGetClassObject")));
    const auto canUnload =
        reinterpret_cast<CanUnload>(reinterpret_cast<void (*)()>(GetProcAddress(library, "DllCanUnloadNow")));
    ASSERT_TRUE(getClassObject && canUnload);
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));

    EXPECT_EQ(canUnload(), S_OK);
    Com<IClassFactory> factory;
    ASSERT_EQ(getClassObject(CLSID_PasswordCtl, IID_IClassFactory, factory.Out()), S_OK);
    Com<IUnknown> other;
    EXPECT_EQ(getClassObject(CLSID_CompReg, IID_IClassFactory, other.Out()), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(getClassObject(CLSID_PasswordCtl, IID_IClassFactory, nullptr), E_POINTER);

    IPasswordCtl* control = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IPasswordCtl, reinterpret_cast<void**>(&control)), S_OK);
    EXPECT_EQ(canUnload(), S_FALSE);
    control->Release();
    EXPECT_EQ(canUnload(), S_OK);

    factory->LockServer(TRUE);
    EXPECT_EQ(canUnload(), S_FALSE);
    factory->LockServer(FALSE);
    EXPECT_EQ(canUnload(), S_OK);

    // Aggregation: only for IUnknown.
    Sink outer;
    Com<IUnknown> inner;
    EXPECT_EQ(factory->CreateInstance(&outer, IID_IPasswordCtl, inner.Out()), CLASS_E_NOAGGREGATION);
    ASSERT_EQ(factory->CreateInstance(&outer, IID_IUnknown, inner.Out()), S_OK);
    Com<IPasswordCtl> viaInner;
    ASSERT_EQ(inner->QueryInterface(IID_IPasswordCtl, viaInner.Out()), S_OK);
    const ULONG outerRefs = outer.refs;
    viaInner->AddRef(); // delegates to the outer object
    EXPECT_EQ(outer.refs, outerRefs + 1);
    viaInner->Release();
    viaInner.p->Release();
    viaInner.p = nullptr;
    inner.p->Release();
    inner.p = nullptr;
    EXPECT_EQ(canUnload(), S_OK);
    CoUninitialize();
}

// ---- a full session against the virtual notebook ------------------------------

namespace {

// Calls ForceQuit on the control when the posted message arrives: the
// verification dialog's message loop delivers it while the dialog is up.
IPasswordCtl* g_quitTarget = nullptr;
VOID CALLBACK QuitTimer(HWND, UINT, UINT_PTR id, DWORD)
{
    KillTimer(nullptr, id);
    if (g_quitTarget)
        g_quitTarget->ForceQuit(0);
}

} // namespace

TEST_F(ComClient, FullSessionAgainstTheVirtualNotebook)
{
    VirtualNotebook notebook(sim::CScenario().Class21().PcPolicy(0x2C).Answers(
        {sim::Typed("boss1"), sim::Typed("boss1"), sim::Typed("boss1"), sim::Typed("boss1")}));
    LONG code = -1;
    ASSERT_EQ(control->Init(&code), S_OK);
    EXPECT_EQ(code, 0);

    BSTR supervisor = SysAllocString(L"boss1");
    BSTR user = SysAllocString(L"us3r");
    EXPECT_EQ(control->SetPassword(supervisor, 0, 0, &code), S_OK);
    EXPECT_EQ(code, 103);
    CTLStatus panel{};
    panel.IsOwnerEditEnabled = 77; // not the supervisor panel's to touch
    control->GetCTLStatus(0, &panel);
    EXPECT_EQ(panel.IsSetPassButtonEnabled, 0);
    EXPECT_EQ(panel.IsDeletePassButtonEnabled, 1);
    EXPECT_EQ(panel.IsOwnerEditEnabled, 77);

    EXPECT_EQ(control->SetPassword(user, 0, 1, &code), S_OK);
    EXPECT_EQ(code, 102);
    EXPECT_EQ(control->DeletePassword(1, &code), S_OK);
    EXPECT_EQ(code, 100);

    BSTR owner = SysAllocString(L"Asset 7");
    EXPECT_EQ(control->SetOwnerString(owner, &code), S_OK);
    EXPECT_EQ(code, 0);
    BSTR read = nullptr;
    EXPECT_EQ(control->GetOwnerString(&read, &code), S_OK);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(std::wstring(read ? read : L""), L"Asset 7");
    SysFreeString(read);
    SysFreeString(owner);
    SysFreeString(supervisor);
    SysFreeString(user);

    const auto state = notebook.State();
    EXPECT_NE(state.supervisor, std::nullopt);
    EXPECT_EQ(state.user, std::nullopt);
}

TEST_F(ComClient, ForceQuitReachesTheEngineWithoutADialog)
{
    VirtualNotebook notebook(sim::CScenario().Class21());
    LONG code = -1;
    ASSERT_EQ(control->Init(&code), S_OK);
    ASSERT_EQ(code, 0);
    EXPECT_EQ(control->ForceQuit(0), S_OK);
    BSTR text = SysAllocString(L"abc");
    EXPECT_EQ(control->SetPassword(text, 0, 0, &code), S_OK);
    EXPECT_EQ(code, 0) << "a quit was requested: nothing is done";
    SysFreeString(text);
    EXPECT_EQ(notebook.State().supervisor, std::nullopt);
    // The message posted to the (not shown) hidden dialog lands in this thread.
    MSG msg;
    EXPECT_TRUE(PeekMessageW(&msg, nullptr, WM_APP + 1, WM_APP + 1, PM_REMOVE));
}

TEST_F(ComClient, ForceQuitAbortsAVerificationInProgress)
{
    VirtualNotebook notebook(sim::CScenario().Class21().Supervisor("boss1").Answers(
        {sim::Typed("boss1"), sim::Hold(20000)}));
    LONG code = -1;
    ASSERT_EQ(control->Init(&code), S_OK);
    ASSERT_EQ(code, 0);
    g_quitTarget = control.p;
    SetTimer(nullptr, 0, 300, QuitTimer);
    const DWORD start = GetTickCount();
    BSTR text = SysAllocString(L"newpass");
    EXPECT_EQ(control->ChangePassword(text, 0, &code), S_OK);
    SysFreeString(text);
    g_quitTarget = nullptr;
    EXPECT_LT(GetTickCount() - start, 15000u) << "the held dialog was aborted";
    EXPECT_EQ(code, 6) << "the aborted verification ends as cancelled";
    bool aborted = false;
    for (const auto& e : notebook.Journal())
        aborted = aborted || (e.library == "ORNPWCHK" && e.Field("request") == "Abort");
    EXPECT_TRUE(aborted);
}
