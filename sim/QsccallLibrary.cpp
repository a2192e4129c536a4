// "QSCCALL.DLL" of the virtual notebook. QSC_Insert answers the machine's
// class byte and QSC_Compare computes class 2.0 passcodes; the other entries
// exist because the engine binds them, and do nothing.
#include <windows.h>

#include <type_traits>

#include "FirmwareLibraries.h"
#include "NotebookFirmware.h"
#include "NotebookJournal.h"
#include "NotebookStore.h"

namespace {

sim::FirmwareSession g_session;

BOOL Idle(const char* entry)
{
    try {
        sim::win::CMachineAccess machine;
        machine.Journal(sim::CJournalLine("QSCCALL", entry).Number("pid", GetCurrentProcessId()).Number("ret", 0).Line());
    } catch (...) {
    }
    return FALSE;
}

} // namespace

extern "C" {

BOOL WINAPI QSC_Insert(int index, BYTE* value)
{
    try {
        sim::win::CMachineAccess machine;
        BOOL result = FALSE;
        if (machine.Ok()) {
            sim::CFirmware firmware(machine.State(), g_session);
            result = firmware.Insert(value) ? TRUE : FALSE;
            if (firmware.Changed())
                machine.MarkChanged();
        }
        sim::CJournalLine line("QSCCALL", "QSC_Insert");
        line.Number("pid", GetCurrentProcessId()).Number("index", index);
        if (result)
            line.Number("value", *value);
        machine.Journal(line.Number("ret", result).Line());
        return result;
    } catch (...) {
        return FALSE;
    }
}

BOOL WINAPI QSC_Compare(const BYTE* input, int count, BYTE* output)
{
    try {
        sim::win::CMachineAccess machine;
        BOOL result = FALSE;
        if (machine.Ok()) {
            sim::CFirmware firmware(machine.State(), g_session);
            result = firmware.Compare(input, count, output) ? TRUE : FALSE;
            if (firmware.Changed())
                machine.MarkChanged();
        }
        sim::CJournalLine line("QSCCALL", "QSC_Compare");
        line.Number("pid", GetCurrentProcessId()).Number("count", count);
        if (input && count > 0 && count <= 50)
            line.Bytes("in", input, static_cast<std::size_t>(count));
        if (result)
            line.Bytes("out", output, 16);
        machine.Journal(line.Number("ret", result).Line());
        return result;
    } catch (...) {
        return FALSE;
    }
}

BOOL WINAPI QSC_IsEmpty() { return Idle("QSC_IsEmpty"); }
BOOL WINAPI QSC_GetLength() { return Idle("QSC_GetLength"); }
BOOL WINAPI QSC_SetAt() { return Idle("QSC_SetAt"); }
BOOL WINAPI QSC_GetStrCount() { return Idle("QSC_GetStrCount"); }
BOOL WINAPI QSC_MakeUpper() { return Idle("QSC_MakeUpper"); }
BOOL WINAPI QSC_Replace() { return Idle("QSC_Replace"); }
BOOL WINAPI QSC_Delete() { return Idle("QSC_Delete"); }
BOOL WINAPI QSC_GetBuffer() { return Idle("QSC_GetBuffer"); }
BOOL WINAPI QSC_LockBuffer() { return Idle("QSC_LockBuffer"); }
BOOL WINAPI QSC_FreeExtra() { return Idle("QSC_FreeExtra"); }

} // extern "C"

static_assert(std::is_same_v<decltype(&QSC_Insert), fwlib::QSC_Insert_t>);
static_assert(std::is_same_v<decltype(&QSC_Compare), fwlib::QSC_Compare_t>);
static_assert(std::is_same_v<decltype(&QSC_IsEmpty), fwlib::QSC_Slot_t>);
