// What the control's result codes mean, per operation, in words: the codes
// of the engine's operations as the command-line host reports them.
#pragma once

#include <cstdint>
#include <string>

namespace pwctl {

enum class Operation {
    Init,
    SetPassword,
    ChangePassword,
    DeletePassword,
    GetOwner,
    SetOwner,
    GetPolicy,
    SetPolicy,
    HddSupport,
    Memo,
};

struct CodeMeaning {
    bool success;
    std::string text;
};

CodeMeaning Describe(Operation operation, std::int32_t code);
const char* OperationName(Operation operation);

} // namespace pwctl
