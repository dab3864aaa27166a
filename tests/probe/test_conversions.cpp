#include "binarystring.h"
#include "displayedsize.h"
#include "probeerror.h"

#include <gtest/gtest.h>

#include <limits>

using namespace zorvane;

namespace {

template <typename Call>
ProbeErrorKind failureOf(Call call)
{
    try {
        call();
        ADD_FAILURE() << "no error raised";
    } catch (const ProbeError &error) {
        return error.kind();
    }
    return ProbeErrorKind::CannotOpen;
}

bool sizeIs(const std::optional<DisplayedSize> &size, std::int32_t width, std::int32_t height)
{
    return size && size->width == width && size->height == height;
}

} // namespace

TEST(BinaryString, ToBinaryStringGivesThirtyTwoDigits)
{
    EXPECT_EQ(ToBinaryString(0), std::string(32, '0'));
    EXPECT_EQ(ToBinaryString(255), std::string(24, '0') + std::string(8, '1'));
    EXPECT_EQ(ToBinaryString(5), std::string(29, '0') + "101");
    EXPECT_EQ(ToBinaryString(0x16).substr(24), "00010110");
    EXPECT_EQ(ToBinaryString(std::numeric_limits<std::int32_t>::max()), "0" + std::string(31, '1'));
    EXPECT_EQ(ToBinaryString(-1), std::string(32, '1'));
}

TEST(BinaryString, FromBinaryStringReadsMostSignificantFirst)
{
    EXPECT_EQ(FromBinaryString(""), 0);
    EXPECT_EQ(FromBinaryString("111111111111"), 4095);
    EXPECT_EQ(FromBinaryString("000101100000"), 352);
    EXPECT_EQ(FromBinaryString("000100100000"), 288);
    EXPECT_EQ(FromBinaryString(std::string(200, '0') + "101"), 5);
    for (std::int32_t value : {0, 1, 2, 255, 4096, 123456789, std::numeric_limits<std::int32_t>::max()})
        EXPECT_EQ(FromBinaryString(ToBinaryString(value)), value) << value;
}

TEST(BinaryString, FromBinaryStringWeighsDigitsByTheirValue)
{
    EXPECT_EQ(FromBinaryString("2"), 2);
    EXPECT_EQ(FromBinaryString("21"), 5);
    EXPECT_EQ(FromBinaryString("9"), 9);
    EXPECT_EQ(FromBinaryString("x1"), 1);
    EXPECT_EQ(FromBinaryString("1 1"), 5);
}

TEST(BinaryString, FromBinaryStringOverflowsPastThe32BitRange)
{
    EXPECT_EQ(failureOf([] { FromBinaryString("1" + std::string(31, '0')); }), ProbeErrorKind::Overflow);
    EXPECT_EQ(failureOf([] { FromBinaryString("2" + std::string(30, '0')); }), ProbeErrorKind::Overflow);
    EXPECT_EQ(failureOf([] { FromBinaryString("1" + std::string(100, '0')); }), ProbeErrorKind::Overflow);
    EXPECT_EQ(failureOf([] { FromBinaryString(std::string(30, '0') + "1" + std::string(31, '1')); }), ProbeErrorKind::Overflow);
}

TEST(TextValue, ReadsTheDecimalNumberAtTheStart)
{
    EXPECT_EQ(valueOfText("240"), 240);
    EXPECT_EQ(valueOfText("  42abc"), 42);
    EXPECT_EQ(valueOfText("\t-7"), -7);
    EXPECT_EQ(valueOfText("+7"), 7);
    EXPECT_EQ(valueOfText(""), 0);
    EXPECT_EQ(valueOfText("x1"), 0);
    EXPECT_EQ(valueOfText("-"), 0);
    EXPECT_EQ(valueOfText("1e3"), 1000);
    EXPECT_EQ(valueOfText("2D2"), 200);
    EXPECT_EQ(valueOfText("5e"), 5);
    EXPECT_EQ(valueOfText("1e-400"), 0);
}

