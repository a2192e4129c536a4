// The records that cross the automation interface (CTLStatus, UserPolicy),
// as the type library defines them.
#pragma once

#include <windows.h>

#include <oaidl.h>

#include "VELTDll_h.h"

static_assert(sizeof(CTLStatus) == 20);
static_assert(sizeof(UserPolicy) == 36);

// widl emits no identifiers for records; these are the IDL's uuids.
// {4F6A8C2E-3B5D-4E7F-9A1C-2D3E4F5A6B7C}
inline constexpr GUID GUID_CTLStatus = {0x4F6A8C2E, 0x3B5D, 0x4E7F, {0x9A, 0x1C, 0x2D, 0x3E, 0x4F, 0x5A, 0x6B, 0x7C}};
// {5A7B9C1D-2E3F-4A5B-8C6D-7E8F9A0B1C2D}
inline constexpr GUID GUID_UserPolicy = {0x5A7B9C1D, 0x2E3F, 0x4A5B, {0x8C, 0x6D, 0x7E, 0x8F, 0x9A, 0x0B, 0x1C, 0x2D}};
