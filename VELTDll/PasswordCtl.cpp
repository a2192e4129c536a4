#include "PasswordCtl.h"

#include <imm.h>
#include <olectl.h>

#include <memory>
#include <new>
#include <string>

#include "ComArgs.h"
#include "ComModule.h"
#include "DbgLog.h"
#include "DispatchArgs.h"
#include "Enumerators.h"
#include "EnginePlatform.h"

namespace {

constexpr DISPID kDispGetCTLStatus = 6;
constexpr DISPID kDispSetPolicy = 10;
constexpr DISPID kDispSetPassword = 3;
constexpr DISPID kDispChangePassword = 4;
constexpr DISPID kDispIsLegalChar = 15;
constexpr DISPID kDispCreatePasswordFile = 16;
constexpr UINT kForceQuitMessage = WM_APP + 1;

} // namespace

// ---- creation and identity -------------------------------------------------

CPasswordCtl::CPasswordCtl(IUnknown* outer) : m_outer(outer != nullptr ? outer : &m_inner)
{
    velt::LockModule();
}

CPasswordCtl::~CPasswordCtl()
{
    {
        DL_SCOPE(DL_INF, "CPasswordCtl::~CPasswordCtl");
        m_engine.UnloadKeyboard();
    }
    // Members go next: the engine, then the advised sinks.
}

HRESULT CPasswordCtl::CreateInstance(IUnknown* outer, REFIID riid, void** ppv)
{
    if (ppv == nullptr)
        return E_POINTER;
    *ppv = nullptr;
    if (velt::IsNullReference(riid))
        return E_POINTER;
    if (outer != nullptr && riid != IID_IUnknown)
        return CLASS_E_NOAGGREGATION;
    std::unique_ptr<CPasswordCtl> made(new (std::nothrow) CPasswordCtl(outer));
    if (!made)
        return E_OUTOFMEMORY;
    CPasswordCtl* object = made.release();
    object->m_inner.AddRef();
    const HRESULT hr = object->m_inner.QueryInterface(riid, ppv);
    object->m_inner.Release(); // destroys the object when the query failed
    // Releasing the last reference unlocks the module in the destructor path.
    return hr;
}

HRESULT CPasswordCtl::Inner::QueryInterface(REFIID riid, void** ppv)
{
    if (ppv == nullptr)
        return E_POINTER;
    if (velt::IsNullReference(riid)) {
        *ppv = nullptr;
        return E_POINTER;
    }
    if (riid == IID_IUnknown)
        *ppv = static_cast<IUnknown*>(this);
    else if (riid == IID_IPasswordCtl || riid == IID_IDispatch)
        *ppv = static_cast<IPasswordCtl*>(&m_owner);
    else if (riid == IID_IConnectionPointContainer)
        *ppv = static_cast<IConnectionPointContainer*>(&m_owner);
    else {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    static_cast<IUnknown*>(*ppv)->AddRef();
    return S_OK;
}

ULONG CPasswordCtl::Inner::AddRef()
{
    return ++m_owner.m_refs;
}

ULONG CPasswordCtl::Inner::Release()
{
    const ULONG left = --m_owner.m_refs;
    if (left == 0) {
        std::unique_ptr<CPasswordCtl> self(&m_owner);
        self.reset();
        velt::UnlockModule();
    }
    return left;
}

HRESULT CPasswordCtl::QueryInterface(REFIID riid, void** ppv)
{
    return m_outer->QueryInterface(riid, ppv);
}

ULONG CPasswordCtl::AddRef()
{
    return m_outer->AddRef();
}

ULONG CPasswordCtl::Release()
{
    return m_outer->Release();
}

// ---- IDispatch ---------------------------------------------------------------

HRESULT CPasswordCtl::LoadTypeInfo()
{
    if (m_typeInfo)
        return S_OK;
    velt::ComPtr<ITypeLib> library;
    HRESULT hr = LoadTypeLibEx(velt::ModulePath().c_str(), REGKIND_NONE, library.Put());
    if (FAILED(hr))
        return hr;
    return library->GetTypeInfoOfGuid(IID_IPasswordCtl, m_typeInfo.Put());
}

HRESULT CPasswordCtl::GetTypeInfoCount(UINT* count)
{
    if (count == nullptr)
        return E_POINTER;
    *count = 1;
    return S_OK;
}

HRESULT CPasswordCtl::GetTypeInfo(UINT index, LCID, ITypeInfo** info)
{
    if (info == nullptr)
        return E_POINTER;
    *info = nullptr;
    if (index != 0)
        return DISP_E_BADINDEX;
    const HRESULT hr = LoadTypeInfo();
    if (FAILED(hr))
        return hr;
    *info = m_typeInfo.Get();
    (*info)->AddRef();
    return S_OK;
}

HRESULT CPasswordCtl::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids)
{
    if (velt::IsNullReference(riid) || names == nullptr || ids == nullptr)
        return E_POINTER;
    if (riid != IID_NULL)
        return DISP_E_UNKNOWNINTERFACE;
    if (count == 0)
        return E_INVALIDARG;
    for (UINT i = 0; i < count; ++i) {
        if (names[i] == nullptr)
            return E_POINTER;
    }
    const HRESULT hr = LoadTypeInfo();
    if (FAILED(hr))
        return hr;
    return DispGetIDsOfNames(m_typeInfo.Get(), names, count, ids);
}

