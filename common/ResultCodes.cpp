#include "ResultCodes.h"

#include <cstdio>

#include "ResultSentences.h"

namespace results {
namespace {

struct Entry {
    std::int32_t code;
    bool success;
    const char* text;
    int sentence;
};

constexpr std::int32_t kFail = static_cast<std::int32_t>(0x80004005u);

// Verification outcomes, shared by every operation that verifies.
#define VERIFY_CODES(missing)                                                                                 \
    {missing, false, "the verification library is missing", PW_SAY_VERIFY_MISSING},                         \
    {4, false, "the verification dialog did not open, failed, or declined the proof", PW_SAY_VERIFY_FAILED}, \
    {5, false, "the retry limit was reached", PW_SAY_VERIFY_RETRY_LIMIT},                                     \
    {6, false, "the verification was cancelled", PW_SAY_VERIFY_CANCELLED}

#define INPUT_CODES                                                                                           \
    {18, false, "the password is empty", PW_SAY_PASSWORD_EMPTY},                                              \
    {19, false, "the password is longer than 50 bytes", PW_SAY_PASSWORD_TOO_LONG},                            \
    {20, false, "the password contains a character the firmware prompt cannot type", PW_SAY_PASSWORD_ILLEGAL}

constexpr Entry kInit[] = {
    {0, true, "ready", PW_SAY_INIT_READY},
    {110, true, "ready; the person chose to skip (only a user password can be registered)", PW_SAY_INIT_SKIPPED},
    {1, false, "the operating-system version query failed", PW_SAY_INIT_OS_QUERY},
    {2, false, "this operating system is not supported", PW_SAY_INIT_OS_UNSUPPORTED},
    {3, false, "a firmware library or the verification library is missing", PW_SAY_INIT_LIBRARY_MISSING},
    {4, false, "the verification dialog did not open", PW_SAY_INIT_NO_DIALOG},
    {5, false, "the verification reached its retry limit", PW_SAY_INIT_RETRY_LIMIT},
    {6, false, "the verification was cancelled", PW_SAY_INIT_CANCELLED},
    {15, false, "reading the firmware's security status failed", PW_SAY_INIT_STATUS_READ},
    {16, false, "a password is registered but the machine's passcode class is not supported", PW_SAY_INIT_CLASS},
    {17, false, "the firmware's security level check failed", PW_SAY_INIT_LEVEL},
};
constexpr Entry kSet[] = {
    {102, true, "user password set", PW_SAY_USER_SET},
    {103, true, "supervisor password set", PW_SAY_SUPERVISOR_SET},
    {104, true, "user password and HDD password set", PW_SAY_USER_AND_HDD_SET},
    {0, false, "a quit was requested; nothing was done", PW_SAY_SET_QUIT},
    VERIFY_CODES(3),
    {10, false, "the user password request failed (the HDD password was not attempted)", PW_SAY_SET_USER_FAILED},
    {11, false, "the user password was set, but the HDD password request failed", PW_SAY_SET_HDD_FAILED},
    {15, false, "reading the PC policy failed", PW_SAY_SET_POLICY_READ},
    INPUT_CODES,
    {21, false, "the firmware refused the password, or the passcode could not be made", PW_SAY_SET_REFUSED},
};
constexpr Entry kChange[] = {
    {105, true, "user password changed", PW_SAY_USER_CHANGED},
    {106, true, "supervisor password changed", PW_SAY_SUPERVISOR_CHANGED},
    {0, false, "a quit was requested, or the firmware refused the change", PW_SAY_CHANGE_NOT_DONE},
    VERIFY_CODES(3),
    {13, false, "the firmware refused the change: no right", PW_SAY_CHANGE_NO_RIGHT},
    {14, false, "the passcode could not be made", PW_SAY_CHANGE_PASSCODE},
    INPUT_CODES,
};
constexpr Entry kDelete[] = {
    {100, true, "user password deleted", PW_SAY_USER_DELETED},
    {101, true, "supervisor password deleted", PW_SAY_SUPERVISOR_DELETED},
    {0, false, "a quit was requested, or the firmware refused the deletion", PW_SAY_DELETE_NOT_DONE},
    VERIFY_CODES(kFail),
    {7, false, "the firmware refused: no right", PW_SAY_DELETE_NO_RIGHT},
};
constexpr Entry kGetOwner[] = {
    {0, true, "owner string read", PW_SAY_OWNER_READ},
    {kFail, false, "reading the owner string from the firmware failed", PW_SAY_OWNER_READ_FAILED},
};
constexpr Entry kSetOwner[] = {
    {0, true, "owner string written", PW_SAY_OWNER_WRITTEN},
    {107, true, "owner string shaped to 5 lines of 40 characters and written", PW_SAY_OWNER_FITTED},
    {8, false, "the firmware has no owner string", PW_SAY_OWNER_NONE},
    {kFail, false, "writing the owner string to the firmware failed", PW_SAY_OWNER_WRITE_FAILED},
};
constexpr Entry kGetPolicy[] = {
    {0, true, "user policy read", PW_SAY_POLICY_READ},
    {15, false, "reading the user policy from the firmware failed", PW_SAY_POLICY_READ_FAILED},
};
constexpr Entry kSetPolicy[] = {
    {108, true, "user policy written", PW_SAY_POLICY_WRITTEN},
    {525, true, "user policy written; the firmware reports a pending change (status bit 21)", PW_SAY_POLICY_PENDING},
    VERIFY_CODES(3),
    {513, false, "the policy was written, but reading the security status afterwards failed",
     PW_SAY_POLICY_STATUS_AFTER},
    {519, false, "the firmware refused the policy write", PW_SAY_POLICY_REFUSED},
};
constexpr Entry kHdd[] = {
    {0, true, "HDD password state read", PW_SAY_HDD_READ},
    {kFail, false, "reading the HDD password state failed", PW_SAY_HDD_READ_FAILED},
};
constexpr Entry kMemo[] = {
    {111, true, "password file written, or the save dialog was cancelled", PW_SAY_MEMO_DONE},
    {23, false, "the password file could not be created or written", PW_SAY_MEMO_FAILED},
};

template <std::size_t N>
CodeMeaning Find(const Entry (&table)[N], std::int32_t code)
{
    for (const Entry& e : table)
        if (e.code == code)
            return {e.success, e.text, e.sentence};
    char text[64];
    std::snprintf(text, sizeof text, "unknown result code %d (0x%X)", code, static_cast<unsigned>(code));
    return {false, text, PW_SAY_UNKNOWN};
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
    return {false, "unknown operation", PW_SAY_UNKNOWN};
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

} // namespace results
