// The filter files tab's check of the lists and its last messages, and the
// check of the waiting lines before a save. The checking, the reading of the
// log and the accounts are the checker's and the list pass's; these handlers
// only show them.
#include <algorithm>
#include <array>
#include <filesystem>
#include <system_error>

#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>

#include "CodigoComun/ConfigSys.h"
#include "CodigoComun/FileNames.h"
#include "CodigoComun/Texto.h"
#include "config/Background.h"
#include "config/ErrorText.h"
#include "config/FilterLists.h"
#include "config/ListChecks.h"
#include "config/cp1252.h"
#include "config/interfaz.h"
#include "inspect/ExplainText.h"
#include "platform/errors.h"
#include "platform/textfile.h"

namespace kalvorin::config {

namespace {

QTreeWidgetItem* row(QTreeWidget* table, const std::vector<std::string>& cells, int index) {
    auto* item = new QTreeWidgetItem(table);
    for (std::size_t c = 0; c < cells.size(); ++c) item->setText(static_cast<int>(c), from_ansi(cells[c]));
    item->setData(0, Qt::UserRole, index);
    return item;
}

// The index a row was made with; -1 when no row is chosen.
int chosen(const QTreeWidget* table) {
    const QTreeWidgetItem* item = table->currentItem();
    return item ? item->data(0, Qt::UserRole).toInt() : -1;
}

// The groups the check's total counts: what stops the scoring, what may be
// passed over or decide otherwise than meant, and what never decides. A
// kind the checker adds later counts with the middle group until placed.
std::size_t total_group(lint::Kind kind) {
    if (kind == lint::Kind::stops || kind == lint::Kind::regex_error) return 0;
    if (kind == lint::Kind::duplicate || kind == lint::Kind::never_decides) return 2;
    return 1;
}

// "Findings: 11 (3 stop the scoring, 6 never decide)": words holds the
// heading and the three groups' texts; a group with no finding is left out.
std::string findings_total(const std::vector<lint::Finding>& findings, const std::array<std::string, 4>& words) {
    std::array<std::size_t, 3> counts{};
    for (const lint::Finding& x : findings) ++counts[total_group(x.kind)];
    std::string groups;
    for (std::size_t g = 0; g < counts.size(); ++g)
        if (counts[g] != 0) groups += (groups.empty() ? "" : ", ") + std::to_string(counts[g]) + " " + words[g + 1];
    return words[0] + " " + std::to_string(findings.size()) + " (" + groups + ")";
}

std::string joined(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& line : lines) out += line + "\n";
    return out;
}

// The checker's texts: a block of the language files, one line per template
// in the order of lint::Says, then the title and the opening of the box
// before a save.
constexpr int kFindingTexts = 160;
constexpr int kSaveCheckTitle = kFindingTexts + static_cast<int>(lint::Says::count);
constexpr int kSaveCheckIntro = kSaveCheckTitle + 1;

lint::Templates finding_texts(const LanguageSlots& language) {
    return [&language](lint::Says says) {
        return language[static_cast<std::size_t>(kFindingTexts - 1) + static_cast<std::size_t>(says)];
    };
}

// The account of a message's scoring: lines 227 to 259 of the language
// files, one per template in the order of inspect::Told, the rest after the
// files' line 312.
constexpr std::size_t kAccountTexts = 227;
constexpr std::size_t kAccountBlock = 33;
constexpr std::size_t kMoreAccountTexts = 313;

inspect::Wording account_texts(const LanguageSlots& language) {
    return [&language](inspect::Told t) {
        const auto i = static_cast<std::size_t>(t);
        return language[(i < kAccountBlock ? kAccountTexts + i : kMoreAccountTexts + i - kAccountBlock) - 1];
    };
}

}  // namespace

void TForm1::build_check_form() {
    frm_check = new TCheckForm(this);
    frm_check->setWindowFlag(Qt::Window);
    connect(frm_check->lst_findings, &QTreeWidget::currentItemChanged, this,
            [this] { guarded(&TForm1::lst_findingsChange); });
    connect(frm_check->btn_openlist, &QPushButton::clicked, this, [this] { guarded(&TForm1::btn_openlistClick); });
    connect(frm_check->btn_fixutf8, &QPushButton::clicked, this, [this] { guarded(&TForm1::btn_fixutf8Click); });
}