HRESULT CPasswordCtl::Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                             EXCEPINFO* exception, UINT* argError)
{
    if (velt::IsNullReference(riid))
        return E_POINTER;
    if (riid != IID_NULL)
        return DISP_E_UNKNOWNINTERFACE;
    // Nothing of the caller's is read before it has been checked here: the
    // platform's invoke trusts every pointer and count it is given.
    HRESULT hr = velt::CheckDispParams(params);
    if (FAILED(hr))
        return hr;
    if (!velt::IsMethod(id))
        return DISP_E_MEMBERNOTFOUND;
    hr = LoadTypeInfo();
    if (FAILED(hr))
        return hr;
    if (flags & DISPATCH_METHOD) {
        hr = velt::CheckMethodArguments(id, *params, argError);
        if (FAILED(hr))
            return hr;
    }
    // The platform's invoke cannot pass records: the two record methods are
    // unpacked here, every other method goes through the type library.
    if ((id == kDispGetCTLStatus || id == kDispSetPolicy) && (flags & DISPATCH_METHOD)) {
        if (params->cNamedArgs != 0)
            return DISP_E_NONAMEDARGS;
        if (result != nullptr)
            VariantInit(result);
        return id == kDispGetCTLStatus ? InvokeGetCTLStatus(params, argError) : InvokeSetPolicy(params, argError);
    }
    if (velt::TakesPassword(id) && (flags & DISPATCH_METHOD)) {
        if (result != nullptr)
            VariantInit(result);
        return InvokeWithPassword(id, params, argError);
    }
    return DispInvoke(static_cast<IPasswordCtl*>(this), m_typeInfo.Get(), id, flags, params, result, exception,
                      argError);
}

namespace {

// The record a VT_RECORD argument carries, when it is of the expected type.
void* RecordArgument(const VARIANT& arg, const GUID& type, ULONG size)
{
    if ((V_VT(&arg) & ~VT_BYREF) != VT_RECORD || arg.pvRecord == nullptr || arg.pRecInfo == nullptr)
        return nullptr;
    GUID guid{};
    ULONG actual = 0;
    if (FAILED(arg.pRecInfo->GetGuid(&guid)) || guid != type || FAILED(arg.pRecInfo->GetSize(&actual)) ||
        actual != size)
        return nullptr;
    return arg.pvRecord;
}

bool LongArgument(const VARIANT& arg, LONG* value)
{
    VARIANT converted;
    VariantInit(&converted);
    if (FAILED(VariantChangeType(&converted, const_cast<VARIANT*>(&arg), 0, VT_I4)))
        return false;
    *value = V_I4(&converted);
    return true;
}

} // namespace

// GetCTLStatus([in] long bIsUser, [in, out] CTLStatus* pUserStatus)
HRESULT CPasswordCtl::InvokeGetCTLStatus(DISPPARAMS* params, UINT* argError)
{
    LONG isUser = 0;
    if (!LongArgument(params->rgvarg[1], &isUser)) {
        if (argError)
            *argError = 1;
        return DISP_E_TYPEMISMATCH;
    }
    auto* status = static_cast<CTLStatus*>(RecordArgument(params->rgvarg[0], GUID_CTLStatus, sizeof(CTLStatus)));
    if (status == nullptr || !(V_VT(&params->rgvarg[0]) & VT_BYREF)) {
        if (argError)
            *argError = 0;
        return DISP_E_TYPEMISMATCH;
    }
    return GetCTLStatus(isUser, status);
}

