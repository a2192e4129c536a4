// The user policy as nine check boxes: what a person without the supervisor
// password may do. Permissions the machine does not offer are shown dimmed.
#pragma once

#include <windows.h>

#include "VELTDll_h.h"

namespace host {

// Shows `policy` as read by GetPolicyStatus; true when the person confirmed,
// with `policy` then holding what to write (2 where the machine offers nothing).
bool EditPolicy(HWND owner, UserPolicy& policy);

} // namespace host
