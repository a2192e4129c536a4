// The owner-string text rules and the policy bit mapping, without a platform.
#include <gtest/gtest.h>

#include "OwnerText.h"
#include "PolicyBits.h"

namespace {

std::string Visible(std::string s)
{
    std::string out;
    for (char c : s)
        out += c == '\r' ? std::string("<CR>") : c == '\n' ? std::string("<LF>") : c == '\0' ? "<0>" : std::string(1, c);
    return out;
}

} // namespace

TEST(OwnerShaping, FiveLinesOfForty)
{
    const std::string forty(40, 'a');
    struct Row {
        const char* name;
        std::string in, out;
    };
    const Row rows[] = {
        {"empty", "", ""},
        {"short", "Owner", "Owner"},
        {"exactly 40", forty, forty},
        {"41 breaks before the last", forty + "Z", forty + "\r\nZ"},
        {"six lines end before the fifth LF", "1\n2\n3\n4\n5\n6", "1\n2\n3\n4\n5"},
        {"CR on the fifth line stops", "1\r\n2\r\n3\r\n4\r\n5\r\n6", "1\r\n2\r\n3\r\n4\r\n5"},
        {"zero byte is kept and ends", std::string("ab\0cd", 5), std::string("ab\0", 3)},
        {"a long line fills five lines and stops", std::string(300, 'x'),
         std::string(40, 'x') + "\r\n" + std::string(40, 'x') + "\r\n" + std::string(40, 'x') + "\r\n" +
             std::string(40, 'x') + "\r\n" + std::string(40, 'x')},
        {"a break resets the column", forty + "\n" + forty, forty + "\n" + forty},
    };
    for (const Row& r : rows)
        EXPECT_EQ(Visible(owner::ShapeForSmallArea(r.in)), Visible(r.out)) << r.name;
    EXPECT_EQ(owner::ShapeForSmallArea(std::string(1000, 'q')).size(), 208u);
}

TEST(OwnerChunks, NeverPastEightBytes)
{
    const std::uint8_t full[8] = {'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h'};
    const std::uint8_t zero[8] = {'x', 'y', 0, 'z', 'z', 'z', 'z', 'z'};
    owner::ChunkReader reader;
    EXPECT_EQ(reader.Take(full, 3), 3u);
    EXPECT_EQ(reader.Take(full, 8), 8u);
    EXPECT_EQ(reader.Take(full, 9), 8u);
    EXPECT_EQ(reader.Take(full, 0xFFFF), 8u);
    EXPECT_EQ(reader.Text(), "abc" + std::string("abcdefgh") + "abcdefgh" + "abcdefgh");
    EXPECT_EQ(reader.Take(full, 0), 0u) << "an empty chunk ends the read";
    EXPECT_EQ(reader.Take(zero, 8), 0u) << "a zero byte ends the read";
    EXPECT_EQ(reader.Text().substr(27), "xy");
}

TEST(PolicyBits, OnlyTheLowestBitCountsAndTwoKeeps)
{
    const std::int32_t keep[9] = {2, 2, 2, 2, 2, 2, 2, 2, 2};
    EXPECT_EQ(policy::Apply(0xDEADBEEF, keep), 0xDEADBEEFu);
    const std::int32_t mixed[9] = {0, 3, 2, -1, 4, 2, 1, 2, 0};
    EXPECT_EQ(policy::Apply(0x0000000A, mixed), 0x0009000Cu);
    const std::int32_t all[9] = {1, 1, 1, 1, 1, 1, 1, 1, 1};
    EXPECT_EQ(policy::Apply(0, all), 0x003B002Eu);
    const std::int32_t none[9] = {0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(policy::Apply(0xFFFFFFFF, none), ~0x003B002Eu);
    // A field of 2 is left alone, the others cannot reach a bit not their own.
    std::int32_t one[9] = {2, 2, 2, 2, 2, 2, 2, 2, 2};
    for (int i = 0; i < 9; ++i) {
        one[i] = 1;
        EXPECT_EQ(policy::Apply(0, one), 1u << policy::kBits[i]) << i;
        one[i] = 2;
    }
}
