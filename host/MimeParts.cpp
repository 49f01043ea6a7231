#include "host/MimeParts.h"

#include <gmime/gmime.h>

#include <memory>
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

// GLib's conversion of the text; nullopt when GLib does not take it for
// UTF-8.
std::optional<std::string> glib_to_cp1252(std::string_view utf8) {
    gsize written = 0;
    GString_ out(g_convert_with_fallback(utf8.data(), static_cast<gssize>(utf8.size()), "CP1252", "UTF-8", "?",
                                         nullptr, &written, nullptr));
    if (!out) return std::nullopt;
    return std::string(out.get(), written);
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

}  // namespace

// The code page is stateless, so the text converts character by character, and
// GLib's answer for each character outside ASCII is kept the first time it is
// met: converting whole bodies re-decodes the text at every character the code
// page lacks. Whatever is not plainly well-formed goes to GLib whole. Zero
// bytes are characters like any other.
std::string to_cp1252(std::string_view utf8) {
    thread_local std::unordered_map<std::string, std::optional<std::string>> known;
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
            ++i;
            continue;
        }
        const std::size_t n = char_length(utf8.substr(i));
        if (n == 0) return glib_to_cp1252(utf8).value_or(std::string(utf8));
        const std::string ch(utf8.substr(i, n));
        auto it = known.find(ch);
        if (it == known.end()) it = known.emplace(ch, glib_to_cp1252(ch)).first;
        if (!it->second) return glib_to_cp1252(utf8).value_or(std::string(utf8));
        out += *it->second;
        i += n;
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
            GPtr<GMimeFilter> convert(g_mime_filter_charset_new(charset, "utf-8"));
            if (convert) g_mime_stream_filter_add(GMIME_STREAM_FILTER(filtered.get()), convert.get());
        }
        g_mime_data_wrapper_write_to_stream(content, filtered.get());
        g_mime_stream_flush(filtered.get());
    }
    GByteArray* bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(mem.get()));
    return to_cp1252(std::string_view(reinterpret_cast<const char*>(bytes->data), bytes->len));
}

MessageParts body_only(std::string_view raw) {
    MessageParts parts;
    parts[kPartRawMessage] = raw;
    parts[kPartBody] = raw;
    return parts;
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

MessageParts extract_parts(std::string_view raw) {
    mime_init();
    GPtr<GMimeStream> stream(g_mime_stream_mem_new_with_buffer(raw.data(), raw.size()));
    GPtr<GMimeParser> parser(g_mime_parser_new_with_stream(stream.get()));
    GPtr<GMimeMessage> msg(g_mime_parser_construct_message(parser.get(), nullptr));
    // Mail clients take a text without a header as a body, so it is scored
    // as one rather than refused.
    if (!msg) return body_only(raw);

    MessageParts parts;
    parts[kPartRawMessage] = raw;
    parts[kPartHeader] = header_block(raw);
    parts[kPartSubject] = to_cp1252(g_mime_message_get_subject(msg.get()));
    if (InternetAddressList* from = g_mime_message_get_from(msg.get())) {
        GString_ s(internet_address_list_to_string(from, nullptr, FALSE));
        parts[kPartSender] = to_cp1252(s.get());
    }
    Walk walk;
    if (GMimeObject* body = g_mime_message_get_mime_part(msg.get())) {
        visit(nullptr, body, &walk);
        if (GMIME_IS_MULTIPART(body)) g_mime_multipart_foreach(GMIME_MULTIPART(body), visit, &walk);
    }
    parts[kPartBody] = text_of(walk.plain ? walk.plain : walk.html);
    std::string names;
    for (const auto& n : walk.attachments) {
        if (!names.empty()) names += "\r\n";
        names += n;
    }
    parts[kPartAttachments] = names;
    return parts;
}

}  // namespace kalvorin::host
