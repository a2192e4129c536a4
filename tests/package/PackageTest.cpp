// The suite's Windows Installer package as IT staff deploy it: installed
// with msiexec, it registers the control exactly as self-registration does
// (paths aside), the control is created by class identifier and pwctl works
// from the install folder against the virtual notebook feature; removed, it
// leaves nothing behind.
#include <gtest/gtest.h>

#include <objbase.h>

#include <map>
#include <set>

#include "ComTestSupport.h"
#include "NotebookSupport.h"
#include "VELTDll_h.h"

using namespace pwtest;

namespace {

const wchar_t* const kRegisteredKeys[] = {
    L"Software\\Classes\\CLSID\\{3B1C7E52-9A0D-4F61-8E2B-5C7D90A1E3F4}",
    L"Software\\Classes\\CLSID\\{6E2A4D18-0B7C-4C95-A3D1-2F8E6B0C9D57}",
    L"Software\\Classes\\TypeLib\\{A5D3F0C2-7E41-4B8A-9C06-1D2E3F4A5B6C}",
    L"Software\\Classes\\Interface\\{A817E7A2-43FA-11D0-9E44-00AA00B6770A}",
    L"Software\\Classes\\Interface\\{C7E9B2A4-5D13-4F0E-8A62-9B1C0D2E3F40}",
    L"Software\\Classes\\Interface\\{D2F4A6B8-1C3E-4A5B-9D7F-0E1A2B3C4D5E}",
};

// The registry views a registration of this build writes: a 64-bit one
// writes the interface keys for 32-bit clients too; a 32-bit package can
// only write the 32-bit view.
std::vector<REGSAM> Views()
{
    if (sizeof(void*) == 8)
        return {KEY_WOW64_64KEY, KEY_WOW64_32KEY};
    return {KEY_WOW64_32KEY};
}

std::wstring Lower(std::wstring text)
{
    for (wchar_t& c : text)
        c = static_cast<wchar_t>(towlower(c));
    return text;
}

// A path value with the library's folder replaced by "<folder>", so that a
// registration from the build and one from the install folder compare.
std::wstring WithoutFolder(std::wstring value, const std::wstring& folder)
{
    std::wstring f = Lower(folder);
    while (!f.empty() && f.back() == L'\\')
        f.pop_back();
    const std::wstring lower = Lower(value);
    if (lower.compare(0, f.size(), f) == 0) {
        value = L"<folder>" + value.substr(f.size());
        while (value.size() > 8 && value.back() == L'\\')
            value.pop_back();
    }
    return value;
}

void Collect(HKEY parent, const std::wstring& path, REGSAM view, const std::wstring& folder,
             std::set<std::wstring>& out)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(parent, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS)
        return;
    out.insert((view == KEY_WOW64_32KEY ? L"32| " : L"64| ") + Lower(path));
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD nameLength = 256, type = 0, size = 0;
        BYTE data[2048];
        size = sizeof data;
        if (RegEnumValueW(key, i, name, &nameLength, nullptr, &type, data, &size) != ERROR_SUCCESS)
            break;
        std::wstring value = type == REG_SZ ? std::wstring(reinterpret_cast<wchar_t*>(data), size / sizeof(wchar_t))
                                            : L"(type " + std::to_wstring(type) + L")";
        while (!value.empty() && value.back() == L'\0')
            value.pop_back();
        out.insert((view == KEY_WOW64_32KEY ? L"32| " : L"64| ") + Lower(path) + L" | " + Lower(name) + L" = " +
                   WithoutFolder(value, folder));
    }
    std::vector<std::wstring> children;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD nameLength = 256;
        if (RegEnumKeyExW(key, i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        children.emplace_back(name);
    }
    RegCloseKey(key);
    for (const std::wstring& child : children)
        Collect(parent, path + L"\\" + child, view, folder, out);
}

std::set<std::wstring> Registration(const std::wstring& folder)
{
    std::set<std::wstring> out;
    for (REGSAM view : Views())
        for (const wchar_t* key : kRegisteredKeys)
            Collect(HKEY_LOCAL_MACHINE, key, view, folder, out);
    return out;
}

