#pragma once
// The message sources the host reads: .eml files, mbox files and Maildir
// folders, each read a message at a time.
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "platform/textfile.h"

namespace kalvorin::host {

// One message's bytes, or the reason it could not be read.
struct SourceMessage {
    std::string label;  // the path, or PATH#N for the N-th message of an mbox
    std::string raw;
    std::string error;  // not empty when the message could not be read
};

// The text of a message that is not scored for its size.
std::string too_big_text(std::size_t max_size);

// Calls fn for every message of the source, in order. A folder is a Maildir
// (its cur/ and new/); a file that begins with "From " is an mbox; any other
// file is one message. A message above max_size bytes comes with an error
// and without its bytes, and is read no further than needed. Raises
// std::runtime_error when the source itself cannot be read.
void for_each_message(const std::string& source, std::size_t max_size,
                      const std::function<void(SourceMessage&)>& fn);

// The messages of an mbox, read one at a time, without their "From "
// separator lines and without the empty line that ends each one. A separator
// is a "From " line that opens the file or follows an empty line.
class MboxReader {
public:
    // The reader stands after the file's first "From " line.
    MboxReader(platform::LineReader& in, std::size_t max_size) : in_(in), max_size_(max_size) {}
    // The next message into raw; false at the end. too_big: the message was
    // above max_size, and raw is empty.
    bool next(std::string& raw, bool& too_big);

private:
    platform::LineReader& in_;
    std::size_t max_size_;
    bool at_end_ = false;
};

// The message files of a Maildir: cur/ then new/, each sorted by name. A link
// that leads nowhere counts too, so that it is reported rather than passed
// over.
std::vector<std::string> maildir_files(const std::string& dir);

}  // namespace kalvorin::host
