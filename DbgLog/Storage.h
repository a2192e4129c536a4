// A section store over INI files: typed values with a textual syntax,
// backslash-separated section names as a hierarchy, and a shared handle
// through which the launcher reads.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace storage {

class StorageInterface {
public:
    virtual ~StorageInterface() = default;
    virtual bool IsOpen() const = 0;
    // The caller owns the storage returned; null on failure.
    virtual StorageInterface* OpenChild(const std::wstring& name) = 0;
    virtual StorageInterface* CreateChild(const std::wstring& name) = 0;
    virtual void Reset() = 0;
    virtual bool WriteInt(const std::wstring& key, std::int32_t value) = 0;
    virtual bool ReadInt(const std::wstring& key, std::int32_t& value) = 0;
    virtual bool WriteString(const std::wstring& key, const std::wstring& text) = 0;
    virtual bool ReadString(const std::wstring& key, std::wstring& text) = 0;
    virtual bool WriteBinary(const std::wstring& key, const std::vector<std::uint8_t>& bytes) = 0;
    virtual bool ReadBinary(const std::wstring& key, std::vector<std::uint8_t>& bytes) = 0;
    // The out lists are appended to, never cleared.
    virtual bool EnumChildren(std::vector<std::wstring>& names) = 0;
    virtual bool EnumValues(std::vector<std::wstring>& keys) = 0;
    virtual bool RemoveChild(const std::wstring& name) = 0;
    virtual bool RemoveValue(const std::wstring& key) = 0;
};

class IniFileStorage : public StorageInterface {
public:
    IniFileStorage() = default;

    bool IsOpen() const override;
    StorageInterface* OpenChild(const std::wstring& name) override;
    StorageInterface* CreateChild(const std::wstring& name) override;
    void Reset() override;
    bool WriteInt(const std::wstring& key, std::int32_t value) override;
    bool ReadInt(const std::wstring& key, std::int32_t& value) override;
    bool WriteString(const std::wstring& key, const std::wstring& text) override;
    bool ReadString(const std::wstring& key, std::wstring& text) override;
    bool WriteBinary(const std::wstring& key, const std::vector<std::uint8_t>& bytes) override;
    bool ReadBinary(const std::wstring& key, std::vector<std::uint8_t>& bytes) override;
    bool EnumChildren(std::vector<std::wstring>& names) override;
    bool EnumValues(std::vector<std::wstring>& keys) override;
    bool RemoveChild(const std::wstring& name) override;
    bool RemoveValue(const std::wstring& key) override;
    // The value as the INI reader gives it, without unescaping.
    virtual bool ReadRaw(const std::wstring& key, std::wstring& text);

    // Resolves the path; succeeds when the section or a descendant exists
    // (or, with create, once the empty section was written).
    bool Attach(const std::wstring& path, const std::wstring& section, bool create);

    const std::wstring& Path() const { return m_strPath; }
    const std::wstring& Section() const { return m_strSection; }

private:
    StorageInterface* Child(const std::wstring& name, bool create);
    bool WriteRaw(const std::wstring& key, const std::wstring& text);

    std::wstring m_strPath;
    std::wstring m_strSection;
};

class StorageException {
public:
    explicit StorageException(std::wstring message) : m_strMessage(std::move(message)) {}
    virtual ~StorageException() = default;
    virtual const std::wstring& What() const { return m_strMessage; }

private:
    std::wstring m_strMessage;
};

// Shared ownership of one storage (or none). Copies share an interlocked
// count; the last one to let go destroys the storage.
class StorageHandle {
public:
    static constexpr std::int32_t kThrowOnFailure = 2;

    StorageHandle() = default;
    StorageHandle(StorageInterface* storage, std::int32_t failureMode);
    StorageHandle(const StorageHandle& other);
    StorageHandle& operator=(const StorageHandle& other);
    ~StorageHandle();

    StorageInterface* Get() const;
    long UseCount() const;
    std::int32_t FailureMode() const { return m_nFailureMode; }

    // The out argument changes only on success.
    bool ReadInt(const std::wstring& key, std::int32_t& value) const;
    bool ReadString(const std::wstring& key, std::wstring& text) const;

private:
    void Release();
    bool Failed(const char* file, int line) const;

    struct Shared;
    std::int32_t m_nFailureMode = 1;
    Shared* m_pShared = nullptr;
};

} // namespace storage

// A handle in mode 1 on the section, holding nothing when neither the
// section nor any of its descendants is in the file.
storage::StorageHandle OpenIniStorage(const std::wstring& path, const std::wstring& section);
// Appends every section name in file order; the path is used unchanged.
bool GetSectionNames(const std::wstring& path, std::vector<std::wstring>& names);