std::wstring InstallFolder()
{
    wchar_t programFiles[MAX_PATH] = {};
    GetEnvironmentVariableW(L"ProgramFiles", programFiles, MAX_PATH);
    return std::wstring(programFiles) + L"\\Norvak\\Firmware Password Manager\\";
}

// What an interrupted earlier run may have left: the registration and the
// install folder.
void RemoveRegistration()
{
    RemoveTree(InstallFolder());
    CleanRegistration();
    for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
        HKEY classes = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Classes", 0, KEY_ALL_ACCESS | view, &classes) != ERROR_SUCCESS)
            continue;
        for (const wchar_t* key : kRegisteredKeys)
            RegDeleteTreeW(classes, key + std::wcslen(L"Software\\Classes\\"));
        RegCloseKey(classes);
    }
}

// The release as it ships (setup.exe, SetupConfig.ini, the package), and a
// next major release built only for the upgrade tests.
std::wstring ReleaseFolder()
{
    return BuildBinFolder() + L"..\\package\\release\\";
}
std::wstring NextReleaseFolder()
{
    return BuildBinFolder() + L"..\\package\\next\\";
}

std::wstring PackagePath()
{
    return ReleaseFolder() + PW_PACKAGE_NAME;
}


std::wstring UninstallValue(const wchar_t* name)
{
    wchar_t value[256] = {};
    DWORD size = sizeof value;
    const std::wstring key = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" PW_PRODUCT_CODE;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), name, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS)
        return L"(none)";
    return value;
}

DWORD Msiexec(const std::wstring& arguments)
{
    ProcessOptions options;
    options.timeoutMs = 120000;
    const ProcessResult r = pwtest::Run(L"msiexec.exe " + arguments, options);
    return r.started && !r.timedOut ? r.exitCode : 0xFFFFFFFF;
}

} // namespace

TEST(SuitePackage, InstallsRegistersAsSelfRegistrationAndRemovesCleanly)
{
    // What self-registration writes, from the build's own library.
    RemoveRegistration();
    Msiexec(L"/x " PW_PRODUCT_CODE L" /qn"); // a copy left by an interrupted run
    ASSERT_EQ(Regsvr32(L"/s"), 0u);
    const std::set<std::wstring> selfRegistered = Registration(BuildBinFolder());
    ASSERT_FALSE(selfRegistered.empty());
    RemoveRegistration();
    ASSERT_TRUE(Registration(BuildBinFolder()).empty());

    // The package, with the virtual notebook feature.
    ASSERT_EQ(Msiexec(L"/i " + Quote(PackagePath()) + L" /qn ADDLOCAL=ALL"), 0u);
    const std::wstring folder = InstallFolder();
    EXPECT_EQ(Registration(folder), selfRegistered);
    for (const wchar_t* file : {L"VELTDll.dll", L"OrnPwChk.lng", L"pwctl.exe", L"PasswordHost.exe", L"CloseDLN.exe", L"QSCIEX.DLL", L"QHCI.DLL",
                                L"QSCCALL.DLL", L"ORNPWCHK.DLL"})
        EXPECT_TRUE(Exists(folder + file)) << Narrow(folder + file);
    EXPECT_EQ(UninstallValue(L"DisplayName"), L"Firmware Password Manager");
    EXPECT_EQ(UninstallValue(L"DisplayVersion"), Widen(PW_PRODUCT_VERSION));
    EXPECT_EQ(UninstallValue(L"Publisher"), L"Norvak");

    // A client creates the control by its class identifier, from the install folder.
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    IPasswordCtl* control = nullptr;
    EXPECT_EQ(CoCreateInstance(CLSID_PasswordCtl, nullptr, CLSCTX_INPROC_SERVER, IID_IPasswordCtl,
                               reinterpret_cast<void**>(&control)),
              S_OK);
    wchar_t loaded[MAX_PATH] = {};
    GetModuleFileNameW(GetModuleHandleW(L"VELTDll.dll"), loaded, MAX_PATH);
    EXPECT_EQ(Lower(loaded), Lower(folder + L"VELTDll.dll"));
    if (control)
        control->Release();
    CoUninitialize();

    // pwctl from the install folder, through the registered class, against
    // the virtual notebook's libraries installed beside the control.
    {
        VirtualNotebook notebook(sim::CScenario().Class21().Owner("Asset 7"));
        ProcessOptions options;
        options.environment = notebook.Environment();
        options.currentDirectory = folder;
        const ProcessResult r = pwtest::Run(Quote(folder + L"pwctl.exe") + L" owner get", options);
        EXPECT_EQ(r.exitCode, 0u) << r.out << r.err;
        EXPECT_NE(r.out.find("owner string: \"Asset 7\""), std::string::npos) << r.out;
    }

    // Removed: no file, no class, type library or interface key.
    ASSERT_EQ(Msiexec(L"/x " PW_PRODUCT_CODE L" /qn"), 0u);
    EXPECT_TRUE(Registration(folder).empty());
    EXPECT_FALSE(Exists(folder)) << Narrow(folder);
    EXPECT_FALSE(Exists(folder + L"..")) << "the maker's folder goes with its last product";
    EXPECT_EQ(UninstallValue(L"DisplayName"), L"(none)");
}

