#pragma once
// Lines proposed from messages: field tests drawn from the messages chosen,
// each counted over those messages and over a history of other messages,
// ranked best first.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "inspect/Evaluation.h"
#include "inspect/FieldTest.h"

namespace kalvorin::inspect {

// What a proposal is drawn from; proposals that count alike are shown in
// this order.
enum class Origin {
    sender,          // the sender's address
    sender_domain,   // "@" and the domain of the sender's address
    subject_phrase,  // the subject as it stands
    subject_word,    // one word of the subject
    link,            // the domain of a link in the body
    attachment,      // how an attachment's name ends
    list_header,     // a list's or a mailer's header line
    shared,          // what the subjects or sender domains of all chosen messages share
    combined,        // proposals joined with OR that together catch every chosen message
};

struct Proposal {
    std::string line;  // one field test, or for Origin::combined a group of them
    Origin origin = Origin::sender;
    std::size_t caught = 0;   // chosen messages the line matches
    std::size_t matched = 0;  // history messages it matches
    std::size_t wanted = 0;   // of those, wanted mail
};

// The field tests drawn from the messages, each once, in the order of their
// origin. Each is composed as the editor composes a test: contains ('#') or
// whole word ('"') where the text allows, otherwise a regular expression that
// spells the text with its pattern characters and keywords quoted.
std::vector<Proposal> propose(const std::vector<HostParts>& chosen);

// Wanted mail: a secure line decides the message now, or the plug-in scored
// it with the secure score.
bool is_wanted(const Verdict& now, std::optional<std::int32_t> logged_score, const PassSettings& settings);

// The line the tests make: a test alone as it is, several as the editor's
// group of them joined by kAnd or kOr.
std::string compose(const std::vector<std::string>& tests, char joiner);

// The proposals for the chosen messages, counted over them at once and over
// a history given one message at a time.
class Tally {
public:
    Tally(const std::vector<HostParts>& chosen, const PassSettings& settings);

    void history(const SeenMessage& m, bool wanted);
    std::size_t chosen() const { return chosen_; }
    // Best first: those that catch every chosen message (then those that
    // catch more), then the fewest wanted matches, then the fewest matches,
    // then by origin and the longer line.
    std::vector<Proposal> ranked() const;

private:
    void evaluate_proposals(const PassSettings& settings);
    bool matches(const SeenMessage& m, std::size_t proposal) const;

    std::vector<Proposal> proposals_;
    std::size_t chosen_ = 0;
    std::optional<Evaluation> ev_;  // one base for each proposal, its line alone in the secure list
};

}  // namespace kalvorin::inspect
