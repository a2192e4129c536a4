// The host's reading of result codes: which codes are successes, and that
// every code gets words, known or not.
#include <gtest/gtest.h>

#include "ResultCodes.h"

using namespace pwctl;

TEST(PwctlResultCodes, SuccessCodesPerOperation)
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

TEST(PwctlResultCodes, UnknownCodesAreFailuresWithTheirNumber)
{
    const CodeMeaning m = Describe(Operation::SetPassword, 12345);
    EXPECT_FALSE(m.success);
    EXPECT_EQ(m.text, "unknown result code 12345 (0x3039)");
}
