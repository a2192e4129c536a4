// The platform-free half of the diagnostic log: settings normalisation, line
// composition, time stamps, the hex dump rows and the setup log file name.
// Built into both Windows builds and, with the host compiler, into the
// sanitizer tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace DL::fmt {

// A composed line holds at most this many characters before its line feed.
inline constexpr std::size_t kMaxLineChars = 510;

enum Level : int { kErr = 0, kWrn = 1, kInf = 2, kTrc = 3 };

enum class Build { Library, Setup };

enum Destination : int {
    kDestNone = 0,
    kDestDebugger = 1,
    kDestHeldFile = 2,
    kDestAppendFile = 3,
    kDestStderr = 4,
};

struct Settings {
    int level = 0;
    int destination = kDestHeldFile;
    int sourceFileFormat = 0;
    int timeDateFormat = 1;
    int flush = 0;
};

// Maps the integers read from "DbgLog.ini" to the values the facility uses;
// unset keys arrive as their defaults.
int NormaliseLevel(int raw, Build build);
int NormaliseDestination(int raw);
int NormaliseTimeDateFormat(int raw);
int DefaultLevel(Build build);

// Whether a message of this level is written at all.
bool Passes(const Settings& s, int level);

// "ERR", "WRN", "INF", "TRC" (and "???" for anything else).
const char* LevelName(int level);

// Widens ASCII text (level names, digits) into either character type.
template <class Ch>
std::basic_string<Ch> Widen(std::string_view ascii)
{
    return std::basic_string<Ch>(ascii.begin(), ascii.end());
}

// The source file as printed: whole with format 1, otherwise the part after
// the last path separator. The compiler here records '/' where a Windows
// compiler records '\', so both count as separators.
template <class Ch>
std::basic_string_view<Ch> SourceFileShown(std::basic_string_view<Ch> file, int sourceFileFormat)
{
    if (sourceFileFormat == 1)
        return file;
    const auto cut = file.find_last_of(Widen<Ch>("\\/"));
    return cut == std::basic_string_view<Ch>::npos ? file : file.substr(cut + 1);
}

// "%s(%d): %s [%s]%s: " of file, line, category, level name, function text.
template <class Ch>
std::basic_string<Ch> Prefix(std::basic_string_view<Ch> file, int line, std::basic_string_view<Ch> category,
                             int level, std::basic_string_view<Ch> functionText, int sourceFileFormat)
{
    std::basic_string<Ch> out(SourceFileShown(file, sourceFileFormat));
    out += Widen<Ch>("(" + std::to_string(line) + "): ");
    out += category;
    out += Widen<Ch>(std::string(" [") + LevelName(level) + "]");
    out += functionText;
    out += Widen<Ch>(": ");
    return out;
}

// ".%03d: " with the milliseconds of time stamp formats 1 and 2.
std::string MillisecondsSuffix(int milliseconds);

// "%d.%03d: " with the time since the first stamped line (format 3); the
// millisecond tick counter is 32-bit and wraps.
std::string ElapsedStamp(std::uint32_t firstTick, std::uint32_t nowTick);

// Stamp, prefix and message cut to kMaxLineChars, then a line feed.
template <class Ch>
std::basic_string<Ch> ComposeLine(std::basic_string_view<Ch> stamp, std::basic_string_view<Ch> prefix,
                                  std::basic_string_view<Ch> message)
{
    std::basic_string<Ch> line;
    line.reserve(kMaxLineChars + 1);
    for (auto piece : {stamp, prefix, message}) {
        const std::size_t room = kMaxLineChars - line.size();
        line.append(piece.substr(0, room));
    }
    line.push_back(Ch('\n'));
    return line;
}

// Rows of " %04X : " offset, sixteen "%02X " groups (blanks beyond the end,
// an extra blank after the eighth), " : " and the printable characters.
std::vector<std::string> HexDumpRows(const void* data, int length);

// A system message loses everything from its last line feed on.
template <class Ch>
std::basic_string<Ch> WithoutLastLineFeed(std::basic_string<Ch> text)
{
    const auto cut = text.rfind(Ch('\n'));
    if (cut != std::basic_string<Ch>::npos)
        text.erase(cut);
    return text;
}

struct LocalTime {
    int year, month, day, hour, minute, second;
};

// "%s\%s_%s_%04d%02d%02d%02d%02d%02d_setup_log.txt"
std::wstring SetupLogFileName(std::wstring_view logPath, std::wstring_view productName, std::wstring_view version,
                              const LocalTime& t);

// The parent of a path: the part before its last backslash (empty when none).
template <class Ch>
std::basic_string<Ch> ParentPath(std::basic_string_view<Ch> path)
{
    const auto cut = path.rfind(Ch('\\'));
    return cut == std::basic_string_view<Ch>::npos ? std::basic_string<Ch>() : std::basic_string<Ch>(path.substr(0, cut));
}

} // namespace DL::fmt
