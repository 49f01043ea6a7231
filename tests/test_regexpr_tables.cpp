// The engine's character tables: PCRE2's "C" locale tables except for the
// Windows-1252 case pairs and VT in \s.
#include <gtest/gtest.h>

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <memory>

#include "CodigoComun/RegExpr.h"
#include "platform/ansi.h"

namespace kalvorin {
namespace {

struct TablesFree {
    void operator()(const unsigned char* t) const noexcept { pcre2_maketables_free(nullptr, t); }
};

constexpr std::size_t kLcc = 0, kFcc = 256, kSpaceBits = 512, kCtypes = 832;

TEST(RegExprTables, DifferFromPcre2sOnlyWhereTheDialectDoes) {
    // A test program runs in the "C" locale, where pcre2_maketables gives the built-in tables.
    const std::unique_ptr<const unsigned char, TablesFree> c_tables(pcre2_maketables(nullptr));
    ASSERT_TRUE(c_tables);
    const unsigned char* ours = regexpr_character_tables();
    for (std::size_t k = 0; k < regexpr_tables_length; ++k) {
        const bool case_entry = k < kSpaceBits && (k % 256) >= 0x80;
        const bool vt_entry = k == kSpaceBits + 0x0B / 8 || k == kCtypes + 0x0B;
        if (!case_entry && !vt_entry) {
            EXPECT_EQ(ours[k], c_tables.get()[k]) << "offset " << k;
        }
    }
    EXPECT_EQ(ours[kSpaceBits + 1] & 0x08, 0) << "VT in the \\s bitmap";
    EXPECT_EQ(ours[kCtypes + 0x0B] & 0x01, 0) << "VT a space";
    for (unsigned c = 0x80; c < 256; ++c) {
        const auto u = static_cast<unsigned char>(platform::ansi_upper(static_cast<char>(c)));
        if (u == c) continue;
        EXPECT_EQ(ours[kFcc + c], u) << c;
        EXPECT_EQ(ours[kFcc + u], c) << c;
        EXPECT_EQ(ours[kLcc + u], c) << c;
    }
    EXPECT_EQ(ours[kFcc + 0xB5], 0xB5);
    EXPECT_EQ(ours[kFcc + 0xDF], 0xDF);
}

}  // namespace
}  // namespace kalvorin
