// Lines proposed from messages: what is drawn from each kind of the bundled
// sample messages, that the best line for each sample spam spares the
// sample mail that is wanted, and kalvorin-host --suggest.
#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "host/MimeParts.h"
#include "inspect/Suggest.h"
#include "support/TestSupport.h"

namespace kalvorin {
namespace {

const std::string kSamples = std::string(KALVORIN_SOURCE_DIR) + "/resources/demo/messages/";
const std::vector<std::string> kSampleNames = {
    "01-family",        "02-newsletter", "03-devlist", "04-viagra",        "05-lottery",     "06-invoice",
    "07-bitcoin",       "08-promo",      "09-remote-image", "10-latin1-subject", "11-unsubscribe", "12-meeting"};
// Mail from family, colleagues and the lists the user reads; the rest sells.
const std::set<std::string> kWanted = {"01-family", "02-newsletter", "03-devlist", "10-latin1-subject", "12-meeting"};

inspect::HostParts parts(const std::string& raw) {
    host::mime_init();
    return host::extract_parts(raw).text;
}
inspect::HostParts sample(const std::string& name) { return parts(test::slurp(kSamples + name + ".eml")); }

std::string lines(const std::vector<inspect::Proposal>& proposals) {
    std::string out;
    for (const inspect::Proposal& p : proposals) out += p.line + "\n";
    return out;
}

TEST(Suggest, ProposalsForEachKindOfMessage) {
    const std::string crafted =
        "From: \"Shop\" <SALES@mail1.shop.example>\r\nSubject: Headrest #1 deal\r\n"
        "List-Id: Deals #7 <deals.shop.example>\r\nX-Mailer: Mass Mailer 2.1\r\n\r\n"
        "See http://www.shop.example/a and HTTPS://Cdn.Shop.Example./x or http://nohost/\r\n";
    const std::string sibling = "From: news@mail2.shop.example\r\nSubject: Headrest sale\r\n\r\nhi\r\n";
    struct Case {
        std::vector<inspect::HostParts> chosen;
        std::string proposed;
    };
    const Case cases[] = {
        {{sample("04-viagra")},
         "SNDER=#deals@cheap-pills.example#\nSNDER=#@cheap-pills.example#\nSBJCT=#Cheap Viagra today only#\n"
         "SBJCT=\"Cheap\"\nSBJCT=\"Viagra\"\nSBJCT=\"today\"\nSBJCT=\"only\"\n"},
        // A word of digits only is left out; the attachment's ending only at a name's end.
        {{sample("06-invoice")},
         "SNDER=#accounts@billing-dept.example#\nSNDER=#@billing-dept.example#\nSBJCT=#Invoice 2291 overdue#\n"
         "SBJCT=\"Invoice\"\nSBJCT=\"overdue\"\nATTCH=%(?i)\\.exe(\\r|\\n|$)%\n"},
        {{sample("09-remote-image")},
         "SNDER=#events@city-events.example#\nSNDER=#@city-events.example#\nSBJCT=#What's on this weekend#\n"
         "SBJCT=\"What\"\nSBJCT=\"this\"\nSBJCT=\"weekend\"\nMBODY=#tracker.city-events.example#\n"},
        {{sample("10-latin1-subject")},
         "SNDER=#jose@office.example.com#\nSNDER=#@office.example.com#\nSBJCT=#Reuni\xF3n del viernes#\n"
         "SBJCT=\"Reuni\xF3n\"\nSBJCT=\"viernes\"\n"},
        // A '#' or a keyword in the text: spelled as a pattern.
        {{parts(crafted)},
         "SNDER=#SALES@mail1.shop.example#\nSNDER=#@mail1.shop.example#\nSBJCT=%(?i)\\x48eadrest\\x20\\x231\\x20deal%\n"
         "SBJCT=%(?i)\\x48eadrest%\nSBJCT=\"deal\"\nMBODY=#www.shop.example#\nMBODY=#Cdn.Shop.Example#\n"
         "HEADR=%(?i)List\\x2DId\\x3A\\x20Deals\\x20\\x237\\x20\\x3Cdeals\\x2Eshop\\x2Eexample\\x3E%\n"
         "HEADR=#X-Mailer: Mass Mailer 2.1#\n"},
        // Two messages share a domain's tail and a subject word.
        {{parts(sibling), parts(crafted)},
         "SNDER=#news@mail2.shop.example#\nSNDER=#SALES@mail1.shop.example#\nSNDER=#@mail2.shop.example#\n"
         "SNDER=#@mail1.shop.example#\nSBJCT=%(?i)\\x48eadrest\\x20sale%\n"
         "SBJCT=%(?i)\\x48eadrest\\x20\\x231\\x20deal%\nSBJCT=%(?i)\\x48eadrest%\nSBJCT=\"sale\"\nSBJCT=\"deal\"\n"
         "MBODY=#www.shop.example#\nMBODY=#Cdn.Shop.Example#\n"
         "HEADR=%(?i)List\\x2DId\\x3A\\x20Deals\\x20\\x237\\x20\\x3Cdeals\\x2Eshop\\x2Eexample\\x3E%\n"
         "HEADR=#X-Mailer: Mass Mailer 2.1#\nSNDER=#shop.example#\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.chosen.front()[kHostIndexOf[1]]);
        EXPECT_EQ(lines(inspect::propose(c.chosen)), c.proposed);
        // Each test, spelled as a pattern or not, finds what it was drawn from.
        for (const inspect::Proposal& p : inspect::Tally(c.chosen, inspect::PassSettings{}).ranked())
            EXPECT_GE(p.caught, 1u) << p.line;
    }
}

// The best line for each sample spam, tried on every sample with the
// sample lists' settings, decides that spam and no wanted message.
TEST(Suggest, TheBestLineForEachSpamSparesTheWantedMail) {
    const inspect::PassSettings settings;
    std::vector<inspect::SeenMessage> all;
    for (const std::string& name : kSampleNames) all.push_back(inspect::see(sample(name), settings));
    for (std::size_t s = 0; s < kSampleNames.size(); ++s) {
        if (kWanted.contains(kSampleNames[s])) continue;
        SCOPED_TRACE(kSampleNames[s]);
        inspect::Tally tally({sample(kSampleNames[s])}, settings);
        for (std::size_t m = 0; m < all.size(); ++m) tally.history(all[m], kWanted.contains(kSampleNames[m]));
        const inspect::Proposal best = tally.ranked().front();
        EXPECT_EQ(best.wanted, 0u) << best.line;
        inspect::FilterLists lists;
        lists.lines[1] = {best.line};
        const inspect::Evaluation ev(settings, {lists});
        for (std::size_t m = 0; m < all.size(); ++m)
            EXPECT_EQ(ev.score(all[m]).decided.has_value(), m == s) << best.line << " on " << kSampleNames[m];
    }
}

// Several spams that no one test catches: the fewest tests that do, joined
// with OR, come first.
TEST(Suggest, ALineForSeveralMessagesCatchesThemAll) {
    const inspect::PassSettings settings;
    inspect::Tally tally({sample("05-lottery"), sample("06-invoice"), sample("07-bitcoin")}, settings);
    for (const std::string& name : kSampleNames)
        tally.history(inspect::see(sample(name), settings), kWanted.contains(name));
    const std::vector<inspect::Proposal> ranked = tally.ranked();
    EXPECT_EQ(ranked.at(0).line,
              "(SNDER=#office@lotto-intl.example#+SNDER=#accounts@billing-dept.example#+"
              "SNDER=#advisor@coin-growth.example#)");
    EXPECT_EQ(ranked[0].caught, 3u);
    EXPECT_EQ(ranked[0].matched, 3u);
    EXPECT_EQ(ranked[1].caught, 1u);
    EXPECT_EQ(inspect::compose({"a"}, inspect::kAnd), "a");
    EXPECT_EQ(inspect::compose({"a", "b"}, inspect::kAnd), "(a*b)");
}

// Wanted mail: what a secure line decides now, or what the plug-in scored secure.
TEST(Suggest, WantedMail) {
    inspect::PassSettings settings;
    settings.scores = {-1000, 1000, 500};
    struct Case {
        std::optional<std::size_t> decided_by;  // list
        std::optional<std::int32_t> logged;
        bool wanted;
    };
    const Case cases[] = {{0, std::nullopt, true}, {1, -1000, true}, {1, 1000, false}, {std::nullopt, 500, false}};
    for (const Case& c : cases) {
        inspect::Verdict now;
        if (c.decided_by) now.decided = inspect::LineAt{*c.decided_by, 1};
        EXPECT_EQ(inspect::is_wanted(now, c.logged, settings), c.wanted) << c.logged.value_or(0);
    }
}

class SuggestCommand : public test::HiveTest {};

TEST_F(SuggestCommand, PrintsTheLinesBestFirstWithTheirCounts) {
    std::vector<std::string> args = {test::dist("kalvorin-host"), "--suggest", kSamples + "04-viagra.eml",
                                     kSamples + "12-meeting.eml", "--against"};
    for (const std::string& name : kSampleNames) args.push_back(kSamples + name + ".eml");
    const test::RunResult r = test::run(args);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, r.out.find('\n', r.out.find('\n') + 1) + 1),
              "SBJCT=\"today\"\t2\t2\nSBJCT=#today#\t2\t2\n");

    for (const std::vector<std::string>& wrong :
         {std::vector<std::string>{"--against", "x.eml"}, {"--suggest"}, {"--suggest", "x.eml", "--explain"}}) {
        std::vector<std::string> argv = {test::dist("kalvorin-host")};
        argv.insert(argv.end(), wrong.begin(), wrong.end());
        const test::RunResult u = test::run(argv);
        EXPECT_EQ(u.status, 2) << wrong.front();
        EXPECT_NE(u.err.find("usage: "), std::string::npos) << u.err;
    }
}

}  // namespace
}  // namespace kalvorin
