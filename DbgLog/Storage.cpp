#include "Storage.h"

#include <windows.h>

#include <cstdio>
#include <memory>

#include "DbgLog.h"
#include "StorageSyntax.h"

namespace storage {
namespace {

constexpr DWORD kFirstBufferChars = 256;

std::wstring ExecutableFolder()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0)
            return {};
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    const auto cut = path.rfind(L'\\');
    path.erase(cut == std::wstring::npos ? 0 : cut);
    return path;
}

// One INI read with a buffer that starts at 256 characters and doubles until
// the result fits with two characters to spare; no length limit.
std::wstring ProfileRead(const wchar_t* section, const wchar_t* key, const wchar_t* fallback, const std::wstring& path)
{
    std::wstring buffer(kFirstBufferChars, L'\0');
    for (;;) {
        const DWORD n = GetPrivateProfileStringW(section, key, fallback, buffer.data(),
                                                 static_cast<DWORD>(buffer.size()), path.c_str());
        if (n + 2 < buffer.size()) {
            buffer.resize(n);
            return buffer;
        }
        buffer.assign(buffer.size() * 2, L'\0');
    }
}

// A list of zero-terminated names ending in an empty one.
void AppendNameList(const std::wstring& list, std::vector<std::wstring>& out)
{
    for (std::size_t p = 0; p < list.size() && list[p] != L'\0';) {
        const auto end = list.find(L'\0', p);
        const std::size_t stop = end == std::wstring::npos ? list.size() : end;
        out.emplace_back(list.substr(p, stop - p));
        p = stop + 1;
    }
}

// Double-zero-terminated lists fit when their length stays two characters
// below the buffer's (the reader answers size - 2 when they are cut).
std::wstring ReadNameList(const wchar_t* section, const std::wstring& path)
{
    std::wstring buffer(kFirstBufferChars, L'\0');
    for (;;) {
        const DWORD size = static_cast<DWORD>(buffer.size());
        const DWORD n = section == nullptr
                            ? GetPrivateProfileSectionNamesW(buffer.data(), size, path.c_str())
                            : GetPrivateProfileStringW(section, nullptr, L"", buffer.data(), size, path.c_str());
        if (n + 2 < size) {
            buffer.resize(n + 1);
            return buffer;
        }
        buffer.assign(buffer.size() * 2, L'\0');
    }
}

} // namespace

// ---- IniFileStorage ---------------------------------------------------------

bool IniFileStorage::IsOpen() const
{
    return !m_strPath.empty() && !m_strSection.empty();
}

bool IniFileStorage::Attach(const std::wstring& path, const std::wstring& section, bool create)
{
    const std::wstring resolved = syntax::ResolveIniPath(path, ExecutableFolder());
    std::vector<std::wstring> names;
    GetSectionNames(resolved, names);
    bool found = false;
    for (const auto& name : names)
        if (syntax::SameName(name, section) || syntax::IsDescendant(section, name))
            found = true;
    if (!found) {
        if (!create)
            return false;
        // An empty section: the section header alone. Some INI writers drop
        // an empty section, so a placeholder key is written and removed
        // when the header did not appear.
        const wchar_t empty[2] = {L'\0', L'\0'};
        if (!WritePrivateProfileSectionW(section.c_str(), empty, resolved.c_str()))
            return false;
        std::vector<std::wstring> now;
        GetSectionNames(resolved, now);
        bool written = false;
        for (const auto& name : now)
            written = written || syntax::SameName(name, section);
        if (!written) {
            const wchar_t* placeholder = L"__placeholder__";
            if (!WritePrivateProfileStringW(section.c_str(), placeholder, L"", resolved.c_str()))
                return false;
            WritePrivateProfileStringW(section.c_str(), placeholder, nullptr, resolved.c_str());
        }
    }
    m_strPath = resolved;
    m_strSection = section;
    return IsOpen();
}

StorageInterface* IniFileStorage::Child(const std::wstring& name, bool create)
{
    auto child = std::make_unique<IniFileStorage>();
    if (!child->Attach(m_strPath, syntax::JoinSection(m_strSection, name), create))
        return nullptr;
    return child.release();
}

StorageInterface* IniFileStorage::OpenChild(const std::wstring& name)
{
    return Child(name, false);
}

StorageInterface* IniFileStorage::CreateChild(const std::wstring& name)
{
    return Child(name, true);
}

void IniFileStorage::Reset()
{
    m_strPath.clear();
    m_strSection.clear();
}

bool IniFileStorage::WriteRaw(const std::wstring& key, const std::wstring& text)
{
    return WritePrivateProfileStringW(m_strSection.c_str(), key.c_str(), text.c_str(), m_strPath.c_str()) != FALSE;
}

bool IniFileStorage::ReadRaw(const std::wstring& key, std::wstring& text)
{
    // The reader answers a default for a missing key; two different defaults
    // tell a missing key from one whose value is the first default.
    static constexpr const wchar_t* kSentinels[] = {L"DEFAULT_VALUE1", L"DEFAULT_VALUE2"};
    for (const std::wstring& name : {key, L"\"" + key + L"\""}) {
        for (const wchar_t* sentinel : kSentinels) {
            std::wstring value = ProfileRead(m_strSection.c_str(), name.c_str(), sentinel, m_strPath);
            if (value != sentinel) {
                text = std::move(value);
                return true;
            }
        }
    }
    return false;
}

bool IniFileStorage::WriteInt(const std::wstring& key, std::int32_t value)
{
    return WriteRaw(key, syntax::FormatInt(value));
}

