#include "inspect/Evaluation.h"

#include <exception>
#include <utility>

#include "CodigoComun/CapturaSpam.h"
#include "CodigoComun/ConfigSys.h"
#include "CodigoComun/ListPass.h"

namespace kalvorin::inspect {

PassSettings PassSettings::from_store() {
    const clsConfigSys cfg;
    PassSettings s;
    cfg.get_scores(s.scores[0], s.scores[1], s.scores[2]);
    replace_zero_scores(s.scores[0], s.scores[1], s.scores[2]);
    s.uppercase = cfg.get_uppercase();
    s.up50kb = cfg.get_up50kb();
    s.extimg = cfg.get_extimg();
    return s;
}

SeenMessage see(const HostParts& parts, const PassSettings& settings) {
    SeenMessage m;
    for (std::size_t k = 0; k < m.parts.size(); ++k) {
        const std::string& host = parts[kHostIndexOf[k]];
        std::string& part = m.parts[k];
        part = host;
        if (cap_part(part, settings.up50kb)) m.cut_from[k] = host.size();
        fill_if_empty(part);
    }
    return m;
}

ImageRule apply_image_rule(bool image, const PassSettings& settings, std::int32_t& score) {
    return kalvorin::apply_image_rule(image, extimg_rule(settings.extimg), score, [&](std::int32_t list) {
        return settings.scores[static_cast<std::size_t>(list - 1)];
    });
}

Evaluation::Evaluation(PassSettings settings, std::vector<FilterLists> bases)
    : settings_(std::move(settings)), bases_(std::move(bases)) {
    std::vector<std::string> all;
    for (const FilterLists& lists : bases_)
        for (const auto& list : lists.lines) all.insert(all.end(), list.begin(), list.end());
    searcher::prepare(all);
}

const std::string& Evaluation::line(std::size_t base, LineAt at) const {
    return bases_[base].lines[at.list][at.number - 1];
}

// TBP_GetSpamScore's steps from searcher_init on: the list pass stops at the
// first line that matches, a line too costly for the message is passed over,
// and an error anywhere else ends the message with the score reached, as its
// catch-all does.
Verdict Evaluation::score(const SeenMessage& m, std::size_t base) const {
    Verdict v;
    std::optional<LineAt> at;
    try {
        searcher::searcher_init(m.parts, settings_.uppercase);
        for (std::size_t list = 0; list < 3 && !v.decided; ++list) {
            const std::vector<std::string>& lines = bases_[base].lines[list];
            for (std::size_t i = 0; i < lines.size(); ++i) {
                at = LineAt{list, i + 1};
                const LineOutcome outcome = try_line(lines[i]);
                if (outcome == LineOutcome::passed_over) v.passed_over.push_back(*at);
                if (outcome == LineOutcome::match) {
                    v.decided = at;
                    v.score = settings_.scores[list];
                    break;
                }
            }
        }
        at.reset();
        v.list_score = v.score;
        v.image = apply_image_rule(searcher::haveimg(), settings_, v.score);
    } catch (const std::exception& e) {
        v.error = e.what();
        v.stopped = at;
    } catch (...) {
        v.error = "unknown error";
        v.stopped = at;
    }
    return v;
}

Explained Evaluation::explain(const SeenMessage& m, std::size_t base) const {
    Explained e;
    e.verdict = score(m, base);
    const std::optional<LineAt>& at = e.verdict.decided ? e.verdict.decided : e.verdict.stopped;
    if (at) e.line = explain_line(line(base, *at), m);
    e.image_at = image_reference(m);
    return e;
}

}  // namespace kalvorin::inspect
