// The launcher's value store against real INI files and the real registry.
#include <gtest/gtest.h>

#include <cstdint>

#include "RegConfig.h"
#include "SetupTestHelpers.h"
#include "Storage.h"
#include "TestSupport.h"

using namespace pwtest;
using storage::IniFileStorage;
using storage::StorageHandle;
using storage::StorageInterface;

namespace {

IniFileStorage* Ini(const StorageHandle& handle)
{
    return dynamic_cast<IniFileStorage*>(handle.Get());
}

class IniFile : public testing::Test {
protected:
    void Write(const std::string& text) { ASSERT_TRUE(WriteBytes(m_path, text)); }
    std::string Text() const { return ReadBytes(m_path); }

    TempDir m_dir;
    std::wstring m_path = m_dir / L"store.ini";
};

} // namespace

TEST_F(IniFile, IntegersAndMissingKeysThroughTheHandle)
{
    Write("[App]\r\nd=dword:1F\r\nh=0x1F\r\nn=31\r\nX=0X1F\r\nbad=abc\r\nq=\"dword:10\"\r\n");
    const StorageHandle handle = OpenIniStorage(m_path, L"App");
    ASSERT_NE(handle.Get(), nullptr);
    EXPECT_EQ(handle.FailureMode(), 1);
    struct Row {
        const wchar_t* key;
        bool ok;
        std::int32_t value;
    };
    const Row rows[] = {
        {L"d", true, 31}, {L"h", true, 31}, {L"n", true, 31}, {L"X", true, 0},
        {L"bad", false, -7}, {L"missing", false, -7}, {L"q", true, 16},
    };
    for (const auto& row : rows) {
        std::int32_t value = -7;
        EXPECT_EQ(handle.ReadInt(row.key, value), row.ok) << Narrow(row.key);
        EXPECT_EQ(value, row.value) << Narrow(row.key);
    }
}

TEST_F(IniFile, RawReadsTellMissingFromPresentKeys)
{
    const std::string longValue(1500, 'v');
    Write("[App]\r\nfirst=DEFAULT_VALUE1\r\nsecond=DEFAULT_VALUE2\r\n\"quoted\"=inside\r\nempty=\r\nlong=" +
          longValue + "\r\n");
    const StorageHandle keep = OpenIniStorage(m_path, L"App");
    IniFileStorage* ini = Ini(keep);
    ASSERT_NE(ini, nullptr);
    std::wstring value = L"untouched";
    EXPECT_TRUE(ini->ReadRaw(L"first", value));
    EXPECT_EQ(value, L"DEFAULT_VALUE1");
    EXPECT_TRUE(ini->ReadRaw(L"second", value));
    EXPECT_EQ(value, L"DEFAULT_VALUE2");
    EXPECT_TRUE(ini->ReadRaw(L"quoted", value));
    EXPECT_EQ(value, L"inside");
    EXPECT_TRUE(ini->ReadRaw(L"empty", value));
    EXPECT_EQ(value, L"");
    EXPECT_TRUE(ini->ReadRaw(L"long", value));
    EXPECT_EQ(value, Widen(longValue));
    value = L"untouched";
    EXPECT_FALSE(ini->ReadRaw(L"missing", value));
    EXPECT_EQ(value, L"untouched");
}

TEST_F(IniFile, TextsAndByteListsRoundTripThroughTheFile)
{
    Write("[App]\r\n");
    const StorageHandle handle = OpenIniStorage(m_path, L"App");
    IniFileStorage* ini = Ini(handle);
    ASSERT_NE(ini, nullptr);

    const std::wstring text = L"a\tb\nc\\d";
    ASSERT_TRUE(ini->WriteString(L"text", text));
    EXPECT_NE(Text().find("text=\"a\\tb\\nc\\\\d\""), std::string::npos) << Text();
    std::wstring back;
    EXPECT_TRUE(ini->ReadString(L"text", back));
    EXPECT_EQ(back, text);

    ASSERT_TRUE(ini->WriteBinary(L"bytes", {0x00, 0xAB}));
    EXPECT_NE(Text().find("bytes=hex:00,AB"), std::string::npos) << Text();
    std::vector<std::uint8_t> bytes = {0x11};
    EXPECT_TRUE(ini->ReadBinary(L"bytes", bytes));
    EXPECT_EQ(bytes, (std::vector<std::uint8_t>{0x11, 0x00, 0xAB}));
    EXPECT_FALSE(ini->WriteBinary(L"none", {}));
    EXPECT_EQ(Text().find("none"), std::string::npos);

    ASSERT_TRUE(ini->WriteInt(L"count", -42));
    std::int32_t count = 0;
    EXPECT_TRUE(ini->ReadInt(L"count", count));
    EXPECT_EQ(count, -42);

    std::vector<std::wstring> keys = {L"before"};
    EXPECT_TRUE(ini->EnumValues(keys));
    EXPECT_EQ(keys, (std::vector<std::wstring>{L"before", L"text", L"bytes", L"count"}));
    EXPECT_TRUE(ini->RemoveValue(L"bytes"));
    EXPECT_FALSE(ini->ReadBinary(L"bytes", bytes));
}