bool IniFileStorage::ReadInt(const std::wstring& key, std::int32_t& value)
{
    std::wstring text;
    return ReadString(key, text) && syntax::ParseInt(text, value);
}

bool IniFileStorage::WriteString(const std::wstring& key, const std::wstring& text)
{
    return WriteRaw(key, L"\"" + syntax::Escape(text) + L"\"");
}

bool IniFileStorage::ReadString(const std::wstring& key, std::wstring& text)
{
    std::wstring raw;
    if (!ReadRaw(key, raw))
        return false;
    text = syntax::Unescape(raw);
    return true;
}

bool IniFileStorage::WriteBinary(const std::wstring& key, const std::vector<std::uint8_t>& bytes)
{
    if (bytes.empty())
        return false;
    return WriteRaw(key, syntax::FormatBinary(bytes));
}

bool IniFileStorage::ReadBinary(const std::wstring& key, std::vector<std::uint8_t>& bytes)
{
    std::wstring raw;
    return ReadRaw(key, raw) && syntax::ParseBinary(raw, bytes);
}

bool IniFileStorage::EnumChildren(std::vector<std::wstring>& names)
{
    std::vector<std::wstring> all;
    if (!GetSectionNames(m_strPath, all))
        return false;
    for (const auto& name : all)
        if (auto child = syntax::DirectChildName(m_strSection, name))
            names.push_back(std::move(*child));
    return true;
}

bool IniFileStorage::EnumValues(std::vector<std::wstring>& keys)
{
    AppendNameList(ReadNameList(m_strSection.c_str(), m_strPath), keys);
    return true;
}

bool IniFileStorage::RemoveChild(const std::wstring& name)
{
    const std::wstring child = syntax::JoinSection(m_strSection, name);
    std::vector<std::wstring> all;
    GetSectionNames(m_strPath, all);
    std::vector<std::wstring> doomed;
    for (const auto& section : all)
        if (syntax::SameName(section, child) || syntax::IsDescendant(child, section))
            doomed.push_back(section);
    for (const auto& section : doomed)
        if (!WritePrivateProfileStringW(section.c_str(), nullptr, nullptr, m_strPath.c_str()))
            return false;
    return true;
}

bool IniFileStorage::RemoveValue(const std::wstring& key)
{
    return WritePrivateProfileStringW(m_strSection.c_str(), key.c_str(), nullptr, m_strPath.c_str()) != FALSE;
}

// ---- StorageHandle ----------------------------------------------------------

struct StorageHandle::Shared {
    volatile long count = 1;
    std::unique_ptr<StorageInterface> storage;
};

StorageHandle::StorageHandle(StorageInterface* storage, std::int32_t failureMode) : m_nFailureMode(failureMode)
{
    std::unique_ptr<StorageInterface> owned(storage);
    if (owned) {
        auto shared = std::make_unique<Shared>();
        shared->storage = std::move(owned);
        m_pShared = shared.release();
    }
}

StorageHandle::StorageHandle(const StorageHandle& other)
    : m_nFailureMode(other.m_nFailureMode), m_pShared(other.m_pShared)
{
    if (m_pShared != nullptr)
        InterlockedIncrement(&m_pShared->count);
}

StorageHandle& StorageHandle::operator=(const StorageHandle& other)
{
    if (this != &other) {
        if (other.m_pShared != nullptr)
            InterlockedIncrement(&other.m_pShared->count);
        Release();
        m_pShared = other.m_pShared;
        m_nFailureMode = other.m_nFailureMode;
    }
    return *this;
}

StorageHandle::~StorageHandle()
{
    Release();
}

void StorageHandle::Release()
{
    if (m_pShared != nullptr && InterlockedDecrement(&m_pShared->count) == 0)
        std::unique_ptr<Shared> last(m_pShared);
    m_pShared = nullptr;
}

StorageInterface* StorageHandle::Get() const
{
    return m_pShared != nullptr ? m_pShared->storage.get() : nullptr;
}

long StorageHandle::UseCount() const
{
    return m_pShared != nullptr ? m_pShared->count : 0;
}

bool StorageHandle::Failed(const char* file, int line) const
{
    if (m_nFailureMode == kThrowOnFailure) {
        // "%s(%d) : %s\n" of the failing check's site and the reason.
        const std::string site(file);
        std::wstring message(site.begin(), site.end());
        message += L"(" + std::to_wstring(line) + L") : StorageException : Read\n";
        throw StorageException(message);
    }
    return false;
}

bool StorageHandle::ReadInt(const std::wstring& key, std::int32_t& value) const
{
    StorageInterface* storage = Get();
    std::int32_t read = 0;
    if (storage == nullptr || !storage->IsOpen() || !storage->ReadInt(key, read))
        return Failed(__FILE__, __LINE__);
    value = read;
    return true;
}

bool StorageHandle::ReadString(const std::wstring& key, std::wstring& text) const
{
    StorageInterface* storage = Get();
    std::wstring read;
    if (storage == nullptr || !storage->IsOpen() || !storage->ReadString(key, read))
        return Failed(__FILE__, __LINE__);
    text = std::move(read);
    return true;
}

} // namespace storage

storage::StorageHandle OpenIniStorage(const std::wstring& path, const std::wstring& section)
{
    auto ini = std::make_unique<storage::IniFileStorage>();
    if (!ini->Attach(path, section, false))
        return storage::StorageHandle(nullptr, 1);
    return storage::StorageHandle(ini.release(), 1);
}

bool GetSectionNames(const std::wstring& path, std::vector<std::wstring>& names)
{
    storage::AppendNameList(storage::ReadNameList(nullptr, path), names);
    return true;
}