void TForm1::build_messages_form() {
    frm_messages = new TMessagesForm(this);
    frm_messages->setWindowFlag(Qt::Window);
    connect(frm_messages->lst_messages, &QTreeWidget::currentItemChanged, this,
            [this] { guarded(&TForm1::lst_messagesChange); });
    connect(frm_messages->lst_pending, &QTreeWidget::currentItemChanged, this,
            [this] { guarded(&TForm1::lst_pendingChange); });
    wire_make_line(*frm_messages);
}

// The lists as they are on disk, checked under the upper-case option as the
// window holds it, which a save would store. A list that cannot be read is
// said and the others are checked.
void TForm1::btn_checklistsClick() {
    if (!frm_check) build_check_form();
    TCheckForm& f = *frm_check;
    f.setWindowTitle(from_ansi(slot(69)));
    f.lst_findings->setHeaderLabels({from_ansi(slot(80)), from_ansi(slot(81)), from_ansi(slot(82)), from_ansi(slot(83))});
    f.btn_openlist->setText(from_ansi(slot(71)));
    f.btn_fixutf8->setText(from_ansi(slot(72)));

    // A cancelled check leaves the findings shown before.
    const bool uppercase = chk_uppercase->isChecked();
    CheckedLists read;
    std::vector<lint::Finding> found;
    if (!run_job(this, {slot(kCheckingLists), slot(kCancel)}, [&](JobControl& job) {
            read = read_lists_for_check(basefolder);
            const auto between = [&job](std::size_t done, std::size_t total) { job.step(done, total); };
            found = lint::by_severity(lint::check(read.lists, uppercase, {}, between).findings);
        }))
        return;
    checked_ = std::move(read.lists);
    findings_ = std::move(found);
    f.lst_findings->clear();
    f.mmo_finding->clear();
    for (std::size_t i = 0; i < findings_.size(); ++i) {
        const lint::Finding& x = findings_[i];
        row(f.lst_findings,
            {inspect::list_name(x.list), std::to_string(x.number),
             lint::render({lint::label(x.kind), {}}, finding_texts(language)), lint::render(x.fix, finding_texts(language))},
            static_cast<int>(i));
    }
    std::string state;
    for (const std::string& unreadable : read.unreadable) state += slot(93) + " " + unreadable + "\n";
    if (findings_.empty()) state += slot(78) + "\n";
    f.lbl_checkstate->setText(from_ansi(trim(state)));
    f.lbl_checkstate->setVisible(!state.empty());
    f.lbl_total->setText(from_ansi(findings_total(
        findings_, {slot(kFindingsTotal), slot(kFindingsTotal + 1), slot(kFindingsTotal + 2), slot(kFindingsTotal + 3)})));
    f.lbl_total->setVisible(!findings_.empty());
    f.btn_openlist->setEnabled(false);
    f.btn_fixutf8->setEnabled(false);
    f.show();
    f.raise();
    if (!findings_.empty()) f.lst_findings->setCurrentItem(f.lst_findings->topLevelItem(0));
}

const lint::Finding* TForm1::chosen_finding() const {
    const int i = frm_check ? chosen(frm_check->lst_findings) : -1;
    return i >= 0 && static_cast<std::size_t>(i) < findings_.size() ? &findings_[static_cast<std::size_t>(i)] : nullptr;
}

void TForm1::lst_findingsChange() {
    const lint::Finding* x = chosen_finding();
    frm_check->btn_openlist->setEnabled(x != nullptr);
    frm_check->btn_fixutf8->setEnabled(x && x->kind == lint::Kind::utf8 &&
                                       lint::utf8_fix(checked_.lines[x->list][x->number - 1]));
    if (!x) return;
    frm_check->mmo_finding->setPlainText(from_ansi(finding_text(*x, checked_, finding_texts(language))));
}

// As the file buttons do, in the window's language, since this box stands in
// a window of findings that speaks it.
void TForm1::btn_openlistClick() {
    const lint::Finding* x = chosen_finding();
    if (!x) return;
    const std::string path = trim(basefolder.text_list(x->list));
    if (!platform::file_exists(path, platform::Place::BaseFolder)) throw EInOutError(slot(kListMissing), path);
    if (!seam_.openFile(path)) throw EInOutError(slot(kNoListOpener), path);
}

