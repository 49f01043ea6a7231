#include "host/MimeParts.h"

#include <gmime/gmime.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>
#include <stdexcept>
#include <unordered_map>
#include <vector>

namespace kalvorin::host {

namespace {

struct GObjectUnref {
    void operator()(void* p) const noexcept {
        if (p) g_object_unref(p);
    }
};
template <typename T>
using GPtr = std::unique_ptr<T, GObjectUnref>;

struct GFree {
    void operator()(void* p) const noexcept { g_free(p); }
};
using GString_ = std::unique_ptr<char, GFree>;

// What g_iconv_open gives for a conversion it cannot make.
const GIConv kNoConversion = reinterpret_cast<GIConv>(-1);

// Opening a conversion makes glibc load the character set's converter, and
// closing the last one may unload it again; a run meets the same few sets at
// nearly every message, so one conversion from each set met (up to a bound)
// is held open until the program ends and the converter stays loaded.
void keep_converter(const char* from) {
    struct Held {
        std::mutex mutex;
        std::map<std::string, GIConv, std::less<>> open;
        ~Held() {
            for (const auto& [name, cd] : open) g_iconv_close(cd);
        }
    };
    constexpr std::size_t kMostHeld = 64;
    static Held held;
    const std::string_view name = from;
    const std::lock_guard lock(held.mutex);
    if (held.open.size() >= kMostHeld || held.open.contains(name)) return;
    const GIConv cd = g_iconv_open("UTF-8", from);
    if (cd != kNoConversion) held.open.emplace(name, cd);
}

// GLib's conversion of the text; nullopt when GLib does not take it for
// UTF-8.
std::optional<std::string> glib_to_cp1252(std::string_view utf8) {
    gsize written = 0;
    GString_ out(g_convert_with_fallback(utf8.data(), static_cast<gssize>(utf8.size()), "CP1252", "UTF-8", "?",
                                         nullptr, &written, nullptr));
    if (!out) return std::nullopt;
    return std::string(out.get(), written);
}

// One well-formed character that the code page lacks, as glib_to_cp1252
// converts it, through a conversion that the thread keeps open: GLib opens
// up to three for each call, and mail in another script brings hundreds of
// such characters. The system's converter takes the character or refuses
// it, and GLib puts its fallback "?" for one refused; whatever else happens
// goes to GLib itself.
std::optional<std::string> char_to_cp1252(std::string_view ch) {
    struct Held {
        GIConv cd = g_iconv_open("CP1252", "UTF-8");
        ~Held() {
            if (cd != kNoConversion) g_iconv_close(cd);
        }
    };
    thread_local Held held;
    char in[4];
    if (held.cd == kNoConversion || ch.size() > sizeof in) return glib_to_cp1252(ch);
    std::memcpy(in, ch.data(), ch.size());
    char out[16];
    gchar* in_at = in;
    gchar* out_at = out;
    gsize in_left = ch.size(), out_left = sizeof out;
    // From the initial state, whatever the character before left.
    g_iconv(held.cd, nullptr, nullptr, nullptr, nullptr);
    if (g_iconv(held.cd, &in_at, &in_left, &out_at, &out_left) != static_cast<gsize>(-1) &&
        g_iconv(held.cd, nullptr, nullptr, &out_at, &out_left) != static_cast<gsize>(-1))
        return std::string(out, static_cast<std::size_t>(out_at - out));
    if (errno == EILSEQ) return std::string("?");
    return glib_to_cp1252(ch);
}

// The code point of a well-formed UTF-8 character of n bytes.
char32_t code_point(std::string_view ch, std::size_t n) {
    const auto byte = [&](std::size_t i) { return static_cast<char32_t>(static_cast<unsigned char>(ch[i])); };
    char32_t cp = byte(0) & (n == 2 ? 0x1F : n == 3 ? 0x0F : 0x07);
    for (std::size_t i = 1; i < n; ++i) cp = (cp << 6) | (byte(i) & 0x3F);
    return cp;
}

// The code page's byte for each character outside ASCII that it has, as
// GLib converts it: found once by asking GLib for the code page's bytes the
// other way round.
const std::unordered_map<char32_t, char>& code_page_bytes() {
    static const std::unordered_map<char32_t, char> bytes = [] {
        keep_converter("CP1252");
        std::unordered_map<char32_t, char> out;
        for (int b = 0x80; b <= 0xFF; ++b) {
            const char byte = static_cast<char>(b);
            gsize written = 0;
            GString_ utf8(g_convert(&byte, 1, "UTF-8", "CP1252", nullptr, &written, nullptr));
            if (utf8 && written >= 2) out.emplace(code_point(std::string_view(utf8.get(), written), written), byte);
        }
        return out;
    }();
    return bytes;
}

// The length of the well-formed UTF-8 character at the start of s (RFC 3629:
// shortest form, no surrogates, at most U+10FFFF), or 0.
std::size_t char_length(std::string_view s) {
    const auto at = [&](std::size_t i) { return i < s.size() ? static_cast<unsigned char>(s[i]) : 0u; };
    const auto in = [](unsigned b, unsigned lo, unsigned hi) { return b >= lo && b <= hi; };
    const unsigned b = at(0);
    if (in(b, 0xC2, 0xDF)) return in(at(1), 0x80, 0xBF) ? 2 : 0;
    if (in(b, 0xE0, 0xEF)) {
        const unsigned lo = b == 0xE0 ? 0xA0 : 0x80, hi = b == 0xED ? 0x9F : 0xBF;
        return in(at(1), lo, hi) && in(at(2), 0x80, 0xBF) ? 3 : 0;
    }
    if (in(b, 0xF0, 0xF4)) {
        const unsigned lo = b == 0xF0 ? 0x90 : 0x80, hi = b == 0xF4 ? 0x8F : 0xBF;
        return in(at(1), lo, hi) && in(at(2), 0x80, 0xBF) && in(at(3), 0x80, 0xBF) ? 4 : 0;
    }
    return 0;
}

// The length of the run of ASCII characters at the start of s, taken eight
// bytes at a time: mail text is mostly ASCII, which converts to itself.
std::size_t ascii_run(std::string_view s) {
    constexpr std::uint64_t kHighBits = 0x8080808080808080u;
    std::size_t n = 0;
    for (std::uint64_t word = 0; n + sizeof word <= s.size(); n += sizeof word) {
        std::memcpy(&word, s.data() + n, sizeof word);
        if (word & kHighBits) break;
    }
    while (n < s.size() && static_cast<unsigned char>(s[n]) < 0x80) ++n;
    return n;
}

}  // namespace

// The code page is stateless, so the text converts character by character:
// the characters the code page has through a fixed table, the others through
// GLib (which gives most of them "?", and some nothing at all), its answers
// kept for the characters met lately. Converting whole bodies instead would
// re-decode the text at every character the code page lacks. Whatever is not
// plainly well-formed goes to GLib whole. Zero bytes are characters like any
// other.
std::string to_cp1252(std::string_view utf8) {
    // A bound on the answers kept, so that a text of every character there
    // is costs no more memory than a few thousand.
    constexpr std::size_t kMaxKept = 4096;
    thread_local std::unordered_map<char32_t, std::optional<std::string>> kept;
    const auto& bytes = code_page_bytes();
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        if (const std::size_t run = ascii_run(utf8.substr(i))) {
            out.append(utf8.substr(i, run));
            i += run;
            continue;
        }
        const std::size_t n = char_length(utf8.substr(i));
        if (n == 0) return glib_to_cp1252(utf8).value_or(std::string(utf8));
        const char32_t cp = code_point(utf8.substr(i, n), n);
        i += n;
        if (const auto b = bytes.find(cp); b != bytes.end()) {
            out.push_back(b->second);
            continue;
        }
        auto it = kept.find(cp);
        if (it == kept.end()) {
            if (kept.size() >= kMaxKept) kept.clear();
            it = kept.emplace(cp, char_to_cp1252(utf8.substr(i - n, n))).first;
        }
        if (!it->second) return glib_to_cp1252(utf8).value_or(std::string(utf8));
        out += *it->second;
    }
    return out;
}

