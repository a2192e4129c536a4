// A virtual notebook of a test's own: its state file, journal and (when asked)
// a private copy of the four libraries, in a temporary folder. Tests in
// parallel never share a machine.
//
//   pwtest::VirtualNotebook notebook(sim::CScenario().Supervisor("sv").Answers({sim::Typed("sv")}));
//   ... drive the engine or the libraries ...
//   auto calls = notebook.Journal();
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "NotebookJournal.h"
#include "NotebookScenario.h"
#include "TestSupport.h"

namespace pwtest {

class VirtualNotebook {
public:
    // Writes the scenario and points this process (NOTEBOOK_STATE_FILE,
    // NOTEBOOK_JOURNAL_FILE) at it; the variables are removed on destruction.
    explicit VirtualNotebook(const sim::CScenario& scenario = {});
    ~VirtualNotebook();
    VirtualNotebook(const VirtualNotebook&) = delete;
    VirtualNotebook& operator=(const VirtualNotebook&) = delete;

    const std::wstring& Folder() const { return m_dir.Path(); }
    std::wstring StateFile() const { return m_dir / L"VirtualNotebook.ini"; }
    std::wstring JournalFile() const { return m_dir / L"journal.txt"; }
    // "NAME=value" entries for a child process that drives the same machine.
    std::vector<std::wstring> Environment() const;

    sim::NotebookState State() const; // as the libraries left it
    void Write(const sim::NotebookState& state);
    std::vector<sim::JournalEntry> Journal() const;
    void ClearJournal();

    // Copies the four libraries from the build's bin folder into Folder()
    // (an install folder of its own, with its own "OrnPwChk.lng").
    void InstallLibraries() const;
    // Replaces the installed "QSCCALL.DLL" by the test variant that lacks one
    // entry point (the engine's binding must fail).
    void InstallQsccallMissingEntry() const;
    // Removes one installed library ("ORNPWCHK.DLL": the verification library is missing).
    void RemoveLibrary(const std::wstring& name) const;

private:
    TempDir m_dir;
};

} // namespace pwtest
