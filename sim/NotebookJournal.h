// The journal: one line per call of any entry point of the four libraries,
// appended when the call returns, so that tests can check exactly what the
// engine sent and in which order. A line reads
//   QSCIEX!QSCISet pid=12 handle=1 in=<68 bytes hex> out=<68 bytes hex> ret=1
// (fields "key=value"; texts quoted with C escapes).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "FirmwareProtocol.h"

namespace sim {

std::string HexBytes(const void* data, std::size_t size);
std::optional<std::string> BytesFromHex(const std::string& hex);

// Builds one journal line.
class CJournalLine {
public:
    CJournalLine(const std::string& library, const std::string& entry);
    CJournalLine& Add(const std::string& key, const std::string& value);
    CJournalLine& Number(const std::string& key, std::int64_t value);
    CJournalLine& Hex(const std::string& key, std::uint32_t value);
    CJournalLine& Bytes(const std::string& key, const void* data, std::size_t size);
    CJournalLine& Text(const std::string& key, const std::string& text);
    const std::string& Line() const { return m_line; }

private:
    std::string m_line;
};

struct JournalEntry {
    std::string library;  // "QSCIEX", "QHCI", "QSCCALL", "ORNPWCHK"
    std::string entry;    // entry point name
    std::vector<std::pair<std::string, std::string>> fields;

    bool Has(const std::string& key) const;
    std::string Field(const std::string& key) const;             // quoted texts come back unquoted
    std::optional<std::int64_t> Number(const std::string& key) const;
    std::optional<FirmwareCallBlock> Block(const std::string& key) const; // "in" or "out"
};

std::vector<JournalEntry> ParseJournal(const std::string& text);

} // namespace sim
