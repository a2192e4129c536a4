// The INI store's value syntax: escapes, integers, byte lists and section
// names. Every parser must survive any text, and what the store writes must
// read back as written.
#include <cwctype>

#include "FuzzInput.h"
#include "StorageSyntax.h"

using namespace storage::syntax;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::wstring text = fuzz::Wide(data, size);

    fuzz::Check(Unescape(Escape(text)) == text, "escaped text reads back");
    (void)Unescape(text);

    std::int32_t value = 0;
    if (ParseInt(text, value)) {
        std::int32_t again = 0;
        fuzz::Check(ParseInt(FormatInt(value), again) && again == value, "a parsed integer writes and reads back");
    }

    std::vector<std::uint8_t> bytes;
    if (ParseBinary(text, bytes)) {
        std::vector<std::uint8_t> again;
        fuzz::Check(ParseBinary(FormatBinary(bytes), again) || bytes.empty(), "a byte list writes and reads back");
        fuzz::Check(bytes.empty() || again == bytes, "a byte list reads back the same");
    }
    const std::vector<std::uint8_t> raw(data, data + size);
    std::vector<std::uint8_t> back;
    fuzz::Check(raw.empty() ? FormatBinary(raw).empty() : ParseBinary(FormatBinary(raw), back) && back == raw,
                "any bytes write and read back");

    const auto [section, name] = fuzz::TwoWide(data, size);
    const std::wstring joined = JoinSection(section, name);
    (void)SameName(section, name);
    (void)IsDescendant(section, joined);
    (void)DirectChildName(section, joined);
    (void)IsRootedIniPath(text);
    (void)ResolveIniPath(section, name);
    return 0;
}
