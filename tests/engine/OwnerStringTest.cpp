// The owner string over the hardware interface: size reads, chunked reads
// and writes, the shaped small area, and answers that must not run away.
#include "OpsFixture.h"

#include <oleauto.h>

using namespace ops;
using pwtest::Trace;

namespace {

struct Reply {
    BOOL ok = TRUE;
    WORD size = 0;   // high half of ValueB
    WORD count = 0;  // low half of ValueB
    std::string bytes; // up to 8 chunk bytes
};

Reply Size(WORD size)
{
    return Reply{TRUE, size, 0, {}};
}
Reply Failed()
{
    return Reply{FALSE, 0, 0, {}};
}
Reply Chunk(const std::string& bytes, WORD count)
{
    return Reply{TRUE, 0, count, bytes};
}

class OwnerString : public Ops {
protected:
    void SetUp() override
    {
        Ops::SetUp();
        qhci = [this](FirmwareCallBlock& b) {
            sent.push_back(b);
            if (b.Function == fw::kHardwareWrite)
                return writeFailsAt == static_cast<int>(Writes().size()) - 1 ? FALSE : TRUE;
            const std::size_t index = readsSent++;
            const Reply r = index < replies.size() ? replies[index] : endless;
            if (!r.ok)
                return FALSE;
            b.ValueB = static_cast<DWORD>(r.size) << 16 | r.count;
            std::uint8_t chunk[8] = {};
            std::memcpy(chunk, r.bytes.data(), std::min<std::size_t>(8, r.bytes.size()));
            std::memcpy(&b.ValueA, chunk, 4);
            std::memcpy(&b.Data0, chunk + 4, 4);
            return TRUE;
        };
    }
    std::vector<FirmwareCallBlock> Writes() const
    {
        std::vector<FirmwareCallBlock> out;
        for (const auto& b : sent)
            if (b.Function == fw::kHardwareWrite)
                out.push_back(b);
        return out;
    }
    std::vector<DWORD> ReadPositions() const
    {
        std::vector<DWORD> out;
        for (const auto& b : sent)
            if (b.Function == fw::kHardwareRead)
                out.push_back(b.Data1 & 0xFFFF);
        return out;
    }
    // "pos:count:bytes" per write.
    std::vector<std::string> WriteTrace() const
    {
        std::vector<std::string> out;
        for (const auto& b : Writes()) {
            EXPECT_EQ(b.Request, 0x0029);
            char chunk[8];
            std::memcpy(chunk, &b.ValueA, 4);
            std::memcpy(chunk + 4, &b.Data0, 4);
            const WORD count = static_cast<WORD>(b.ValueB);
            std::string bytes(chunk, std::min<std::size_t>(count, 8));
            for (std::size_t i = count; i < 8; ++i) {
                EXPECT_EQ(chunk[i], 0) << "the rest of a chunk is zero";
            }
            for (char& c : bytes)
                if (c == '\0')
                    c = '0';
                else if (c == '\r')
                    c = 'R';
                else if (c == '\n')
                    c = 'N';
            out.push_back(std::to_string(b.Data1 & 0xFFFF) + ":" + std::to_string(count) + ":" + bytes);
        }
        return out;
    }
    std::pair<int, std::wstring> Read()
    {
        BSTR text = nullptr;
        const int code = engine.GetOwnerString(&text);
        std::wstring value = text ? std::wstring(text, SysStringLen(text)) : L"<null>";
        SysFreeString(text);
        return {code, value};
    }

    std::vector<Reply> replies;
    Reply endless = Chunk("", 0);
    std::size_t readsSent = 0;
    int writeFailsAt = -1;
    std::vector<FirmwareCallBlock> sent;
};

} // namespace

