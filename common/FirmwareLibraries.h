// Entry points of the maker's firmware and verification libraries, as the
// engine binds them and the virtual notebook exports them. All use the
// WINAPI (__stdcall) convention and are exported under undecorated names.
#pragma once

#include <windows.h>

#include "FirmwareProtocol.h"

namespace fwlib {

// Looked-up entry points arrive as FARPROC; the detour through void(*)()
// says the cast to the real signature is deliberate.
template <class Fn>
Fn EntryPointCast(FARPROC proc)
{
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(proc));
}

// "QSCIEX.DLL": non-zero means the call went through.
using QSCIGetWithOpenIF_t = BOOL(WINAPI*)(FirmwareCallBlock* block);
using QSCISetWithOpenIF_t = BOOL(WINAPI*)(FirmwareCallBlock* block);
using QSCISupportCheck_t = BOOL(WINAPI*)();
using QSCIOpenInterface_t = BOOL(WINAPI*)(DWORD* handle);
using QSCICloseInterface_t = BOOL(WINAPI*)(DWORD handle);
using QSCIGet_t = BOOL(WINAPI*)(DWORD handle, FirmwareCallBlock* block);
using QSCISet_t = BOOL(WINAPI*)(DWORD handle, FirmwareCallBlock* block);

// "QHCI.DLL"
using QHCIFunction_t = BOOL(WINAPI*)(FirmwareCallBlock* block);
using QHCIOwnerString_t = BOOL(WINAPI*)();

// "QSCCALL.DLL": only these two are ever called; the other slots are bound
// as opaque entry points.
using QSC_Insert_t = BOOL(WINAPI*)(int index, BYTE* value);
using QSC_Compare_t = BOOL(WINAPI*)(const BYTE* input, int count, BYTE* output);
using QSC_Slot_t = BOOL(WINAPI*)();

// "ORNPWCHK.DLL"
using certify_t = LONG(WINAPI*)(BYTE* request);

inline constexpr const char* kQsciexNames[] = {
    "QSCIGetWithOpenIF", "QSCISetWithOpenIF", "QSCISupportCheck", "QSCIOpenInterface",
    "QSCICloseInterface", "QSCIGet", "QSCISet",
};
inline constexpr const char* kQhciNames[] = {"QHCIFunction", "QHCIOwnerString"};
// Twenty-four slots in binding order.
inline constexpr const char* kQsccallSlots[] = {
    "QSC_IsEmpty",   "QSC_IsEmpty",    "QSC_IsEmpty",     "QSC_IsEmpty",    "QSC_IsEmpty",  "QSC_IsEmpty",
    "QSC_IsEmpty",   "QSC_IsEmpty",    "QSC_IsEmpty",     "QSC_IsEmpty",    "QSC_IsEmpty",  "QSC_IsEmpty",
    "QSC_GetLength", "QSC_SetAt",      "QSC_GetStrCount", "QSC_MakeUpper",  "QSC_Replace",  "QSC_Insert",
    "QSC_Delete",    "QSC_Delete",     "QSC_Compare",     "QSC_GetBuffer",  "QSC_LockBuffer", "QSC_FreeExtra",
};
static_assert(sizeof(kQsccallSlots) / sizeof(kQsccallSlots[0]) == 24);

} // namespace fwlib
