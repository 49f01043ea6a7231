#pragma once
// Work that may take more than a moment (a check of the lists, a read of the
// log), run off the window's thread so that the window keeps painting. After
// a short delay a progress box with Cancel shows. Meanwhile the windows take
// no input but the box's, so no other handler runs while the job uses the
// filter code, whose per-message state is process-wide; for the same reason
// only one job runs at a time in the process.
#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <string>

class QWidget;

namespace kalvorin::config {

// What a running job shares with the window.
// What JobControl::step throws once the user cancelled: it unwinds a job
// from inside work that has no other way to stop, and run_job takes it as
// the job's end.
struct JobCancelled {};

class JobControl {
public:
    // True once the user cancelled; the job stops at its next step.
    bool cancelled() const { return cancelled_.load(); }
    void cancel() { cancelled_.store(true); }
    // How far the job is: done of total steps; total 0 when not known.
    void progress(std::size_t done, std::size_t total) {
        done_.store(done);
        total_.store(total);
    }
    // Progress, and the job ends here once the user cancelled.
    void step(std::size_t done, std::size_t total) {
        progress(done, total);
        if (cancelled()) throw JobCancelled{};
    }
    std::size_t done() const { return done_.load(); }
    std::size_t total() const { return total_.load(); }

private:
    std::atomic<bool> cancelled_{false};
    std::atomic<std::size_t> done_{0};
    std::atomic<std::size_t> total_{0};
};

struct ProgressTexts {
    std::string label;   // what the job does, in the window's language
    std::string cancel;  // the Cancel button
};

// Long enough that a job of a moment shows no box at all.
inline constexpr std::chrono::milliseconds kProgressDelay{400};

// Runs the job on a thread of its own and returns when it has ended, the
// window's events going on meanwhile. True when the job ran to its end;
// false when the user cancelled it, or when another job was running (then
// this one does not run). An error the job raised is raised again here. The
// job must not touch a widget.
bool run_job(QWidget* owner, const ProgressTexts& texts, const std::function<void(JobControl&)>& job,
             std::chrono::milliseconds delay = kProgressDelay);

}  // namespace kalvorin::config
