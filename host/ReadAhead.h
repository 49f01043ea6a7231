#pragma once
// The messages of the sources are read and taken apart on a thread of their
// own while the caller scores the ones before, so that on a second core the
// parse of the next message overlaps the scoring of this one. The caller
// sees everything in the order of the sources, as a plain loop would give it.
#include <cstddef>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "kalvorin/parts.h"

namespace kalvorin::host {

// One message ready to score, or what kept it, or its whole source, from
// being read.
struct ReadMessage {
    std::string label;
    std::string error;           // not empty: nothing to score, only this to report
    MessageParts parts;
    std::exception_ptr failure;  // what taking the message apart raised

    // The parts, or the failure raised again.
    const MessageParts& taken_apart() const;
};

// Takes the raw text, which it may keep as the raw-message part.
using TakeApart = std::function<MessageParts(std::string&& raw)>;

// Reads from its construction on, so that the first messages can be ready
// by the time the caller asks for them: the messages of the sources in
// order, as for_each_message reads them and take_apart makes their parts; a
// source that cannot be read comes as a message labelled with the source and
// carrying the error. Beside the one being read, the messages waiting, the
// one in use (until the next is asked for) and those handed back to the
// reading thread and not yet freed there are at most kReadAheadCount waiting
// and kReadAheadBytes in all; one larger than that waits only once nothing
// else is held. A caller that finds nothing waiting is answered
// once a run of messages is ready, or after a moment when they come slowly.
// The destructor stops the reading at its next message (a pipe given as a
// source is read until its writer closes it).
// Raises std::system_error when no thread can be started; read_in_turn then
// does the same work in the caller's thread.
inline constexpr std::size_t kReadAheadCount = 64;
inline constexpr std::size_t kReadAheadBytes = std::size_t{16} << 20;

class ReadAhead {
public:
    ReadAhead(std::vector<std::string> sources, std::size_t max_size, TakeApart take_apart);
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;
    ~ReadAhead();
    // The next message, or null after the last. It stays the caller's until
    // the next call, which hands it back to the reading thread to be freed.
    const ReadMessage* next();

private:
    struct Reading;
    std::unique_ptr<Reading> reading_;
    std::thread reader_;
};

// The messages of the sources handed to use one after the other, each read
// once the one before has been used.
void read_in_turn(const std::vector<std::string>& sources, std::size_t max_size, const TakeApart& take_apart,
                  const std::function<void(const ReadMessage&)>& use);

}  // namespace kalvorin::host
