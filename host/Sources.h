#pragma once
// The message sources the host reads: .eml files, mbox files and Maildir folders.
#include <functional>
#include <string>
#include <vector>

namespace kalvorin::host {

// One message's bytes, or the reason it could not be read.
struct SourceMessage {
    std::string label;  // the path, or PATH#N for the N-th message of an mbox
    std::string raw;
    std::string error;  // not empty when the message could not be read
};

// Calls fn for every message of the source, in order. A folder is a Maildir
// (its cur/ and new/); a file that begins with "From " is an mbox; any other
// file is one message. Raises std::runtime_error when the source itself
// cannot be read.
void for_each_message(const std::string& source, const std::function<void(const SourceMessage&)>& fn);

// The messages of an mbox, without their "From " separator lines and without
// the empty line that ends each one.
std::vector<std::string> split_mbox(const std::string& content);

// The message files of a Maildir: cur/ then new/, each sorted by name. A link
// that leads nowhere counts too, so that it is reported rather than passed
// over.
std::vector<std::string> maildir_files(const std::string& dir);

}  // namespace kalvorin::host
