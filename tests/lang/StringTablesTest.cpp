// The string tables of the built library and launcher, both architectures,
// read from their resources language by language: every language carries
// every entry, translated, in its own script, and in a form the product can
// hand on (quotes, placeholder, the ANSI code page of that language).
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "ProductLanguages.h"
#include "TestSupport.h"

using namespace pwtest;

namespace {

const std::map<UINT, std::wstring> kLibraryEnglish = {
    {2, L"Firmware Password Manager"},
    {3548, L"Verification error.  Password is incorrect or you are not authorized to delete a password."},
    {3549, L"Verification error.  This Token does not have authorization to delete a password."},
    {3550, L"Verification error.  Password is incorrect or you are not authorized to change a password."},
    {3551, L"Verification error.  This Token does not have authorization to change a password."},
    {3556, L"Verification error.  Password is incorrect or you are not authorized to register a password."},
    {3557, L"Verification error.  This Token is not Token or you are not authorized to register a password."},
    {3558, L"Verification error.  Password is incorrect or you are not authorized to change User Policy."},
    {3559, L"Verification error.  This Token does not have authorization to change User Policy."},
    {3560, L"Verification error.  Input correct password."},
    {3561, L"Verification error.  Insert correct Token."},
    {10000, L"English"},
    {10001, L"\"Cancel\""},
    {10002, L"\"Skip\""},
    {10003, L"\"Please type a %Target1%.\""},
    {10004, L"\"Enter supervisor password or skip to register user password only.\""},
};

const std::map<UINT, std::wstring> kLauncherEnglish = {
    {104, L"Another version of this product is already installed.  Installation of this version cannot continue.  "
          L"To configure or remove the existing version of this product, use Add/Remove Programs on the Control "
          L"Panel."},
    {105, L"Another version of this product is already installed. Do you want to overwrite this version?"},
    {106, L"An older version of this product is already installed. Do you want to remove the current version, and "
          L"install the new one?"},
};

struct Binary {
    const char* name;
    std::wstring path;
    const std::map<UINT, std::wstring>* english;
    bool library; // the engine's table: quotes, placeholder, ANSI code page
};

std::vector<Binary> Binaries()
{
    // The 32-bit configuration builds beside this one (tools/build builds both).
    const std::wstring win64 = BuildBinFolder();
    const std::wstring win32 = win64 + L"..\\..\\win32\\bin\\";
    return {
        {"win64 VELTDll.dll", win64 + L"VELTDll.dll", &kLibraryEnglish, true},
        {"win32 VELTDll.dll", win32 + L"VELTDll.dll", &kLibraryEnglish, true},
        {"win64 setup.exe", win64 + L"setup.exe", &kLauncherEnglish, false},
        {"win32 setup.exe", win32 + L"setup.exe", &kLauncherEnglish, false},
    };
}

bool Quoted(const std::wstring& text)
{
    return text.size() >= 3 && text.front() == L'"' && text.back() == L'"';
}

std::size_t Count(const std::wstring& text, const std::wstring& part)
{
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::wstring::npos; at = text.find(part, at + part.size()))
        ++n;
    return n;
}

} // namespace

TEST(StringTables, EveryLanguageCarriesEveryEntryTranslated)
{
    for (const Binary& binary : Binaries()) {
        SCOPED_TRACE(binary.name);
        ResourceFile file(binary.path);
        ASSERT_NE(file.Module(), nullptr) << Narrow(binary.path) << " (build the win32 and win64 configurations)";

        for (const ProductLanguage& language : ProductLanguages()) {
            SCOPED_TRACE(language.section);
            const bool english = language.id == 1033;
            std::set<std::wstring> seen;
            for (const auto& [id, englishText] : *binary.english) {
                SCOPED_TRACE(id);
                const std::optional<std::wstring> entry = file.String(id, language.id);
                ASSERT_TRUE(entry.has_value()) << "no block of this entry in this language";
                const std::wstring& text = *entry;
                ASSERT_FALSE(text.empty()) << "empty entry: it would hide the English one";
                const std::string utf8 = Narrow(text);
                if (english) {
                    EXPECT_EQ(text, englishText);
                    continue;
                }
                if (id == 10000) {
                    EXPECT_EQ(utf8, language.section);
                    continue;
                }
                if (id != 2) {
                    EXPECT_NE(text, englishText) << utf8;
                }
                EXPECT_TRUE(seen.insert(text).second) << "the same text as another entry: " << utf8;
                EXPECT_EQ(text.find(L"  "), std::wstring::npos) << "two blanks are English typography: " << utf8;
                EXPECT_EQ(text.find(L'\\'), std::wstring::npos) << utf8;
                EXPECT_TRUE(HasScript(text, language.script)) << "not in the language's script: " << utf8;

                // The dialog's texts keep their quotes, and only they hold any;
                // %Target1% is the one placeholder, in the prompt alone.
                const bool dialogText = id >= 10001 && id <= 10004;
                const std::wstring inner = dialogText && Quoted(text) ? text.substr(1, text.size() - 2) : text;
                EXPECT_EQ(dialogText, Quoted(text)) << utf8;
                EXPECT_EQ(inner.find(L'"'), std::wstring::npos) << utf8;
                EXPECT_EQ(Count(text, L"%Target1%"), id == 10003 ? 1u : 0u) << utf8;
                EXPECT_EQ(Count(text, L"%"), id == 10003 ? 2u : 0u) << utf8;

                // The engine hands its texts on in the ANSI code page of the
                // system: every character must exist there.
                if (binary.library) {
                    EXPECT_TRUE(InCodePage(text, language.codePage)) << "not in code page " << language.codePage
                                                                     << ": " << utf8;
                }
                // Traditional characters for Taiwan and Hong Kong (Big5 has no
                // simplified forms), simplified for the PRC (GB 2312 has almost
                // no traditional forms; Wine carries it as code page 10008).
                if (language.id == 1028 || language.id == 3076) {
                    EXPECT_TRUE(InCodePage(text, 950)) << "not traditional: " << utf8;
                }
                if (language.id == 2052) {
                    EXPECT_TRUE(InCodePage(text, 10008)) << "not simplified: " << utf8;
                }
            }
        }
    }
}

