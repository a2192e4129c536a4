// Registration through the platform's regsvr32: the registry afterwards
// holds exactly the class entries and the type library, in the machine's or
// the current user's classes.
#include <gtest/gtest.h>

#include <set>

#include "ComTestSupport.h"

using namespace pwtest;

namespace {

const wchar_t* const kCompReg = L"CLSID\\{3B1C7E52-9A0D-4F61-8E2B-5C7D90A1E3F4}";
const wchar_t* const kPasswordCtl = L"CLSID\\{6E2A4D18-0B7C-4C95-A3D1-2F8E6B0C9D57}";
const wchar_t* const kTypeLib = L"TypeLib\\{A5D3F0C2-7E41-4B8A-9C06-1D2E3F4A5B6C}";

// Everything under a key, as "sub\key|name=data" lines.
std::set<std::string> Dump(HKEY root, const std::wstring& path)
{
    std::set<std::string> lines;
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return lines;
    const auto collect = [&](auto&& self, HKEY k, const std::wstring& prefix) -> void {
        wchar_t name[256];
        BYTE data[1024];
        for (DWORD i = 0;; ++i) {
            DWORD nameLen = 256, dataLen = sizeof data, type = 0;
            if (RegEnumValueW(k, i, name, &nameLen, nullptr, &type, data, &dataLen) != ERROR_SUCCESS)
                break;
            std::wstring value = type == REG_SZ ? std::wstring(reinterpret_cast<wchar_t*>(data)) : L"<non-string>";
            lines.insert(Narrow(prefix + L"|" + (nameLen ? name : L"@") + L"=" + value));
        }
        bool any = false;
        for (DWORD i = 0;; ++i) {
            DWORD nameLen = 256;
            if (RegEnumKeyExW(k, i, name, &nameLen, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
                break;
            any = true;
            HKEY child = nullptr;
            if (RegOpenKeyExW(k, name, 0, KEY_READ, &child) == ERROR_SUCCESS) {
                self(self, child, prefix + L"\\" + name);
                RegCloseKey(child);
            }
        }
        (void)any;
        lines.insert(Narrow(prefix)); // the key itself
    };
    collect(collect, key, L"");
    RegCloseKey(key);
    return lines;
}

std::set<std::string> Expected(const std::string& name, const std::string& module, bool programmable)
{
    std::set<std::string> lines = {
        "",
        "|@=" + name,
        "\\InprocServer32",
        "\\InprocServer32|@=" + module,
        "\\InprocServer32|ThreadingModel=Apartment",
        "\\TypeLib",
        "\\TypeLib|@={A5D3F0C2-7E41-4B8A-9C06-1D2E3F4A5B6C}",
        "\\Version",
        "\\Version|@=1.0",
    };
    if (programmable)
        lines.insert("\\Programmable");
    return lines;
}

bool KeyExists(HKEY root, const std::wstring& path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

const wchar_t* const kMachineClasses = L"Software\\Classes\\";
const wchar_t* const kUserClasses = L"Software\\Classes\\";

} // namespace

class Registration : public ::testing::Test {
protected:
    void SetUp() override { CleanRegistration(); }
    void TearDown() override { CleanRegistration(); }
};

TEST_F(Registration, MachineRegistrationWritesExactlyTheTable)
{
    ASSERT_EQ(Regsvr32(L"/s"), 0u);
    const std::string module = Narrow(LibraryPath());
    EXPECT_EQ(Dump(HKEY_LOCAL_MACHINE, std::wstring(kMachineClasses) + kCompReg), Expected("CompReg Class", module, false));
    EXPECT_EQ(Dump(HKEY_LOCAL_MACHINE, std::wstring(kMachineClasses) + kPasswordCtl),
              Expected("PasswordCtl Class", module, true));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, kTypeLib));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, L"Interface\\{C7E9B2A4-5D13-4F0E-8A62-9B1C0D2E3F40}"));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, std::wstring(kUserClasses) + kPasswordCtl));
    // No program identifier, no application identifier.
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, std::wstring(kPasswordCtl) + L"\\ProgID"));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"AppID\\{E1A2B3C4-D5E6-4F70-8192-A3B4C5D6E7F8}"));

    ASSERT_EQ(Regsvr32(L"/s /u"), 0u);
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kCompReg));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kPasswordCtl));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kTypeLib));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, L"CLSID"));
}

TEST_F(Registration, RegistrationReplacesStaleEntries)
{
    HKEY stale = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, (std::wstring(kPasswordCtl) + L"\\Stale").c_str(), 0, nullptr, 0,
                              KEY_WRITE, nullptr, &stale, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(stale);
    ASSERT_EQ(Regsvr32(L"/s"), 0u);
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, std::wstring(kPasswordCtl) + L"\\Stale"));
}

TEST_F(Registration, DllInstallUserRule)
{
    struct Row {
        const wchar_t* commandLine;
        bool perUser;
    };
    const Row rows[] = {{L"user", true}, {L"USER", true}, {L"users", false}, {L"\"user \"", false}};
    const std::string module = Narrow(LibraryPath());
    for (const Row& row : rows) {
        SCOPED_TRACE(Narrow(row.commandLine));
        CleanRegistration();
        ASSERT_EQ(Regsvr32(std::wstring(L"/s /n /i:") + row.commandLine), 0u);
        const HKEY root = row.perUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
        const HKEY other = row.perUser ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
        EXPECT_EQ(Dump(root, std::wstring(kUserClasses) + kPasswordCtl), Expected("PasswordCtl Class", module, true));
        EXPECT_FALSE(KeyExists(other, std::wstring(kUserClasses) + kPasswordCtl));
        EXPECT_EQ(KeyExists(root, std::wstring(kUserClasses) + kTypeLib), true) << "type library beside the classes";
        if (row.perUser) {
            ASSERT_EQ(Regsvr32(std::wstring(L"/s /u /n /i:") + row.commandLine), 0u);
            EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, std::wstring(kUserClasses) + kPasswordCtl));
            EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, std::wstring(kUserClasses) + kTypeLib));
            EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, L"Software\\Classes\\CLSID"));
        }
    }
}
