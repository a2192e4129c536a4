// What the control's result codes mean, per operation: one table for every
// host. Each code has a short English meaning (the command-line host prints
// it; scripts read it) and the identifier of a sentence for people, which a
// windowed host carries in its string tables in each language.
#pragma once

#include <cstdint>
#include <string>

namespace results {

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
    std::string text; // short, English
    int sentence;     // ResultSentences.h; PW_SAY_UNKNOWN for a code the table lacks
};

CodeMeaning Describe(Operation operation, std::int32_t code);
const char* OperationName(Operation operation);

} // namespace results
