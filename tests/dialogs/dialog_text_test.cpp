#include "dialogs/dialog_text.h"

#include <gtest/gtest.h>

#include <vector>

#include "app/crt_random.h"

namespace etalon {
namespace {

TEST(DialogText, LeadingInteger) {
    EXPECT_EQ(leadingInteger("  42abc"), 42);
    EXPECT_EQ(leadingInteger("-7"), -7);
    EXPECT_EQ(leadingInteger("+12 3"), 12);
    EXPECT_EQ(leadingInteger("abc"), 0);
    EXPECT_EQ(leadingInteger(""), 0);
    EXPECT_EQ(leadingInteger("- 5"), 0);
    EXPECT_EQ(leadingInteger("99999999999999"), 2147483647);
    EXPECT_EQ(leadingInteger("-99999999999999"), -2147483648LL);
}

// The bound of the statistics dialogs goes out and comes back through these.
TEST(DialogText, RealNumbers) {
    EXPECT_EQ(generalNumber(0.25), "0.25");
    EXPECT_EQ(generalNumber(0.04), "0.04");
    EXPECT_EQ(generalNumber(2.0 / 3.0), "0.66667");
    EXPECT_EQ(generalNumber(125000.0), "1.25e+05");
    EXPECT_DOUBLE_EQ(leadingDouble("  0.04 or so"), 0.04);
    EXPECT_DOUBLE_EQ(leadingDouble("+.5"), 0.5);
    EXPECT_DOUBLE_EQ(leadingDouble("-2e-1"), -0.2);
    EXPECT_DOUBLE_EQ(leadingDouble("1,5"), 1.0);
    EXPECT_DOUBLE_EQ(leadingDouble("abc"), 0.0);
    EXPECT_DOUBLE_EQ(leadingDouble(""), 0.0);
}

TEST(DialogText, NumberLists) {
    const std::vector<uint16_t> list{3, 5, 7};
    EXPECT_EQ(joinNumbers(list), "3,5,7");
    EXPECT_EQ(joinNumbers({}), "");

    std::vector<uint16_t> four(4, 9);
    parseNumberList("3 5,7", four);
    EXPECT_EQ(four, (std::vector<uint16_t>{3, 5, 7, 0}));

    // A blank after a comma is a separator of its own, so the number is read twice.
    std::vector<uint16_t> three(3, 9);
    parseNumberList("3, 5", three);
    EXPECT_EQ(three, (std::vector<uint16_t>{3, 5, 5}));

    std::vector<uint16_t> two(2, 9);
    parseNumberList("", two);
    EXPECT_EQ(two, (std::vector<uint16_t>{0, 0}));
    parseNumberList("x,4", two);
    EXPECT_EQ(two, (std::vector<uint16_t>{0, 4}));
}

TEST(CrtRandom, MatchesTheRuntimeSequence) {
    // The first values an unseeded rand() gives with this generator.
    CrtRandom random;
    EXPECT_EQ(random.next(), 41);
    EXPECT_EQ(random.next(), 18467);
    EXPECT_EQ(random.next(), 6334);
    EXPECT_EQ(random.next(), 26500);
    EXPECT_EQ(random.next(), 19169);
}

}  // namespace
}  // namespace etalon
