// The fixture of the tests that use the control as a host does: the server
// registered by regsvr32 for the test suite, one PasswordCtl created by its
// class identifier for each test.
#pragma once

#include <gtest/gtest.h>

#include "ComTestSupport.h"
#include "VELTDll_h.h"

namespace pwtest {

// An interface pointer released when it goes.
template <class T>
struct Com {
    T* p = nullptr;
    Com() = default;
    Com(const Com&) = delete;
    Com& operator=(const Com&) = delete;
    ~Com() { Reset(); }
    void Reset()
    {
        if (p)
            p->Release();
        p = nullptr;
    }
    T* operator->() const { return p; }
    void** Out() { return reinterpret_cast<void**>(&p); }
};

class RegisteredControl : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        CleanRegistration();
        ASSERT_EQ(Regsvr32(L"/s"), 0u);
    }
    static void TearDownTestSuite() { CleanRegistration(); }
    void SetUp() override
    {
        // "QHCI.DLL" is loaded by bare name: let the search find the build's.
        SetDllDirectoryW(BuildBinFolder().c_str());
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        ASSERT_EQ(CoCreateInstance(CLSID_PasswordCtl, nullptr, CLSCTX_INPROC_SERVER, IID_IPasswordCtl, control.Out()),
                  S_OK);
    }
    void TearDown() override
    {
        control.Reset();
        CoUninitialize();
    }
    Com<IPasswordCtl> control;
};

} // namespace pwtest
