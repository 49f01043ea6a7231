#pragma once
// The six message parts: every fact that names, numbers or orders one, in one
// table. The host, the plug-in, the filter code, the log, the window and the
// tools take their forms of the parts from here; a new field keyword is a new
// row, plus the code that gets its text from the mail.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "kalvorin/tbp.h"

namespace kalvorin {

struct PartFacts {
    std::string_view keyword;    // the filter language's field keyword
    std::int32_t number;         // the host's part number (tbp.h)
    std::string_view banner;     // the log's line, written twice before the part's text
    std::size_t dump_position;   // where the log's part dump puts the part, from 0
    std::string_view file_name;  // the part's file in a folder of parts
    int pick_line;               // the window's language line that names the field; 0: not offered
};

// In the order in which la_descompone takes the keywords, which is also the
// order of searcher_init's arguments: a part's place here is its field index,
// and its field number in the window is that index + 1.
inline constexpr std::array<PartFacts, 6> kParts = {{
    {"SNDER", 100003, "K A L V O R I N  S P E A K: SENDER", 0, "SNDER", 11},
    {"SBJCT", 100004, "K A L V O R I N  S P E A K: SUBJECT", 1, "SBJCT", 12},
    {"MBODY", 100001, "K A L V O R I N  S P E A K: BODY", 4, "MBODY", 0},
    {"ATTCH", 100002, "K A L V O R I N  S P E A K: ATTACHMENTS", 3, "ATTCH", 0},
    {"HEADR", 100000, "K A L V O R I N  S P E A K: HEADER", 2, "HEADR", 15},
    {"RWMSG", 100005, "K A L V O R I  S P E A K: RAW MESSAGE", 5, "RWMSG", 16},
}};

inline constexpr std::size_t kPartCount = kParts.size();

// Every keyword has the first one's length: a test's operator, delimiter and
// text stand at fixed offsets from where its keyword begins.
inline constexpr std::size_t kKeywordLength = kParts[0].keyword.size();

// The keywords by field index.
inline constexpr std::array<std::string_view, kPartCount> kFieldKeywords = [] {
    std::array<std::string_view, kPartCount> keywords{};
    for (std::size_t k = 0; k < kPartCount; ++k) keywords[k] = kParts[k].keyword;
    return keywords;
}();

// The host numbers its parts from this one on, with no gap.
inline constexpr std::int32_t kFirstPartNumber =
    std::min_element(kParts.begin(), kParts.end(), [](const PartFacts& a, const PartFacts& b) {
        return a.number < b.number;
    })->number;

constexpr bool is_part_number(std::int32_t number) {
    return number >= kFirstPartNumber && number - kFirstPartNumber < static_cast<std::int32_t>(kPartCount);
}

// A part's place in host order (by increasing part number), the order in
// which the plug-in fetches the parts.
constexpr std::size_t host_index(std::int32_t number) { return static_cast<std::size_t>(number - kFirstPartNumber); }

// A message's texts by field index, as the filter code holds them.
using FieldParts = std::array<std::string, kPartCount>;
// A message's texts in host order.
using HostParts = std::array<std::string, kPartCount>;

// A message's texts by the host's part number, as the host hands them over.
struct MessageParts {
    HostParts text;

