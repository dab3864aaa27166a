#include "binarystring.h"
#include "displayedsize.h"
#include "probeerror.h"

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

std::string sizeText(const std::string &reply)
{
    const auto size = parseDisplayedSizeReply(reply);
    return size ? std::to_string(size->width) + "x" + std::to_string(size->height) : "none";
}

} // namespace

TEST(BinaryString, ConvertsBothWays)
{
    EXPECT_EQ(ToBinaryString(0), std::string(32, '0'));
    EXPECT_EQ(ToBinaryString(255), std::string(24, '0') + std::string(8, '1'));
    EXPECT_EQ(ToBinaryString(5), std::string(29, '0') + "101");
    EXPECT_EQ(ToBinaryString(-1), std::string(32, '1'));
    const std::pair<std::string, int> values[] = {{"", 0}, {"111111111111", 4095}, {"000101100000", 352},
                                                  {std::string(200, '0') + "1", 1}, {"21", 5}, {"x1", 1}, {"9", 9}};
    for (const auto &[digits, value] : values)
        EXPECT_EQ(FromBinaryString(digits), value) << digits;
    for (int value : {1, 0x16, 123456789, INT32_MAX})
        EXPECT_EQ(FromBinaryString(ToBinaryString(value)), value);
    for (const std::string &digits : {"1" + std::string(31, '0'), "2" + std::string(30, '0'), "1" + std::string(99, '0')})
        expectFailure(FromBinaryString, ProbeErrorKind::Overflow, digits);
}

TEST(TextValue, LeadingDecimalNumberRoundedHalfToEven)
{
    const std::pair<const char *, int> values[] = {
        {"240", 240}, {"  42abc", 42}, {"\t-7", -7}, {"+7", 7}, {"", 0}, {"x1", 0}, {"-", 0}, {"1e3", 1000},
        {"2D2", 200}, {"5e", 5}, {"1e-400", 0}, {"0.5", 0}, {"1.5", 2}, {"2.5", 2}, {"2.51", 3}, {"-2.5", -2},
        {".7", 1}, {"3.", 3}, {"2147483647", INT32_MAX}, {"-2147483648", INT32_MIN}, {"2147483646.5", 2147483646}};
    for (const auto &[text, value] : values)
        EXPECT_EQ(valueOfText(text), value) << text;
    for (const char *text : {"2147483647.5", "2147483648", "-2147483649", "1e400"})
        expectFailure(valueOfText, ProbeErrorKind::Overflow, text);
}

TEST(DisplayedSizeReply, LastNumberIsTheHeightThePreviousTheWidth)
{
    const std::pair<std::string, const char *> replies[] = {
        {"0 0 640 480", "640x480"}, {"320 240", "320x240"}, {"  0 0 320 240  ", "320x240"},
        {"0 0 320.5 240.5", "320x240"}, {"0 0 abc 240", "0x240"}, {"0 0 320  240", "0x240"},
        {"", "none"}, {"      ", "none"}, {"7", "none"}, {"  7  ", "none"},
        // The reply ends at its first NUL and at the 127 characters a buffer holds.
        {std::string("0 0 640 480\0 1 2", 16), "640x480"}, {std::string("\0 0 640 480", 11), "none"},
        {std::string(120, ' ') + "1 2 3 456789", "3x4"}};
    for (const auto &[reply, size] : replies)
        EXPECT_EQ(sizeText(reply), size) << reply;
    expectFailure(parseDisplayedSizeReply, ProbeErrorKind::BadFallbackReply, "12");
    expectFailure(parseDisplayedSizeReply, ProbeErrorKind::BadFallbackReply, "640x480");
    expectFailure(parseDisplayedSizeReply, ProbeErrorKind::Overflow, "0 0 99999999999 480");
    expectFailure(parseDisplayedSizeReply, ProbeErrorKind::Overflow, "0 0 640 -99999999999");
}