TEST_F(IniFile, SectionHierarchy)
{
    Write("[Top]\r\na=1\r\n[Parent\\Child]\r\nb=2\r\n[parent\\Child\\Grand]\r\nc=3\r\n[Parent\\Other]\r\n[Else]\r\n");
    std::vector<std::wstring> names = {L"x"};
    EXPECT_TRUE(GetSectionNames(m_path, names));
    EXPECT_EQ(names, (std::vector<std::wstring>{L"x", L"Top", L"Parent\\Child", L"parent\\Child\\Grand",
                                                L"Parent\\Other", L"Else"}));

    // "Parent" exists only as the leading part of nested names.
    const StorageHandle parent = OpenIniStorage(m_path, L"Parent");
    ASSERT_NE(parent.Get(), nullptr);
    EXPECT_TRUE(parent.Get()->IsOpen());
    EXPECT_EQ(OpenIniStorage(m_path, L"Missing").Get(), nullptr);
    EXPECT_EQ(OpenIniStorage(m_path, L"Par").Get(), nullptr);

    std::vector<std::wstring> children;
    EXPECT_TRUE(parent.Get()->EnumChildren(children));
    EXPECT_EQ(children, (std::vector<std::wstring>{L"Child", L"Other"}));

    std::unique_ptr<StorageInterface> child(parent.Get()->OpenChild(L"Child"));
    ASSERT_NE(child, nullptr);
    std::int32_t b = 0;
    EXPECT_TRUE(child->ReadInt(L"b", b));
    EXPECT_EQ(b, 2);
    EXPECT_EQ(std::unique_ptr<StorageInterface>(parent.Get()->OpenChild(L"Nope")), nullptr);

    std::unique_ptr<StorageInterface> made(parent.Get()->CreateChild(L"New"));
    ASSERT_NE(made, nullptr);
    EXPECT_NE(Text().find("[Parent\\New]"), std::string::npos) << Text();

    EXPECT_TRUE(parent.Get()->RemoveChild(L"Child"));
    std::vector<std::wstring> after;
    GetSectionNames(m_path, after);
    EXPECT_EQ(after, (std::vector<std::wstring>{L"Top", L"Parent\\Other", L"Else", L"Parent\\New"}));

    parent.Get()->Reset();
    EXPECT_FALSE(parent.Get()->IsOpen());
    std::wstring value = L"kept";
    EXPECT_FALSE(parent.ReadString(L"a", value));
    EXPECT_EQ(value, L"kept");
}

TEST_F(IniFile, MissingFileHasNoSections)
{
    std::vector<std::wstring> names;
    EXPECT_TRUE(GetSectionNames(m_dir / L"absent.ini", names));
    EXPECT_TRUE(names.empty());
    EXPECT_EQ(OpenIniStorage(m_dir / L"absent.ini", L"App").Get(), nullptr);
}

TEST(IniPath, RelativePathsAreTakenFromTheProgramFolderNotTheCurrentDirectory)
{
    const std::wstring name = L"pwtest-relative-" + std::to_wstring(GetCurrentProcessId()) + L".ini";
    const std::wstring beside = BinFolder() + name;
    ASSERT_TRUE(WriteBytes(beside, "[App]\r\nwhere=program\r\n"));
    TempDir elsewhere;
    ASSERT_TRUE(WriteBytes(elsewhere / name, "[App]\r\nwhere=current\r\n"));
    wchar_t previous[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, previous);
    SetCurrentDirectoryW(elsewhere.Path().c_str());

    std::wstring where;
    EXPECT_TRUE(OpenIniStorage(name, L"App").ReadString(L"where", where));
    EXPECT_EQ(where, L"program");

    SetCurrentDirectoryW(previous);
    DeleteFileW(beside.c_str());
}