// SetPassword(Passcode, bCheckSetHddPW, bIsUser, [in, out] pErrorCode),
// ChangePassword(Passcode, bIsUser, [in, out] pErrorCode),
// IsLegalChar(Passcode, [in, out] bLegal) and
// CreatePasswordFile(Password, [in, out] pErrorCode): the password is read
// where the caller holds it, never copied into a string left unwiped.
HRESULT CPasswordCtl::InvokeWithPassword(DISPID id, DISPPARAMS* params, UINT* argError)
{
    const auto refuse = [&](UINT position, HRESULT hr) {
        if (argError)
            *argError = velt::ArgumentIndex(*params, position);
        return hr;
    };
    const UINT last = params->cArgs - 1; // the [in, out] result comes last
    const velt::SecretTextArgument text(params->rgvarg[velt::ArgumentIndex(*params, 0)]);
    if (FAILED(text.Status()))
        return refuse(0, text.Status());
    LONG numbers[2] = {}; // the long parameters between the two
    for (UINT position = 1; position < last; ++position) {
        if (!LongArgument(params->rgvarg[velt::ArgumentIndex(*params, position)], &numbers[position - 1]))
            return refuse(position, DISP_E_TYPEMISMATCH);
    }
    velt::LongResultArgument out(params->rgvarg[velt::ArgumentIndex(*params, last)]);
    if (FAILED(out.Status()))
        return refuse(last, out.Status());
    HRESULT hr = E_UNEXPECTED;
    switch (id) {
    case kDispSetPassword: hr = SetPassword(text.Get(), numbers[0], numbers[1], out.Get()); break;
    case kDispChangePassword: hr = ChangePassword(text.Get(), numbers[0], out.Get()); break;
    case kDispIsLegalChar: hr = IsLegalChar(text.Get(), out.Get()); break;
    case kDispCreatePasswordFile: hr = CreatePasswordFile(text.Get(), out.Get()); break;
    default: break;
    }
    if (SUCCEEDED(hr))
        out.Store();
    return hr;
}

// SetPolicy([in] UserPolicy UserPolicy, long* pErrorCode)
HRESULT CPasswordCtl::InvokeSetPolicy(DISPPARAMS* params, UINT* argError)
{
    auto* policy = static_cast<UserPolicy*>(RecordArgument(params->rgvarg[1], GUID_UserPolicy, sizeof(UserPolicy)));
    if (policy == nullptr) {
        if (argError)
            *argError = 1;
        return DISP_E_TYPEMISMATCH;
    }
    VARIANT& code = params->rgvarg[0];
    if (V_VT(&code) != (VT_I4 | VT_BYREF) || V_I4REF(&code) == nullptr) {
        if (argError)
            *argError = 0;
        return DISP_E_TYPEMISMATCH;
    }
    return SetPolicy(*policy, V_I4REF(&code));
}

// ---- IPasswordCtl ------------------------------------------------------------
// Each method: a scope of its own name, the engine call, the code stored after
// it, S_OK. Null out-pointers are refused rather than written through.

STDMETHODIMP CPasswordCtl::Init(LONG* pErrorCode)
{
    DL_SCOPE(DL_INF, "CPasswordCtl::Init");
    if (pErrorCode == nullptr)
        return E_POINTER;
    *pErrorCode = m_engine.InitVELTDLL();
    return S_OK;
}

STDMETHODIMP CPasswordCtl::DeletePassword(LONG bIsUser, LONG* pErrorCode)
{
    DL_SCOPE(DL_INF, "CPasswordCtl::DeletePassword");
    if (pErrorCode == nullptr)
        return E_POINTER;
    *pErrorCode = m_engine.DeletePassword(bIsUser);
    return S_OK;
}

STDMETHODIMP CPasswordCtl::SetPassword(BSTR Passcode, LONG bCheckSetHddPW, LONG bIsUser, LONG* pErrorCode)
{
    DL_SCOPE(DL_INF, "CPasswordCtl::SetPassword");
    if (pErrorCode == nullptr)
        return E_POINTER;
    *pErrorCode = m_engine.SetPassword(Passcode, bCheckSetHddPW, bIsUser);
    return S_OK;
}

STDMETHODIMP CPasswordCtl::ChangePassword(BSTR Passcode, LONG bIsUser, LONG* pErrorCode)
{
    DL_SCOPE(DL_INF, "CPasswordCtl::ChangePassword");
    if (pErrorCode == nullptr)
        return E_POINTER;
    *pErrorCode = m_engine.ChangePassword(Passcode, bIsUser);
    return S_OK;
}