std::string to_cp1252(const char* utf8) { return utf8 ? to_cp1252(std::string_view(utf8)) : std::string(); }

namespace {

bool is_attachment(GMimeObject* part) {
    if (!GMIME_IS_PART(part)) return false;
    if (g_mime_part_is_attachment(GMIME_PART(part))) return true;
    return g_mime_part_get_filename(GMIME_PART(part)) != nullptr;
}

struct Walk {
    GMimeObject* plain = nullptr;
    GMimeObject* html = nullptr;
    std::vector<std::string> attachments;
};

void visit(GMimeObject* /*parent*/, GMimeObject* part, gpointer data) {
    auto* w = static_cast<Walk*>(data);
    if (GMIME_IS_MESSAGE_PART(part)) return;
    if (is_attachment(part)) {
        if (const char* name = g_mime_part_get_filename(GMIME_PART(part))) w->attachments.push_back(to_cp1252(name));
        return;
    }
    if (!GMIME_IS_TEXT_PART(part)) return;
    GMimeContentType* ct = g_mime_object_get_content_type(part);
    if (!w->plain && g_mime_content_type_is_type(ct, "text", "plain")) w->plain = part;
    if (!w->html && g_mime_content_type_is_type(ct, "text", "html")) w->html = part;
}

// The part's text decoded, into UTF-8 when it names a character set, kept
// whole: zero bytes in it stay part of the text.
std::string text_of(GMimeObject* part) {
    if (!part) return std::string();
    GMimeDataWrapper* content = g_mime_part_get_content(GMIME_PART(part));
    if (!content) return std::string();
    GPtr<GMimeStream> mem(g_mime_stream_mem_new());
    {
        GPtr<GMimeStream> filtered(g_mime_stream_filter_new(mem.get()));
        const char* charset = g_mime_object_get_content_type_parameter(part, "charset");
        if (charset) {
            keep_converter(g_mime_charset_iconv_name(charset));
            GPtr<GMimeFilter> convert(g_mime_filter_charset_new(charset, "utf-8"));
            if (convert) g_mime_stream_filter_add(GMIME_STREAM_FILTER(filtered.get()), convert.get());
        }
        g_mime_data_wrapper_write_to_stream(content, filtered.get());
        g_mime_stream_flush(filtered.get());
    }
    GByteArray* bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(mem.get()));
    return to_cp1252(std::string_view(reinterpret_cast<const char*>(bytes->data), bytes->len));
}