namespace {

// Counts its own destruction so that the handle's sharing can be seen.
class Counted : public IniFileStorage {
public:
    explicit Counted(int& destroyed) : m_destroyed(destroyed) {}
    ~Counted() override { ++m_destroyed; }

private:
    int& m_destroyed;
};

} // namespace

TEST(StorageHandleTest, CopiesShareOneStorageAndTheLastDestroysIt)
{
    int destroyed = 0;
    {
        StorageHandle first(new Counted(destroyed), 1);
        EXPECT_EQ(first.UseCount(), 1);
        {
            StorageHandle second = first;
            StorageHandle third;
            third = second;
            EXPECT_EQ(first.UseCount(), 3);
            EXPECT_EQ(third.Get(), first.Get());
            third = third;
            EXPECT_EQ(first.UseCount(), 3);
        }
        EXPECT_EQ(first.UseCount(), 1);
        EXPECT_EQ(destroyed, 0);
    }
    EXPECT_EQ(destroyed, 1);
}

TEST(StorageHandleTest, FailedReadsRaiseOnlyInMode2)
{
    int destroyed = 0;
    StorageHandle quiet(new Counted(destroyed), 1); // never opened
    std::int32_t value = 5;
    EXPECT_FALSE(quiet.ReadInt(L"k", value));
    EXPECT_EQ(value, 5);

    StorageHandle loud(new Counted(destroyed), StorageHandle::kThrowOnFailure);
    try {
        loud.ReadInt(L"k", value);
        ADD_FAILURE() << "no exception";
    } catch (const storage::StorageException& e) {
        const std::string text = Narrow(e.What());
        EXPECT_NE(text.find("Storage.cpp("), std::string::npos) << text;
        EXPECT_EQ(text.substr(text.size() - 28), ") : StorageException : Read\n") << text;
    }
    std::wstring s;
    EXPECT_THROW(StorageHandle(nullptr, 2).ReadString(L"k", s), storage::StorageException);
    EXPECT_FALSE(StorageHandle().ReadString(L"k", s));
}

// ---- registry ---------------------------------------------------------------

namespace {

const std::wstring kTestRoot = L"SOFTWARE\\pwtest-setup-" + std::to_wstring(GetCurrentProcessId());

} // namespace

TEST(RegConfigAccessTest, CodesOfEveryOperation)
{
    setuptest::TestKey root(kTestRoot);
    RegConfigAccess access;
    EXPECT_EQ(access.Close(), E_HANDLE);
    EXPECT_EQ(access.SetValue(L"v", std::vector<wchar_t>{L'a'}), E_HANDLE);
    EXPECT_EQ(access.DeleteValue(L"v"), E_HANDLE);
    std::vector<wchar_t> text;
    EXPECT_EQ(access.GetValue(L"v", text), E_HANDLE);
    EXPECT_EQ(access.Open(nullptr, KEY_READ), E_POINTER);
    EXPECT_EQ(access.Create(nullptr), E_POINTER);
    EXPECT_EQ(access.Open((kTestRoot + L"\\absent").c_str(), KEY_READ), static_cast<HRESULT>(0x80070002));

    ASSERT_EQ(access.Open(kTestRoot.c_str(), KEY_ALL_ACCESS), S_OK);
    EXPECT_EQ(access.Open(kTestRoot.c_str(), KEY_ALL_ACCESS), E_HANDLE);
    EXPECT_EQ(access.Create(kTestRoot.c_str()), E_HANDLE);
    EXPECT_NE(access.Handle(), nullptr); // the first key stays open
    EXPECT_EQ(access.GetValue(L"absent", text), static_cast<HRESULT>(0x80070002));
    EXPECT_EQ(access.DeleteValue(L"absent"), static_cast<HRESULT>(0x80070002));
    EXPECT_EQ(access.Close(), S_OK);
    EXPECT_EQ(access.Handle(), nullptr);
}

