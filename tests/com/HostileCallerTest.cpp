// The COM surface under a careless or hostile caller: every pointer a method
// takes, null in turn, and malformed late-bound calls. Each must come back as
// an HRESULT; a crash ends the whole test program.
#include <gtest/gtest.h>

#include <olectl.h>

#include <functional>
#include <string>
#include <vector>

#include "NotebookSupport.h"
#include "RegisteredControl.h"

using namespace pwtest;

namespace {

// What a C caller passes for an identifier it has not got: a null "reference".
const IID& NullIid()
{
    static const IID* volatile none = nullptr;
    return *none;
}


struct Row {
    const char* call;
    std::function<HRESULT()> run;
    HRESULT expected;
};

void RunRows(const std::vector<Row>& rows)
{
    for (const Row& row : rows) {
        SCOPED_TRACE(row.call);
        EXPECT_EQ(row.run(), row.expected);
    }
}

// The library loaded as a host loads it, its class object and one control.
class HostileCaller : public ::testing::Test {
protected:
    using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);

    void SetUp() override
    {
        SetDllDirectoryW(BuildBinFolder().c_str());
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        library = LoadLibraryW(LibraryPath().c_str());
        ASSERT_NE(library, nullptr);
        getClassObject = reinterpret_cast<GetClassObject>(
            reinterpret_cast<void (*)()>(GetProcAddress(library, "DllGetClassObject")));
        ASSERT_NE(getClassObject, nullptr);
        ASSERT_EQ(getClassObject(CLSID_PasswordCtl, IID_IClassFactory, factory.Out()), S_OK);
        ASSERT_EQ(factory->CreateInstance(nullptr, IID_IPasswordCtl, control.Out()), S_OK);
        ASSERT_EQ(control->QueryInterface(IID_IDispatch, dispatch.Out()), S_OK);
    }
    void TearDown() override
    {
        if (dispatch.p) {
            dispatch.p->Release();
            dispatch.p = nullptr;
        }
        if (control.p) {
            control.p->Release();
            control.p = nullptr;
        }
        if (factory.p) {
            factory.p->Release();
            factory.p = nullptr;
        }
        CoUninitialize();
    }

    HRESULT Invoke(DISPID id, DISPPARAMS* params, UINT* argError = nullptr, WORD flags = DISPATCH_METHOD)
    {
        VARIANT result;
        VariantInit(&result);
        const HRESULT hr = dispatch->Invoke(id, IID_NULL, 0, flags, params, &result, nullptr, argError);
        VariantClear(&result);
        return hr;
    }

    VirtualNotebook machine{sim::CScenario().Class21()};
    HMODULE library = nullptr;
    GetClassObject getClassObject = nullptr;
    Com<IClassFactory> factory;
    Com<IPasswordCtl> control;
    Com<IDispatch> dispatch;
};

} // namespace

