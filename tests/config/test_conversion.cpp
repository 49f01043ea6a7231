// The window's number reading and its byte-to-widget text conversion.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "config/IntConversion.h"
#include "config/cp1252.h"

namespace kalvorin::config {
namespace {

struct Conversion {
    const char* text;
    std::int32_t expected;  // with the fallback 77
};

class StrToIntDef : public ::testing::TestWithParam<Conversion> {};

TEST_P(StrToIntDef, ReadsNumbersAndFallsBackOnAnythingElse) {
    EXPECT_EQ(str_to_int_def(GetParam().text, 77), GetParam().expected) << '"' << GetParam().text << '"';
}

INSTANTIATE_TEST_SUITE_P(
    Texts, StrToIntDef,
    ::testing::Values(Conversion{"12", 12}, Conversion{" 12", 12}, Conversion{"   -5", -5}, Conversion{"+8", 8},
                      Conversion{"007", 7}, Conversion{"0", 0}, Conversion{"$1F", 31}, Conversion{"x10", 16},
                      Conversion{"X10", 16}, Conversion{"0x7fffffff", 2147483647}, Conversion{"0XaB", 171},
                      Conversion{"2147483647", 2147483647}, Conversion{"-2147483648", -2147483647 - 1},
                      // Everything below is refused.
                      Conversion{"", 77}, Conversion{" ", 77}, Conversion{"12 ", 77}, Conversion{"\t12", 77},
                      Conversion{"abc", 77}, Conversion{"1a", 77}, Conversion{"2147483648", 77},
                      Conversion{"-2147483649", 77}, Conversion{"0x80000000", 77}, Conversion{"$", 77},
                      Conversion{"0x", 77}, Conversion{"$-1", 77}, Conversion{"-$1", 77}, Conversion{"--1", 77},
                      Conversion{"+-1", 77}, Conversion{"-", 77}, Conversion{"99999999999999999999", 77}));

TEST(Cp1252, EveryByteSurvivesARoundTripThroughAWidgetText) {
    std::string all;
    for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
    EXPECT_EQ(to_ansi(from_ansi(all)), all);
}

TEST(Cp1252, HighBytesMapToTheirCharacters) {
    EXPECT_EQ(from_ansi("\x80\x8a\x9f\xe9"), QString::fromUtf8("€ŠŸé"));
    EXPECT_EQ(to_ansi(QString::fromUtf8("€ Ž ñ")), "\x80 \x8e \xf1");
    EXPECT_EQ(to_ansi(QString::fromUtf8("Ω")), "?");
}

}  // namespace
}  // namespace kalvorin::config
