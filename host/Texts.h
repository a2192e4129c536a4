// The host's words: string-table entries in the user-interface language (the
// system picks the language's block, English where it has none).
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "ResultCodes.h"

namespace host {

std::wstring Text(UINT id);
// An entry with one "%s" filled in.
std::wstring Text(UINT id, const std::wstring& value);
// What a result code of an operation means, as a sentence for a person.
struct Result {
    bool success;
    std::wstring sentence;
};
Result Explain(results::Operation operation, std::int32_t code);

void SetItemText(HWND dialog, int control, UINT id);

} // namespace host
