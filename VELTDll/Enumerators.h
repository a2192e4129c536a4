// Snapshot enumerators for the connection-point interfaces.
#pragma once

#include <windows.h>

#include <ocidl.h>

#include <memory>
#include <new>
#include <vector>

#include "ComArgs.h"

namespace velt {

// Copies of the items are taken (and AddRef'd) at creation; the owner is
// kept alive while the enumerator lives.
template <class Enum, class Item, const IID* EnumIid>
class CEnum : public Enum {
public:
    static HRESULT Create(IUnknown* owner, std::vector<Item> items, Enum** out)
    {
        if (out == nullptr)
            return E_POINTER;
        auto made = std::unique_ptr<CEnum>(new (std::nothrow) CEnum(owner, std::move(items)));
        if (!made) {
            *out = nullptr;
            return E_OUTOFMEMORY;
        }
        *out = made.release();
        return S_OK;
    }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (ppv == nullptr)
            return E_POINTER;
        if (IsNullReference(riid)) {
            *ppv = nullptr;
            return E_POINTER;
        }
        if (riid == IID_IUnknown || riid == *EnumIid) {
            *ppv = static_cast<Enum*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_refs; }
    STDMETHODIMP_(ULONG) Release() override
    {
        const ULONG left = --m_refs;
        if (left == 0)
            std::unique_ptr<CEnum> self(this);
        return left;
    }

    STDMETHODIMP Next(ULONG count, Item* items, ULONG* fetched) override
    {
        if (items == nullptr || (count > 1 && fetched == nullptr))
            return E_POINTER;
        ULONG got = 0;
        while (got < count && m_next < m_items.size()) {
            items[got] = m_items[m_next++];
            AddRefItem(items[got]);
            ++got;
        }
        if (fetched)
            *fetched = got;
        return got == count ? S_OK : S_FALSE;
    }
    STDMETHODIMP Skip(ULONG count) override
    {
        const std::size_t left = m_items.size() - m_next;
        m_next += count < left ? count : left;
        return count <= left ? S_OK : S_FALSE;
    }
    STDMETHODIMP Reset() override
    {
        m_next = 0;
        return S_OK;
    }
    STDMETHODIMP Clone(Enum** out) override
    {
        HRESULT hr = Create(m_owner, m_items, out);
        if (SUCCEEDED(hr))
            static_cast<CEnum*>(*out)->m_next = m_next;
        return hr;
    }

    ~CEnum() // through the last Release only
    {
        for (Item& item : m_items)
            ReleaseItem(item);
        m_owner->Release();
    }

private:
    CEnum(IUnknown* owner, std::vector<Item> items) : m_owner(owner), m_items(std::move(items))
    {
        m_owner->AddRef();
        for (Item& item : m_items)
            AddRefItem(item);
    }
    static void AddRefItem(IConnectionPoint* p) { p->AddRef(); }
    static void ReleaseItem(IConnectionPoint* p) { p->Release(); }
    static void AddRefItem(CONNECTDATA& d) { d.pUnk->AddRef(); }
    static void ReleaseItem(CONNECTDATA& d) { d.pUnk->Release(); }

    ULONG m_refs = 1;
    IUnknown* m_owner;
    std::vector<Item> m_items;
    std::size_t m_next = 0;
};

using CEnumConnectionPoints = CEnum<IEnumConnectionPoints, IConnectionPoint*, &IID_IEnumConnectionPoints>;
using CEnumConnections = CEnum<IEnumConnections, CONNECTDATA, &IID_IEnumConnections>;

} // namespace velt