// The list's UTF-8 lines become Windows-1252 once the user agrees; the check
// runs again on what was written.
void TForm1::btn_fixutf8Click() {
    const lint::Finding* x = chosen_finding();
    if (!x) return;
    const std::string list = basefolder.text_list(x->list);
    if (!seam_.askQuestion(frm_check, slot(72), lists()[x->list].list + "\n\n" + slot(88), slot(89), slot(90))) return;
    convert_utf8_lines(list);
    btn_checklistsClick();
}

TForm1::LastLog TForm1::read_last_log(std::size_t how_many) const {
    const std::string& path = basefolder.log();
    LastLog read;
    std::error_code ignored;
    // A folder is no file to the base folder's rules, and would pass for a
    // log not written yet.
    if (std::filesystem::symlink_status(path, ignored).type() == std::filesystem::file_type::directory) {
        read.state = slot(kLogIsFolder);
        return read;
    }
    try {
        // The plug-in creates its log when it starts; before that there is none.
        if (!platform::file_exists(path, platform::Place::BaseFolder)) {
            read.state = slot(kNoLog);
            return read;
        }
        read.tail = inspect::read_log_tail(path, how_many);
    } catch (const EInOutError& e) {
        read.state = slot(kLogUnreadable) + " " + error_text(e);
        return read;
    }
    if (read.tail.total == 0) read.state = slot(92);
    else if (read.tail.total > read.tail.messages.size())
        read.state = slot_with(kLastShown, {static_cast<std::int64_t>(read.tail.total),
                                            static_cast<std::int64_t>(read.tail.messages.size())});
    return read;
}

// The messages of the plug-in's log, explained with the lists and settings
// as stored, and what the waiting lines would change for them.
void TForm1::btn_lastmessagesClick() {
    if (!frm_messages) build_messages_form();
    TMessagesForm& f = *frm_messages;
    f.setWindowTitle(from_ansi(slot(70)));
    f.lst_messages->setHeaderLabels({from_ansi(slot(84)), from_ansi(slot(85)), from_ansi(slot(86))});
    f.lst_pending->setHeaderLabels({from_ansi(slot(84)), from_ansi(slot(85)), from_ansi(slot(87))});

    // The reading and the scoring run as a job; a cancelled one leaves the
    // window as it was. The settings are read here, on the window's thread.
    const inspect::PassSettings settings = inspect::PassSettings::from_store();
    const std::size_t how_many =
        std::min<std::size_t>(settings::logsize_in_force(clsConfigSys().get_logsize()), kMostMessagesShown);
    std::string log_state;
    std::vector<inspect::LoggedMessage> logged;
    std::optional<inspect::Evaluation> evaluation;
    std::vector<std::int32_t> scores;
    std::vector<inspect::LoggedChange> changes;
    std::string state;
    std::size_t waiting = 0;
    if (!run_job(this, {slot(kReadingLog), slot(kCancel)}, [&](JobControl& job) {
            LastLog last = read_last_log(how_many);
            logged = std::move(last.tail.messages);
            log_state = std::move(last.state);
            const CheckedLists now = read_lists_for_check(basefolder);
            for (const std::string& unreadable : now.unreadable) state += slot(93) + " " + unreadable + "\n";
            // Without the waiting lines the lists stay as they are, and that is said.
            inspect::FilterLists after = now.lists;
            try {
                const ListsAfterSave saved = lists_after_save(basefolder);
                after = saved.lists;
                for (std::size_t l = 0; l < after.lines.size(); ++l)
                    waiting += after.lines[l].size() - 1 - saved.kept[l];
            } catch (const EInOutError& e) {
                state += slot(95) + " " + (e.path().empty() ? "" : e.path() + ": ") + e.what() + "\n";
            }
            evaluation.emplace(settings, std::vector<inspect::FilterLists>{now.lists, after});
            for (const inspect::LoggedMessage& m : logged) {
                if (job.cancelled()) return;
                job.progress(scores.size(), logged.size());
                scores.push_back(evaluation->score(inspect::see(m, evaluation->settings())).score);
            }
            changes = inspect::changes(*evaluation, logged);
        }))
        return;
    f.lst_messages->clear();
    f.lst_pending->clear();
    f.mmo_why->clear();
    logged_ = std::move(logged);
    evaluation_ = std::move(evaluation);
    changes_ = std::move(changes);

    // The score the plug-in gave, and the one the lists give now where it differs.
    for (std::size_t i = 0; i < logged_.size(); ++i) {
        const inspect::LoggedMessage& m = logged_[i];
        const std::int32_t score = scores[i];
        std::string shown = m.logged_score ? int_to_str(*m.logged_score) : slot(kUnfinished);
        if (m.logged_score != score) shown += " (" + slot(96) + " " + int_to_str(score) + ")";
        row(f.lst_messages, {m.sender(), m.subject(), trim(shown)}, static_cast<int>(i));
    }
    const inspect::Wording words = account_texts(language);
    for (std::size_t i = 0; i < changes_.size(); ++i) {
        const inspect::Change& c = changes_[i].change;
        const inspect::LoggedMessage& m = logged_[changes_[i].message];
        row(f.lst_pending,
            {m.sender(), m.subject(),
             inspect::decider(c.before, words) + " -> " + inspect::decider(c.after, words) + ", " +
                 std::to_string(c.before.score) + " -> " + std::to_string(c.after.score)},
            static_cast<int>(i));
    }

    state += log_state;
    f.lbl_logstate->setText(from_ansi(trim(state)));
    f.lbl_logstate->setVisible(!state.empty());
    std::string pending = slot(73);
    if (waiting == 0) pending += "\n" + slot(91);
    else if (changes_.empty() && !logged_.empty()) pending += "\n" + slot(79);
    f.lbl_pending->setText(from_ansi(pending));
    f.show();
    f.raise();
    if (!logged_.empty()) f.lst_messages->setCurrentItem(f.lst_messages->topLevelItem(0));
}