TEST(SuitePackage, TheVirtualNotebookIsOffByDefault)
{
    RemoveRegistration();
    ASSERT_EQ(Msiexec(L"/i " + Quote(PackagePath()) + L" /qn"), 0u);
    const std::wstring folder = InstallFolder();
    EXPECT_TRUE(Exists(folder + L"VELTDll.dll"));
    EXPECT_FALSE(Exists(folder + L"QSCIEX.DLL"));
    EXPECT_EQ(Msiexec(L"/x " PW_PRODUCT_CODE L" /qn"), 0u);
}

namespace {

// setup.exe of a release folder, silently; its exit code.
DWORD SilentSetup(const std::wstring& folder)
{
    ProcessOptions options;
    options.timeoutMs = 180000;
    options.currentDirectory = folder;
    const ProcessResult r = pwtest::Run(Quote(folder + L"setup.exe") + L" /S", options);
    return r.started && !r.timedOut ? r.exitCode : 0xFFFFFFFF;
}

std::wstring HistoryValue()
{
    // A multi-string of one text, in the 64-bit view.
    wchar_t value[260] = {};
    DWORD size = sizeof value;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\NORVAK\\App", L"Firmware Password Manager",
                     RRF_RT_REG_MULTI_SZ | 0x00010000, nullptr, value, &size) != ERROR_SUCCESS)
        return L"(none)";
    return value;
}

// The entries of the list of programs that name the suite.
std::vector<std::wstring> ListedVersions()
{
    std::vector<std::wstring> versions;
    HKEY uninstall = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall", 0, KEY_READ,
                      &uninstall) != ERROR_SUCCESS)
        return versions;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD length = 256;
        if (RegEnumKeyExW(uninstall, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        wchar_t display[256] = {}, version[64] = {};
        DWORD size = sizeof display;
        if (RegGetValueW(uninstall, name, L"DisplayName", RRF_RT_REG_SZ, nullptr, display, &size) != ERROR_SUCCESS ||
            std::wstring(display) != L"Firmware Password Manager")
            continue;
        size = sizeof version;
        RegGetValueW(uninstall, name, L"DisplayVersion", RRF_RT_REG_SZ, nullptr, version, &size);
        versions.emplace_back(version);
    }
    RegCloseKey(uninstall);
    return versions;
}

} // namespace

