#include "DbgLogFormat.h"

#include <cstdio>

namespace DL::fmt {

int DefaultLevel(Build build)
{
    return build == Build::Library ? kErr : kTrc;
}

int NormaliseLevel(int raw, Build build)
{
    return raw >= kErr && raw <= kTrc ? raw : DefaultLevel(build);
}

int NormaliseDestination(int raw)
{
    return raw >= kDestNone && raw <= kDestStderr ? raw : kDestHeldFile;
}

int NormaliseTimeDateFormat(int raw)
{
    return raw >= 0 && raw <= 3 ? raw : 1;
}

bool Passes(const Settings& s, int level)
{
    return s.destination != kDestNone && level <= s.level;
}

const char* LevelName(int level)
{
    static const char* const names[] = {"ERR", "WRN", "INF", "TRC"};
    return level >= 0 && level <= 3 ? names[level] : "???";
}

std::string MillisecondsSuffix(int milliseconds)
{
    char text[32];
    std::snprintf(text, sizeof text, ".%03d: ", milliseconds);
    return text;
}

std::string ElapsedStamp(std::uint32_t firstTick, std::uint32_t nowTick)
{
    const std::uint32_t elapsed = nowTick - firstTick; // unsigned: survives the wrap
    char text[32];
    std::snprintf(text, sizeof text, "%d.%03d: ", static_cast<int>(elapsed / 1000), static_cast<int>(elapsed % 1000));
    return text;
}

std::vector<std::string> HexDumpRows(const void* data, int length)
{
    std::vector<std::string> rows;
    if (data == nullptr || length <= 0)
        return rows;
    const auto* bytes = static_cast<const unsigned char*>(data);
    for (int offset = 0; offset < length; offset += 16) {
        char piece[16];
        std::snprintf(piece, sizeof piece, " %04X : ", static_cast<unsigned>(offset));
        std::string row = piece;
        std::string shown;
        for (int i = 0; i < 16; ++i) {
            const int at = offset + i;
            if (at < length) {
                std::snprintf(piece, sizeof piece, "%02X ", bytes[at]);
                row += piece;
                shown += bytes[at] >= 0x20 && bytes[at] <= 0x7E ? static_cast<char>(bytes[at]) : '.';
            } else {
                row += "   ";
                shown += ' ';
            }
            if (i == 7)
                row += ' ';
        }
        row += " : " + shown + "\n";
        rows.push_back(std::move(row));
    }
    return rows;
}

std::wstring SetupLogFileName(std::wstring_view logPath, std::wstring_view productName, std::wstring_view version,
                              const LocalTime& t)
{
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%04d%02d%02d%02d%02d%02d", t.year, t.month, t.day, t.hour, t.minute,
                  t.second);
    std::wstring name(logPath);
    name += L'\\';
    name += productName;
    name += L'_';
    name += version;
    name += L'_';
    name += Widen<wchar_t>(stamp);
    name += L"_setup_log.txt";
    return name;
}

} // namespace DL::fmt
