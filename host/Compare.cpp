#include "host/Compare.h"

#include "host/Explain.h"
#include "inspect/Comparison.h"
#include "inspect/ListFiles.h"

namespace kalvorin::host {

Comparer::Comparer(std::ostream& out, const std::string& old_base, const std::string& new_base)
    : out_(out),
      ev_(inspect::PassSettings::from_store(),
          {inspect::read_lists(inspect::as_basefolder(old_base), platform::Place::Anywhere),
           inspect::read_lists(inspect::as_basefolder(new_base), platform::Place::Anywhere)}) {}

bool Comparer::message(const std::string& label, const MessageParts& parts) {
    const inspect::Change c = inspect::compare(ev_, inspect::see(host_parts(parts), ev_.settings()));
    ++messages_;
    const bool stopped = c.before.error || c.after.error;
    if (!c.changed()) return stopped;
    ++changes_[c.from + " -> " + c.to];
    out_ << label << ": " << c.from << " -> " << c.to << ", score " << c.before.score << " -> " << c.after.score
         << "\n"
         << "  before: " << c.before_account << "\n"
         << "  after:  " << c.after_account << "\n";
    return stopped;
}

void Comparer::summary() {
    std::size_t changed = 0;
    for (const auto& [kind, count] : changes_) changed += count;
    out_ << changed << " of " << messages_ << " messages changed\n";
    for (const auto& [kind, count] : changes_) out_ << kind << ": " << count << "\n";
}

}  // namespace kalvorin::host