MessageParts body_only(std::string&& raw) {
    MessageParts parts;
    parts[kPartBody] = raw;
    parts[kPartRawMessage] = std::move(raw);
    return parts;
}

// A message taken apart by GMime: the object that holds it, the part that
// holds its body, its subject and its sender.
struct Parsed {
    GPtr<GMimeObject> top;
    GMimeObject* body = nullptr;
    const char* subject = nullptr;  // owned by top
    GString_ sender;
};

// The raw text where it lies, as GMime reads it: a byte array that borrows
// the string's bytes. The streams over it do not own it, and it gives the
// bytes back unfreed; a parser only reads its stream, and a stream bounded
// to the bytes cannot be moved past them, where a memory stream would grow
// its array. Copying every message into a stream of its own took a page of
// fresh memory for each 4 KiB read. (A message is at most --max-size, under
// 2 GiB, so its length fits the array's.)
class BorrowedBytes {
public:
    explicit BorrowedBytes(std::string& raw)
        : array_(g_byte_array_new_take(reinterpret_cast<guint8*>(raw.data()), raw.size())) {}
    ~BorrowedBytes() { g_byte_array_free(array_, FALSE); }
    BorrowedBytes(const BorrowedBytes&) = delete;
    BorrowedBytes& operator=(const BorrowedBytes&) = delete;

    // A parser that reads the bytes from the start.
    GPtr<GMimeParser> parser() const {
        GPtr<GMimeStream> stream(g_mime_stream_mem_new_with_byte_array(array_));
        g_mime_stream_mem_set_owner(GMIME_STREAM_MEM(stream.get()), FALSE);
        g_mime_stream_set_bounds(stream.get(), 0, array_->len);
        return GPtr<GMimeParser>(g_mime_parser_new_with_stream(stream.get()));
    }

private:
    GByteArray* array_;
};

