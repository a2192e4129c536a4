// The small services beside the password operations: restarting the
// machine, undoing the keyboard switch and saving a password memo file.
#include <windows.h>

#include <commdlg.h>

#include "DbgLog.h"
#include "EnginePlatform.h"
#include "PassWordFUN.h"
#include "SecureWipe.h"

namespace {

const HKL kUsLayout = reinterpret_cast<HKL>(static_cast<ULONG_PTR>(0x04090409));

// The memo file, closed through the platform it was opened with.
class PlatformFile {
public:
    PlatformFile(EnginePlatform& platform, HANDLE file) : m_platform(platform), m_file(file) {}
    ~PlatformFile() { Close(); }
    PlatformFile(const PlatformFile&) = delete;
    PlatformFile& operator=(const PlatformFile&) = delete;
    explicit operator bool() const { return m_file != INVALID_HANDLE_VALUE && m_file != nullptr; }
    HANDLE Get() const { return m_file; }
    void Close()
    {
        if (*this)
            m_platform.CloseFile(m_file);
        m_file = INVALID_HANDLE_VALUE;
    }

private:
    EnginePlatform& m_platform;
    HANDLE m_file;
};

// The process token, closed through the platform too.
class PlatformToken {
public:
    explicit PlatformToken(EnginePlatform& platform) : m_platform(platform) {}
    ~PlatformToken() { Close(); }
    PlatformToken(const PlatformToken&) = delete;
    PlatformToken& operator=(const PlatformToken&) = delete;
    HANDLE* Put() { return &m_token; }
    HANDLE Get() const { return m_token; }
    void Close()
    {
        if (m_token != nullptr)
            m_platform.CloseTokenHandle(m_token);
        m_token = nullptr;
    }

private:
    EnginePlatform& m_platform;
    HANDLE m_token = nullptr;
};

} // namespace

void PassWordFUN::RebootMachine()
{
    PlatformToken token(m_platform);
    if (!m_platform.OpenProcessTokenForAdjust(token.Put()))
        return;
    LUID luid{};
    const bool enabled = m_platform.LookupPrivilege("SeShutdownPrivilege", &luid) &&
                         m_platform.EnablePrivilege(token.Get(), luid);
    token.Close(); // before the restart is asked for
    if (!enabled)
        return; // privilege failures are silent
    if (!m_platform.RestartSystem()) {
        const std::string message = m_platform.SystemMessage(m_platform.LastError());
        m_platform.ShowMessageBox(message.c_str(), MB_OK);
    }
}

void PassWordFUN::UnloadKeyboard()
{
    // Only what start-up added, and without a scope of its own.
    if (bUnloadUSLayout != 1)
        return;
    DL_LOG_IN(DL_INF, "PassWordFUN::UnloadKeyboard").Print("UnloadKeyboard");
    m_platform.UnloadKeyboardLayout(kUsLayout);
}

int PassWordFUN::CreatePasswordFile(const wchar_t* Password)
{
    DL_SCOPE(DL_INF, "PassWordFUN::CreatePasswordFile");
    const auto fail = [&](int code) {
        DL_LOG(DL_ERR).Print("Error Code: 0x%x", code);
        return code;
    };

    EnginePlatform::SaveDialog dialog{};
    dialog.defaultExtension = "txt";
    dialog.fileName = "memo.txt";
    dialog.filter = "(*.txt)\0*.txt\0"; // shown as (*.txt), matching *.txt
    dialog.flags = OFN_OVERWRITEPROMPT;
    const SecretText text(m_platform.WideToAnsi(Password));
    const int drive = m_platform.CurrentDrive();

    std::string path;
    if (!m_platform.AskSaveFile(dialog, path))
        return fail(0x6F); // 111, like a written file: only this line tells them apart

    PlatformFile file(m_platform, m_platform.CreateFileForWriting(path.c_str()));
    if (!file)
        return fail(0x17);

    // Exactly the bytes of the text: no terminator, line end or byte-order mark.
    int result = 111;
    bool remove = false;
    DWORD written = 0;
    const DWORD size = static_cast<DWORD>(text.Size());
    const BOOL ok = m_platform.WriteFileBytes(file.Get(), text.Text().data(), size, &written);
    if (!ok || written != size) {
        remove = true;
        // A short write is a full disk; a failure without a cause keeps 111.
        const DWORD cause = ok ? ERROR_DISK_FULL : m_platform.LastError();
        if (cause != 0)
            result = fail(0x17);
    }
    file.Close();
    if (remove)
        m_platform.DeleteFileAt(path.c_str());
    m_platform.ChangeDrive(drive);
    return result;
}