TEST(RegConfigAccessTest, ValuesRoundTripAndTheTextBufferIsWrittenWhole)
{
    // Create works in the 64-bit view, whatever the build; Open in the
    // view of the process (in a 32-bit launcher, the 32-bit one).
    setuptest::TestKey root64(kTestRoot, KEY_WOW64_64KEY);
    setuptest::TestKey root(kTestRoot);
    RegConfigAccess access;
    ASSERT_EQ(access.Create((kTestRoot + L"\\App").c_str()), S_OK);
    EXPECT_TRUE(setuptest::KeyExists(kTestRoot + L"\\App", KEY_WOW64_64KEY));
    EXPECT_FALSE(setuptest::KeyExists(kTestRoot + L"\\App", KEY_WOW64_32KEY));

    const std::vector<wchar_t> multi = {L'a', L'\0', L'b', L'c', L'\0', L'\0'};
    ASSERT_EQ(access.SetValue(L"multi", multi), S_OK);
    std::vector<wchar_t> back;
    EXPECT_EQ(access.GetValue(L"multi", back), S_OK);
    EXPECT_EQ(back, multi);

    wchar_t buffer[RegConfigAccess::kTextChars] = {};
    wcscpy(buffer, L"1.2");
    ASSERT_EQ(access.SetValue(L"version", buffer), S_OK);
    DWORD type = 0;
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExW(access.Handle(), L"version", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_MULTI_SZ));
    EXPECT_EQ(size, 520u);

    const DWORD number = 0x12345678;
    RegSetValueExW(access.Handle(), L"dword", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
    std::vector<DWORD> words;
    EXPECT_EQ(access.GetValue(L"dword", words), S_OK);
    EXPECT_EQ(words, std::vector<DWORD>{0x12345678});
    // An odd byte count keeps only whole elements.
    const BYTE three[3] = {1, 2, 3};
    RegSetValueExW(access.Handle(), L"odd", 0, REG_BINARY, three, 3);
    std::vector<wchar_t> pairs;
    EXPECT_EQ(access.GetValue(L"odd", pairs), S_OK);
    EXPECT_EQ(pairs.size(), 1u);

    EXPECT_EQ(access.DeleteValue(L"dword"), S_OK);
    EXPECT_EQ(access.GetValue(L"dword", words), static_cast<HRESULT>(0x80070002));
    EXPECT_EQ(access.Close(), S_OK);

    RegConfigAccess parent;
    ASSERT_EQ(parent.Open(kTestRoot.c_str(), KEY_ALL_ACCESS), S_OK);
    setuptest::TestKey app(kTestRoot + L"\\App");
    setuptest::TestKey grandChild(kTestRoot + L"\\Busy\\Inner");
    EXPECT_TRUE(FAILED(parent.DeleteSubKey(L"Busy"))); // a key with subkeys stays
    EXPECT_EQ(parent.DeleteSubKey(L"App"), S_OK);
    EXPECT_FALSE(setuptest::KeyExists(kTestRoot + L"\\App"));
}

TEST(RegConfigAccessTest, FailuresAreLoggedWithTheirLevels)
{
    TempDir dir;
    const std::wstring probe = CopyProgram(L"setup_regconfig_probe.exe", dir.Path());
    const std::wstring log = dir / L"log.txt";
    // The launcher's log takes "LogFile" only when its own step logs are off.
    ASSERT_TRUE(WriteBytes(dir / L"SetupConfig.ini", "[GENERAL]\r\nOutputLog=N\r\n"));
    ASSERT_TRUE(WriteBytes(dir / L"DbgLog.ini", "[LOG]\r\nTimeDateFormat=0\r\nLogFile=" + Narrow(log) + "\r\n"));
    const ProcessResult r = pwtest::Run(Quote(probe));
    ASSERT_TRUE(r.started);
    EXPECT_EQ(r.exitCode, 0u);
    std::vector<std::string> lines;
    for (const auto& line : Lines(ReadBytes(log)))
        if (!line.empty())
            lines.push_back(line.substr(line.find(" ["))); // without the file and line
    const std::vector<std::string> expected = {
        " [ERR] (RegConfigAccess::Close): Error Code: 0x80070006",
        " [WRN] (RegConfigAccess::Open): Open SOFTWARE\\pwtest-absent-key failed, 80070002",
        " [ERR] (RegConfigAccess::Open): Error Code: 0x80070006",
        " [ERR] (RegConfigAccess::Open): Get Last Error:2 ",
        " [ERR] (RegConfigAccess::Close): Error Code: 0x80070006", // the explicitly closed one, destroyed
    };
    ASSERT_EQ(lines.size(), expected.size()) << ReadBytes(log);
    for (std::size_t i = 0; i < lines.size(); ++i)
        EXPECT_EQ(lines[i].substr(0, expected[i].size()), expected[i]) << "line " << i;
}
