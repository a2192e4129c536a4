// The dialog in which a person types a new password twice. It never asks for
// the current one: the control's verification dialog does that when needed.
#pragma once

#include <windows.h>

#include "SecretText.h"
#include "VELTDll_h.h"

namespace host {

enum class PasswordPurpose { SetUser, ChangeUser, SetSupervisor, ChangeSupervisor };

// True when the person confirmed two equal entries; the password is then in
// `password`. The control checks each typed character (IsLegalChar) and
// saves the password to a file on request (CreatePasswordFile).
bool AskNewPassword(HWND owner, IPasswordCtl* control, PasswordPurpose purpose, pw::SecretText& password);

} // namespace host