// Exactly the product's languages, so that no block of a stray language
// (a wrong sublanguage, say) shadows a real one.
TEST(StringTables, BlocksExistInExactlyTheProductLanguages)
{
    std::set<LANGID> expected;
    for (const ProductLanguage& language : ProductLanguages())
        expected.insert(language.id);
    for (const Binary& binary : Binaries()) {
        SCOPED_TRACE(binary.name);
        ResourceFile file(binary.path);
        ASSERT_NE(file.Module(), nullptr) << Narrow(binary.path);
        for (const auto& [id, text] : *binary.english) {
            const std::vector<LANGID> found = file.BlockLanguages(id);
            EXPECT_EQ(std::set<LANGID>(found.begin(), found.end()), expected) << "entry " << id;
            EXPECT_EQ(found.size(), expected.size()) << "entry " << id;
        }
    }
}

namespace {

// A named callback: on 32-bit Windows a lambda does not convert to the
// stdcall pointer the enumeration wants.
BOOL CALLBACK CollectBlock(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR data)
{
    if (IS_INTRESOURCE(name))
        reinterpret_cast<std::vector<UINT>*>(data)->push_back(static_cast<UINT>(reinterpret_cast<ULONG_PTR>(name)));
    return TRUE;
}

// Every non-empty entry of the binary's US English table.
std::map<UINT, std::wstring> EnglishEntries(const ResourceFile& file)
{
    std::vector<UINT> blocks;
    EnumResourceNamesW(file.Module(), MAKEINTRESOURCEW(6), CollectBlock, reinterpret_cast<LONG_PTR>(&blocks));
    std::map<UINT, std::wstring> entries;
    for (const UINT block : blocks) {
        for (UINT id = (block - 1) * 16; id < block * 16; ++id) {
            const std::optional<std::wstring> text = file.String(id, 1033);
            if (text && !text->empty())
                entries[id] = *text;
        }
    }
    return entries;
}

} // namespace

// The reference host's own table (window labels, tips and the sentences of
// every result code): each language carries each English entry, translated,
// with its placeholder, accelerator and figures, and the product's name as
// the control has it.
TEST(StringTables, HostCarriesEveryEntryInEveryLanguage)
{
    const std::wstring win64 = BuildBinFolder();
    for (const std::wstring& folder : {win64, win64 + L"..\\..\\win32\\bin\\"}) {
        SCOPED_TRACE(Narrow(folder));
        ResourceFile host(folder + L"PasswordHost.exe");
        ResourceFile library(folder + L"VELTDll.dll");
        ASSERT_NE(host.Module(), nullptr) << "build the win32 and win64 configurations";
        ASSERT_NE(library.Module(), nullptr);
        const std::map<UINT, std::wstring> english = EnglishEntries(host);
        ASSERT_GT(english.size(), 90u);
        ASSERT_EQ(english.at(2), L"Firmware Password Manager");
        for (const ProductLanguage& language : ProductLanguages()) {
            SCOPED_TRACE(language.section);
            std::set<std::wstring> seen;
            for (const auto& [id, englishText] : english) {
                SCOPED_TRACE(id);
                const std::optional<std::wstring> entry = host.String(id, language.id);
                ASSERT_TRUE(entry.has_value() && !entry->empty()) << "missing: it would show the English";
                const std::wstring& text = *entry;
                const std::string utf8 = Narrow(text);
                if (id == 2) {
                    EXPECT_EQ(text, library.String(2, language.id).value_or(L"")) << "the control's name";
                    continue;
                }
                if (language.id == 1033)
                    continue;
                if (englishText != L"OK") {
                    EXPECT_NE(text, englishText) << utf8;
                }
                EXPECT_TRUE(seen.insert(text).second) << "the same text as another entry: " << utf8;
                // Short Japanese labels are often kanji alone; "OK" may stay Latin.
                const bool script = HasScript(text, language.script) ||
                                    (language.script == Script::Japanese && HasScript(text, Script::Han));
                if (englishText != L"OK") {
                    EXPECT_TRUE(script) << "not in the language's script: " << utf8;
                }
                EXPECT_EQ(text.find(L"  "), std::wstring::npos) << utf8;
                EXPECT_EQ(text.find_first_of(L"\\\""), std::wstring::npos) << utf8;
                EXPECT_NE(text.front(), L' ');
                EXPECT_NE(text.back(), L' ');
                for (const wchar_t* kept : {L"%s", L"%d", L"&", L"%", L"50", L"5\u00D740", L"\u2026"}) {
                    EXPECT_EQ(Count(text, kept) > 0, Count(englishText, kept) > 0) << "'" << Narrow(kept) << "' in "
                                                                                   << utf8;
                }
                EXPECT_EQ(Count(text, L"&"), Count(englishText, L"&")) << utf8;
                if (language.id == 1028 || language.id == 3076) {
                    EXPECT_TRUE(InCodePage(text, 950)) << "not traditional: " << utf8;
                }
                if (language.id == 2052) {
                    EXPECT_TRUE(InCodePage(text, 10008)) << "not simplified: " << utf8;
                }
            }
        }
    }
}
