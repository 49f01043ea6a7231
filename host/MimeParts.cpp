#include "host/MimeParts.h"

#include <gmime/gmime.h>

#include <memory>
#include <stdexcept>
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

// UTF-8 (what GMime decodes to) into Windows-1252; a character the code page
// lacks becomes "?".
std::string to_cp1252(const char* utf8) {
    if (!utf8) return std::string();
    gsize written = 0;
    GString_ out(g_convert_with_fallback(utf8, -1, "CP1252", "UTF-8", "?", nullptr, &written, nullptr));
    if (!out) return utf8;
    return std::string(out.get(), written);
}

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

std::string text_of(GMimeObject* part) {
    if (!part) return std::string();
    GString_ text(g_mime_text_part_get_text(GMIME_TEXT_PART(part)));
    return to_cp1252(text.get());
}

MessageParts body_only(const std::string& raw) {
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

std::string header_block(const std::string& raw) {
    std::size_t crlf = raw.find("\r\n\r\n");
    std::size_t lf = raw.find("\n\n");
    if (raw.rfind("\r\n", 0) == 0 || raw.rfind("\n", 0) == 0) return std::string();
    std::size_t end = std::string::npos;
    if (crlf != std::string::npos) end = crlf + 2;
    if (lf != std::string::npos && (end == std::string::npos || lf + 1 < end)) end = lf + 1;
    return end == std::string::npos ? raw : raw.substr(0, end);
}

MessageParts extract_parts(const std::string& raw) {
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