    std::string& operator[](std::int32_t number) { return text[host_index(number)]; }
    const std::string& operator[](std::int32_t number) const { return text[host_index(number)]; }
};

// Where each field's part stands in host order.
inline constexpr std::array<std::size_t, kPartCount> kHostIndexOf = [] {
    std::array<std::size_t, kPartCount> at{};
    for (std::size_t k = 0; k < kPartCount; ++k) at[k] = host_index(kParts[k].number);
    return at;
}();

// The field index of each part in host order.
inline constexpr std::array<std::size_t, kPartCount> kFieldAtHost = [] {
    std::array<std::size_t, kPartCount> field{};
    for (std::size_t k = 0; k < kPartCount; ++k) field[kHostIndexOf[k]] = k;
    return field;
}();

constexpr std::size_t field_of(std::int32_t number) { return kFieldAtHost[host_index(number)]; }

// The field index of each part in the order of the log's part dump.
inline constexpr std::array<std::size_t, kPartCount> kDumpOrder = [] {
    std::array<std::size_t, kPartCount> field{};
    for (std::size_t k = 0; k < kPartCount; ++k) field[kParts[k].dump_position] = k;
    return field;
}();

// The window's one-character code for a field: its field number.
constexpr char field_code(std::size_t field) { return static_cast<char>('1' + field); }
constexpr char field_code_of(std::int32_t number) { return field_code(field_of(number)); }

// "SNDER, SBJCT, ... or RWMSG", for the messages that name every keyword.
inline std::string keyword_list() {
    std::string list;
    for (std::size_t k = 0; k < kPartCount; ++k)
        list.append(k == 0 ? "" : k + 1 == kPartCount ? " or " : ", ").append(kFieldKeywords[k]);
    return list;
}

namespace parts_detail {

constexpr bool is_permutation(const std::array<std::size_t, kPartCount>& places) {
    for (std::size_t k = 0; k < kPartCount; ++k)
        if (places[k] >= kPartCount || std::count(places.begin(), places.end(), places[k]) != 1) return false;
    return true;
}

constexpr std::array<std::size_t, kPartCount> column(std::size_t (*of)(const PartFacts&)) {
    std::array<std::size_t, kPartCount> out{};
    for (std::size_t k = 0; k < kPartCount; ++k) out[k] = of(kParts[k]);
    return out;
}

constexpr bool keywords_well_formed() {
    for (const PartFacts& p : kParts) {
        if (p.keyword.size() != kKeywordLength) return false;
        for (const char c : p.keyword)
            if (c < 'A' || c > 'Z') return false;
    }
    return true;
}

constexpr bool distinct(std::string_view (*of)(const PartFacts&)) {
    for (std::size_t a = 0; a < kPartCount; ++a)
        for (std::size_t b = a + 1; b < kPartCount; ++b)
            if (of(kParts[a]) == of(kParts[b])) return false;
    return true;
}

constexpr bool pick_lines_distinct() {
    for (std::size_t a = 0; a < kPartCount; ++a)
        for (std::size_t b = a + 1; b < kPartCount; ++b)
            if (kParts[a].pick_line != 0 && kParts[a].pick_line == kParts[b].pick_line) return false;
    return true;
}

constexpr std::int32_t number_of(std::string_view keyword) {
    for (const PartFacts& p : kParts)
        if (p.keyword == keyword) return p.number;
    return -1;
}

}  // namespace parts_detail

// The host numbers every part, one number each, with no gap; the dump puts
// every part once.
static_assert(parts_detail::is_permutation(kHostIndexOf));
static_assert(parts_detail::is_permutation(
    parts_detail::column([](const PartFacts& p) { return p.dump_position; })));
static_assert(parts_detail::keywords_well_formed());
static_assert(parts_detail::distinct([](const PartFacts& p) { return p.keyword; }));
static_assert(parts_detail::distinct([](const PartFacts& p) { return p.banner; }));
static_assert(parts_detail::distinct([](const PartFacts& p) { return p.file_name; }));
static_assert(parts_detail::pick_lines_distinct());
// A field number is one digit.
static_assert(kPartCount <= 9);

// The C header's numbers, which hosts compile against, are the table's.
static_assert(parts_detail::number_of("HEADR") == TBP_PART_HEADER);
static_assert(parts_detail::number_of("MBODY") == TBP_PART_BODY);
static_assert(parts_detail::number_of("ATTCH") == TBP_PART_ATTACHMENTS);
static_assert(parts_detail::number_of("SNDER") == TBP_PART_SENDER);
static_assert(parts_detail::number_of("SBJCT") == TBP_PART_SUBJECT);
static_assert(parts_detail::number_of("RWMSG") == TBP_PART_RAWMESSAGE);

}  // namespace kalvorin
