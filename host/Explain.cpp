#include "host/Explain.h"

#include "inspect/ExplainText.h"
#include "inspect/ListFiles.h"

namespace kalvorin::host {

inspect::HostParts host_parts(const MessageParts& parts) { return parts.text; }

Explainer::Explainer(std::ostream& out)
    : out_(out),
      ev_(inspect::PassSettings::from_store(),
          {inspect::read_lists(inspect::stored_basefolder(), platform::Place::BaseFolder)}) {}

bool Explainer::message(const std::string& label, const MessageParts& parts) {
    const inspect::SeenMessage m = inspect::see(host_parts(parts), ev_.settings());
    const inspect::Explained e = ev_.explain(m);
    out_ << e.verdict.score << "\t" << label << "\n";
    for (const std::string& line : inspect::account_lines(ev_, m, e)) out_ << line << "\n";
    return e.verdict.error.has_value();
}

}  // namespace kalvorin::host
