// The product's 24 languages as the tests see them, and string-table entries
// read from a built binary in one exact resource language (no fallback).
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace pwtest {

enum class Script { Latin, Greek, Cyrillic, Japanese, Korean, Han };

struct ProductLanguage {
    LANGID id;           // the resource language of the string tables
    const char* section; // entry 10000: the language file's section name
    UINT codePage;       // the ANSI code page of a system in that language
    Script script;
};

const std::vector<ProductLanguage>& ProductLanguages();
const ProductLanguage* FindProductLanguage(LANGID id);
// The table a system with this user-interface language reads: the exact
// language, else its primary language, else US English.
const ProductLanguage& ResourceLanguageFor(LANGID uiLanguage);

// A binary opened for its resources only (any architecture).
class ResourceFile {
public:
    explicit ResourceFile(const std::wstring& path);
    ~ResourceFile();
    ResourceFile(const ResourceFile&) = delete;
    ResourceFile& operator=(const ResourceFile&) = delete;
    HMODULE Module() const { return m_module; }

    // The entry in exactly this language; nullopt when its block is missing.
    std::optional<std::wstring> String(UINT id, LANGID language) const;
    // Every language that has the block of this entry.
    std::vector<LANGID> BlockLanguages(UINT id) const;

private:
    HMODULE m_module = nullptr;
};

// The text in a code page, nullopt when a character has no exact match there.
std::optional<std::string> InCodePage(const std::wstring& text, UINT codePage);
bool HasScript(const std::wstring& text, Script script);

} // namespace pwtest
