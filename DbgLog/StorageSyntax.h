// The textual syntax of typed values inside an INI file, and the section
// hierarchy of backslash-separated names. Platform-free, so the rules are
// tested with the host compiler.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace storage::syntax {

// Control characters and the backslash as two-character escapes.
std::wstring Escape(std::wstring_view text);
// Scanning from the left; anything that is not a known escape is copied.
std::wstring Unescape(std::wstring_view text);

// "dword:" + hex, "0x" + hex (both case-sensitive) or decimal. True when one
// number was converted; out is left alone otherwise.
bool ParseInt(std::wstring_view text, std::int32_t& out);
std::wstring FormatInt(std::int32_t value);

// "hex:" and "%02X," per byte ("%02X" for the last); empty for an empty list.
std::wstring FormatBinary(const std::vector<std::uint8_t>& bytes);
// Appends the bytes after the first "hex:"; false when there is none.
bool ParseBinary(std::wstring_view text, std::vector<std::uint8_t>& out);

// Section names: joining, descendants and direct children (case-insensitive).
std::wstring JoinSection(std::wstring_view section, std::wstring_view name);
bool SameName(std::wstring_view a, std::wstring_view b);
bool IsDescendant(std::wstring_view section, std::wstring_view candidate);
// The child's own name when candidate is a direct child of section.
std::optional<std::wstring> DirectChildName(std::wstring_view section, std::wstring_view candidate);

// A drive-letter path or a UNC path is used as it stands; anything else is
// appended to exeFolder (which has no trailing backslash).
bool IsRootedIniPath(std::wstring_view path);
std::wstring ResolveIniPath(std::wstring_view path, std::wstring_view exeFolder);

} // namespace storage::syntax
