#pragma once
// The six parts of a raw message, as the mail client would hand them over.
#include <string>
#include <string_view>

#include "kalvorin/parts.h"

namespace kalvorin::host {

// False in a build without a MIME parser (the Windows build): there the host
// reads only parts folders.
bool mime_available();

// How a build without a MIME parser refuses what needs one.
inline constexpr const char* kPartsOnly =
    "This build reads only --parts folders: .eml, mbox and Maildir sources and --filter\n"
    "need the Linux build.\n";

// Calls g_mime_init once for the process.
void mime_init();

// HEADR the raw header block; MBODY the first text/plain part (else
// text/html), transfer-decoded, in Windows-1252; ATTCH the attachments' file
// names, one per line; SNDER the From header and SBJCT the Subject, decoded
// into Windows-1252; RWMSG the raw message byte for byte. A text that does
// not begin with a header is a body with an empty header: MBODY and RWMSG are
// the text as it is, the other parts empty.
// The raw text becomes the raw-message part: a caller done with it moves it in.
MessageParts extract_parts(std::string raw);

// UTF-8 (what GMime decodes to) into Windows-1252 as GLib converts it: a
// character the code page lacks becomes "?", and a text that is not UTF-8
// comes back as it is.
std::string to_cp1252(std::string_view utf8);
// The same for a text that ends at its first zero byte (none for null).
std::string to_cp1252(const char* utf8);

// The header block: everything before the first empty line.
std::string header_block(std::string_view raw);

}  // namespace kalvorin::host
