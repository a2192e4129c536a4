// pwctl's command line, without the platform: the options before the
// command, the command's shape, and the policy assignments. Checked before
// the control is made, so that a mistyped command costs no start-up and no
// verification dialog.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace pwctl {

struct Options {
    bool json = false;
    bool passwordStdin = false;
    std::wstring dll;
    std::vector<std::wstring> args; // the command and its arguments
};

enum class Parsed { Run, Help, Usage };

// The arguments after the program name. --json and --password-stdin may
// stand anywhere, --dll PATH and --help only before the command. Usage
// when no command is left.
Parsed ParseCommandLine(const std::vector<std::wstring>& arguments, Options& options);

// What is wrong with a command and its arguments (args not empty), or ""
// when it has a shape pwctl runs.
std::string Validate(const std::vector<std::wstring>& args);

bool Has(const std::vector<std::wstring>& args, std::wstring_view flag);
// --user or --supervisor: 1, 0, or -1 when neither or both.
int Panel(const std::vector<std::wstring>& args);

// The user policy's fields by name, in the record's order.
inline constexpr const char* kPolicyFieldNames[] = {
    "nPermitSetUPass", "nPermitDelUPass",    "nPermitChgUPass", "nPermitOpenQSS",   "nPermitUpdateBIOS",
    "nPermitSetDelHPass", "nPermitChgHPass", "nPermitOnOffTpm", "nPermitOwnClrTpm",
};
inline constexpr std::size_t kPolicyFieldCount = sizeof kPolicyFieldNames / sizeof kPolicyFieldNames[0];

// "NAME=0", "NAME=1" or "NAME=2" with NAME one of the fields: its index and
// value; false for anything else.
bool ParsePolicyAssignment(std::string_view assignment, std::size_t& field, int& value);

// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string Utf8(std::wstring_view text);

} // namespace pwctl
