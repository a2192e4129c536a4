// "QHCI.DLL" of the virtual notebook: the hardware configuration interface
// (BIOS status register 0x0062, owner string register 0x0029).
#include <windows.h>

#include <type_traits>

#include "FirmwareLibraries.h"
#include "NotebookFirmware.h"
#include "NotebookJournal.h"
#include "NotebookStore.h"

namespace {
sim::FirmwareSession g_session; // unused by the hardware interface; the model wants one
}

extern "C" {

BOOL WINAPI QHCIFunction(FirmwareCallBlock* block)
{
    try {
        sim::win::CMachineAccess machine;
        sim::CJournalLine line("QHCI", "QHCIFunction");
        line.Number("pid", GetCurrentProcessId());
        BOOL result = FALSE;
        if (block) {
            line.Bytes("in", block, sizeof *block);
            if (machine.Ok()) {
                sim::CFirmware firmware(machine.State(), g_session);
                result = firmware.Hardware(*block) ? TRUE : FALSE;
                if (firmware.Changed())
                    machine.MarkChanged();
            }
            line.Bytes("out", block, sizeof *block);
        }
        machine.Journal(line.Number("ret", result).Line());
        return result;
    } catch (...) {
        return FALSE;
    }
}

// The owner string goes through QHCIFunction; this older entry has nothing to do.
BOOL WINAPI QHCIOwnerString()
{
    try {
        sim::win::CMachineAccess machine;
        machine.Journal(sim::CJournalLine("QHCI", "QHCIOwnerString").Number("pid", GetCurrentProcessId())
                            .Number("ret", 0).Line());
    } catch (...) {
    }
    return FALSE;
}

} // extern "C"

static_assert(std::is_same_v<decltype(&QHCIFunction), fwlib::QHCIFunction_t>);
static_assert(std::is_same_v<decltype(&QHCIOwnerString), fwlib::QHCIOwnerString_t>);
