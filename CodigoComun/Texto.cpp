#include "Texto.h"

#include "platform/ascii_upper.h"

namespace kalvorin {

namespace {
bool is_blank_or_control(char c) { return static_cast<unsigned char>(c) <= 32; }
}  // namespace

std::string_view trim_view(std::string_view s) {
    std::size_t b = 0, e = s.size();
    while (b < e && is_blank_or_control(s[b])) ++b;
    while (e > b && is_blank_or_control(s[e - 1])) --e;
    return s.substr(b, e - b);
}

std::string trim(std::string_view s) { return std::string(trim_view(s)); }

std::string trim_left(std::string_view s) {
    std::size_t b = 0;
    while (b < s.size() && is_blank_or_control(s[b])) ++b;
    return std::string(s.substr(b));
}

std::string plain_upper(std::string_view s) {
    std::string out(s);
    plain_upper_in_place(out);
    return out;
}

void plain_upper_in_place(std::string& s) {
    std::size_t i = 0;
    for (; i + 8 <= s.size(); i += 8)
        platform::store_word(s.data() + i, platform::ascii_upper_word(platform::load_word(s.data() + i)));
    for (; i < s.size(); ++i)
        if (s[i] >= 'a' && s[i] <= 'z') s[i] = static_cast<char>(s[i] - 'a' + 'A');
}

std::string int_to_str(std::int32_t v) { return std::to_string(v); }

std::string replace_all(std::string_view s, std::string_view from, std::string_view to) {
    if (from.empty()) return std::string(s);
    std::string out;
    out.reserve(s.size());
    std::size_t pos = 0;
    for (;;) {
        std::size_t hit = s.find(from, pos);
        if (hit == std::string_view::npos) break;
        out.append(s.substr(pos, hit - pos));
        out.append(to);
        pos = hit + from.size();
    }
    out.append(s.substr(pos));
    return out;
}

}  // namespace kalvorin
