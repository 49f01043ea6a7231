#pragma once
// The plug-in's list pass run in this process on the lists of one or more
// base folders: for a message, the score, the line that decided it or the
// line that stopped the scoring, and the external-image rule, as
// TBP_GetSpamScore gives them, without its log.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "CodigoComun/FieldTests.h"
#include "CodigoComun/ExtImgRule.h"
#include "inspect/Explanation.h"
#include "inspect/ListFiles.h"
#include "kalvorin/parts.h"

namespace kalvorin::inspect {

// The settings the list pass uses, read as TBP_Initialize reads them.
struct PassSettings {
    std::array<std::int32_t, 3> scores{};  // by list; a stored 0 replaced as the plug-in replaces it
    bool uppercase = true;
    bool up50kb = true;
    std::string extimg;

    // Raises ERegistryError for a value stored with the wrong type.
    static PassSettings from_store();
};

using kalvorin::HostParts;

// The parts as the plug-in hands them to the filter code: capped at 50000
// bytes when up50kb is on, an empty part replaced by ":".
SeenMessage see(const HostParts& parts, const PassSettings& settings);

struct LineAt {
    std::size_t list = 0;    // 0 secure, 1 trash, 2 suspect
    std::size_t number = 0;  // from 1, as in the list file
};

using kalvorin::ImageRule;

// Applies the settings' rule to the score; its answer says why.
ImageRule apply_image_rule(bool image, const PassSettings& settings, std::int32_t& score);

struct Verdict {
    std::int32_t score = 0;            // what TBP_GetSpamScore returns
    std::int32_t list_score = 0;       // the score when the list pass ended
    std::optional<LineAt> decided;     // the line that matched
    std::optional<std::string> error;  // what ended the scoring early
    std::optional<LineAt> stopped;     // the line that raised it, if a line did
    std::vector<LineAt> passed_over;   // lines too costly for this message, in pass order
    ImageRule image = ImageRule::no_image;  // not applied when the scoring stopped
};

// A verdict with the account of its line and of the image reference.
struct Explained {
    Verdict verdict;
    std::optional<LineExplained> line;  // the deciding line, or the one that stopped the scoring
    std::optional<Span> image_at;
};

class Evaluation {
public:
    // The lines of every base are taken apart here, once for all messages.
    Evaluation(PassSettings settings, std::vector<FilterLists> bases);

    const PassSettings& settings() const { return settings_; }
    const std::string& line(std::size_t base, LineAt at) const;

    // The plug-in's answer for the message with one base's lists. The filter
    // code's per-message state is process-wide, so one message at a time.
    Verdict score(const SeenMessage& m, std::size_t base = 0) const;
    Explained explain(const SeenMessage& m, std::size_t base = 0) const;

private:
    PassSettings settings_;
    std::vector<FilterLists> bases_;
};

}  // namespace kalvorin::inspect
