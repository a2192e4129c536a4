// The diagnostic log's line composition: whatever the stamp, the call site's
// texts and the message hold (percent signs included), a line is the three
// pieces in order, cut to 510 characters, with one line feed at the end.
#include <cstdio>
#include <vector>

#include "DbgLogFormat.h"
#include "FuzzInput.h"

namespace {

template <class Ch>
void CheckLine(std::basic_string_view<Ch> stamp, std::basic_string_view<Ch> prefix,
               std::basic_string_view<Ch> message)
{
    const auto line = DL::fmt::ComposeLine<Ch>(stamp, prefix, message);
    std::basic_string<Ch> whole(stamp);
    whole += prefix;
    whole += message;
    const std::size_t kept = whole.size() < DL::fmt::kMaxLineChars ? whole.size() : DL::fmt::kMaxLineChars;
    fuzz::Check(line.size() == kept + 1 && line.back() == Ch('\n'), "a line is at most 510 characters and a line feed");
    fuzz::Check(line.compare(0, kept, whole, 0, kept) == 0, "a line is its pieces in order");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 3)
        return 0;
    // The first two bytes share the rest out among stamp, prefix and message.
    const std::size_t body = size - 2;
    const std::size_t a = data[0] % (body + 1);
    const std::size_t b = a + data[1] % (body - a + 1);
    const std::string text(reinterpret_cast<const char*>(data + 2), body);
    const std::string_view all(text);
    CheckLine<char>(all.substr(0, a), all.substr(a, b - a), all.substr(b));
    const std::wstring wide = fuzz::Wide(data + 2, body);
    const std::wstring_view wall(wide);
    const std::size_t wa = a / 2 < wall.size() ? a / 2 : wall.size();
    CheckLine<wchar_t>(wall.substr(0, wa), {}, wall.substr(wa));

    // A message argument full of percent signs is copied, never read as a format.
    std::vector<char> message(text.size() + 1);
    const int written = std::snprintf(message.data(), message.size(), "%s", text.c_str());
    fuzz::Check(written >= 0 && std::string_view(message.data()) == std::string_view(text.c_str()),
                "an argument's percent signs stay as they are");

    const auto prefix = DL::fmt::Prefix<char>(all.substr(0, a), data[0], all.substr(a, b - a), data[1] % 5,
                                              all.substr(b), data[0] & 1);
    (void)prefix;
    for (const auto& row : DL::fmt::HexDumpRows(data, static_cast<int>(size)))
        fuzz::Check(!row.empty(), "a dump row has text");
    (void)DL::fmt::ElapsedStamp(static_cast<std::uint32_t>(data[0]) << 24, data[1]);
    (void)DL::fmt::SetupLogFileName(wall.substr(0, wa), wall.substr(wa), wall, {2026, 12, 10, 17, 30, 0});
    return 0;
}
