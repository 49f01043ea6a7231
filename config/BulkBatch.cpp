#include "config/BulkBatch.h"

#include <optional>
#include <string_view>

#include "platform/textfile.h"

namespace kalvorin::config {

namespace {

// Appends lines to a file that is opened at the first line and stays open for
// the whole batch: one open per batch instead of one per line, and none for a
// batch without lines. Closing it reports a failed write.
class BatchWriter {
public:
    explicit BatchWriter(std::string path) : path_(std::move(path)) {}
    void append(std::string_view line) {
        if (!file_) file_.emplace(path_, platform::TextWriter::Mode::Append);
        file_->write_line(line);
    }
    void close() {
        if (file_) file_->close();
    }

private:
    std::string path_;
    std::optional<platform::TextWriter> file_;
};

}  // namespace

void generate_from_rows(const TestKind& kind, const std::vector<std::string>& rows, const std::string& staging) {
    BatchWriter writer(staging);
    for (const std::string& row : rows)
        if (row.size() >= kMinMemoLine) writer.append(kind.test(row));
    writer.close();
}

// The source is read to its end before the first test is staged: a source
// that is the staging file itself is then taken as it was when generation
// began, instead of being read on as it grows.
void generate_from_file(const TestKind& kind, const std::string& source, const std::string& staging,
                        const LineRead& line_read) {
    std::vector<std::string> tests;
    {
        platform::TextReader reader(source);
        std::string line;
        while (reader.next_line(line)) {
            if (line.size() >= kMinFileLine) tests.push_back(kind.test(line));
            line_read(line.size() + 1);
        }
    }
    BatchWriter writer(staging);
    for (const std::string& test : tests) writer.append(test);
    writer.close();
}

void add_batch(const std::string& staging, const std::string& pending, const LineRead& line_read) {
    platform::TextReader reader(staging);
    BatchWriter list(pending);
    std::string line;
    while (reader.next_line(line)) {
        list.append(line);
        line_read(line.size() + 1);
    }
    list.close();
    reader.close();
    platform::reset_file(staging);
}

}  // namespace kalvorin::config
