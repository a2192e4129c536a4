// The launcher's platform-free decisions: how a configuration section is
// classified, how flags and versions read, and how an InstallShield removal
// command is cut. Tested with the host compiler.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace setup {

// The runner's command buffer holds 16 640 characters with its terminator.
inline constexpr std::size_t kCommandBufferChars = 16640;

enum class SectionKind {
    General,   // [GENERAL]
    VORP,      // [VORP]
    Operator,  // [OPERATOR], the step list (kind 0)
    Execute,   // "EXECUTE_" anywhere (kind 1)
    Install,   // "INSTALL_" (kind 2)
    Uninstall, // "UNLOAD_" (kind 3)
    Check,     // "CHECK_" (kind 4)
    Ignored,
};

// First match wins, case-sensitive.
SectionKind ClassifySection(std::wstring_view name);
// The GetOperatorList kind of a step or list section (0 to 4), -1 otherwise.
int OperatorKind(SectionKind kind);

// Flags are true exactly for "Y" or "y"; OutputLog is false exactly for "N" or "n".
bool IsYes(std::wstring_view value);
bool IsNo(std::wstring_view value);

// Four parts of six characters, right-aligned with leading zeros; a part
// longer than six keeps its last six.
std::wstring VersionKey(std::wstring_view version);
// 1 when release is greater, -1 when smaller, 0 when equal.
int VersionCompare(std::wstring_view release, std::wstring_view installed);

// The InstallShield remove-only command from the quoted uninstall command:
// the text up to and including the first ".exe", then "\" -removeonly".
// Without ".exe" the uninstaller is taken to be the first quoted token (up
// to the closing quote, or the whole rest when none closes it): a quoted
// registration loses its own arguments as with ".exe", an unquoted one was
// quoted whole by the step and stays whole. Nothing outside the text is read.
std::wstring RemoveOnlyCommand(std::wstring_view execute);

// Counted key lists ("STEP_%02d", "VORP_GUIDE_%02d"): the positions that are
// read one by one whatever the file holds. Beyond them only the positions
// whose key the section holds are read, so that a huge count cannot keep the
// launcher reading absent keys for hours; an absent key reads as an empty
// value, which does nothing.
inline constexpr std::int32_t kPositionsReadInFull = 100;

// The positions from first up to (not including) count whose key, prefix
// followed by the position written as "%02d", is among keys (compared
// without case, as INI key names are). Sorted, each once.
std::vector<std::int32_t> KeyedPositions(const std::vector<std::wstring>& keys, std::wstring_view prefix,
                                         std::int32_t first, std::int32_t count);

} // namespace setup
