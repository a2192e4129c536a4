#include "NotebookSupport.h"

#include <stdexcept>

namespace pwtest {

VirtualNotebook::VirtualNotebook(const sim::CScenario& scenario)
{
    Write(scenario.State());
    SetEnvironmentVariableW(L"NOTEBOOK_STATE_FILE", StateFile().c_str());
    SetEnvironmentVariableW(L"NOTEBOOK_JOURNAL_FILE", JournalFile().c_str());
}

VirtualNotebook::~VirtualNotebook()
{
    SetEnvironmentVariableW(L"NOTEBOOK_STATE_FILE", nullptr);
    SetEnvironmentVariableW(L"NOTEBOOK_JOURNAL_FILE", nullptr);
}

std::vector<std::wstring> VirtualNotebook::Environment() const
{
    return {L"NOTEBOOK_STATE_FILE=" + StateFile(), L"NOTEBOOK_JOURNAL_FILE=" + JournalFile()};
}

sim::NotebookState VirtualNotebook::State() const
{
    std::string why;
    const auto state = sim::Parse(ReadBytes(StateFile()), &why);
    if (!state)
        throw std::runtime_error("state file: " + why);
    return *state;
}

void VirtualNotebook::Write(const sim::NotebookState& state)
{
    if (!WriteBytes(StateFile(), sim::Serialize(state)))
        throw std::runtime_error("cannot write the state file");
}

std::vector<sim::JournalEntry> VirtualNotebook::Journal() const
{
    return sim::ParseJournal(ReadBytes(JournalFile()));
}

void VirtualNotebook::ClearJournal()
{
    DeleteFileW(JournalFile().c_str());
}

void VirtualNotebook::InstallLibraries() const
{
    for (const wchar_t* name : {L"QSCIEX.DLL", L"QHCI.DLL", L"QSCCALL.DLL", L"ORNPWCHK.DLL"}) {
        if (!CopyFileW((BinFolder() + name).c_str(), (Folder() + L"\\" + name).c_str(), FALSE))
            throw std::runtime_error("cannot copy a notebook library");
    }
}

void VirtualNotebook::InstallQsccallMissingEntry() const
{
    if (!CopyFileW((BinFolder() + L"missing-entry\\QSCCALL.DLL").c_str(), (Folder() + L"\\QSCCALL.DLL").c_str(), FALSE))
        throw std::runtime_error("cannot copy the QSCCALL.DLL variant");
}

void VirtualNotebook::RemoveLibrary(const std::wstring& name) const
{
    DeleteFileW((Folder() + L"\\" + name).c_str());
}

} // namespace pwtest
