// "QSCIEX.DLL" of the virtual notebook: the system configuration interface.
// Each call locks the machine, lets the firmware model answer the block and
// writes one journal line.
#include <windows.h>

#include <type_traits>

#include "FirmwareLibraries.h"
#include "NotebookFirmware.h"
#include "NotebookJournal.h"
#include "NotebookStore.h"

namespace {

// Handles and the connection belong to this process.
sim::FirmwareSession g_session;

template <class Body>
BOOL Call(const char* entry, FirmwareCallBlock* block, const DWORD* handle, Body body)
{
    try {
        sim::win::CMachineAccess machine;
        sim::CJournalLine line("QSCIEX", entry);
        line.Number("pid", GetCurrentProcessId());
        if (handle)
            line.Number("handle", *handle);
        BOOL result = FALSE;
        if (block)
            line.Bytes("in", block, sizeof *block);
        if (machine.Ok() && block) {
            sim::CFirmware firmware(machine.State(), g_session);
            result = body(firmware) ? TRUE : FALSE;
            if (firmware.Changed())
                machine.MarkChanged();
            line.Bytes("out", block, sizeof *block);
        }
        line.Number("ret", result);
        machine.Journal(line.Line());
        return result;
    } catch (...) {
        return FALSE;
    }
}

} // namespace

extern "C" {

BOOL WINAPI QSCIGetWithOpenIF(FirmwareCallBlock* block)
{
    return Call("QSCIGetWithOpenIF", block, nullptr, [&](sim::CFirmware& fw) { return fw.GetWithOpen(*block); });
}

BOOL WINAPI QSCISetWithOpenIF(FirmwareCallBlock* block)
{
    return Call("QSCISetWithOpenIF", block, nullptr, [&](sim::CFirmware& fw) { return fw.SetWithOpen(*block); });
}

BOOL WINAPI QSCISupportCheck()
{
    try {
        sim::win::CMachineAccess machine;
        machine.Journal(sim::CJournalLine("QSCIEX", "QSCISupportCheck").Number("pid", GetCurrentProcessId())
                            .Number("ret", machine.Ok()).Line());
        return machine.Ok() ? TRUE : FALSE;
    } catch (...) {
        return FALSE;
    }
}

BOOL WINAPI QSCIOpenInterface(DWORD* handle)
{
    try {
        sim::win::CMachineAccess machine;
        BOOL result = FALSE;
        if (machine.Ok() && handle) {
            sim::CFirmware firmware(machine.State(), g_session);
            std::uint32_t opened = 0;
            result = firmware.Open(opened) ? TRUE : FALSE;
            if (result)
                *handle = opened;
            if (firmware.Changed())
                machine.MarkChanged();
        }
        sim::CJournalLine line("QSCIEX", "QSCIOpenInterface");
        line.Number("pid", GetCurrentProcessId());
        if (result)
            line.Number("handle", *handle);
        machine.Journal(line.Number("ret", result).Line());
        return result;
    } catch (...) {
        return FALSE;
    }
}

BOOL WINAPI QSCICloseInterface(DWORD handle)
{
    try {
        sim::win::CMachineAccess machine;
        BOOL result = FALSE;
        if (machine.Ok()) {
            sim::CFirmware firmware(machine.State(), g_session);
            result = firmware.Close(handle) ? TRUE : FALSE;
            if (firmware.Changed())
                machine.MarkChanged();
        }
        machine.Journal(sim::CJournalLine("QSCIEX", "QSCICloseInterface").Number("pid", GetCurrentProcessId())
                            .Number("handle", handle).Number("ret", result).Line());
        return result;
    } catch (...) {
        return FALSE;
    }
}

BOOL WINAPI QSCIGet(DWORD handle, FirmwareCallBlock* block)
{
    return Call("QSCIGet", block, &handle, [&](sim::CFirmware& fw) { return fw.Get(handle, *block); });
}

BOOL WINAPI QSCISet(DWORD handle, FirmwareCallBlock* block)
{
    return Call("QSCISet", block, &handle, [&](sim::CFirmware& fw) { return fw.Set(handle, *block); });
}

} // extern "C"

// The engine binds these through the shared signatures.
static_assert(std::is_same_v<decltype(&QSCIGetWithOpenIF), fwlib::QSCIGetWithOpenIF_t>);
static_assert(std::is_same_v<decltype(&QSCISetWithOpenIF), fwlib::QSCISetWithOpenIF_t>);
static_assert(std::is_same_v<decltype(&QSCISupportCheck), fwlib::QSCISupportCheck_t>);
static_assert(std::is_same_v<decltype(&QSCIOpenInterface), fwlib::QSCIOpenInterface_t>);
static_assert(std::is_same_v<decltype(&QSCICloseInterface), fwlib::QSCICloseInterface_t>);
static_assert(std::is_same_v<decltype(&QSCIGet), fwlib::QSCIGet_t>);
static_assert(std::is_same_v<decltype(&QSCISet), fwlib::QSCISet_t>);