// The account of the chosen message as the list pass gives it now, with what
// the log could not give back whole.
void TForm1::lst_messagesChange() {
    const int i = chosen(frm_messages->lst_messages);
    if (i < 0 || !evaluation_) return;
    const inspect::LoggedMessage& m = logged_[static_cast<std::size_t>(i)];
    const inspect::SeenMessage seen = inspect::see(m, evaluation_->settings());
    const inspect::Explained e = evaluation_->explain(seen);
    const inspect::Wording words = account_texts(language);
    std::string text = joined(inspect::account_lines(*evaluation_, seen, e, 0, words));
    // The log's own reason before its score: the score of a stopped message
    // is only what it reached.
    if (m.stopped) text += slot(kStoppedWhy) + " " + *m.stopped + "\n";
    else if (!m.logged_score) text += slot(kUnfinishedWhy) + "\n";
    else if (*m.logged_score != e.verdict.score) text += slot(94) + " " + std::to_string(*m.logged_score) + "\n";
    const std::string notes = joined(inspect::part_notes(m, *evaluation_, words));
    if (!notes.empty()) text += "\n" + notes;
    frm_messages->mmo_why->setPlainText(from_ansi(text));
}

void TForm1::lst_pendingChange() {
    const int i = chosen(frm_messages->lst_pending);
    if (i < 0) return;
    const inspect::Change& c = changes_[static_cast<std::size_t>(i)].change;
    const inspect::Wording words = account_texts(language);
    frm_messages->mmo_why->setPlainText(
        from_ansi(inspect::told(inspect::Told::before, words, {inspect::account(*evaluation_, 0, c.before, words)}) +
                  "\n" +
                  inspect::told(inspect::Told::after, words, {inspect::account(*evaluation_, 1, c.after, words)}) +
                  "\n"));
}

// Lines that would end the scoring are named before they reach a list; the
// user may still save them. A check that cannot read its files leaves the
// save to meet and report the failure as it would without the check.
// A cancelled check saves nothing, as going back does.
bool TForm1::waiting_lines_confirmed() {
    const bool uppercase = chk_uppercase->isChecked();
    std::optional<ListsAfterSave> after;
    std::vector<lint::Finding> faults;
    if (!run_job(this, {slot(kCheckingWaiting), slot(kCancel)}, [&](JobControl& job) {
            try {
                after = lists_after_save(basefolder);
            } catch (const EInOutError&) {
                return;
            }
            faults = faults_in_waiting_lines(*after, uppercase,
                                             [&job](std::size_t done, std::size_t total) { job.step(done, total); });
        }))
        return false;
    if (!after || faults.empty()) return true;
    return seam_.askQuestion(this, slot(kSaveCheckTitle), slot(kSaveCheckIntro) + "\n\n" +
                                                              faults_text(faults, after->lists, finding_texts(language)),
                             slot(76),
                             slot(77));
}

}  // namespace kalvorin::config
