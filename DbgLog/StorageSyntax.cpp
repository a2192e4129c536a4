#include "StorageSyntax.h"

#include <cwctype>

namespace storage::syntax {
namespace {

struct EscapePair {
    wchar_t character;
    wchar_t letter;
};
constexpr EscapePair kEscapes[] = {
    {L'\n', L'n'}, {L'\t', L't'}, {L'\v', L'v'}, {L'\b', L'b'},
    {L'\r', L'r'}, {L'\f', L'f'}, {L'\a', L'a'}, {L'\\', L'\\'},
};

int HexDigit(wchar_t c)
{
    if (c >= L'0' && c <= L'9')
        return c - L'0';
    if (c >= L'a' && c <= L'f')
        return c - L'a' + 10;
    if (c >= L'A' && c <= L'F')
        return c - L'A' + 10;
    return -1;
}

bool IsBlank(wchar_t c)
{
    return c == L' ' || c == L'\t' || c == L'\n' || c == L'\r' || c == L'\v' || c == L'\f';
}

// One scanf-style conversion ("%d" or "%X"): leading white space, an
// optional sign, for hexadecimal an optional 0x, then digits. Arithmetic
// wraps to 32 bits as the C runtime's does.
bool ScanNumber(std::wstring_view text, bool hex, std::int32_t& out)
{
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) {
        negative = text[i] == L'-';
        ++i;
    }
    const unsigned base = hex ? 16 : 10;
    if (hex && i + 1 < text.size() && text[i] == L'0' && (text[i + 1] == L'x' || text[i + 1] == L'X')) {
        if (i + 2 < text.size() && HexDigit(text[i + 2]) >= 0)
            i += 2;
    }
    std::uint32_t value = 0;
    std::size_t digits = 0;
    for (; i < text.size(); ++i, ++digits) {
        const int d = HexDigit(text[i]);
        if (d < 0 || static_cast<unsigned>(d) >= base)
            break;
        value = value * base + static_cast<unsigned>(d);
    }
    if (digits == 0)
        return false;
    if (negative)
        value = 0u - value;
    out = static_cast<std::int32_t>(value);
    return true;
}

wchar_t Upper(wchar_t c)
{
    return static_cast<wchar_t>(std::towupper(static_cast<std::wint_t>(c)));
}

} // namespace

std::wstring Escape(std::wstring_view text)
{
    std::wstring out;
    out.reserve(text.size());
    for (wchar_t c : text) {
        bool escaped = false;
        for (const auto& e : kEscapes) {
            if (c == e.character) {
                out += L'\\';
                out += e.letter;
                escaped = true;
                break;
            }
        }
        if (!escaped)
            out += c;
    }
    return out;
}

std::wstring Unescape(std::wstring_view text)
{
    std::wstring out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\\' && i + 1 < text.size()) {
            bool replaced = false;
            for (const auto& e : kEscapes) {
                if (text[i + 1] == e.letter) {
                    out += e.character;
                    ++i;
                    replaced = true;
                    break;
                }
            }
            if (replaced)
                continue;
        }
        out += text[i];
    }
    return out;
}

bool ParseInt(std::wstring_view text, std::int32_t& out)
{
    if (text.starts_with(L"dword:"))
        return ScanNumber(text.substr(6), true, out);
    if (text.starts_with(L"0x"))
        return ScanNumber(text.substr(2), true, out);
    return ScanNumber(text, false, out);
}

std::wstring FormatInt(std::int32_t value)
{
    return std::to_wstring(value);
}

std::wstring FormatBinary(const std::vector<std::uint8_t>& bytes)
{
    if (bytes.empty())
        return {};
    static constexpr wchar_t kDigits[] = L"0123456789ABCDEF";
    std::wstring out = L"hex:";
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        out += kDigits[bytes[i] >> 4];
        out += kDigits[bytes[i] & 0x0F];
        if (i + 1 < bytes.size())
            out += L',';
    }
    return out;
}

bool ParseBinary(std::wstring_view text, std::vector<std::uint8_t>& out)
{
    const auto start = text.find(L"hex:");
    if (start == std::wstring_view::npos)
        return false;
    // A pair reads as "%02X": up to two hex digits, 0 when none scans.
    const auto pairValue = [](std::wstring_view pair) {
        std::uint8_t v = 0;
        for (wchar_t c : pair) {
            const int d = HexDigit(c);
            if (d < 0)
                break;
            v = static_cast<std::uint8_t>(v * 16 + d);
        }
        return v;
    };
    for (std::size_t p = start + 4; p < text.size() && text.size() - p >= 2; p += 3) {
        const std::wstring_view pair = text.substr(p, 2);
        if (p + 2 == text.size()) {
            out.push_back(pairValue(pair));
            break;
        }
        if (text[p + 2] == L',')
            out.push_back(pairValue(pair));
    }
    return true;
}

std::wstring JoinSection(std::wstring_view section, std::wstring_view name)
{
    if (section.empty())
        return std::wstring(name);
    if (name.empty())
        return std::wstring(section);
    std::wstring out(section);
    out += L'\\';
    out += name;
    return out;
}

bool SameName(std::wstring_view a, std::wstring_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Upper(a[i]) != Upper(b[i]))
            return false;
    return true;
}

bool IsDescendant(std::wstring_view section, std::wstring_view candidate)
{
    return candidate.size() >= section.size() + 1 && SameName(candidate.substr(0, section.size()), section) &&
           candidate[section.size()] == L'\\';
}

std::optional<std::wstring> DirectChildName(std::wstring_view section, std::wstring_view candidate)
{
    if (!IsDescendant(section, candidate))
        return std::nullopt;
    const std::wstring_view rest = candidate.substr(section.size() + 1);
    if (rest.find(L'\\') != std::wstring_view::npos)
        return std::nullopt;
    return std::wstring(rest);
}

bool IsRootedIniPath(std::wstring_view path)
{
    return (path.size() > 1 && path[1] == L':') || (path.size() > 2 && path.starts_with(L"\\\\"));
}

std::wstring ResolveIniPath(std::wstring_view path, std::wstring_view exeFolder)
{
    if (IsRootedIniPath(path))
        return std::wstring(path);
    // Path-append rules: exactly one backslash between the two parts.
    while (!path.empty() && path.front() == L'\\')
        path.remove_prefix(1);
    std::wstring out(exeFolder);
    if (!out.empty() && out.back() != L'\\')
        out += L'\\';
    out += path;
    return out;
}

} // namespace storage::syntax
