#include "ResultCodes.h"

#include <cstdio>

namespace pwctl {
namespace {

struct Entry {
    std::int32_t code;
    bool success;
    const char* text;
};

constexpr std::int32_t kFail = static_cast<std::int32_t>(0x80004005u);

// Verification outcomes, shared by every operation that verifies.
#define VERIFY_CODES(missing)                                                                        \
    {missing, false, "the verification library is missing"},                                        \
    {4, false, "the verification dialog did not open, failed, or declined the proof"},              \
    {5, false, "the retry limit was reached"},                                                       \
    {6, false, "the verification was cancelled"}

#define INPUT_CODES                                                                                  \
    {18, false, "the password is empty"},                                                            \
    {19, false, "the password is longer than 50 bytes"},                                             \
    {20, false, "the password contains a character the firmware prompt cannot type"}

constexpr Entry kInit[] = {
    {0, true, "ready"},
    {110, true, "ready; the person chose to skip (only a user password can be registered)"},
    {1, false, "the operating-system version query failed"},
    {2, false, "this operating system is not supported"},
    {3, false, "a firmware library or the verification library is missing"},
    {4, false, "the verification dialog did not open"},
    {5, false, "the verification reached its retry limit"},
    {6, false, "the verification was cancelled"},
    {15, false, "reading the firmware's security status failed"},
    {16, false, "a password is registered but the machine's passcode class is not supported"},
    {17, false, "the firmware's security level check failed"},
};
constexpr Entry kSet[] = {
    {102, true, "user password set"},
    {103, true, "supervisor password set"},
    {104, true, "user password and HDD password set"},
    {0, false, "a quit was requested; nothing was done"},
    VERIFY_CODES(3),
    {10, false, "the user password request failed (the HDD password was not attempted)"},
    {11, false, "the user password was set, but the HDD password request failed"},
    {15, false, "reading the PC policy failed"},
    INPUT_CODES,
    {21, false, "the firmware refused the password, or the passcode could not be made"},
};
constexpr Entry kChange[] = {
    {105, true, "user password changed"},
    {106, true, "supervisor password changed"},
    {0, false, "a quit was requested, or the firmware refused the change"},
    VERIFY_CODES(3),
    {13, false, "the firmware refused the change: no right"},
    {14, false, "the passcode could not be made"},
    INPUT_CODES,
};
constexpr Entry kDelete[] = {
    {100, true, "user password deleted"},
    {101, true, "supervisor password deleted"},
    {0, false, "a quit was requested, or the firmware refused the deletion"},
    VERIFY_CODES(kFail),
    {7, false, "the firmware refused: no right"},
};
constexpr Entry kGetOwner[] = {
    {0, true, "owner string read"},
    {kFail, false, "reading the owner string from the firmware failed"},
};
constexpr Entry kSetOwner[] = {
    {0, true, "owner string written"},
    {107, true, "owner string shaped to 5 lines of 40 characters and written"},
    {8, false, "the firmware has no owner string"},
    {kFail, false, "writing the owner string to the firmware failed"},
};
constexpr Entry kGetPolicy[] = {
    {0, true, "user policy read"},
    {15, false, "reading the user policy from the firmware failed"},
};
constexpr Entry kSetPolicy[] = {
    {108, true, "user policy written"},
    {525, true, "user policy written; the firmware reports a pending change (status bit 21)"},
    VERIFY_CODES(3),
    {513, false, "the policy was written, but reading the security status afterwards failed"},
    {519, false, "the firmware refused the policy write"},
};
constexpr Entry kHdd[] = {
    {0, true, "HDD password state read"},
    {kFail, false, "reading the HDD password state failed"},
};
constexpr Entry kMemo[] = {
    {111, true, "password file written, or the save dialog was cancelled"},
    {23, false, "the password file could not be created or written"},
};

template <std::size_t N>
CodeMeaning Find(const Entry (&table)[N], std::int32_t code)
{
    for (const Entry& e : table)
        if (e.code == code)
            return {e.success, e.text};
    char text[64];
    std::snprintf(text, sizeof text, "unknown result code %d (0x%X)", code, static_cast<unsigned>(code));
    return {false, text};
}

} // namespace

CodeMeaning Describe(Operation operation, std::int32_t code)
{
    switch (operation) {
    case Operation::Init: return Find(kInit, code);
    case Operation::SetPassword: return Find(kSet, code);
    case Operation::ChangePassword: return Find(kChange, code);
    case Operation::DeletePassword: return Find(kDelete, code);
    case Operation::GetOwner: return Find(kGetOwner, code);
    case Operation::SetOwner: return Find(kSetOwner, code);
    case Operation::GetPolicy: return Find(kGetPolicy, code);
    case Operation::SetPolicy: return Find(kSetPolicy, code);
    case Operation::HddSupport: return Find(kHdd, code);
    case Operation::Memo: return Find(kMemo, code);
    }
    return {false, "unknown operation"};
}

const char* OperationName(Operation operation)
{
    switch (operation) {
    case Operation::Init: return "init";
    case Operation::SetPassword: return "set";
    case Operation::ChangePassword: return "change";
    case Operation::DeletePassword: return "delete";
    case Operation::GetOwner: return "owner get";
    case Operation::SetOwner: return "owner set";
    case Operation::GetPolicy: return "policy get";
    case Operation::SetPolicy: return "policy set";
    case Operation::HddSupport: return "hdd";
    case Operation::Memo: return "memo";
    }
    return "?";
}

} // namespace pwctl