TEST_F(HostileCaller, EveryPointerNullInTurn)
{
    Com<IConnectionPointContainer> container;
    ASSERT_EQ(control->QueryInterface(IID_IConnectionPointContainer, container.Out()), S_OK);
    Com<IConnectionPoint> point;
    ASSERT_EQ(container->FindConnectionPoint(DIID__IPasswordCtlEvents, &point.p), S_OK);
    Com<IEnumConnectionPoints> points;
    ASSERT_EQ(container->EnumConnectionPoints(&points.p), S_OK);
    Com<IEnumConnections> connections;
    ASSERT_EQ(point->EnumConnections(&connections.p), S_OK);

    void* out = nullptr;
    IUnknown* unknown = nullptr;
    BSTR text = SysAllocString(L"abc");
    LONG value = 0;
    BSTR owner = nullptr;
    UserPolicy policy{};
    LPOLESTR name = const_cast<LPOLESTR>(L"Init");
    LPOLESTR names[] = {name, nullptr};
    DISPID ids[2] = {};
    ITypeInfo* info = nullptr;
    DWORD cookie = 0;
    IConnectionPoint* onePoint = nullptr;
    CONNECTDATA oneConnection{};
    ULONG fetched = 0;
    IConnectionPoint* twoPoints[2] = {};

    const std::vector<Row> rows = {
        // DllGetClassObject and the class factory.
        {"DllGetClassObject(null clsid)", [&] { return getClassObject(NullIid(), IID_IClassFactory, &out); },
         E_POINTER},
        {"DllGetClassObject(null iid)", [&] { return getClassObject(CLSID_PasswordCtl, NullIid(), &out); }, E_POINTER},
        {"DllGetClassObject(null out)", [&] { return getClassObject(CLSID_PasswordCtl, IID_IClassFactory, nullptr); },
         E_POINTER},
        {"IClassFactory::QueryInterface(null iid)", [&] { return factory->QueryInterface(NullIid(), &out); },
         E_POINTER},
        {"IClassFactory::QueryInterface(null out)",
         [&] { return factory->QueryInterface(IID_IClassFactory, nullptr); }, E_POINTER},
        {"IClassFactory::CreateInstance(null iid)", [&] { return factory->CreateInstance(nullptr, NullIid(), &out); },
         E_POINTER},
        {"IClassFactory::CreateInstance(null out)",
         [&] { return factory->CreateInstance(nullptr, IID_IPasswordCtl, nullptr); }, E_POINTER},
        // The control's identity.
        {"QueryInterface(null iid)", [&] { return control->QueryInterface(NullIid(), &out); }, E_POINTER},
        {"QueryInterface(null out)", [&] { return control->QueryInterface(IID_IUnknown, nullptr); }, E_POINTER},
        {"QueryInterface(IProvideClassInfo), not offered",
         [&] { return control->QueryInterface(IID_IProvideClassInfo, &out); }, E_NOINTERFACE},
        // IPasswordCtl through its function table.
        {"Init(null)", [&] { return control->Init(nullptr); }, E_POINTER},
        {"DeletePassword(null code)", [&] { return control->DeletePassword(1, nullptr); }, E_POINTER},
        {"SetPassword(null code)", [&] { return control->SetPassword(text, 0, 1, nullptr); }, E_POINTER},
        {"ChangePassword(null code)", [&] { return control->ChangePassword(text, 1, nullptr); }, E_POINTER},
        {"IsSuppordHdd(null support)", [&] { return control->IsSuppordHdd(nullptr, &value, &value); }, E_POINTER},
        {"IsSuppordHdd(null enable)", [&] { return control->IsSuppordHdd(&value, nullptr, &value); }, E_POINTER},
        {"IsSuppordHdd(null code)", [&] { return control->IsSuppordHdd(&value, &value, nullptr); }, E_POINTER},
        {"GetCTLStatus(null record)", [&] { return control->GetCTLStatus(1, nullptr); }, E_POINTER},
        {"SetOwnerString(null code)", [&] { return control->SetOwnerString(text, nullptr); }, E_POINTER},
        {"GetOwnerString(null text)", [&] { return control->GetOwnerString(nullptr, &value); }, E_POINTER},
        {"GetOwnerString(null code)", [&] { return control->GetOwnerString(&owner, nullptr); }, E_POINTER},
        {"GetPolicyStatus(null record)", [&] { return control->GetPolicyStatus(nullptr, &value); }, E_POINTER},
        {"GetPolicyStatus(null code)", [&] { return control->GetPolicyStatus(&policy, nullptr); }, E_POINTER},
        {"SetPolicy(null code)", [&] { return control->SetPolicy(policy, nullptr); }, E_POINTER},
        {"IsLegalChar(null answer)", [&] { return control->IsLegalChar(text, nullptr); }, E_POINTER},
        {"CreatePasswordFile(null code)", [&] { return control->CreatePasswordFile(text, nullptr); }, E_POINTER},
        // IDispatch.
        {"GetTypeInfoCount(null)", [&] { return dispatch->GetTypeInfoCount(nullptr); }, E_POINTER},
        {"GetTypeInfo(null)", [&] { return dispatch->GetTypeInfo(0, 0, nullptr); }, E_POINTER},
        {"GetIDsOfNames(null iid)", [&] { return dispatch->GetIDsOfNames(NullIid(), &name, 1, 0, ids); }, E_POINTER},
        {"GetIDsOfNames(null names)", [&] { return dispatch->GetIDsOfNames(IID_NULL, nullptr, 1, 0, ids); },
         E_POINTER},
        {"GetIDsOfNames(a null name)", [&] { return dispatch->GetIDsOfNames(IID_NULL, names, 2, 0, ids); }, E_POINTER},
        {"GetIDsOfNames(null ids)", [&] { return dispatch->GetIDsOfNames(IID_NULL, &name, 1, 0, nullptr); },
         E_POINTER},
        {"GetIDsOfNames(no names)", [&] { return dispatch->GetIDsOfNames(IID_NULL, &name, 0, 0, ids); },
         E_INVALIDARG},
        {"Invoke(null iid)",
         [&] { return dispatch->Invoke(12, NullIid(), 0, DISPATCH_METHOD, nullptr, nullptr, nullptr, nullptr); },
         E_POINTER},
        {"Invoke(null DISPPARAMS)",
         [&] { return dispatch->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, nullptr, nullptr, nullptr, nullptr); },
         E_INVALIDARG},
        {"Invoke(null DISPPARAMS, a record method)",
         [&] { return dispatch->Invoke(6, IID_NULL, 0, DISPATCH_METHOD, nullptr, nullptr, nullptr, nullptr); },
         E_INVALIDARG},
        {"Invoke(null DISPPARAMS, as a property)",
         [&] { return dispatch->Invoke(1, IID_NULL, 0, DISPATCH_PROPERTYGET, nullptr, nullptr, nullptr, nullptr); },
         E_INVALIDARG},
        // The connection points.
        {"EnumConnectionPoints(null)", [&] { return container->EnumConnectionPoints(nullptr); }, E_POINTER},
        {"FindConnectionPoint(null iid)", [&] { return container->FindConnectionPoint(NullIid(), &onePoint); },
         E_POINTER},
        {"FindConnectionPoint(null out)",
         [&] { return container->FindConnectionPoint(DIID__IPasswordCtlEvents, nullptr); }, E_POINTER},
        {"IConnectionPoint::QueryInterface(null iid)", [&] { return point->QueryInterface(NullIid(), &out); },
         E_POINTER},
        {"IConnectionPoint::QueryInterface(null out)",
         [&] { return point->QueryInterface(IID_IConnectionPoint, nullptr); }, E_POINTER},
        {"GetConnectionInterface(null)", [&] { return point->GetConnectionInterface(nullptr); }, E_POINTER},
        {"GetConnectionPointContainer(null)", [&] { return point->GetConnectionPointContainer(nullptr); },
         E_POINTER},
        {"Advise(null sink)", [&] { return point->Advise(nullptr, &cookie); }, E_POINTER},
        {"Advise(null cookie)", [&] { return point->Advise(control.p, nullptr); }, E_POINTER},
        {"Unadvise(no cookie)", [&] { return point->Unadvise(0); }, CONNECT_E_NOCONNECTION},
        {"EnumConnections(null)", [&] { return point->EnumConnections(nullptr); }, E_POINTER},
        // The enumerators.
        {"IEnumConnectionPoints::QueryInterface(null iid)", [&] { return points->QueryInterface(NullIid(), &out); },
         E_POINTER},
        {"IEnumConnectionPoints::QueryInterface(null out)",
         [&] { return points->QueryInterface(IID_IEnumConnectionPoints, nullptr); }, E_POINTER},
        {"IEnumConnectionPoints::Next(null items)", [&] { return points->Next(1, nullptr, &fetched); }, E_POINTER},
        {"IEnumConnectionPoints::Next(two, null count)", [&] { return points->Next(2, twoPoints, nullptr); },
         E_POINTER},
        {"IEnumConnectionPoints::Clone(null)", [&] { return points->Clone(nullptr); }, E_POINTER},
        {"IEnumConnections::QueryInterface(null iid)", [&] { return connections->QueryInterface(NullIid(), &out); },
         E_POINTER},
        {"IEnumConnections::QueryInterface(null out)",
         [&] { return connections->QueryInterface(IID_IEnumConnections, nullptr); }, E_POINTER},
        {"IEnumConnections::Next(null items)", [&] { return connections->Next(1, nullptr, &fetched); }, E_POINTER},
        {"IEnumConnections::Next(one, null count)",
         [&] { return connections->Next(1, &oneConnection, nullptr); }, S_FALSE},
        {"IEnumConnections::Clone(null)", [&] { return connections->Clone(nullptr); }, E_POINTER},
    };
    RunRows(rows);
    (void)unknown;
    (void)info;
    SysFreeString(text);
    SysFreeString(owner);
}

