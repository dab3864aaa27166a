#include "probe/binarystring.h"
#include "probe/probeerror.h"

#include <gtest/gtest.h>

using namespace zorvane;

namespace {

template <typename Call>
void expectFailure(Call call, ProbeErrorKind kind, const std::string &input)
{
    try {
        call(input);
        ADD_FAILURE() << "no error for " << input;
    } catch (const ProbeError &error) {
        EXPECT_EQ(error.kind(), kind) << input;
    }
}

} // namespace

TEST(BinaryString, ConvertsBothWays)
{
    EXPECT_EQ(ToBinaryString(0), std::string(32, '0'));
    EXPECT_EQ(ToBinaryString(255), std::string(24, '0') + std::string(8, '1'));
    EXPECT_EQ(ToBinaryString(5), std::string(29, '0') + "101");
    EXPECT_EQ(ToBinaryString(-1), std::string(32, '1'));
    const std::pair<std::string, int> values[] = {
        {"", 0}, {"111111111111", 4095}, {"000101100000", 352}, {std::string(200, '0') + "1", 1}, {"21", 5}, {"x1", 1},
        {"9", 9}};
    for (const auto &[digits, value] : values)
        EXPECT_EQ(FromBinaryString(digits), value) << digits;
    for (int value : {1, 0x16, 123456789, INT32_MAX})
        EXPECT_EQ(FromBinaryString(ToBinaryString(value)), value);
    for (const std::string &digits :
         {"1" + std::string(31, '0'), "2" + std::string(30, '0'), "1" + std::string(99, '0')})
        expectFailure(FromBinaryString, ProbeErrorKind::Overflow, digits);
}
