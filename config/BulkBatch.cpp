#include "config/BulkBatch.h"

#include <filesystem>
#include <limits>
#include <optional>
#include <string_view>
#include <system_error>

#include "kalvorin/parts.h"
#include "platform/textfile.h"

namespace kalvorin::config {

namespace {

// Appends lines to a file of the base folder that is opened at the first line
// and stays open for the whole batch: one open per batch instead of one per
// line, and none for a batch without lines. Closing it reports a failed write.
class BatchWriter {
public:
    explicit BatchWriter(std::string path) : path_(std::move(path)) {}
    void append(std::string_view line) {
        if (!file_) file_.emplace(path_, platform::TextWriter::Mode::Append, platform::Place::BaseFolder);
        file_->write_line(line);
    }
    void close() {
        if (file_) file_->close();
    }

private:
    std::string path_;
    std::optional<platform::TextWriter> file_;
};

// Turns source texts into tests on the staging file. A text that holds the
// delimiter or a field keyword would give a line that ends every message
// reaching it with an error, so it is counted and skipped.
class BatchGenerator {
public:
    BatchGenerator(const TestKind& kind, std::size_t min_length, const std::string& staging)
        : kind_(kind), min_length_(min_length), writer_(staging) {}
    void take(const std::string& text) {
        if (text.size() < min_length_) return;
        switch (kind_.refusal(text)) {
            case Refusal::None:
                writer_.append(kind_.test(text));
                ++count_.written;
                break;
            case Refusal::Delimiter:
                ++count_.with_delimiter;
                break;
            case Refusal::Keyword:
                ++count_.with_keyword;
                break;
        }
    }
    BatchCount finish() {
        writer_.close();
        return count_;
    }

private:
    const TestKind& kind_;
    std::size_t min_length_;
    BatchWriter writer_;
    BatchCount count_;
};

bool same_file(const std::string& a, const std::string& b) {
    std::error_code error;
    return std::filesystem::equivalent(a, b, error) && !error;
}

std::size_t count_lines(const std::string& path) {
    platform::TextReader reader(path);
    std::size_t lines = 0;
    for (std::string line; reader.next_line(line);) ++lines;
    return lines;
}

std::string texts(std::size_t n) { return std::to_string(n) + (n == 1 ? " text" : " texts"); }

}  // namespace

BatchCount generate_from_rows(const TestKind& kind, const std::vector<std::string>& rows, const std::string& staging) {
    BatchGenerator generator(kind, kMinMemoLine, staging);
    for (const std::string& row : rows) generator.take(row);
    return generator.finish();
}

// The staging file as its own source grows while it is read: only as many
// lines are taken as it had when generation began.
BatchCount generate_from_file(const TestKind& kind, const std::string& source, const std::string& staging,
                              const LineRead& line_read) {
    const std::size_t lines =
        same_file(source, staging) ? count_lines(source) : std::numeric_limits<std::size_t>::max();
    platform::TextReader reader(source);
    BatchGenerator generator(kind, kMinFileLine, staging);
    std::string line;
    for (std::size_t n = 0; n < lines && reader.next_line(line); ++n) {
        generator.take(line);
        line_read(line.size() + 1);
    }
    return generator.finish();
}

std::string skipped_message(const BatchCount& count, char delimiter) {
    const std::size_t skipped = count.with_delimiter + count.with_keyword;
    if (skipped == 0) return {};
    std::string reasons;
    if (count.with_delimiter > 0) reasons += texts(count.with_delimiter) + " held the delimiter " + delimiter;
    if (count.with_delimiter > 0 && count.with_keyword > 0) reasons += ", ";
    if (count.with_keyword > 0)
        reasons += texts(count.with_keyword) + " held a field keyword (" + keyword_list() + ")";
    return texts(skipped) + " skipped: " + reasons +
           ". A filter line cannot hold such a text; the editor refuses it too.";
}

void add_batch(const std::string& staging, const std::string& pending, const LineRead& line_read) {
    platform::TextReader reader(staging, platform::Place::BaseFolder);
    BatchWriter list(pending);
    std::string line;
    while (reader.next_line(line)) {
        list.append(line);
        line_read(line.size() + 1);
    }
    list.close();
    reader.close();
    platform::reset_file(staging, platform::Place::BaseFolder);
}

}  // namespace kalvorin::config