STDMETHODIMP CPasswordCtl::IsSuppordHdd(LONG* bQSupportHDD, LONG* bEnableHDD, LONG* pErrorCode)
{
    DL_SCOPE(DL_INF, "CPasswordCtl::IsSuppordHdd");
    if (bQSupportHDD == nullptr || bEnableHDD == nullptr || pErrorCode == nullptr)
        return E_POINTER;
    *bQSupportHDD = 0;
    *bEnableHDD = 0;
    *pErrorCode = m_engine.CheckHDDPWStatus(bQSupportHDD, bEnableHDD);
    return S_OK;
}

STDMETHODIMP CPasswordCtl::GetCTLStatus(LONG bIsUser, CTLStatus* pUserStatus)
{
    DL_SCOPE(DL_INF, "CPasswordCtl::GetCTLStatus");
    if (pUserStatus == nullptr)
        return E_POINTER;
    if (bIsUser != 0)
        m_engine.GetUserCTLStatus(pUserStatus);
    else
        m_engine.GetSupervisorCTLStatus(pUserStatus);
    return S_OK;
}

STDMETHODIMP CPasswordCtl::SetOwnerString(BSTR OwnerString, LONG* pErrorCode)
{
    DL_SCOPE(DL_INF, "CPasswordCtl::SetOwnerString");
    if (pErrorCode == nullptr)
        return E_POINTER;
    *pErrorCode = m_engine.SetOwnerString(OwnerString);
    return S_OK;
}

STDMETHODIMP CPasswordCtl::GetOwnerString(BSTR* OwnerString, LONG* pErrorCode)
{
    DL_SCOPE(DL_INF, "CPasswordCtl::GetOwnerString");
    if (OwnerString == nullptr || pErrorCode == nullptr)
        return E_POINTER;
    *pErrorCode = m_engine.GetOwnerString(OwnerString);
    return S_OK;
}

STDMETHODIMP CPasswordCtl::GetPolicyStatus(UserPolicy* pUserpolicy, LONG* pErrorCode)
{
    DL_SCOPE(DL_INF, "CPasswordCtl::GetPolicyStatus");
    if (pUserpolicy == nullptr || pErrorCode == nullptr)
        return E_POINTER;
    *pErrorCode = m_engine.GetUserPolicy(pUserpolicy);
    return S_OK;
}

STDMETHODIMP CPasswordCtl::SetPolicy(UserPolicy UserPolicy, LONG* pErrorCode)
{
    DL_SCOPE(DL_INF, "CPasswordCtl::SetPolicy");
    if (pErrorCode == nullptr)
        return E_POINTER;
    *pErrorCode = m_engine.SetPolicy(UserPolicy);
    return S_OK;
}

STDMETHODIMP CPasswordCtl::ForceQuit(UINT_PTR wParam)
{
    DL_SCOPE(DL_INF, "CPasswordCtl::ForceQuit");
    // Posted to whatever window the first hidden dialog holds: while it is
    // not shown that is null, and the message becomes a thread message.
    PostMessageW(velt::FirstDoModeWindow(), kForceQuitMessage, 0, 0);
    m_engine.ForceQuit(wParam);
    return S_OK;
}

STDMETHODIMP CPasswordCtl::DoReboot()
{
    DL_SCOPE(DL_INF, "CPasswordCtl::DoReboot");
    m_engine.RebootMachine();
    return S_OK;
}

void CPasswordCtl::ActivateUsKeyboard()
{
    ImmDisableIME(0); // 0: the calling thread
    m_engine.ActivateUSKeyboard();
}

STDMETHODIMP CPasswordCtl::ForceChangeUSKeyboard()
{
    DL_SCOPE(DL_INF, "CPasswordCtl::ForceChangeUSKeyboard");
    ActivateUsKeyboard();
    return S_OK;
}

STDMETHODIMP CPasswordCtl::ChangeUSKeyboard()
{
    DL_SCOPE(DL_INF, "CPasswordCtl::ChangeUSKeyboard");
    ActivateUsKeyboard();
    return S_OK;
}

