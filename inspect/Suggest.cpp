#include "inspect/Suggest.h"

#include <algorithm>
#include <set>
#include <string_view>
#include <tuple>
#include <utility>

#include "CodigoComun/CapturaSpam.h"
#include "CodigoComun/FilterPlan.h"
#include "CodigoComun/Texto.h"
#include "inspect/FieldTest.h"

namespace kalvorin::inspect {

namespace {

constexpr std::size_t at(std::int32_t part) { return host_index(part); }

// Field numbers as the editor's field pick-list codes them.
constexpr char kSenderField = field_code_of(kPartSender), kSubjectField = field_code_of(kPartSubject),
               kBodyField = field_code_of(kPartBody), kAttachmentsField = field_code_of(kPartAttachments),
               kHeaderField = field_code_of(kPartHeader);

// Shorter words ("the", "for", "you") say little of a subject.
constexpr std::size_t kShortestWord = 4;
// A longer subject is rarely sent twice alike; its words say more.
constexpr std::size_t kLongestPhrase = 100;
constexpr std::size_t kMostWords = 8;
constexpr std::size_t kMostLinks = 8;
// Enough of a header's value to tell one list or mailer from another.
constexpr std::size_t kLongestHeaderValue = 60;

// The headers that name a mailing list or the program that sent the mail.
constexpr std::string_view kListHeaders[] = {"LIST-ID", "X-MAILING-LIST", "X-MAILER", "USER-AGENT"};

bool is_control(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u < 0x20 || u == 0x7F;
}

bool has_control(std::string_view s) { return std::any_of(s.begin(), s.end(), is_control); }

bool is_digit(char c) { return c >= '0' && c <= '9'; }

bool is_alnum(char c) { return is_digit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

bool is_host_char(char c) { return is_alnum(c) || c == '.' || c == '-'; }

// The text spelled as a pattern that finds it: letters, digits and bytes
// above 127 as they are, every other byte as \xHH, and so one letter of each
// field keyword in it, so that neither the delimiter nor a keyword stands in
// the test. (?i) makes it answer alike under either upper-case option,
// since with the option on the part is upper-cased and the pattern is not.
std::string literal_pattern(const std::string& text) {
    std::vector<bool> quoted(text.size());
    const std::string upper = plain_upper(text);
    for (std::string_view keyword : kFieldKeywords)
        for (std::size_t p = upper.find(keyword); p != std::string::npos; p = upper.find(keyword, p + 1))
            quoted[p] = true;
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out = "(?i)";
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (!quoted[i] && (is_alnum(text[i]) || c >= 0x80)) {
            out += text[i];
        } else {
            out += "\\x";
            out += kHex[c >> 4];
            out += kHex[c & 0xF];
        }
    }
    return out;
}

// A test of the field for the text: in the mode the delimiter selects when
// the text allows it, else as a pattern that spells the text.
std::optional<std::string> compose_test(char field, char delimiter, const std::string& text) {
    const TestKind kind = *TestKind::from_codes(field, '=', delimiter);
    if (kind.refusal(text) == Refusal::None) return kind.test(text);
    const TestKind pattern = *TestKind::from_codes(field, '=', '%');
    const std::string spelled = literal_pattern(text);
    if (pattern.refusal(spelled) == Refusal::None) return pattern.test(spelled);
    return std::nullopt;
}

bool ends_address(char c) {
    return c == ' ' || c == '<' || c == '>' || c == '"' || c == ',' || c == ';' || c == '(' || c == ')' ||
           is_control(c);
}

// The address of "Name <address>", or the word with an "@" in a bare one.
std::optional<std::string> address_in(const std::string& sender) {
    std::string address;
    if (const std::size_t open = sender.rfind('<'); open != std::string::npos) {
        const std::size_t close = sender.find('>', open);
        if (close != std::string::npos) address = sender.substr(open + 1, close - open - 1);
    }
    if (address.find('@') == std::string::npos) {
        const std::size_t a = sender.find('@');
        if (a == std::string::npos) return std::nullopt;
        std::size_t begin = a, end = a;
        while (begin > 0 && !ends_address(sender[begin - 1])) --begin;
        while (end < sender.size() && !ends_address(sender[end])) ++end;
        address = sender.substr(begin, end - begin);
    }
    const std::size_t a = address.rfind('@');
    if (a == 0 || a == std::string::npos || a + 1 == address.size()) return std::nullopt;
    if (std::any_of(address.begin(), address.end(), ends_address)) return std::nullopt;
    return address;
}

std::optional<std::string> domain_of(const std::string& sender) {
    const std::optional<std::string> address = address_in(sender);
    if (!address) return std::nullopt;
    return address->substr(address->rfind('@') + 1);
}

// Words as the whole-word mode bounds them; a control byte ends one too.
std::vector<std::string> words_of(const std::string& text) {
    std::vector<std::string> words;
    std::string word;
    for (const char c : text + ' ') {
        if (es_separador(c) || is_control(c)) {
            if (!word.empty()) words.push_back(std::exchange(word, {}));
        } else {
            word += c;
        }
    }
    return words;
}

// The hosts of the http and https links, as written.
std::vector<std::string> link_hosts(const std::string& body) {
    std::vector<std::string> hosts;
    const std::string upper = plain_upper(body);
    for (std::size_t p = upper.find("HTTP"); p != std::string::npos; p = upper.find("HTTP", p + 1)) {
        std::size_t begin = p + 4;
        if (begin < upper.size() && upper[begin] == 'S') ++begin;
        if (upper.compare(begin, 3, "://") != 0) continue;
        begin += 3;
        std::size_t end = begin;
        while (end < body.size() && is_host_char(body[end])) ++end;
        std::string host = body.substr(begin, end - begin);
        while (!host.empty() && host.back() == '.') host.pop_back();
        if (host.find('.') != std::string::npos) hosts.push_back(host);
    }
    return hosts;
}

// What follows the last dot of each attachment's name, when it is a short
// run of letters and digits.
std::vector<std::string> name_endings(const std::string& attachments) {
    std::vector<std::string> endings;
    std::size_t begin = 0;
    while (begin <= attachments.size()) {
        std::size_t end = attachments.find_first_of("\r\n", begin);
        if (end == std::string::npos) end = attachments.size();
        const std::string name = trim(std::string_view(attachments).substr(begin, end - begin));
        const std::size_t dot = name.rfind('.');
        const std::string ending = dot == std::string::npos ? "" : name.substr(dot + 1);
        if (!ending.empty() && ending.size() <= 6 && std::all_of(ending.begin(), ending.end(), is_alnum))
            endings.push_back(ending);
        begin = end + 1;
    }
    return endings;
}

// The header's lines that name a list or a mailer, as written, their values
// cut to a length that still tells them apart.
std::vector<std::string> list_header_lines(const std::string& header) {
    std::vector<std::string> found;
    std::size_t begin = 0;
    while (begin < header.size()) {
        std::size_t end = header.find('\n', begin);
        if (end == std::string::npos) end = header.size();
        std::string line = header.substr(begin, end - begin);
        begin = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        const std::string name = plain_upper(line.substr(0, colon));
        if (std::find(std::begin(kListHeaders), std::end(kListHeaders), name) == std::end(kListHeaders)) continue;
        std::size_t value = colon + 1;
        while (value < line.size() && (line[value] == ' ' || line[value] == '\t')) ++value;
        if (value == line.size()) continue;
        const std::string kept = trim(line.substr(0, value + kLongestHeaderValue));
        if (!has_control(kept)) found.push_back(kept);
    }
    return found;
}

// The longest run of whole words of the first subject that every subject
// holds, in any letter case.
std::optional<std::string> shared_phrase(const std::vector<HostParts>& chosen) {
    const std::string& first = chosen.front()[at(kPartSubject)];
    std::vector<std::pair<std::size_t, std::size_t>> words;  // begin, end
    for (std::size_t i = 0; i < first.size();) {
        while (i < first.size() && (first[i] == ' ' || is_control(first[i]))) ++i;
        const std::size_t begin = i;
        while (i < first.size() && first[i] != ' ' && !is_control(first[i])) ++i;
        if (i > begin) words.emplace_back(begin, i);
    }
    std::optional<std::string> best;
    for (std::size_t i = 0; i < words.size(); ++i)
        for (std::size_t j = i; j < words.size(); ++j) {
            const std::string run = first.substr(words[i].first, words[j].second - words[i].first);
            if (run.size() < kShortestWord || (best && run.size() <= best->size())) continue;
            const std::string upper = plain_upper(run);
            const bool everywhere = std::all_of(chosen.begin(), chosen.end(), [&](const HostParts& m) {
                return plain_upper(m[at(kPartSubject)]).find(upper) != std::string::npos;
            });
            if (everywhere) best = run;
        }
    return best;
}

// The longest tail of whole labels that all the sender domains end in, of
// two labels at least ("shop.example" of "a.shop.example" and "b.shop.example").
std::optional<std::string> shared_domain(const std::vector<HostParts>& chosen) {
    std::vector<std::string> domains;
    for (const HostParts& m : chosen) {
        const std::optional<std::string> d = domain_of(m[at(kPartSender)]);
        if (!d) return std::nullopt;
        domains.push_back(plain_upper(*d));
    }
    const std::string& first = domains.front();
    for (std::size_t p = 0; p < first.size(); ++p) {
        if (p > 0 && first[p - 1] != '.') continue;
        const std::string tail = first.substr(p);
        if (tail.find('.') == std::string::npos) break;
        const bool everywhere = std::all_of(domains.begin(), domains.end(), [&](const std::string& d) {
            return d == tail || (d.size() > tail.size() && d.ends_with("." + tail));
        });
        if (everywhere) {
            const std::optional<std::string> written = domain_of(chosen.front()[at(kPartSender)]);
            return written->substr(p);
        }
    }
    return std::nullopt;
}

class Proposer {
public:
    void add(Origin origin, std::optional<std::string> test) {
        if (test && seen_.insert(*test).second) out_.push_back({*test, origin});
    }
    void message(const HostParts& m);
    std::vector<Proposal> take() {
        std::stable_sort(out_.begin(), out_.end(),
                         [](const Proposal& a, const Proposal& b) { return a.origin < b.origin; });
        return std::move(out_);
    }

private:
    std::set<std::string> seen_;
    std::vector<Proposal> out_;
};

void Proposer::message(const HostParts& m) {
    const std::string& sender = m[at(kPartSender)];
    if (const std::optional<std::string> address = address_in(sender)) {
        add(Origin::sender, compose_test(kSenderField, '#', *address));
        add(Origin::sender_domain, compose_test(kSenderField, '#', "@" + *domain_of(sender)));
    }
    const std::string subject = trim(m[at(kPartSubject)]);
    const std::vector<std::string> words = words_of(subject);
    if (words.size() > 1 && subject.size() <= kLongestPhrase && !has_control(subject))
        add(Origin::subject_phrase, compose_test(kSubjectField, '#', subject));
    std::size_t taken = 0;
    for (const std::string& word : words) {
        if (taken == kMostWords) break;
        if (word.size() < kShortestWord || std::all_of(word.begin(), word.end(), is_digit)) continue;
        add(Origin::subject_word, compose_test(kSubjectField, '"', word));
        ++taken;
    }
    const std::vector<std::string> hosts = link_hosts(m[at(kPartBody)]);
    for (std::size_t i = 0; i < hosts.size() && i < kMostLinks; ++i)
        add(Origin::link, compose_test(kBodyField, '#', hosts[i]));
    // Only at the end of a name: the mode's $ is the end of the whole part,
    // and the names stand one to a line.
    for (const std::string& ending : name_endings(m[at(kPartAttachments)])) {
        const std::string pattern = "(?i)\\." + ending + "(\\r|\\n|$)";
        const TestKind kind = *TestKind::from_codes(kAttachmentsField, '=', '%');
        if (kind.refusal(pattern) == Refusal::None) add(Origin::attachment, kind.test(pattern));
    }
    for (const std::string& line : list_header_lines(m[at(kPartHeader)]))
        add(Origin::list_header, compose_test(kHeaderField, '#', line));
}

}  // namespace

std::vector<Proposal> propose(const std::vector<HostParts>& chosen) {
    Proposer p;
    for (const HostParts& m : chosen) p.message(m);
    if (chosen.size() > 1) {
        if (const std::optional<std::string> phrase = shared_phrase(chosen))
            p.add(Origin::shared, compose_test(kSubjectField, '#', *phrase));
        if (const std::optional<std::string> domain = shared_domain(chosen))
            p.add(Origin::shared, compose_test(kSenderField, '#', *domain));
    }
    return p.take();
}

bool is_wanted(const Verdict& now, std::optional<std::int32_t> logged_score, const PassSettings& settings) {
    return (now.decided && now.decided->list == 0) || (logged_score && *logged_score == settings.scores[0]);
}

std::string compose(const std::vector<std::string>& tests, char joiner) {
    return tests.size() == 1 ? tests.front() : group(tests, joiner);
}

Tally::Tally(const std::vector<HostParts>& chosen, const PassSettings& settings)
    : proposals_(propose(chosen)), chosen_(chosen.size()) {
    std::vector<SeenMessage> seen;
    for (const HostParts& m : chosen) seen.push_back(see(m, settings));
    evaluate_proposals(settings);
    std::vector<std::vector<bool>> catches(proposals_.size(), std::vector<bool>(seen.size()));
    std::size_t best = 0;
    for (std::size_t p = 0; p < proposals_.size(); ++p) {
        for (std::size_t m = 0; m < seen.size(); ++m)
            if ((catches[p][m] = matches(seen[m], p))) ++proposals_[p].caught;
        best = std::max(best, proposals_[p].caught);
    }
    if (chosen_ < 2 || best == chosen_) return;

    // No one test catches them all: the fewest tests that do, picked
    // greedily, each the one that catches the most messages still missed.
    std::vector<bool> missed(seen.size(), true);
    std::vector<std::string> cover;
    for (;;) {
        std::size_t pick = proposals_.size(), gain = 0;
        for (std::size_t p = 0; p < proposals_.size(); ++p) {
            std::size_t g = 0;
            for (std::size_t m = 0; m < seen.size(); ++m) g += missed[m] && catches[p][m];
            if (g > gain) std::tie(pick, gain) = std::pair(p, g);
        }
        if (gain == 0) break;
        cover.push_back(proposals_[pick].line);
        for (std::size_t m = 0; m < seen.size(); ++m) missed[m] = missed[m] && !catches[pick][m];
    }
    if (cover.size() < 2) return;
    proposals_.push_back({compose(cover, kOr), Origin::combined});
    evaluate_proposals(settings);
    for (const SeenMessage& m : seen) proposals_.back().caught += matches(m, proposals_.size() - 1);
}

void Tally::evaluate_proposals(const PassSettings& settings) {
    std::vector<FilterLists> bases(proposals_.size());
    for (std::size_t p = 0; p < proposals_.size(); ++p) bases[p].lines[0] = {proposals_[p].line};
    ev_.emplace(settings, std::move(bases));
}

bool Tally::matches(const SeenMessage& m, std::size_t proposal) const {
    return ev_->score(m, proposal).decided.has_value();
}

void Tally::history(const SeenMessage& m, bool wanted) {
    for (std::size_t p = 0; p < proposals_.size(); ++p) {
        if (!matches(m, p)) continue;
        ++proposals_[p].matched;
        if (wanted) ++proposals_[p].wanted;
    }
}

std::vector<Proposal> Tally::ranked() const {
    std::vector<Proposal> out = proposals_;
    const auto key = [](const Proposal& p) {
        return std::make_tuple(-static_cast<long long>(p.caught), p.wanted, p.matched, p.origin,
                               -static_cast<long long>(p.line.size()));
    };
    std::stable_sort(out.begin(), out.end(), [&](const Proposal& a, const Proposal& b) { return key(a) < key(b); });
    return out;
}

}  // namespace kalvorin::inspect
