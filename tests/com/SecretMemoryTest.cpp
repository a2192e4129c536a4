// Secrets left behind in the host: after each operation that is given a
// password, and again after the control is released, no 12 consecutive
// characters of that password remain anywhere in this process's committed
// readable memory, as narrow text or as UTF-16.
//
// The test never holds the password in the clear itself: it lives masked in
// the program, is unmasked straight into the caller's string, and that
// string is wiped before it is freed (the system keeps freed strings in a
// cache). The scan compares memory with the masked bytes.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <thread>
#include <vector>

#include "NotebookSupport.h"
#include "RegisteredControl.h"

using namespace pwtest;

namespace {

constexpr unsigned char kMask = 0xA5;
constexpr std::size_t kRun = 12;

template <std::size_t N>
struct Masked {
    std::array<unsigned char, N - 1> bytes{};
    constexpr explicit Masked(const char (&text)[N])
    {
        for (std::size_t i = 0; i + 1 < N; ++i)
            bytes[i] = static_cast<unsigned char>(text[i]) ^ kMask;
    }
    constexpr std::size_t size() const { return N - 1; }
};

// 44 distinct legal characters, longer than any string's inline buffer.
constexpr Masked kPassword("Tq7Wm2Xc9Lp4Rz8Kd3Vn6Hb5Jf1Gs0YaUeOiQwEtByMo");

constexpr bool AllDistinct()
{
    for (std::size_t i = 0; i < kPassword.size(); ++i)
        for (std::size_t j = i + 1; j < kPassword.size(); ++j)
            if (kPassword.bytes[i] == kPassword.bytes[j])
                return false;
    return true;
}
static_assert(AllDistinct(), "the scan finds a run by its first character");
static_assert(kPassword.size() > kRun && kPassword.size() <= 50);

// The caller's string, unmasked in place; wiped before it is freed.
class PasswordBstr {
public:
    PasswordBstr() : m_text(SysAllocStringLen(nullptr, static_cast<UINT>(kPassword.size())))
    {
        for (std::size_t i = 0; i < kPassword.size(); ++i)
            m_text[i] = static_cast<wchar_t>(kPassword.bytes[i] ^ kMask);
    }
    ~PasswordBstr()
    {
        SecureZeroMemory(m_text, kPassword.size() * sizeof(wchar_t));
        SysFreeString(m_text);
    }
    PasswordBstr(const PasswordBstr&) = delete;
    PasswordBstr& operator=(const PasswordBstr&) = delete;
    BSTR Get() const { return m_text; }

private:
    BSTR m_text;
};

struct Leak {
    std::uintptr_t address;
    bool wide;
    std::size_t offset; // where in the password the run starts
};

bool Readable(const MEMORY_BASIC_INFORMATION& region)
{
    constexpr DWORD kReadable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                                PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
    return region.State == MEM_COMMIT && (region.Protect & kReadable) != 0 &&
           (region.Protect & (PAGE_GUARD | PAGE_NOACCESS)) == 0;
}

// Every run of kRun password characters in the process's committed readable
// pages. Pages are copied with ReadProcessMemory, which fails instead of
// faulting on a page that changed under the scan.
std::vector<Leak> FindPasswordRuns()
{
    // The masked byte of each character where a run can start -> 1 + its index.
    std::array<std::size_t, 256> start{};
    for (std::size_t p = 0; p + kRun <= kPassword.size(); ++p)
        start[kPassword.bytes[p]] = p + 1;

    constexpr std::size_t kChunk = 1 << 20, kOverlap = 2 * kRun;
    auto* buffer = static_cast<unsigned char*>(
        VirtualAlloc(nullptr, kChunk + kOverlap, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    std::vector<Leak> leaks;
    if (buffer == nullptr) {
        ADD_FAILURE() << "no scan buffer";
        return leaks;
    }
    SYSTEM_INFO system{};
    GetSystemInfo(&system);
    auto address = reinterpret_cast<std::uintptr_t>(system.lpMinimumApplicationAddress);
    const auto end = reinterpret_cast<std::uintptr_t>(system.lpMaximumApplicationAddress);
    const auto matches = [&](const unsigned char* at, std::size_t avail, std::size_t p, std::size_t stride) {
        if (avail < (kRun - 1) * stride + 1)
            return false;
        for (std::size_t k = 0; k < kRun; ++k) {
            if ((at[k * stride] ^ kMask) != kPassword.bytes[p + k])
                return false;
            if (stride == 2 && at[k * stride + 1] != 0)
                return false;
        }
        return true;
    };
    MEMORY_BASIC_INFORMATION region{};
    while (address < end && VirtualQuery(reinterpret_cast<void*>(address), &region, sizeof region) == sizeof region) {
        const auto base = reinterpret_cast<std::uintptr_t>(region.BaseAddress);
        const std::uintptr_t next = base + region.RegionSize;
        if (Readable(region) && region.AllocationBase != buffer) {
            for (std::uintptr_t at = base; at < next; at += kChunk) {
                const std::size_t want = static_cast<std::size_t>(std::min<std::uintptr_t>(kChunk + kOverlap, next - at));
                SIZE_T got = 0;
                if (!ReadProcessMemory(GetCurrentProcess(), reinterpret_cast<void*>(at), buffer, want, &got))
                    continue;
                const std::size_t scanEnd = std::min<std::size_t>(got, kChunk);
                for (std::size_t i = 0; i < scanEnd; ++i) {
                    const std::size_t p = start[buffer[i] ^ kMask];
                    if (p == 0)
                        continue;
                    for (std::size_t stride : {std::size_t{1}, std::size_t{2}})
                        if (matches(buffer + i, got - i, p - 1, stride))
                            leaks.push_back({at + i, stride == 2, p - 1});
                }
            }
        }
        if (next <= address)
            break;
        address = next;
    }
    SecureZeroMemory(buffer, kChunk + kOverlap);
    VirtualFree(buffer, 0, MEM_RELEASE);
    return leaks;
}

std::string Describe(const std::vector<Leak>& leaks)
{
    std::string out;
    for (const Leak& leak : leaks) {
        char line[96];
        wsprintfA(line, "  %s run from character %u at %p\n", leak.wide ? "UTF-16" : "narrow",
                  static_cast<unsigned>(leak.offset), reinterpret_cast<void*>(leak.address));
        out += line;
    }
    return out;
}

void ExpectNoPasswordInMemory(const char* when)
{
    const std::vector<Leak> leaks = FindPasswordRuns();
    EXPECT_TRUE(leaks.empty()) << leaks.size() << " copies of the password " << when << ":\n" << Describe(leaks);
}

// The registered control, started, against a notebook of each test's own.
class SecretMemory : public RegisteredControl {
protected:
    void SetUp() override
    {
        RegisteredControl::SetUp();
        if (HasFatalFailure())
            return;
        LONG code = -1;
        ASSERT_EQ(control->Init(&code), S_OK);
        ASSERT_EQ(code, 0);
    }
    // Scans with the control alive, then again once it is gone.
    void ExpectNoPasswordLeft(const char* operation)
    {
        ExpectNoPasswordInMemory((std::string("after ") + operation).c_str());
        control.Reset();
        ExpectNoPasswordInMemory((std::string("after ") + operation + " and the release").c_str());
    }
};

} // namespace

TEST(SecretMemoryScan, FindsAPasswordThatIsStillThere)
{
    // The scan itself: a copy held here, narrow and wide, is found.
    std::vector<char> narrow(kPassword.size());
    std::vector<wchar_t> wide(kPassword.size());
    // Volatile stores: the copies must be in memory when the scan runs.
    volatile char* n = narrow.data();
    volatile wchar_t* w = wide.data();
    for (std::size_t i = 0; i < kPassword.size(); ++i) {
        n[i] = static_cast<char>(kPassword.bytes[i] ^ kMask);
        w[i] = static_cast<wchar_t>(kPassword.bytes[i] ^ kMask);
    }
    const std::vector<Leak> leaks = FindPasswordRuns();
    bool sawNarrow = false, sawWide = false;
    for (const Leak& leak : leaks) {
        sawNarrow |= !leak.wide && leak.address == reinterpret_cast<std::uintptr_t>(narrow.data());
        sawWide |= leak.wide && leak.address == reinterpret_cast<std::uintptr_t>(wide.data());
    }
    SecureZeroMemory(narrow.data(), narrow.size());
    SecureZeroMemory(wide.data(), wide.size() * sizeof(wchar_t));
    EXPECT_TRUE(sawNarrow);
    EXPECT_TRUE(sawWide);
    EXPECT_TRUE(FindPasswordRuns().empty()) << "wiped copies are not found:\n" << Describe(FindPasswordRuns());
}

TEST_F(SecretMemory, SetPassword)
{
    VirtualNotebook notebook(sim::CScenario().Class21());
    LONG code = -1;
    {
        PasswordBstr password;
        ASSERT_EQ(control->SetPassword(password.Get(), 0, 0, &code), S_OK);
    }
    EXPECT_EQ(code, 103);
    EXPECT_NE(notebook.State().supervisor, std::nullopt);
    ExpectNoPasswordLeft("SetPassword");
}

TEST_F(SecretMemory, SetPasswordThroughIDispatch)
{
    VirtualNotebook notebook(sim::CScenario().Class21());
    LONG code = -1;
    {
        PasswordBstr password;
        VARIANT args[4];
        for (VARIANT& v : args)
            VariantInit(&v);
        V_VT(&args[0]) = VT_I4 | VT_BYREF; // arguments in reverse order
        V_I4REF(&args[0]) = &code;
        V_VT(&args[1]) = VT_I4;  // bIsUser
        V_VT(&args[2]) = VT_I4;  // bCheckSetHddPW
        V_VT(&args[3]) = VT_BSTR; // the caller keeps it: no VariantClear
        V_BSTR(&args[3]) = password.Get();
        DISPPARAMS params{args, nullptr, 4, 0};
        DISPID id = 0;
        wchar_t name[] = L"SetPassword";
        LPOLESTR names[] = {name};
        ASSERT_EQ(control->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK);
        ASSERT_EQ(control->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr), S_OK);
    }
    EXPECT_EQ(code, 103);
    ExpectNoPasswordLeft("SetPassword through IDispatch");
}

TEST_F(SecretMemory, ChangePassword)
{
    VirtualNotebook notebook(sim::CScenario().Class21().Supervisor("oldboss1").Answers({sim::Typed("oldboss1")}));
    const auto before = notebook.State().supervisor;
    LONG code = -1;
    {
        PasswordBstr password;
        ASSERT_EQ(control->ChangePassword(password.Get(), 0, &code), S_OK);
    }
    EXPECT_EQ(code, 106);
    EXPECT_NE(notebook.State().supervisor, before);
    ExpectNoPasswordLeft("ChangePassword");
}

TEST_F(SecretMemory, IsLegalChar)
{
    LONG legal = -1;
    {
        PasswordBstr password;
        ASSERT_EQ(control->IsLegalChar(password.Get(), &legal), S_OK);
    }
    EXPECT_EQ(legal, 1);
    ExpectNoPasswordLeft("IsLegalChar");
}

TEST_F(SecretMemory, CreatePasswordFile)
{
    // Where no save dialog can open, the call still converts the password
    // before it ends with 111; where one can, the file is written.
    TempDir dir;
    SaveDialogDriver driver;
    driver.path = dir / L"memo.txt";
    const bool dialog = SaveDialogsCanOpen();
    std::thread person;
    if (dialog)
        person = std::thread([&] { driver.Run(); });
    LONG code = -1;
    {
        PasswordBstr password;
        ASSERT_EQ(control->CreatePasswordFile(password.Get(), &code), S_OK);
    }
    if (person.joinable())
        person.join();
    EXPECT_EQ(code, 111);
    if (dialog) {
        ASSERT_TRUE(driver.typed) << "no save dialog appeared";
        WIN32_FILE_ATTRIBUTE_DATA data{};
        ASSERT_TRUE(GetFileAttributesExW(driver.path.c_str(), GetFileExInfoStandard, &data));
        EXPECT_EQ(data.nFileSizeLow, kPassword.size()); // not read back: that would be a copy
        DeleteFileW(driver.path.c_str());
    }
    ExpectNoPasswordLeft("CreatePasswordFile");
}