// Legal when the first character is a 7-bit byte after the conversion to the
// ANSI and then the OEM code page; the rest is not examined. No trace.
STDMETHODIMP CPasswordCtl::IsLegalChar(BSTR Passcode, LONG* bLegal)
{
    if (bLegal == nullptr)
        return E_POINTER;
    EnginePlatform& platform = DefaultEnginePlatform();
    std::string text = platform.WideToAnsi(Passcode); // stops at the first zero character
    if (!text.empty())
        platform.AnsiToOem(text.data(), static_cast<DWORD>(text.size()));
    const unsigned char first = text.empty() ? 0 : static_cast<unsigned char>(text[0]);
    SecureZeroMemory(text.data(), text.size());
    *bLegal = first < 0x80 ? 1 : 0;
    return S_OK;
}

STDMETHODIMP CPasswordCtl::CreatePasswordFile(BSTR Password, LONG* pErrorCode)
{
    if (pErrorCode == nullptr)
        return E_POINTER;
    *pErrorCode = m_engine.CreatePasswordFile(Password);
    return S_OK;
}

// ---- connection points ----------------------------------------------------------

STDMETHODIMP CPasswordCtl::EnumConnectionPoints(IEnumConnectionPoints** points)
{
    return velt::CEnumConnectionPoints::Create(static_cast<IPasswordCtl*>(this), {&m_events}, points);
}

STDMETHODIMP CPasswordCtl::FindConnectionPoint(REFIID riid, IConnectionPoint** point)
{
    if (point == nullptr)
        return E_POINTER;
    if (velt::IsNullReference(riid)) {
        *point = nullptr;
        return E_POINTER;
    }
    if (riid != DIID__IPasswordCtlEvents) {
        *point = nullptr;
        return CONNECT_E_NOCONNECTION;
    }
    *point = &m_events;
    m_events.AddRef();
    return S_OK;
}

CEventsConnectionPoint::~CEventsConnectionPoint()
{
    ReleaseSinks();
}

void CEventsConnectionPoint::ReleaseSinks()
{
    m_sinks.clear();
}

STDMETHODIMP CEventsConnectionPoint::QueryInterface(REFIID riid, void** ppv)
{
    if (ppv == nullptr)
        return E_POINTER;
    if (velt::IsNullReference(riid)) {
        *ppv = nullptr;
        return E_POINTER;
    }
    if (riid == IID_IUnknown || riid == IID_IConnectionPoint) {
        *ppv = static_cast<IConnectionPoint*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG CEventsConnectionPoint::AddRef()
{
    return m_owner.AddRef();
}

ULONG CEventsConnectionPoint::Release()
{
    return m_owner.Release();
}

STDMETHODIMP CEventsConnectionPoint::GetConnectionInterface(IID* iid)
{
    if (iid == nullptr)
        return E_POINTER;
    *iid = DIID__IPasswordCtlEvents;
    return S_OK;
}

STDMETHODIMP CEventsConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** container)
{
    if (container == nullptr)
        return E_POINTER;
    return m_owner.QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(container));
}

STDMETHODIMP CEventsConnectionPoint::Advise(IUnknown* sink, DWORD* cookie)
{
    if (sink == nullptr || cookie == nullptr)
        return E_POINTER;
    *cookie = 0;
    velt::ComPtr<IUnknown> events;
    if (FAILED(sink->QueryInterface(DIID__IPasswordCtlEvents, reinterpret_cast<void**>(events.Put()))))
        return CONNECT_E_CANNOTCONNECT;
    for (std::size_t i = 0; i < m_sinks.size(); ++i) {
        if (!m_sinks[i]) {
            m_sinks[i] = events;
            *cookie = static_cast<DWORD>(i + 1);
            return S_OK;
        }
    }
    m_sinks.push_back(events);
    *cookie = static_cast<DWORD>(m_sinks.size());
    return S_OK;
}

STDMETHODIMP CEventsConnectionPoint::Unadvise(DWORD cookie)
{
    if (cookie == 0 || cookie > m_sinks.size() || !m_sinks[cookie - 1])
        return CONNECT_E_NOCONNECTION;
    m_sinks[cookie - 1].Reset();
    return S_OK;
}

STDMETHODIMP CEventsConnectionPoint::EnumConnections(IEnumConnections** connections)
{
    std::vector<CONNECTDATA> live;
    for (std::size_t i = 0; i < m_sinks.size(); ++i) {
        if (m_sinks[i])
            live.push_back({m_sinks[i].Get(), static_cast<DWORD>(i + 1)});
    }
    return velt::CEnumConnections::Create(static_cast<IPasswordCtl*>(&m_owner), std::move(live), connections);
}