TEST_F(OwnerString, ReadsChunksUntilAnEmptyOneOrAZeroByte)
{
    struct Row {
        const char* name;
        std::vector<Reply> replies;
        std::wstring text;
        std::vector<DWORD> positions;
    };
    const Row rows[] = {
        {"two chunks then an empty one",
         {Size(513), Size(513), Chunk("Hello, w", 8), Chunk("orld", 4), Chunk("", 0)},
         L"Hello, world",
         {0, 0, 0, 8, 12}},
        {"zero byte inside a chunk ends the text", {Size(513), Size(513), Chunk("ab\0cdefg", 8), Chunk("more", 4)},
         L"ab", {0, 0, 0}},
        {"stops at the area size", {Size(10), Size(10), Chunk("12345678", 8), Chunk("9A", 2)}, L"123456789A",
         {0, 0, 0, 8}},
        {"size 0: the two size reads only", {Size(0), Size(0)}, L"", {0, 0}},
        {"a count above 8 takes the 8 bytes a chunk holds",
         {Size(20), Size(20), Chunk("ABCDEFGH", 200), Chunk("IJ", 2), Chunk("", 0)},
         L"ABCDEFGHIJ",
         {0, 0, 0, 8, 10}},
        {"the size comes from the second read", {Size(513), Size(4), Chunk("abcd", 4)}, L"abcd", {0, 0, 0}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        sent.clear();
        readsSent = 0;
        replies = r.replies;
        Trace trace;
        const auto [code, text] = Read();
        EXPECT_EQ(code, 0);
        EXPECT_EQ(text, r.text);
        EXPECT_EQ(ReadPositions(), r.positions);
        EXPECT_EQ(trace.Messages("PassWordFUN::GetOwnerString"),
                  (std::vector<std::string>{"get the size of OwnerString", "get OwnerString"}));
        for (const auto& b : sent) {
            EXPECT_EQ(b.Request, 0x0029);
        }
    }
}

TEST_F(OwnerString, NoAnswerKeepsTheReadGoing)
{
    // An area near 0xFFFF whose firmware claims 0xFFFF bytes in every chunk:
    // the position still advances by 8 and the read ends at the area's end.
    replies = {Size(0xFFFF), Size(0xFFFF)};
    endless = Chunk("xxxxxxxx", 0xFFFF);
    const auto [code, text] = Read();
    EXPECT_EQ(code, 0);
    EXPECT_EQ(readsSent, 2u + 0x10000 / 8);
    EXPECT_EQ(text.size(), 0x10000u);
    EXPECT_EQ(ReadPositions().back(), 0xFFF8u);
}

TEST_F(OwnerString, ReadFailures)
{
    const std::vector<Reply> cases[] = {
        {Failed()},
        {Size(513), Failed()},
        {Size(513), Size(513), Chunk("abcdefgh", 8), Failed()},
    };
    for (const auto& c : cases) {
        sent.clear();
        readsSent = 0;
        replies = c;
        Trace trace;
        const auto [code, text] = Read();
        EXPECT_EQ(code, static_cast<int>(E_FAIL));
        EXPECT_EQ(text, L"<null>") << "nothing stored";
        EXPECT_EQ(trace.Messages("PassWordFUN::GetOwnerString").back(), "Error Code: 0x80004005");
    }
}

TEST_F(OwnerString, WritesChunksAndTheTerminator)
{
    const std::string forty(40, 'a');
    struct Row {
        const char* name;
        WORD size;
        std::wstring text;
        int code;
        std::vector<std::string> writes;
        const char* sizeLine; // "" when the size has no line
    };
    const Row rows[] = {
        {"ten letters", 513, L"abcdefghij", 0, {"0:8:abcdefgh", "8:2:ij", "10:1:0"}, "Q-BIOS"},
        {"empty", 513, L"", 0, {"0:1:0"}, "Q-BIOS"},
        {"empty, small area", 209, L"", 107, {"0:1:0"}, ""},
        {"other sizes as the large one", 300, L"abcdefghij", 0, {"0:8:abcdefgh", "8:2:ij", "10:1:0"},
         "Others : handle as Q-BIOS"},
        {"41 characters on the small area", 209, std::wstring(40, L'a') + L"Z", 107,
         {"0:8:aaaaaaaa", "8:8:aaaaaaaa", "16:8:aaaaaaaa", "24:8:aaaaaaaa", "32:8:aaaaaaaa", "40:3:RNZ", "43:1:0"},
         ""},
        {"long text on the large area is sent whole", 513, std::wstring(41, L'b'), 0,
         {"0:8:bbbbbbbb", "8:8:bbbbbbbb", "16:8:bbbbbbbb", "24:8:bbbbbbbb", "32:8:bbbbbbbb", "40:1:b", "41:1:0"},
         "Q-BIOS"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        sent.clear();
        readsSent = 0;
        replies = {Size(r.size), Size(r.size)};
        Trace trace;
        EXPECT_EQ(engine.SetOwnerString(r.text.c_str()), r.code);
        EXPECT_EQ(WriteTrace(), r.writes);
        std::vector<std::string> lines = {"check Owner String supported or not", "check Max number of OwnerString"};
        if (*r.sizeLine)
            lines.push_back(r.sizeLine);
        lines.push_back("set Owner String");
        EXPECT_EQ(trace.Messages("PassWordFUN::SetOwnerString"), lines);
    }
}

TEST_F(OwnerString, WriteFailures)
{
    struct Row {
        std::vector<Reply> replies;
        int failAt;
        int code;
        std::size_t writes;
    };
    const Row rows[] = {
        {{Failed()}, -1, 8, 0},
        {{Size(513), Failed()}, -1, static_cast<int>(E_FAIL), 0},
        {{Size(513), Size(513)}, 1, static_cast<int>(E_FAIL), 2}, // the first chunk stays, no terminator
        {{Size(513), Size(513)}, 2, static_cast<int>(E_FAIL), 3}, // the terminator itself
    };
    for (const Row& r : rows) {
        sent.clear();
        readsSent = 0;
        replies = r.replies;
        writeFailsAt = r.failAt;
        Trace trace;
        EXPECT_EQ(engine.SetOwnerString(L"abcdefghij"), r.code);
        EXPECT_EQ(Writes().size(), r.writes);
        char line[40];
        std::snprintf(line, sizeof line, "Error Code: 0x%x", r.code);
        EXPECT_EQ(trace.Messages("PassWordFUN::SetOwnerString").back(), line);
    }
}