// The launcher of the shipped folder: a silent install from nothing, an
// in-place upgrade to the next release, and the older release refused over
// the newer one.
TEST(SuiteRelease, SilentInstallUpgradeAndRefusedDowngrade)
{
    RemoveRegistration();
    Msiexec(L"/x " PW_PRODUCT_CODE L" /qn");
    Msiexec(L"/x " PW_NEXT_PRODUCT_CODE L" /qn");
    const std::wstring folder = InstallFolder();

    ASSERT_EQ(SilentSetup(ReleaseFolder()), 0u);
    EXPECT_EQ(ListedVersions(), std::vector<std::wstring>{Widen(PW_PRODUCT_VERSION)});
    EXPECT_EQ(UninstallValue(L"DisplayVersion"), Widen(PW_PRODUCT_VERSION));
    EXPECT_EQ(HistoryValue(), Widen(PW_PRODUCT_VERSION));
    EXPECT_TRUE(Exists(folder + L"VELTDll.dll"));
    EXPECT_TRUE(Exists(folder + L"pwctl.exe"));
    EXPECT_TRUE(Exists(folder + L"CloseDLN.exe"));

    // The next release upgrades in place: one entry, the new version.
    ASSERT_EQ(SilentSetup(NextReleaseFolder()), 0u);
    EXPECT_EQ(ListedVersions(), std::vector<std::wstring>{Widen(PW_NEXT_PRODUCT_VERSION)});
    EXPECT_EQ(HistoryValue(), Widen(PW_NEXT_PRODUCT_VERSION));
    EXPECT_TRUE(Exists(folder + L"VELTDll.dll"));
    const std::set<std::wstring> upgraded = Registration(folder);
    EXPECT_FALSE(upgraded.empty());

    // The older release over the newer one stops and changes nothing.
    EXPECT_EQ(SilentSetup(ReleaseFolder()), 0x81000004u);
    EXPECT_EQ(ListedVersions(), std::vector<std::wstring>{Widen(PW_NEXT_PRODUCT_VERSION)});
    EXPECT_EQ(HistoryValue(), Widen(PW_NEXT_PRODUCT_VERSION));
    EXPECT_EQ(Registration(folder), upgraded);

    ASSERT_EQ(Msiexec(L"/x " PW_NEXT_PRODUCT_CODE L" /qn"), 0u);
    EXPECT_TRUE(ListedVersions().empty());
    EXPECT_TRUE(Registration(folder).empty());
    EXPECT_FALSE(Exists(folder));
}

// The optional last step: "setup.exe /S /APPLY" brings the machine to the
// fleet settings beside setup.exe, with the package's virtual notebook
// feature turned on the way SetupConfig.ini's comment says.
TEST(SuiteRelease, ApplyStepWritesTheFleetSettings)
{
    RemoveRegistration();
    Msiexec(L"/x " PW_PRODUCT_CODE L" /qn");
    TempDir copy;
    const std::wstring folder = copy.Path() + L"\\";
    for (const wchar_t* file : {L"setup.exe", L"SetupConfig.ini", L"CloseDLN.exe", PW_PACKAGE_NAME})
        ASSERT_TRUE(CopyFileW((ReleaseFolder() + file).c_str(), (folder + file).c_str(), FALSE)) << Narrow(file);
    std::string config = ReadBytes(folder + L"SetupConfig.ini");
    const std::string empty = "\r\nParamEX=\r\n";
    ASSERT_NE(config.find(empty), std::string::npos);
    config.replace(config.find(empty), empty.size(), "\r\nParamEX=REINSTALLMODE=voums ADDLOCAL=ALL\r\n");
    WriteBytes(folder + L"SetupConfig.ini", config);
    WriteBytes(folder + L"FleetSettings.json", R"({"ownerString": "Fleet asset", "userPolicy": {"nPermitOpenQSS": 0}})");

    // The user policy takes supervisor rights: the verification at pwctl's
    // start-up asks for them (answered from the notebook's script).
    VirtualNotebook notebook(sim::CScenario().Class21().Supervisor("boss1").Owner("before").UserPolicy(0x0003002E).Answers(
        {sim::Typed("boss1"), sim::Typed("boss1"), sim::Typed("boss1"), sim::Typed("boss1")}));
    ProcessOptions options;
    options.timeoutMs = 180000;
    options.currentDirectory = folder;
    options.environment = notebook.Environment();
    // Without /APPLY the step is left out.
    ProcessResult r = pwtest::Run(Quote(folder + L"setup.exe") + L" /S", options);
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_EQ(notebook.State().owner, "before");
    r = pwtest::Run(Quote(folder + L"setup.exe") + L" /S /APPLY", options);
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_EQ(notebook.State().owner, "Fleet asset");
    EXPECT_NE(notebook.State().userPolicy, 0x0003002Eu) << "the policy was written";

    // A bad settings file stops the run.
    WriteBytes(folder + L"FleetSettings.json", R"({"colour": "blue"})");
    r = pwtest::Run(Quote(folder + L"setup.exe") + L" /S /APPLY", options);
    EXPECT_EQ(r.exitCode, 0x81000004u);
    EXPECT_EQ(notebook.State().owner, "Fleet asset");
    EXPECT_EQ(Msiexec(L"/x " PW_PRODUCT_CODE L" /qn"), 0u);
}