// Late-bound calls whose DISPPARAMS lie about what they hold.
TEST_F(HostileCaller, MalformedDispatchParameters)
{
    VARIANT args[4];
    for (VARIANT& v : args)
        VariantInit(&v);
    DISPID named[1] = {0};
    LONG code = 0;
    V_VT(&args[0]) = VT_I4 | VT_BYREF;
    V_I4REF(&args[0]) = &code;

    DISPPARAMS countedButMissing = {nullptr, nullptr, 2, 0};
    DISPPARAMS namedButMissing = {args, nullptr, 1, 1};
    DISPPARAMS moreNamedThanAll = {args, named, 1, 2};
    EXPECT_EQ(Invoke(1, &countedButMissing), E_INVALIDARG);
    EXPECT_EQ(Invoke(6, &countedButMissing), E_INVALIDARG);
    EXPECT_EQ(Invoke(10, &countedButMissing), E_INVALIDARG);
    EXPECT_EQ(Invoke(1, &namedButMissing), E_INVALIDARG);
    EXPECT_EQ(Invoke(1, &moreNamedThanAll), E_INVALIDARG);
    EXPECT_EQ(Invoke(1, &countedButMissing, nullptr, DISPATCH_PROPERTYGET), E_INVALIDARG);

    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    EXPECT_EQ(Invoke(0, &none), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(Invoke(17, &none), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(Invoke(-1, &none), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(Invoke(12 + 1000, &none), DISP_E_MEMBERNOTFOUND);

    // Named arguments: Init's one parameter by its position works, any
    // other name is not found.
    DISPPARAMS byName = {args, named, 1, 1};
    code = 0x7AAAAAAA;
    EXPECT_EQ(Invoke(1, &byName), S_OK);
    EXPECT_NE(code, 0x7AAAAAAA);
    named[0] = 1;
    UINT argError = 99;
    EXPECT_EQ(Invoke(1, &byName, &argError), DISP_E_PARAMNOTFOUND);
    EXPECT_EQ(argError, 0u);
    named[0] = -5;
    EXPECT_EQ(Invoke(1, &byName, &argError), DISP_E_PARAMNOTFOUND);
}

// For each method: one argument too many and one too few, then each argument
// in turn replaced by a null reference and by a value of no usable type.
TEST_F(HostileCaller, WrongArgumentCountsAndTypesForEveryMethod)
{
    const std::vector<int> arity = {1, 2, 4, 3, 3, 2, 2, 2, 2, 2, 1, 0, 0, 0, 2, 2};
    // Where a method takes a record (index into rgvarg), the other arguments'
    // cases need one there that passes the check; it is never read, since
    // the call fails on the bad argument first.
    const auto recordAt = [](DISPID id) { return id == 6 ? 0 : id == 9 || id == 10 ? 1 : -1; };
    char unread[64] = {};
    for (DISPID id = 1; id <= 16; ++id) {
        SCOPED_TRACE("DISPID " + std::to_string(id));
        const UINT count = static_cast<UINT>(arity[id - 1]);
        std::vector<VARIANT> args(count + 1);
        for (VARIANT& v : args) {
            VariantInit(&v);
            V_VT(&v) = VT_I4;
        }
        DISPPARAMS tooMany = {args.data(), nullptr, count + 1, 0};
        EXPECT_EQ(Invoke(id, &tooMany), DISP_E_BADPARAMCOUNT);
        if (count == 0)
            continue;
        DISPPARAMS tooFew = {args.data(), nullptr, count - 1, 0};
        EXPECT_EQ(Invoke(id, &tooFew), DISP_E_BADPARAMCOUNT);

        for (UINT at = 0; at < count; ++at) {
            std::vector<VARIANT> bad(count);
            for (VARIANT& v : bad)
                VariantInit(&v);
            if (const int record = recordAt(id); record >= 0 && static_cast<UINT>(record) != at) {
                V_VT(&bad[record]) = VT_RECORD | VT_BYREF;
                bad[record].pvRecord = unread;
                bad[record].pRecInfo = reinterpret_cast<IRecordInfo*>(unread);
            }
            DISPPARAMS params = {bad.data(), nullptr, count, 0};
            UINT argError = 99;
            V_VT(&bad[at]) = VT_I4 | VT_BYREF; // a null reference
            EXPECT_EQ(Invoke(id, &params, &argError), E_POINTER) << "argument " << at;
            EXPECT_EQ(argError, at);
            V_VT(&bad[at]) = VT_BYREF | VT_VARIANT;
            EXPECT_EQ(Invoke(id, &params, &argError), E_POINTER) << "argument " << at;
            V_VT(&bad[at]) = VT_UNKNOWN; // no value of any parameter type
            V_UNKNOWN(&bad[at]) = nullptr;
            argError = 99;
            EXPECT_EQ(Invoke(id, &params, &argError), DISP_E_TYPEMISMATCH) << "argument " << at;
            EXPECT_EQ(argError, at);
            V_VT(&bad[at]) = VT_RECORD; // a record without its description
            bad[at].pvRecord = nullptr;
            bad[at].pRecInfo = nullptr;
            EXPECT_TRUE(FAILED(Invoke(id, &params, &argError))) << "argument " << at;
        }
    }
}

// A text where a number belongs, and the other way round, is a type mismatch
// that names the argument; a text that reads as a number is converted.
TEST_F(HostileCaller, ConvertibleAndUnconvertibleValues)
{
    LONG code = 0;
    VARIANT args[2];
    VariantInit(&args[0]);
    VariantInit(&args[1]);
    V_VT(&args[0]) = VT_I4 | VT_BYREF;
    V_I4REF(&args[0]) = &code;
    V_VT(&args[1]) = VT_BSTR;
    V_BSTR(&args[1]) = SysAllocString(L"not a number");
    DISPPARAMS params = {args, nullptr, 2, 0};
    UINT argError = 99;
    EXPECT_EQ(Invoke(2, &params, &argError), DISP_E_TYPEMISMATCH); // DeletePassword(bIsUser, ...)
    EXPECT_EQ(argError, 1u);
    SysFreeString(V_BSTR(&args[1]));
    V_BSTR(&args[1]) = SysAllocString(L"1");
    code = 0x7AAAAAAA;
    EXPECT_EQ(Invoke(2, &params, &argError), S_OK);
    EXPECT_NE(code, 0x7AAAAAAA);
    VariantClear(&args[1]);
}
