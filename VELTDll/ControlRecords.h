// The records that cross the automation interface (CTLStatus, UserPolicy),
// as the type library defines them.
#pragma once

#include <windows.h>

#include <oaidl.h>

#include "VELTDll_h.h"

static_assert(sizeof(CTLStatus) == 20);
static_assert(sizeof(UserPolicy) == 36);