TEST(TextValue, RoundsHalvesToEven)
{
    EXPECT_EQ(valueOfText("0.5"), 0);
    EXPECT_EQ(valueOfText("1.5"), 2);
    EXPECT_EQ(valueOfText("2.5"), 2);
    EXPECT_EQ(valueOfText("2.51"), 3);
    EXPECT_EQ(valueOfText("-1.5"), -2);
    EXPECT_EQ(valueOfText("-2.5"), -2);
    EXPECT_EQ(valueOfText(".7"), 1);
    EXPECT_EQ(valueOfText("3."), 3);
}

TEST(TextValue, OverflowsOutsideThe32BitRange)
{
    EXPECT_EQ(valueOfText("2147483647"), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(valueOfText("-2147483648"), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(valueOfText("2147483646.5"), 2147483646);
    EXPECT_EQ(failureOf([] { valueOfText("2147483647.5"); }), ProbeErrorKind::Overflow);
    EXPECT_EQ(failureOf([] { valueOfText("2147483648"); }), ProbeErrorKind::Overflow);
    EXPECT_EQ(failureOf([] { valueOfText("-2147483649"); }), ProbeErrorKind::Overflow);
    EXPECT_EQ(failureOf([] { valueOfText("1e400"); }), ProbeErrorKind::Overflow);
}

TEST(DisplayedSizeReply, LastNumberIsHeightThePreviousWidth)
{
    EXPECT_TRUE(sizeIs(parseDisplayedSizeReply("0 0 640 480"), 640, 480));
    EXPECT_TRUE(sizeIs(parseDisplayedSizeReply("320 240"), 320, 240));
    EXPECT_TRUE(sizeIs(parseDisplayedSizeReply("  0 0 320 240  "), 320, 240));
    EXPECT_TRUE(sizeIs(parseDisplayedSizeReply("0 0 320.5 240.5"), 320, 240));
    EXPECT_TRUE(sizeIs(parseDisplayedSizeReply("0 0 abc 240"), 0, 240));
    EXPECT_TRUE(sizeIs(parseDisplayedSizeReply("0 0 320  240"), 0, 240));
}

TEST(DisplayedSizeReply, ReplyEndsAtItsFirstNulAndFitsTheBuffer)
{
    EXPECT_TRUE(sizeIs(parseDisplayedSizeReply(std::string("0 0 640 480\0 1 2", 16)), 640, 480));
    // Beyond 127 characters the reply no longer fits the buffer.
    const std::string longReply = std::string(120, ' ') + "1 2 3 456789";
    EXPECT_TRUE(sizeIs(parseDisplayedSizeReply(longReply), 3, 4));
}

TEST(DisplayedSizeReply, ShortRepliesChangeNothing)
{
    EXPECT_FALSE(parseDisplayedSizeReply(""));
    EXPECT_FALSE(parseDisplayedSizeReply("      "));
    EXPECT_FALSE(parseDisplayedSizeReply("7"));
    EXPECT_FALSE(parseDisplayedSizeReply("  7  "));
    EXPECT_FALSE(parseDisplayedSizeReply(std::string("\0 0 640 480", 11)));
}

TEST(DisplayedSizeReply, ReplyWithoutSpaceOrWithHugeNumbersFails)
{
    EXPECT_EQ(failureOf([] { parseDisplayedSizeReply("12"); }), ProbeErrorKind::BadFallbackReply);
    EXPECT_EQ(failureOf([] { parseDisplayedSizeReply("640x480"); }), ProbeErrorKind::BadFallbackReply);
    EXPECT_EQ(failureOf([] { parseDisplayedSizeReply("0 0 99999999999 480"); }), ProbeErrorKind::Overflow);
    EXPECT_EQ(failureOf([] { parseDisplayedSizeReply("0 0 640 -99999999999"); }), ProbeErrorKind::Overflow);
}
