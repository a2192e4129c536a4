#include "ProductLanguages.h"

namespace pwtest {

const std::vector<ProductLanguage>& ProductLanguages()
{
    static const std::vector<ProductLanguage> languages = {
        {7, "German", 1252, Script::Latin},         {10, "Spanish", 1252, Script::Latin},
        {12, "French", 1252, Script::Latin},        {16, "Italian", 1252, Script::Latin},
        {19, "Dutch", 1252, Script::Latin},         {20, "Norwegian", 1252, Script::Latin},
        {22, "Portuguese", 1252, Script::Latin},    {29, "Swedish", 1252, Script::Latin},
        {1028, "ChineseTW", 950, Script::Han},      {1029, "Czech", 1250, Script::Latin},
        {1030, "Danish", 1252, Script::Latin},      {1032, "Greek", 1253, Script::Greek},
        {1033, "English", 1252, Script::Latin},     {1035, "Finnish", 1252, Script::Latin},
        {1038, "Hungarian", 1250, Script::Latin},   {1041, "Japanese", 932, Script::Japanese},
        {1042, "Korean", 949, Script::Korean},      {1045, "Polish", 1250, Script::Latin},
        {1046, "PortugueseBr", 1252, Script::Latin}, {1049, "Russian", 1251, Script::Cyrillic},
        {1051, "Slovak", 1250, Script::Latin},      {1055, "Turkish", 1254, Script::Latin},
        {2052, "Chinese", 936, Script::Han},        {3076, "ChineseHK", 950, Script::Han},
    };
    return languages;
}

const ProductLanguage* FindProductLanguage(LANGID id)
{
    for (const ProductLanguage& language : ProductLanguages())
        if (language.id == id)
            return &language;
    return nullptr;
}

const ProductLanguage& ResourceLanguageFor(LANGID uiLanguage)
{
    if (const ProductLanguage* exact = FindProductLanguage(uiLanguage))
        return *exact;
    if (const ProductLanguage* primary = FindProductLanguage(MAKELANGID(PRIMARYLANGID(uiLanguage), SUBLANG_NEUTRAL)))
        return *primary;
    return *FindProductLanguage(1033);
}

ResourceFile::ResourceFile(const std::wstring& path)
    : m_module(LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE))
{
}

ResourceFile::~ResourceFile()
{
    if (m_module != nullptr)
        FreeLibrary(m_module);
}

std::optional<std::wstring> ResourceFile::String(UINT id, LANGID language) const
{
    // Sixteen entries a block, each a length and that many UTF-16 units.
    const HRSRC found = FindResourceExW(m_module, MAKEINTRESOURCEW(6), MAKEINTRESOURCEW(id / 16 + 1), language);
    if (found == nullptr)
        return std::nullopt;
    const auto* entry = static_cast<const WCHAR*>(LockResource(LoadResource(m_module, found)));
    if (entry == nullptr)
        return std::nullopt;
    for (UINT i = 0; i < id % 16; ++i)
        entry += 1 + *entry;
    return std::wstring(entry + 1, *entry);
}

std::vector<LANGID> ResourceFile::BlockLanguages(UINT id) const
{
    std::vector<LANGID> languages;
    EnumResourceLanguagesW(
        m_module, MAKEINTRESOURCEW(6), MAKEINTRESOURCEW(id / 16 + 1),
        [](HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR param) CALLBACK -> BOOL {
            reinterpret_cast<std::vector<LANGID>*>(param)->push_back(language);
            return TRUE;
        },
        reinterpret_cast<LONG_PTR>(&languages));
    return languages;
}

std::optional<std::string> InCodePage(const std::wstring& text, UINT codePage)
{
    if (text.empty())
        return std::string();
    BOOL usedDefault = FALSE;
    const int n = WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0, nullptr, &usedDefault);
    if (n <= 0 || usedDefault)
        return std::nullopt;
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, text.data(), static_cast<int>(text.size()), out.data(), n,
                        nullptr, &usedDefault);
    // Exact means it reads back as the same text.
    std::wstring back(text.size() + 1, L'\0');
    const int m = MultiByteToWideChar(codePage, 0, out.data(), n, back.data(), static_cast<int>(back.size()));
    back.resize(m > 0 ? static_cast<std::size_t>(m) : 0);
    if (usedDefault || back != text)
        return std::nullopt;
    return out;
}

bool HasScript(const std::wstring& text, Script script)
{
    const auto in = [&](wchar_t low, wchar_t high) {
        for (wchar_t c : text)
            if (c >= low && c <= high)
                return true;
        return false;
    };
    switch (script) {
    case Script::Greek: return in(0x0370, 0x03FF);
    case Script::Cyrillic: return in(0x0400, 0x04FF);
    case Script::Japanese: return in(0x3040, 0x30FF); // kana
    case Script::Korean: return in(0xAC00, 0xD7AF);   // Hangul syllables
    case Script::Han: return in(0x4E00, 0x9FFF);
    case Script::Latin: return in(L'A', L'Z') || in(L'a', L'z');
    }
    return false;
}

} // namespace pwtest
