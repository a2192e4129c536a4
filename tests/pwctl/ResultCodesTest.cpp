// The hosts' reading of result codes: which codes are successes, and that
// every code gets words, known or not.
#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "ResultCodes.h"
#include "ResultSentences.h"

using namespace results;

TEST(ResultCodes, SuccessCodesPerOperation)
{
    struct Row {
        Operation operation;
        std::int32_t code;
        bool success;
    };
    const Row rows[] = {
        {Operation::Init, 0, true},          {Operation::Init, 110, true},         {Operation::Init, 3, false},
        {Operation::Init, 17, false},        {Operation::SetPassword, 102, true},  {Operation::SetPassword, 104, true},
        {Operation::SetPassword, 0, false},  {Operation::SetPassword, 21, false},  {Operation::ChangePassword, 105, true},
        {Operation::ChangePassword, 13, false}, {Operation::DeletePassword, 101, true},
        {Operation::DeletePassword, static_cast<std::int32_t>(0x80004005u), false},
        {Operation::SetOwner, 107, true},    {Operation::SetOwner, 8, false},      {Operation::GetOwner, 0, true},
        {Operation::SetPolicy, 525, true},   {Operation::SetPolicy, 519, false},   {Operation::GetPolicy, 15, false},
        {Operation::Memo, 111, true},        {Operation::Memo, 23, false},
    };
    for (const Row& r : rows) {
        const CodeMeaning m = Describe(r.operation, r.code);
        EXPECT_EQ(m.success, r.success) << OperationName(r.operation) << " " << r.code;
        EXPECT_FALSE(m.text.empty());
    }
    EXPECT_EQ(Describe(Operation::DeletePassword, static_cast<std::int32_t>(0x80004005u)).text,
              "the verification library is missing");
    EXPECT_EQ(Describe(Operation::SetPassword, 3).text, "the verification library is missing");
}

TEST(ResultCodes, UnknownCodesAreFailuresWithTheirNumber)
{
    const CodeMeaning m = Describe(Operation::SetPassword, 12345);
    EXPECT_FALSE(m.success);
    EXPECT_EQ(m.text, "unknown result code 12345 (0x3039)");
}

// Every code the table knows has a sentence for people of its own within its
// operation, so a windowed host never shows two outcomes alike.
TEST(ResultCodes, EveryKnownCodeHasItsOwnSentence)
{
    const struct {
        Operation operation;
        std::vector<std::int32_t> codes;
    } known[] = {
        {Operation::Init, {0, 110, 1, 2, 3, 4, 5, 6, 15, 16, 17}},
        {Operation::SetPassword, {102, 103, 104, 0, 3, 4, 5, 6, 10, 11, 15, 18, 19, 20, 21}},
        {Operation::ChangePassword, {105, 106, 0, 3, 4, 5, 6, 13, 14, 18, 19, 20}},
        {Operation::DeletePassword, {100, 101, 0, static_cast<std::int32_t>(0x80004005u), 4, 5, 6, 7}},
        {Operation::GetOwner, {0, static_cast<std::int32_t>(0x80004005u)}},
        {Operation::SetOwner, {0, 107, 8, static_cast<std::int32_t>(0x80004005u)}},
        {Operation::GetPolicy, {0, 15}},
        {Operation::SetPolicy, {108, 525, 3, 4, 5, 6, 513, 519}},
        {Operation::HddSupport, {0, static_cast<std::int32_t>(0x80004005u)}},
        {Operation::Memo, {111, 23}},
    };
    for (const auto& row : known) {
        std::set<int> sentences;
        for (const std::int32_t code : row.codes) {
            const CodeMeaning m = Describe(row.operation, code);
            EXPECT_NE(m.sentence, PW_SAY_UNKNOWN) << OperationName(row.operation) << " " << code;
            EXPECT_TRUE(sentences.insert(m.sentence).second) << OperationName(row.operation) << " " << code;
        }
    }
    EXPECT_EQ(Describe(Operation::SetOwner, 12345).sentence, PW_SAY_UNKNOWN);
    // The verification outcomes read alike wherever a change verifies.
    EXPECT_EQ(Describe(Operation::SetPolicy, 6).sentence, Describe(Operation::DeletePassword, 6).sentence);
}
