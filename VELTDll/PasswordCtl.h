// The automation object PasswordCtl: a thin, traced wrapper around one
// password engine. Every method returns S_OK and hands the engine's result
// code back unchanged in the caller's error-code argument.
#pragma once

#include <windows.h>

#include <ocidl.h>

#include <vector>

#include "ComPtr.h"
#include "ControlRecords.h"
#include "PassWordFUN.h"

class CPasswordCtl;

// The one connection point, for _IPasswordCtlEvents. The interface has no
// methods, so advised sinks are only kept, never called. It lives inside the
// control and shares its reference count.
class CEventsConnectionPoint : public IConnectionPoint {
public:
    explicit CEventsConnectionPoint(CPasswordCtl& owner) : m_owner(owner) {}
    ~CEventsConnectionPoint();

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    STDMETHODIMP GetConnectionInterface(IID* iid) override;
    STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** container) override;
    STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override;
    STDMETHODIMP Unadvise(DWORD cookie) override;
    STDMETHODIMP EnumConnections(IEnumConnections** connections) override;

    void ReleaseSinks();

private:
    CPasswordCtl& m_owner;
    std::vector<velt::ComPtr<IUnknown>> m_sinks; // cookie = index + 1; released slots stay empty
};

class CPasswordCtl : public IPasswordCtl, public IConnectionPointContainer {
public:
    // The class object's creator; aggregation needs riid IID_IUnknown.
    static HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** ppv);

    // IUnknown, delegating to the controlling unknown.
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IDispatch
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* exception, UINT* argError) override;

    // IPasswordCtl
    STDMETHODIMP Init(LONG* pErrorCode) override;
    STDMETHODIMP DeletePassword(LONG bIsUser, LONG* pErrorCode) override;
    STDMETHODIMP SetPassword(BSTR Passcode, LONG bCheckSetHddPW, LONG bIsUser, LONG* pErrorCode) override;
    STDMETHODIMP ChangePassword(BSTR Passcode, LONG bIsUser, LONG* pErrorCode) override;
    STDMETHODIMP IsSuppordHdd(LONG* bQSupportHDD, LONG* bEnableHDD, LONG* pErrorCode) override;
    STDMETHODIMP GetCTLStatus(LONG bIsUser, CTLStatus* pUserStatus) override;
    STDMETHODIMP SetOwnerString(BSTR OwnerString, LONG* pErrorCode) override;
    STDMETHODIMP GetOwnerString(BSTR* OwnerString, LONG* pErrorCode) override;
    STDMETHODIMP GetPolicyStatus(UserPolicy* pUserpolicy, LONG* pErrorCode) override;
    STDMETHODIMP SetPolicy(UserPolicy UserPolicy, LONG* pErrorCode) override;
    STDMETHODIMP ForceQuit(UINT_PTR wParam) override;
    STDMETHODIMP DoReboot() override;
    STDMETHODIMP ForceChangeUSKeyboard() override;
    STDMETHODIMP ChangeUSKeyboard() override;
    STDMETHODIMP IsLegalChar(BSTR Passcode, LONG* bLegal) override;
    STDMETHODIMP CreatePasswordFile(BSTR Password, LONG* pErrorCode) override;

    // IConnectionPointContainer
    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** points) override;
    STDMETHODIMP FindConnectionPoint(REFIID riid, IConnectionPoint** point) override;

    CPasswordCtl(const CPasswordCtl&) = delete;
    CPasswordCtl& operator=(const CPasswordCtl&) = delete;

    ~CPasswordCtl(); // through the last Release only

private:
    explicit CPasswordCtl(IUnknown* outer);

    // The non-delegating unknown: the object's identity when aggregated.
    class Inner : public IUnknown {
    public:
        explicit Inner(CPasswordCtl& owner) : m_owner(owner) {}
        STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
        STDMETHODIMP_(ULONG) AddRef() override;
        STDMETHODIMP_(ULONG) Release() override;

    private:
        CPasswordCtl& m_owner;
    };

    HRESULT LoadTypeInfo();
    HRESULT InvokeGetCTLStatus(DISPPARAMS* params, UINT* argError);
    HRESULT InvokeSetPolicy(DISPPARAMS* params, UINT* argError);
    HRESULT InvokeWithPassword(DISPID id, DISPPARAMS* params, UINT* argError);
    void ActivateUsKeyboard();

    Inner m_inner{*this};
    IUnknown* m_outer;          // the controlling unknown (m_inner when not aggregated)
    ULONG m_refs = 0;           // apartment-threaded: a plain counter
    // Destroyed in reverse order: the engine first, then the advised sinks.
    CEventsConnectionPoint m_events{*this};
    PassWordFUN m_engine;
    velt::ComPtr<ITypeInfo> m_typeInfo;

    friend class CEventsConnectionPoint;
};