// The message as GMime's message object sees it.
Parsed parse_message(const BorrowedBytes& raw) {
    Parsed p;
    GMimeMessage* msg = g_mime_parser_construct_message(raw.parser().get(), nullptr);
    p.top.reset(GMIME_OBJECT(msg));
    if (!msg) return p;
    p.body = g_mime_message_get_mime_part(msg);
    p.subject = g_mime_message_get_subject(msg);
    if (InternetAddressList* from = g_mime_message_get_from(msg))
        p.sender.reset(internet_address_list_to_string(from, nullptr, FALSE));
    return p;
}

// The message as its top MIME part, which holds every header. The subject
// and the sender are read from the headers as the message object reads
// them: the last Subject header, decoded; the addresses of every From
// header, in order, as one list.
Parsed parse_part(const BorrowedBytes& raw) {
    Parsed p;
    p.top.reset(g_mime_parser_construct_part(raw.parser().get(), nullptr));
    if (!p.top) return p;
    p.body = p.top.get();
    GMimeHeaderList* headers = g_mime_object_get_header_list(p.top.get());
    GPtr<InternetAddressList> from(internet_address_list_new());
    for (int i = 0, n = g_mime_header_list_get_count(headers); i < n; ++i) {
        GMimeHeader* header = g_mime_header_list_get_header_at(headers, i);
        const char* name = g_mime_header_get_name(header);
        if (g_ascii_strcasecmp(name, "Subject") == 0) {
            p.subject = g_mime_header_get_value(header);
        } else if (g_ascii_strcasecmp(name, "From") == 0) {
            const char* value = g_mime_header_get_raw_value(header);
            if (GPtr<InternetAddressList> list{value ? internet_address_list_parse(nullptr, value) : nullptr})
                internet_address_list_append(from.get(), list.get());
        }
    }
    p.sender.reset(internet_address_list_to_string(from.get(), nullptr, FALSE));
    return p;
}

// Taken apart as its top part where GMime can: a message object also parses
// every address header (To, Cc, Reply-To...) and the date into objects of
// their own, which made about a third of the reading. A text that GMime
// takes only as a message (one that starts with an mbox "From " line) goes
// the message's way.
Parsed parse(const BorrowedBytes& raw) {
    if (Parsed p = parse_part(raw); p.top) return p;
    return parse_message(raw);
}

// The parts that GMime finds in the raw text, all but the raw message;
// false when it finds no header. GMime is done with the text on return.
bool take_apart(std::string& raw, MessageParts& parts) {
    const BorrowedBytes bytes(raw);
    const Parsed parsed = parse(bytes);
    if (!parsed.top) return false;
    parts[kPartHeader] = header_block(raw);
    parts[kPartSubject] = to_cp1252(parsed.subject);
    parts[kPartSender] = to_cp1252(parsed.sender.get());
    Walk walk;
    if (parsed.body) {
        visit(nullptr, parsed.body, &walk);
        if (GMIME_IS_MULTIPART(parsed.body)) g_mime_multipart_foreach(GMIME_MULTIPART(parsed.body), visit, &walk);
    }
    parts[kPartBody] = text_of(walk.plain ? walk.plain : walk.html);
    std::string names;
    for (const auto& n : walk.attachments) {
        if (!names.empty()) names += "\r\n";
        names += n;
    }
    parts[kPartAttachments] = names;
    return true;
}

}  // namespace

bool mime_available() { return true; }

void mime_init() {
    static const bool done = [] {
        g_mime_init();
        return true;
    }();
    (void)done;
}

std::string header_block(std::string_view raw) {
    std::size_t crlf = raw.find("\r\n\r\n");
    std::size_t lf = raw.find("\n\n");
    if (raw.starts_with("\r\n") || raw.starts_with("\n")) return std::string();
    std::size_t end = std::string_view::npos;
    if (crlf != std::string_view::npos) end = crlf + 2;
    if (lf != std::string_view::npos && (end == std::string_view::npos || lf + 1 < end)) end = lf + 1;
    return std::string(raw.substr(0, end));
}

MessageParts extract_parts(std::string raw) {
    mime_init();
    MessageParts parts;
    // Mail clients take a text without a header as a body, so it is scored
    // as one rather than refused.
    if (!take_apart(raw, parts)) return body_only(std::move(raw));
    parts[kPartRawMessage] = std::move(raw);
    return parts;
}

}  // namespace kalvorin::host
