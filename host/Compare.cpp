#include "host/Compare.h"

#include "host/Explain.h"
#include "inspect/ExplainText.h"
#include "inspect/ListFiles.h"

namespace kalvorin::host {

namespace {

constexpr std::size_t kOld = 0;
constexpr std::size_t kNew = 1;

}  // namespace

Comparer::Comparer(std::ostream& out, const std::string& old_base, const std::string& new_base)
    : out_(out),
      ev_(inspect::PassSettings::from_store(),
          {inspect::read_lists(inspect::as_basefolder(old_base)), inspect::read_lists(inspect::as_basefolder(new_base))}) {}

bool Comparer::message(const std::string& label, const MessageParts& parts) {
    const inspect::SeenMessage m = inspect::see(host_parts(parts), ev_.settings());
    const inspect::Verdict before = ev_.score(m, kOld);
    const inspect::Verdict after = ev_.score(m, kNew);
    ++messages_;
    const std::string from = inspect::decider(before), to = inspect::decider(after);
    const bool stopped = before.error || after.error;
    if (from == to && before.score == after.score) return stopped;
    ++changes_[from + " -> " + to];
    out_ << label << ": " << from << " -> " << to << ", score " << before.score << " -> " << after.score << "\n"
         << "  before: " << inspect::account(ev_, kOld, before) << "\n"
         << "  after:  " << inspect::account(ev_, kNew, after) << "\n";
    return stopped;
}

void Comparer::summary() {
    std::size_t changed = 0;
    for (const auto& [kind, count] : changes_) changed += count;
    out_ << changed << " of " << messages_ << " messages changed\n";
    for (const auto& [kind, count] : changes_) out_ << kind << ": " << count << "\n";
}

}  // namespace kalvorin::host
