// TEMPORARY: placeholders for the password operations that are being built
// on another branch; removed when they land. Every one reports E_NOTIMPL.
#include "PassWordFUN.h"

int PassWordFUN::SetPassword(const wchar_t*, LONG, LONG) { return static_cast<int>(E_NOTIMPL); }
int PassWordFUN::ChangePassword(const wchar_t*, LONG) { return static_cast<int>(E_NOTIMPL); }
int PassWordFUN::DeletePassword(LONG) { return static_cast<int>(E_NOTIMPL); }
int PassWordFUN::GetUserCTLStatus(CTLStatus*) { return static_cast<int>(E_NOTIMPL); }
int PassWordFUN::GetSupervisorCTLStatus(CTLStatus*) { return static_cast<int>(E_NOTIMPL); }
int PassWordFUN::GetUserPolicy(UserPolicy*) { return static_cast<int>(E_NOTIMPL); }
int PassWordFUN::SetPolicy(UserPolicy) { return static_cast<int>(E_NOTIMPL); }
int PassWordFUN::GetOwnerString(BSTR*) { return static_cast<int>(E_NOTIMPL); }
int PassWordFUN::SetOwnerString(const wchar_t*) { return static_cast<int>(E_NOTIMPL); }
void PassWordFUN::ForceQuit(UINT_PTR) {}
void PassWordFUN::RebootMachine() {}
void PassWordFUN::UnloadKeyboard() {}
int PassWordFUN::CreatePasswordFile(const wchar_t*) { return static_cast<int>(E_NOTIMPL); }
