// The host stand-in: message sources, part extraction and its command line.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/types.h>

#include <glib.h>
#include <gmime/gmime.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "host/MimeParts.h"
#include "host/Sources.h"
#include "host/StderrWatch.h"
#include "platform/lock.h"
#include "support/TestSupport.h"

namespace kalvorin::host {
namespace {

using test::spit;

// The messages of an mbox text, each too big one as "<too big>".
std::vector<std::string> read_mbox(const std::string& mbox, std::size_t max_size = 1000) {
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> stream(
        fmemopen(const_cast<char*>(mbox.data()), mbox.size(), "rb"), std::fclose);
    platform::LineReader in(stream.get(), "mbox");
    std::string first;
    in.next(first, 1000);
    MboxReader reader(in, max_size);
    std::vector<std::string> out;
    std::string raw;
    bool too_big = false;
    while (reader.next(raw, too_big)) out.push_back(too_big ? "<too big>" : raw);
    return out;
}

// Each call gives what it printed on standard error, and only that, and it
// still reaches the real standard error.
TEST(StderrWatch, EachCallGivesItsOwnTextAndPassesItOn) {
    const std::vector<std::string> printed = {"Kalvorin: first\n", "", std::string(5000, 'x') + "\n", "Kalvorin: last"};
    std::vector<std::string> caught;
    testing::internal::CaptureStderr();
    {
        StderrWatch watch;
        for (const std::string& text : printed)
            caught.push_back(watch.during([&text] { std::fputs(text.c_str(), stderr); }));
    }
    const std::string passed_on = testing::internal::GetCapturedStderr();
    EXPECT_EQ(caught, printed);
    std::string all;
    for (const std::string& text : printed) all += text;
    EXPECT_EQ(passed_on, all);
}

TEST(Mbox, SeparatorsOnlyAtFileStartOrAfterAnEmptyLine) {
    const std::string mbox =
        "From a@x Mon Jan  1 00:00:00 2024\n"
        "Subject: one\n\nbody\nFrom here is no separator\n\n"
        "From b@x Mon Jan  1 00:00:00 2024\n"
        "Subject: two\n\nbody two\n\n"
        "From c@x Mon Jan  1 00:00:00 2024\r\n"
        "Subject: three\r\n\r\nlast\r\n";
    const auto msgs = read_mbox(mbox);
    ASSERT_EQ(msgs.size(), 3u);
    EXPECT_EQ(msgs[0], "Subject: one\n\nbody\nFrom here is no separator\n");
    EXPECT_EQ(msgs[1], "Subject: two\n\nbody two\n");
    EXPECT_EQ(msgs[2], "Subject: three\r\n\r\nlast\r\n");
}

TEST(Mbox, AMessageAboveTheCapIsMarkedAndTheNextOnesStillCome) {
    const std::string big(40, 'x');
    const std::string mbox = "From a\nSubject: one\n\n" + big + "\n\nFrom b\nSubject: two\n\nb\n\nFrom c\n" + big +
                             big + "\n\nFrom d\nlast\n";
    EXPECT_EQ(read_mbox(mbox, 30),
              (std::vector<std::string>{"<too big>", "Subject: two\n\nb\n", "<too big>", "last\n"}));
    // The cap counts the message without the empty line that closes it.
    EXPECT_EQ(read_mbox("From a\n12345\n\nFrom b\n123\n", 6), (std::vector<std::string>{"12345\n", "123\n"}));
    EXPECT_EQ(read_mbox("From a\n123456\n\nFrom b\n123\n", 6), (std::vector<std::string>{"<too big>", "123\n"}));
    // The same with CR LF: the closing empty line is two bytes.
    EXPECT_EQ(read_mbox("From a\r\n1234\r\n\r\nFrom b\r\n123\r\n", 6),
              (std::vector<std::string>{"1234\r\n", "123\r\n"}));
    EXPECT_EQ(read_mbox("From a\r\n12345\r\n\r\nFrom b\r\n123\r\n", 6),
              (std::vector<std::string>{"<too big>", "123\r\n"}));
}

TEST(Mbox, MessagesSeparatedByCrLfLoseOnlyTheSeparatorsEmptyLine) {
    EXPECT_EQ(read_mbox("From a\r\nSubject: one\r\n\r\nbody\r\n\r\n\r\nFrom b\r\nSubject: two\r\n\r\nb2\r\n\r\n"
                        "From c\r\nlast\r\n"),
              (std::vector<std::string>{"Subject: one\r\n\r\nbody\r\n\r\n", "Subject: two\r\n\r\nb2\r\n", "last\r\n"}));
}

TEST(Maildir, CurThenNewEachSortedByName) {
    test::TempDir d;
    for (const char* f : {"new/2", "cur/b", "new/1", "cur/a"}) {
        test::make_dir(d / std::string(f).substr(0, 3));
        spit(d / f, "x");
    }
    test::make_dir(d / "tmp");
    spit(d / "tmp/ignored", "x");
    EXPECT_EQ(maildir_files(d.path()), (std::vector<std::string>{d / "cur/a", d / "cur/b", d / "new/1", d / "new/2"}));
}

TEST(ExtractParts, DecodedHeadersBodyAndAttachments) {
    const std::string raw =
        "From: =?ISO-8859-1?Q?Jos=E9?= <jose@example.org>\r\n"
        "Subject: =?ISO-8859-1?Q?Caf=E9_gratis?=\r\n"
        "MIME-Version: 1.0\r\n"
        "Content-Type: multipart/mixed; boundary=\"b1\"\r\n"
        "\r\n"
        "--b1\r\n"
        "Content-Type: multipart/alternative; boundary=\"b2\"\r\n"
        "\r\n"
        "--b2\r\n"
        "Content-Type: text/html; charset=utf-8\r\n"
        "\r\n"
        "<p>html</p>\r\n"
        "--b2\r\n"
        "Content-Type: text/plain; charset=utf-8\r\n"
        "Content-Transfer-Encoding: quoted-printable\r\n"
        "\r\n"
        "Gr=C3=BC=C3=9Fe =E2=82=AC5\r\n"
        "--b2--\r\n"
        "--b1\r\n"
        "Content-Type: application/pdf; name=\"a.pdf\"\r\n"
        "Content-Disposition: attachment; filename=\"a.pdf\"\r\n"
        "Content-Transfer-Encoding: base64\r\n"
        "\r\n"
        "JVBERg==\r\n"
        "--b1\r\n"
        "Content-Type: image/png\r\n"
        "Content-Disposition: attachment; filename=\"=?UTF-8?B?w6kucG5n?=\"\r\n"
        "\r\n"
        "x\r\n"
        "--b1--\r\n";
    const MessageParts p = extract_parts(raw);
    EXPECT_EQ(p[kPartSubject], "Caf\xE9 gratis");
    EXPECT_EQ(p[kPartSender], "Jos\xE9 <jose@example.org>");
    EXPECT_EQ(p[kPartBody], "Gr\xFC\xDF" "e \x80" "5");
    EXPECT_EQ(p[kPartAttachments], "a.pdf\r\n\xE9.png");
    EXPECT_EQ(p[kPartHeader], raw.substr(0, raw.find("\r\n\r\n") + 2));
    EXPECT_EQ(p[kPartRawMessage], raw);
}

TEST(ExtractParts, HtmlWhenThereIsNoPlainTextAndBase64Decoded) {
    const std::string raw =
        "From: a@example.org\n"
        "Subject: hi\n"
        "Content-Type: text/html; charset=iso-8859-1\n"
        "Content-Transfer-Encoding: base64\n"
        "\n"
        "PGI+6TwvYj4=\n";
    const MessageParts p = extract_parts(raw);
    EXPECT_EQ(p[kPartBody], "<b>\xE9</b>");
    EXPECT_EQ(p[kPartHeader], raw.substr(0, raw.find("\n\n") + 1));
    EXPECT_EQ(p[kPartAttachments], "");
    EXPECT_EQ(p[kPartSender], "a@example.org");
}

// The sender and the subject are read from the top part's headers; GMime's
// message object, which reads them otherwise, must find the same. The body
// and the attachments come from the top part as they came from the part
// that the message object holds.
TEST(ExtractParts, SenderAndSubjectAsGMimesMessageFindsThem) {
    struct Case {
        std::string text, body, attachments;
    };
    const std::string body = "body\n";
    const Case cases[] = {
        {"From: a@example.org\nFrom: B <b@example.org>\nSubject: hi\n\nbody\n", body, ""},
        {"Subject: first\nFrom: a@example.org\nSubject: second\n\nbody\n", body, ""},
        {"from: low@example.org\nSUBJECT: low\n\nbody\n", body, ""},
        {"From: Friends: a@example.org, b@example.org;\nSubject: group\n\nbody\n", body, ""},
        {"From:\nSubject:\n\nbody\n", body, ""},
        {"Sender: s@example.org\nReply-To: r@example.org\nSubject: no From\n\nbody\n", body, ""},
        {"From: a@example.org\nFrom-Addr: x@example.org\nSubject-Line: no\n\nbody\n", body, ""},
        // The addresses are parsed from the raw value, not the decoded one.
        {"From: =?iso-8859-1?q?caf=E9?=\nSubject: raw\n\nbody\n", body, ""},
        {"From: =?utf-8?q?J=C3=B6rg?= <j@example.de>\nSubject: =?iso-8859-1?q?caf=E9?=\n  folded\n\nbody\n", body, ""},
        {"Subject: caf\xE9\nFrom: J\xF6rg <j@example.org>\n\nbody\n", body, ""},
        {"From: <<< @@ ,,, \"\nSubject: =?bogus?q?x?=\n\nbody\n", body, ""},
        {"From: a@example.org\nContent-Disposition: attachment; filename=\"top.txt\"\n\nbody\n", "", "top.txt"},
        {"From: a@example.org\nContent-Type: multipart/mixed; boundary=b\n\n--b\nContent-Type: text/plain\n\nbody\n"
         "--b\nContent-Type: application/pdf\nContent-Disposition: attachment; filename=a.pdf\n\nx\n--b--\n",
         "body", "a.pdf"},
        {"From: a@example.org\nContent-Type: message/rfc822\n\nFrom: i@example.org\nSubject: inner\n\nbody\n", "", ""},
        // GMime takes these only as messages.
        {"From someone Mon Jan  1 00:00:00 2001\nSubject: mbox\nFrom: m@example.org\n\nbody\n", body, ""},
        {"From a@b Sat Dec  5 12:00:00 2026\r\nSubject: one\r\n\r\nbody\r\n", "body\r\n", ""},
    };
    mime_init();
    for (const Case& c : cases) {
        std::unique_ptr<GMimeStream, decltype(&g_object_unref)> stream(
            g_mime_stream_mem_new_with_buffer(c.text.data(), c.text.size()), g_object_unref);
        std::unique_ptr<GMimeParser, decltype(&g_object_unref)> parser(g_mime_parser_new_with_stream(stream.get()),
                                                                       g_object_unref);
        std::unique_ptr<GMimeMessage, decltype(&g_object_unref)> msg(
            g_mime_parser_construct_message(parser.get(), nullptr), g_object_unref);
        ASSERT_TRUE(msg) << c.text;
        std::unique_ptr<char, decltype(&g_free)> from(
            internet_address_list_to_string(g_mime_message_get_from(msg.get()), nullptr, FALSE), g_free);
        const MessageParts p = extract_parts(c.text);
        EXPECT_EQ(p[kPartSender], to_cp1252(from.get())) << c.text;
        EXPECT_EQ(p[kPartSubject], to_cp1252(g_mime_message_get_subject(msg.get()))) << c.text;
        EXPECT_EQ(p[kPartBody], c.body) << c.text;
        EXPECT_EQ(p[kPartAttachments], c.attachments) << c.text;
    }
}

TEST(ToCp1252, GivesGLibsConversionOfTheWholeText) {
    // Texts built from pieces that the code page has, lacks, or that are no
    // UTF-8 at all, against GLib converting each whole text.
    const std::vector<std::string> pieces = {
        "a",          " ",          "\xC3\xA9",     "\xE2\x82\xAC", "\xE2\x80\x9C", "\xC2\x81",
        "\xC2\xA0", "\xE4\xB8\xAD", "\xF0\x9F\x98\x80", "\xEF\xBF\xBF", "\xC5\x92",    "\xC0\xAF",
        "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xC3",     "\x80",         "\xFF",         "\xE2\x82",
        // ASCII runs of a word's length and longer, which go over whole.
        "abcdefgh", "Subject: a longer line\r\n"};
    std::minstd_rand random(12);
    for (int round = 0; round < 3000; ++round) {
        std::string text;
        const int length = static_cast<int>(random() % 6);
        for (int k = 0; k < length; ++k) text += pieces[random() % pieces.size()];
        gsize written = 0;
        std::unique_ptr<char, decltype(&g_free)> glib(
            g_convert_with_fallback(text.c_str(), -1, "CP1252", "UTF-8", "?", nullptr, &written, nullptr), g_free);
        const std::string expected = glib ? std::string(glib.get(), written) : text;
        ASSERT_EQ(to_cp1252(text.c_str()), expected) << testing::PrintToString(text);
    }
    // A character outside ASCII at every place of the words that ASCII runs
    // are taken in.
    for (std::size_t at = 0; at <= 17; ++at)
        EXPECT_EQ(to_cp1252(std::string(at, 'a') + "\xC3\xA9" + std::string(9, 'b')),
                  std::string(at, 'a') + "\xE9" + std::string(9, 'b'))
            << at;
    EXPECT_EQ(to_cp1252("caf\xC3\xA9 \xE2\x82\xAC" "5 \xE4\xB8\xAD"), "caf\xE9 \x80" "5 ?");
    EXPECT_EQ(to_cp1252("caf\xC3"), "caf\xC3");
}

// Every character outside ASCII, one at a time, as GLib converts it.
TEST(ToCp1252, EveryCharacterAsGLibConvertsIt) {
    for (char32_t cp = 0x80; cp <= 0x10FFFF; ++cp) {
        if (cp >= 0xD800 && cp <= 0xDFFF) continue;
        const std::string ch = test::utf8_of(cp);
        gsize written = 0;
        std::unique_ptr<char, decltype(&g_free)> glib(
            g_convert_with_fallback(ch.data(), static_cast<gssize>(ch.size()), "CP1252", "UTF-8", "?", nullptr,
                                    &written, nullptr),
            g_free);
        ASSERT_TRUE(glib) << std::hex << static_cast<unsigned>(cp);
        ASSERT_EQ(to_cp1252(ch), std::string(glib.get(), written)) << std::hex << "U+" << static_cast<unsigned>(cp);
    }
}

class HostCommandTest : public test::HiveTest {
protected:
    void SetUp() override {
        HiveTest::SetUp();
        set_basefolder_setting(tmp_ / "base");
        spit(base() + "secure.filters.txt", "");
        spit(base() + "trash.filters.txt", "sbjct=#viagra#\r\n");
        spit(base() + "suspect.filters.txt", "");
    }
};

TEST_F(HostCommandTest, ScoresEverySourceInOrderAndSkipsUnreadableOnes) {
    spit(tmp_ / "a.eml", "Subject: viagra\n\nx\n");
    spit(tmp_ / "box", "From x\nSubject: hello\n\nb\n\nFrom y\nSubject: cheap viagra\n\nb\n");
    test::make_dir(tmp_ / "md/cur");
    spit(tmp_ / "md/cur/1", "Subject: hi\n\nb\n");
    auto r = test::run({test::dist("kalvorin-host"), tmp_ / "a.eml", tmp_ / "missing.eml", tmp_ / "box", tmp_ / "md"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "1000\t" + tmp_ / "a.eml" + "\n0\t" + tmp_ / "box#1\n" + "1000\t" + tmp_ / "box#2\n" + "0\t" +
                         tmp_ / "md/cur/1\n");
    EXPECT_EQ(r.err, "kalvorin-host: " + tmp_ / "missing.eml" + ": File not found\n");
}

TEST_F(HostCommandTest, FilterAddsTheScoreHeader) {
    struct Case {
        std::string in, out;
    };
    const Case cases[] = {
        {"Subject: viagra\r\n\r\nbody\r\n", "X-Kalvorin-Score: 1000\r\nSubject: viagra\r\n\r\nbody\r\n"},
        {"Subject: hello\n\nbody\n", "X-Kalvorin-Score: 0\nSubject: hello\n\nbody\n"},
        {"From a@b Mon\nSubject: viagra\n\nb\n", "From a@b Mon\nX-Kalvorin-Score: 1000\nSubject: viagra\n\nb\n"},
        // A sender's own score fields go, folded or not, whatever their case;
        // look-alike fields stay, and so does the body, but for procmail a
        // CR LF message has none: its header reads on to a bare LF line.
        {"x-kalvorin-score : -1000\r\n\tmore\r\nX-Kalvorin-Scores: 5\r\nSubject: hi\r\n"
         "X-KALVORIN-SCORE:-1\r\n\r\nX-Kalvorin-Score: body\r\n",
         "X-Kalvorin-Score: 0\r\nX-Kalvorin-Scores: 5\r\nSubject: hi\r\n\r\n"},
        {"Subject: hi\n\nX-Kalvorin-Score: body\n", "X-Kalvorin-Score: 0\nSubject: hi\n\nX-Kalvorin-Score: body\n"},
        // Any blanks before the colon, however many; the name and blanks alone
        // with a continuation line after them; not a name that goes on.
        {"X-Kalvorin-Score\t: -1000\nSubject: hi\n\nb\n", "X-Kalvorin-Score: 0\nSubject: hi\n\nb\n"},
        {"X-Kalvorin-Score" + std::string(250, ' ') + "\t: -1000\nSubject: hi\n\nb\n",
         "X-Kalvorin-Score: 0\nSubject: hi\n\nb\n"},
        {"Subject: hi\nX-Kalvorin-Score   \n : -1000\n\nb\n", "X-Kalvorin-Score: 0\nSubject: hi\n\nb\n"},
        {"Subject: hi\nX-Kalvorin-Score" + std::string(100000, ' ') + ": 5\n\nb\n", "X-Kalvorin-Score: 0\nSubject: hi\n\nb\n"},
        {"Subject: hi\nX-Kalvorin-Score" + std::string(300, ' ') + "x: 1\n\nb\n",
         "X-Kalvorin-Score: 0\nSubject: hi\nX-Kalvorin-Score" + std::string(300, ' ') + "x: 1\n\nb\n"},
        // The field takes the header's line ending, not the "From " line's;
        // a long "From " line stays whole.
        {"From a@b Mon\nSubject: viagra\r\n\r\nb\r\n", "From a@b Mon\nX-Kalvorin-Score: 1000\r\nSubject: viagra\r\n\r\nb\r\n"},
        {"From " + std::string(300, 'a') + "\nSubject: viagra\n\nb\n",
         "From " + std::string(300, 'a') + "\nX-Kalvorin-Score: 1000\nSubject: viagra\n\nb\n"},
        // A text without a header keeps its first line in the body: a
        // continuation line cannot continue the field, and a text that
        // begins with the empty line has a header already.
        {"cheap viagra\r\nmore\r\n", "X-Kalvorin-Score: 0\r\n\r\ncheap viagra\r\nmore\r\n"},
        {"  -1000\nSubject: viagra\n\nb\n", "X-Kalvorin-Score: 0\n\n  -1000\nSubject: viagra\n\nb\n"},
        {"From a@b Mon\njust text\n", "From a@b Mon\nX-Kalvorin-Score: 0\n\njust text\n"},
        {"\nSubject: viagra\n", "X-Kalvorin-Score: 0\n\nSubject: viagra\n"},
        {"", "X-Kalvorin-Score: 0\n\n"},
    };
    for (const auto& c : cases) {
        auto r = test::run({test::dist("kalvorin-host"), "--filter"}, c.in);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, c.out);
    }
}

// --filter never loses a message: what cannot be scored goes on whole,
// without a score field of anyone's. It is a success for the delivery
// program all the same; --detailed-status tells why.
TEST_F(HostCommandTest, FilterPassesOnWhatItCannotScore) {
    const std::string body = "\n" + std::string(3000, 'b') + "\n";
    // Past the cap the header is read as it comes: a forged field there goes too.
    const std::string forged = "X-Kalvorin-Score" + std::string(300, ' ') + ": -1000\n";
    const std::string message = "Subject: viagra\n" + forged + "X-Long: " + std::string(2000, 'l') + "\n" + forged + body;
    const std::string passed = "Subject: viagra\nX-Long: " + std::string(2000, 'l') + "\n" + body;
    struct Case {
        const char* what;
        std::vector<std::string> args;
        int detailed;
        std::string out;
    };
    const Case cases[] = {
        {"above the cap", {"--max-size", "1K"}, 1, passed},
        {"no plug-in", {"--plugin", tmp_ / "none.TBP"}, 3, passed},
        {"a line stops the scoring", {}, 4, "X-Kalvorin-Score: 0\n" + passed},
        {"no list", {}, 3, passed},
    };
    for (const Case& c : cases) {
        if (std::string(c.what) == "a line stops the scoring") spit(base() + "secure.filters.txt", "SBJCT=##hash##\r\n");
        if (std::string(c.what) == "no list") std::filesystem::remove(base() + "suspect.filters.txt");
        for (const bool detailed : {false, true}) {
            std::vector<std::string> argv{test::dist("kalvorin-host"), "--filter"};
            argv.insert(argv.end(), c.args.begin(), c.args.end());
            if (detailed) argv.push_back("--detailed-status");
            const auto r = test::run(argv, message);
            EXPECT_EQ(r.status, detailed ? c.detailed : 0) << c.what << ": " << r.err;
            EXPECT_EQ(r.out, c.out) << c.what;
            EXPECT_FALSE(r.err.empty()) << c.what;
        }
    }
}

// Wherever the size cap cuts the message, the part held in memory and the
// rest read on from the input join without a seam: no forged field stays,
// in whatever piece its name falls, and the body, past the bare LF line that
// ends the header for every reader, keeps its look-alike lines.
TEST_F(HostCommandTest, FilterCleansTheHeaderWhereverTheCapCutsIt) {
    const std::string message =
        "Subj: a\r\nX-Kalvorin-Score: 99\r\n\tfolded\r\nTo: b\r\nX-KALVORIN-SCORE  \t: 7\r\n\n"
        "X-Kalvorin-Score: body line\r\n\tindented\r\n";
    const std::string passed = "Subj: a\r\nTo: b\r\n\nX-Kalvorin-Score: body line\r\n\tindented\r\n";
    for (std::size_t cap = 1; cap <= message.size(); ++cap) {
        const auto r = test::run({test::dist("kalvorin-host"), "--filter", "--max-size", std::to_string(cap)}, message);
        EXPECT_EQ(r.status, 0) << cap << ": " << r.err;
        EXPECT_EQ(r.out, cap < message.size() ? passed : "X-Kalvorin-Score: 0\r\n" + passed) << "cap " << cap;
    }
}

// Only input that cannot be read gives no message at all.
TEST_F(HostCommandTest, FilterWritesNothingWhenTheInputCannotBeRead) {
    const auto r = test::run({"/bin/sh", "-c", "exec \"$0\" --filter < /", test::dist("kalvorin-host")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(r.err.starts_with("kalvorin-host: standard input: ")) << r.err;
}

// Runs the host with the plug-in that stalls, as KALVORIN_STALL says.
std::vector<std::string> stall_env(const std::string& how, const std::string& pid_file) {
    return {"KALVORIN_STALL=" + how, "KALVORIN_STALL_PIDS=" + pid_file};
}

// The process that the stalling plug-in wrote down, once it has (a minute at most).
pid_t stalled_process(const std::string& pid_file) {
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    pid_t pid = 0;
    while (!(std::istringstream(test::slurp(pid_file)) >> pid) && std::chrono::steady_clock::now() < give_up)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return pid;
}

// A scoring that outlasts --filter-timeout, stopped or not, is ended: the
// message goes on whole and unscored, and the base folder is free.
TEST_F(HostCommandTest, FilterEndsAScoringThatOutlastsItsTimeLimit) {
    const std::string passed = "Subject: viagra\n\nb\n", pid_file = tmp_ / "pid";
    for (const bool stop : {false, true}) {
        SCOPED_TRACE(stop ? "stop" : "hang");
        std::filesystem::remove(pid_file);
        // timeout only keeps a host that would never end from holding up the tests.
        const auto r = test::run({"/usr/bin/timeout", "-s", "KILL", "120", test::dist("kalvorin-host"), "--filter",
                                  "--filter-timeout", "1", "--plugin", KALVORIN_STALL_PLUGIN, "--detailed-status"},
                                 "X-Kalvorin-Score: -1000\n" + passed, stall_env(stop ? "stop" : "hang", pid_file));
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, passed);
        EXPECT_EQ(r.err, "kalvorin-host: standard input: the scoring took longer than 1 s (--filter-timeout) and "
                         "was ended, not scored\n");
        const pid_t stalled = stalled_process(pid_file);
        ASSERT_NE(stalled, 0);
        test::expect_ended(stalled);
        EXPECT_TRUE(platform::FileLock::acquire(base() + "plugin.lock", {}));
    }
}

// The scoring never outlives the host, however it ends (a delivery program
// kills a filter that it has waited on too long), nor keeps the base folder
// from the next message.
TEST_F(HostCommandTest, FilterScoringEndsWithTheHost) {
    const std::string message = "Subject: viagra\n\nb\n", pid_file = tmp_ / "pid";
    spit(tmp_ / "message", message);
    struct Case {
        const char* stall;
        int signal;
    };
    for (const Case& c : {Case{"hang", SIGKILL}, Case{"stop", SIGKILL}, Case{"hang", SIGTERM}}) {
        SCOPED_TRACE(std::string(c.stall) + ", " + ::strsignal(c.signal));
        std::filesystem::remove(pid_file);
        test::Child host({"/bin/sh", "-c", "exec \"$0\" --filter --plugin \"$1\" < \"$2\"",
                          test::dist("kalvorin-host"), KALVORIN_STALL_PLUGIN, tmp_ / "message"},
                         stall_env(c.stall, pid_file));
        const pid_t stalled = stalled_process(pid_file);
        ASSERT_NE(stalled, 0);
        host.end(c.signal);
        test::expect_ended(stalled);
        const auto r = test::run({test::dist("kalvorin-host"), "--filter"}, message, {"KALVORIN_LOCK_WAIT=0"});
        EXPECT_EQ(r.out, "X-Kalvorin-Score: 1000\n" + message) << r.err;
    }
}

// Every mode of every program says so when its output is lost, whatever it
// found besides.
TEST_F(HostCommandTest, EveryModeReportsOutputThatCannotBeWritten) {
    spit(tmp_ / "a.eml", "Subject: viagra\n\nx\n");
    // Above the cap the message is copied as it is read, and fails on the way;
    // the lines of many messages go past any buffer.
    spit(tmp_ / "big.eml", "Subject: viagra\n\n" + std::string(200000, 'x') + "\n");
    std::string mbox;
    for (int k = 0; k < 1000; ++k) mbox += "From x\nSubject: hi\n\nb\n\n";
    spit(tmp_ / "many", mbox);
    const std::string host = test::dist("kalvorin-host"), msg = tmp_ / "a.eml";
    struct Case {
        std::vector<std::string> argv;
        int status;
        std::string err;
        std::string input = "/dev/null";
    };
    const Case cases[] = {
        {{host, msg}, 5, "kalvorin-host: standard output: "},
        {{host, tmp_ / "many"}, 5, "kalvorin-host: standard output: "},
        {{host}, 5, "kalvorin-host: standard output: "},
        {{host, "--version"}, 5, "kalvorin-host: standard output: "},
        {{host, "--help"}, 5, "kalvorin-host: standard output: "},
        {{host, "--filter", "--max-size", "1K"}, 5, "kalvorin-host: standard output: ", tmp_ / "big.eml"},
        {{host, "--explain", msg}, 5, "kalvorin-host: standard output: "},
        {{host, "--compare", base(), base(), msg}, 5, "kalvorin-host: standard output: "},
        {{host, "--filter"}, 5, "kalvorin-host: standard output: "},
        {{test::dist("kalvorin-reg"), "query", "HKCU\\Software\\kalvorin\\directorys"}, 1, "ERROR: standard output: "},
        {{test::dist("kalvorin-lint")}, 2, "kalvorin-lint: standard output: "},
    };
    for (const auto how : {test::LostOutput::full_disk, test::LostOutput::closed_pipe}) {
        const std::string reason = how == test::LostOutput::full_disk ? "Disk full\n" : "Broken pipe\n";
        for (const Case& c : cases) {
            const auto r = test::run_losing_output(c.argv, how, c.input);
            EXPECT_EQ(r.status, c.status) << c.argv[1 % c.argv.size()] << ": " << r.err;
            EXPECT_TRUE(r.err.ends_with(c.err + reason)) << c.argv[1 % c.argv.size()] << ": " << r.err;
        }
    }
}

// The plug-in's failures show in the exit status; its scores stand.
TEST_F(HostCommandTest, APlugInThatReportsAFailureGivesStatusFour) {
    spit(tmp_ / "a.eml", "Subject: viagra\n\nx\n");
    struct Case {
        const char* what;
        std::function<void()> fault;
        std::string out;
    };
    const Case cases[] = {
        {"log is a folder", [&] { test::make_dir(base() + "plugin.log.txt"); }, "1000\t" + tmp_ / "a.eml\n"},
        {"a line that cannot be taken apart", [&] { spit(base() + "secure.filters.txt", "SBJCT=##hash##\r\n"); },
         "0\t" + tmp_ / "a.eml\n"},
    };
    for (const Case& c : cases) {
        c.fault();
        const auto r = test::run({test::dist("kalvorin-host"), tmp_ / "a.eml"});
        EXPECT_EQ(r.status, 4) << c.what << ": " << r.err;
        EXPECT_EQ(r.out, c.out) << c.what;
        EXPECT_TRUE(r.err.starts_with("Kalvorin: ")) << c.what << ": " << r.err;
    }
}

// The plug-in reports a log it cannot write once, not once a message.
TEST_F(HostCommandTest, ALogThatIsAFolderIsReportedOnce) {
    test::make_dir(base() + "plugin.log.txt");
    spit(tmp_ / "a.eml", "Subject: viagra\n\nx\n");
    spit(tmp_ / "b.eml", "Subject: hello\n\nx\n");
    const auto r = test::run({test::dist("kalvorin-host"), tmp_ / "a.eml", tmp_ / "b.eml"});
    EXPECT_EQ(r.status, 4);
    EXPECT_EQ(r.out, "1000\t" + tmp_ / "a.eml\n" + "0\t" + tmp_ / "b.eml\n");
    std::size_t reports = 0;
    for (std::size_t at = r.err.find("Kalvorin:"); at != std::string::npos; at = r.err.find("Kalvorin:", at + 1)) ++reports;
    EXPECT_EQ(reports, 1u) << r.err;
}

TEST_F(HostCommandTest, MessagesAboveTheCapAreReportedAndTheRestScored) {
    spit(tmp_ / "big.eml", "Subject: viagra\n\n" + std::string(5000, 'x') + "\n");
    spit(tmp_ / "small.eml", "Subject: viagra\n\nx\n");
    spit(tmp_ / "box", "From a\nSubject: viagra\n\n" + std::string(5000, 'x') + "\n\nFrom b\nSubject: viagra\n\nb\n");
    const std::string too_big = ": larger than 1024 bytes (--max-size), not scored\n";
    const auto r = test::run({test::dist("kalvorin-host"), "--max-size", "1k", tmp_ / "big.eml", "/dev/zero",
                              tmp_ / "box", tmp_ / "small.eml"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "1000\t" + tmp_ / "box#2\n" + "1000\t" + tmp_ / "small.eml\n");
    EXPECT_EQ(r.err, "kalvorin-host: " + tmp_ / "big.eml" + too_big + "kalvorin-host: /dev/zero" + too_big +
                         "kalvorin-host: " + tmp_ / "box#1" + too_big);
    for (const char* bad : {"0", "2G", "12x", "-1", ""}) {
        const auto u = test::run({test::dist("kalvorin-host"), "--max-size", bad, tmp_ / "small.eml"});
        EXPECT_EQ(u.status, 2) << bad;
    }
}

TEST(ExtractParts, ZeroBytesStayInTheBody) {
    using namespace std::string_literals;
    for (const std::string type : {"text/plain; charset=utf-8", "text/plain", "text/html; charset=iso-8859-1"}) {
        const std::string e_acute = type.ends_with("utf-8") ? "\xC3\xA9" : "\xE9";
        const auto p = extract_parts("Subject: hi\nContent-Type: "s + type + "\n\nbody\0with "s + e_acute + "\n");
        EXPECT_EQ(p[kPartBody], "body\0with \xE9\n"s) << type;
    }
}

TEST_F(HostCommandTest, VersionAndUsageErrors) {
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string out_start, err_start;
    };
    const Case cases[] = {
        {{"--version"}, 0, "kalvorin-host " KALVORIN_VERSION "\n", ""},
        {{"--parts"}, 2, "", "kalvorin-host: --parts needs at least one folder\nusage:"},
        {{"--plugin"}, 2, "", "kalvorin-host: --plugin needs a path\nusage:"},
        {{"--frob"}, 2, "", "kalvorin-host: unknown option --frob\nusage:"},
        {{"--filter", "--filter-timeout", "0"}, 2, "", "kalvorin-host: --filter-timeout needs a whole number of"},
        {{"--filter", "--filter-timeout", "86401"}, 2, "", "kalvorin-host: --filter-timeout needs a whole number"},
        {{"--filter", "--filter-timeout", "1.5"}, 2, "", "kalvorin-host: --filter-timeout needs a whole number"},
        {{"--filter-timeout", "5", "x.eml"}, 2, "", "kalvorin-host: --filter-timeout goes with --filter\nusage:"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> argv{test::dist("kalvorin-host")};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        const auto r = test::run(argv);
        EXPECT_EQ(r.status, c.status) << c.args[0];
        EXPECT_TRUE(r.out.starts_with(c.out_start)) << c.args[0] << ": " << r.out;
        EXPECT_TRUE(r.err.starts_with(c.err_start)) << c.args[0] << ": " << r.err;
    }
}

TEST_F(HostCommandTest, APartThatIsAFolderIsAnError) {
    test::make_dir(tmp_ / "bad/SBJCT");
    test::make_dir(tmp_ / "pipe");
    ASSERT_EQ(::mkfifo((tmp_ / "pipe/MBODY").c_str(), 0600), 0);
    test::make_dir(tmp_ / "good");
    spit(tmp_ / "good/SBJCT", "viagra");
    const auto r = test::run({test::dist("kalvorin-host"), "--parts", tmp_ / "bad", tmp_ / "pipe", tmp_ / "good"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "1000\t" + tmp_ / "good" + "\n");
    EXPECT_EQ(r.err, "kalvorin-host: " + tmp_ / "bad/SBJCT" + ": a folder, not a part file\nkalvorin-host: " +
                         tmp_ / "pipe/MBODY" + ": not a file\n");
}

TEST_F(HostCommandTest, APluginNamedWithoutAFolderIsTakenFromTheCurrentFolder) {
    const std::string folder = test::dist("");
    const auto r = test::run({"/bin/sh", "-c", "cd '" + folder + "' && ./kalvorin-host --plugin Kalvorin.TBP"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(r.out.empty());
    const auto elsewhere = test::run({"/bin/sh", "-c", "cd '" + tmp_.path() + "' && '" + folder +
                                                           "kalvorin-host' --plugin Kalvorin.TBP"});
    EXPECT_EQ(elsewhere.status, 3);
    EXPECT_NE(elsewhere.err.find(tmp_ / "Kalvorin.TBP"), std::string::npos) << elsewhere.err;
}

TEST_F(HostCommandTest, ALinkInAMaildirThatLeadsNowhereIsReported) {
    test::make_dir(tmp_ / "md/cur");
    spit(tmp_ / "md/cur/1", "Subject: viagra\n\nb\n");
    std::filesystem::create_symlink(tmp_ / "gone", tmp_ / "md/cur/2");
    ASSERT_EQ(::mkfifo((tmp_ / "md/cur/3").c_str(), 0600), 0);  // never read: it would not end
    const auto r = test::run({test::dist("kalvorin-host"), tmp_ / "md"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "1000\t" + tmp_ / "md/cur/1" + "\n");
    EXPECT_EQ(r.err, "kalvorin-host: " + tmp_ / "md/cur/2" + ": File not found\n");
}

// A text that does not begin with a header is scored as a body with an empty header.
TEST_F(HostCommandTest, ATextWithoutAHeaderIsScoredAsABody) {
    spit(base() + "trash.filters.txt", "mbody=#viagra#\r\n");
    spit(tmp_ / "note.txt", "cheap viagra here\nsecond line\n");
    const auto r = test::run({test::dist("kalvorin-host"), tmp_ / "note.txt"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "1000\t" + tmp_ / "note.txt" + "\n");
}

TEST(ExtractParts, ATextWithoutAHeaderIsABodyWithAnEmptyHeader) {
    const std::string text = "no header here\r\njust words\r\n";
    const MessageParts parts = extract_parts(text);
    EXPECT_EQ(parts[kPartBody], text);
    EXPECT_EQ(parts[kPartRawMessage], text);
    for (const auto part : {kPartHeader, kPartSender, kPartSubject, kPartAttachments}) EXPECT_EQ(parts[part], "");
}

TEST_F(HostCommandTest, AMissingExportIsNamed) {
    auto r = test::run({test::dist("kalvorin-host"), "--plugin", "/lib/x86_64-linux-gnu/libm.so.6"});
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.err, "kalvorin-host: the plug-in does not export TBP_Initialize\n");
}

}  // namespace
}  // namespace kalvorin::host
