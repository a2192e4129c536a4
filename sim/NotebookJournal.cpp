#include "NotebookJournal.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <sstream>

#include "NotebookState.h"

namespace sim {

std::string HexBytes(const void* data, std::size_t size)
{
    static const char digits[] = "0123456789ABCDEF";
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    std::string out;
    out.reserve(size * 2);
    for (std::size_t i = 0; i < size; ++i) {
        out += digits[bytes[i] >> 4];
        out += digits[bytes[i] & 15];
    }
    return out;
}

std::optional<std::string> BytesFromHex(const std::string& hex)
{
    if (hex.size() % 2 != 0)
        return std::nullopt;
    const auto nibble = [](char c) -> int {
        if (c >= '0' && c <= '9')
            return c - '0';
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    };
    std::string out;
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        const int hi = nibble(hex[i]), lo = nibble(hex[i + 1]);
        if (hi < 0 || lo < 0)
            return std::nullopt;
        out += static_cast<char>(hi << 4 | lo);
    }
    return out;
}

CJournalLine::CJournalLine(const std::string& library, const std::string& entry) : m_line(library + "!" + entry) {}

CJournalLine& CJournalLine::Add(const std::string& key, const std::string& value)
{
    m_line += " " + key + "=" + value;
    return *this;
}

CJournalLine& CJournalLine::Number(const std::string& key, std::int64_t value)
{
    return Add(key, std::to_string(value));
}

CJournalLine& CJournalLine::Hex(const std::string& key, std::uint32_t value)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08X", value);
    return Add(key, buf);
}

CJournalLine& CJournalLine::Bytes(const std::string& key, const void* data, std::size_t size)
{
    return Add(key, HexBytes(data, size));
}

CJournalLine& CJournalLine::Text(const std::string& key, const std::string& text)
{
    return Add(key, QuoteText(text));
}

bool JournalEntry::Has(const std::string& key) const
{
    for (const auto& [k, v] : fields)
        if (k == key)
            return true;
    return false;
}

std::string JournalEntry::Field(const std::string& key) const
{
    for (const auto& [k, v] : fields) {
        if (k != key)
            continue;
        if (!v.empty() && v.front() == '"')
            return UnquoteText(v).value_or(v);
        return v;
    }
    return {};
}

std::optional<std::int64_t> JournalEntry::Number(const std::string& key) const
{
    const std::string v = Field(key);
    if (v.empty())
        return std::nullopt;
    try {
        std::size_t used = 0;
        const bool hex = v.size() > 2 && v[0] == '0' && (v[1] == 'x' || v[1] == 'X');
        const std::int64_t n = hex ? static_cast<std::int64_t>(std::stoull(v.substr(2), &used, 16)) : std::stoll(v, &used, 10);
        if (used != (hex ? v.size() - 2 : v.size()))
            return std::nullopt;
        return n;
    } catch (...) {
        return std::nullopt;
    }
}

std::optional<FirmwareCallBlock> JournalEntry::Block(const std::string& key) const
{
    const auto bytes = BytesFromHex(Field(key));
    if (!bytes || bytes->size() != sizeof(FirmwareCallBlock))
        return std::nullopt;
    FirmwareCallBlock block;
    std::memcpy(&block, bytes->data(), sizeof block);
    return block;
}

std::vector<JournalEntry> ParseJournal(const std::string& text)
{
    std::vector<JournalEntry> entries;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::size_t pos = line.find(' ');
        const std::string head = line.substr(0, pos);
        const std::size_t bang = head.find('!');
        if (bang == std::string::npos)
            continue;
        JournalEntry e;
        e.library = head.substr(0, bang);
        e.entry = head.substr(bang + 1);
        while (pos != std::string::npos && pos < line.size()) {
            while (pos < line.size() && line[pos] == ' ')
                ++pos;
            const std::size_t eq = line.find('=', pos);
            if (eq == std::string::npos)
                break;
            const std::string key = line.substr(pos, eq - pos);
            std::size_t end = eq + 1;
            if (end < line.size() && line[end] == '"') {
                for (++end; end < line.size() && line[end] != '"'; ++end)
                    if (line[end] == '\\')
                        ++end;
                ++end;
            } else {
                end = line.find(' ', end);
            }
            if (end > line.size())
                end = line.size();
            e.fields.emplace_back(key, line.substr(eq + 1, end == std::string::npos ? std::string::npos : end - eq - 1));
            pos = end;
        }
        entries.push_back(std::move(e));
    }
    return entries;
}

} // namespace sim
