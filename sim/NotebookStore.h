// Where the libraries find the machine: the state file (NOTEBOOK_STATE_FILE,
// else "VirtualNotebook.ini" beside the process's "QSCIEX.DLL", else beside
// the library itself), held under a machine-wide
// lock for the length of one call so that several processes can drive one
// notebook; and the journal (NOTEBOOK_JOURNAL_FILE, else the state file's
// journal key).
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "NotebookState.h"
#include "Win32Handles.h"

namespace sim::win {

inline constexpr wchar_t kStateFileVariable[] = L"NOTEBOOK_STATE_FILE";
inline constexpr wchar_t kJournalFileVariable[] = L"NOTEBOOK_JOURNAL_FILE";
inline constexpr wchar_t kDefaultStateFile[] = L"VirtualNotebook.ini";

// Folder of the library this code is linked into, ending in a backslash.
std::wstring LibraryFolder();
std::wstring StateFilePath();

// One call's hold on the machine: locks and loads on construction, stores
// (when marked changed) and unlocks on destruction.
class CMachineAccess {
public:
    CMachineAccess();
    ~CMachineAccess();
    CMachineAccess(const CMachineAccess&) = delete;
    CMachineAccess& operator=(const CMachineAccess&) = delete;

    bool Ok() const { return m_ok; }
    const std::string& Error() const { return m_error; }
    NotebookState& State() { return m_state; }
    void MarkChanged() { m_changed = true; }
    // Appends one line to the journal, when one is enabled.
    void Journal(const std::string& line);

private:
    std::wstring m_path;
    pw::UniqueHandle m_mutex;
    NotebookState m_state;
    bool m_ok = false;
    bool m_changed = false;
    std::string m_error;
};

// A narrow text of a code page (CP_UTF8, CP_ACP, ...) as UTF-16.
std::wstring WideOf(const std::string& text, unsigned codePage);
// ANSI text of the thread's code page from the state file's UTF-8.
std::string AnsiFromUtf8(const std::string& utf8);
// Scan codes of an ANSI text the way the engine derives them: OEM copy,
// OemKeyScan low byte, a comma without a key counting as 0x33.
std::vector<std::uint8_t> ScanCodesOf(const std::string& ansi);

} // namespace sim::win
