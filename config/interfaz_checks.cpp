// The filter files tab's check of the lists and its last messages, and the
// check of the waiting lines before a save. The checking, the reading of the
// log and the accounts are the checker's and the list pass's; these handlers
// only show them.
#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>

#include "CodigoComun/ConfigSys.h"
#include "CodigoComun/FileNames.h"
#include "CodigoComun/Texto.h"
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

std::string joined(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& line : lines) out += line + "\n";
    return out;
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

    const CheckedLists read = read_lists_for_check(basefolder);
    checked_ = read.lists;
    findings_ = lint::by_severity(lint::check(checked_, chk_uppercase->isChecked()).findings);
    f.lst_findings->clear();
    f.mmo_finding->clear();
    for (std::size_t i = 0; i < findings_.size(); ++i) {
        const lint::Finding& x = findings_[i];
        row(f.lst_findings, {inspect::list_name(x.list), std::to_string(x.number), lint::kind_name(x.kind), x.text},
            static_cast<int>(i));
    }
    std::string state;
    for (const std::string& unreadable : read.unreadable) state += slot(93) + " " + unreadable + "\n";
    if (findings_.empty()) state += slot(78) + "\n";
    f.lbl_checkstate->setText(from_ansi(trim(state)));
    f.lbl_checkstate->setVisible(!state.empty());
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
    frm_check->mmo_finding->setPlainText(
        from_ansi(std::string(inspect::list_name(x->list)) + " line " + std::to_string(x->number) + ":\n" +
                  checked_.lines[x->list][x->number - 1] + "\n\n" + lint::kind_name(x->kind) + ": " + x->text));
}

void TForm1::btn_openlistClick() {
    if (const lint::Finding* x = chosen_finding()) open_in_shell(lists()[x->list].list);
}

// The list's UTF-8 lines become Windows-1252 once the user agrees; the check
// runs again on what was written.
void TForm1::btn_fixutf8Click() {
    const lint::Finding* x = chosen_finding();
    if (!x) return;
    const std::string list = basefolder + lists()[x->list].list;
    if (!seam_.askQuestion(frm_check, slot(72), lists()[x->list].list + "\n\n" + slot(88), slot(89), slot(90))) return;
    convert_utf8_lines(list);
    btn_checklistsClick();
}

// The messages of the plug-in's log, explained with the lists and settings
// as stored, and what the waiting lines would change for them.
void TForm1::btn_lastmessagesClick() {
    if (!frm_messages) build_messages_form();
    TMessagesForm& f = *frm_messages;
    f.setWindowTitle(from_ansi(slot(70)));
    f.lst_messages->setHeaderLabels({from_ansi(slot(84)), from_ansi(slot(85)), from_ansi(slot(86))});
    f.lst_pending->setHeaderLabels({from_ansi(slot(84)), from_ansi(slot(85)), from_ansi(slot(87))});
    f.lst_messages->clear();
    f.lst_pending->clear();
    f.mmo_why->clear();
    evaluation_.reset();
    changes_.clear();

    // The plug-in creates its log when it starts; before that there is none.
    const std::string log = basefolder + kLogName;
    logged_ = platform::file_exists(log, platform::Place::BaseFolder)
                  ? inspect::read_log(log)
                  : std::vector<inspect::LoggedMessage>{};
    const CheckedLists now = read_lists_for_check(basefolder);
    std::string state;
    for (const std::string& unreadable : now.unreadable) state += slot(93) + " " + unreadable + "\n";
    // Without the waiting lines the lists stay as they are, and that is said.
    inspect::FilterLists after = now.lists;
    std::size_t waiting = 0;
    try {
        const ListsAfterSave saved = lists_after_save(basefolder);
        after = saved.lists;
        for (std::size_t l = 0; l < after.lines.size(); ++l) waiting += after.lines[l].size() - 1 - saved.kept[l];
    } catch (const EInOutError& e) {
        state += slot(95) + " " + (e.path().empty() ? "" : e.path() + ": ") + e.what() + "\n";
    }
    evaluation_.emplace(inspect::PassSettings::from_store(), std::vector<inspect::FilterLists>{now.lists, after});

    // The score the plug-in gave, and the one the lists give now where it differs.
    for (std::size_t i = 0; i < logged_.size(); ++i) {
        const inspect::LoggedMessage& m = logged_[i];
        const std::int32_t score = evaluation_->score(inspect::see(m, evaluation_->settings())).score;
        std::string shown = m.logged_score ? int_to_str(*m.logged_score) : "";
        if (m.logged_score != score) shown += " (" + slot(96) + " " + int_to_str(score) + ")";
        row(f.lst_messages, {m.sender(), m.subject(), trim(shown)}, static_cast<int>(i));
    }
    changes_ = inspect::changes(*evaluation_, logged_);
    for (std::size_t i = 0; i < changes_.size(); ++i) {
        const inspect::LoggedChange& c = changes_[i];
        const inspect::LoggedMessage& m = logged_[c.message];
        row(f.lst_pending,
            {m.sender(), m.subject(),
             c.change.from + " -> " + c.change.to + ", " + std::to_string(c.change.before.score) + " -> " +
                 std::to_string(c.change.after.score)},
            static_cast<int>(i));
    }

    if (logged_.empty()) state += slot(92);
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
    std::string text = joined(inspect::account_lines(*evaluation_, seen, e));
    if (m.logged_score && *m.logged_score != e.verdict.score)
        text += slot(94) + " " + std::to_string(*m.logged_score) + "\n";
    const std::string notes = joined(inspect::part_notes(m));
    if (!notes.empty()) text += "\n" + notes;
    frm_messages->mmo_why->setPlainText(from_ansi(text));
}

void TForm1::lst_pendingChange() {
    const int i = chosen(frm_messages->lst_pending);
    if (i < 0) return;
    const inspect::Change& c = changes_[static_cast<std::size_t>(i)].change;
    frm_messages->mmo_why->setPlainText(
        from_ansi("before: " + c.before_account + "\nafter:  " + c.after_account + "\n"));
}

// Lines that would end the scoring are named before they reach a list; the
// user may still save them. A check that cannot read its files leaves the
// save to meet and report the failure as it would without the check.
bool TForm1::waiting_lines_confirmed() {
    std::optional<ListsAfterSave> after;
    try {
        after = lists_after_save(basefolder);
    } catch (const EInOutError&) {
        return true;
    }
    const std::vector<lint::Finding> faults = faults_in_waiting_lines(*after, chk_uppercase->isChecked());
    if (faults.empty()) return true;
    return seam_.askQuestion(this, slot(74), slot(75) + "\n\n" + faults_text(faults, after->lists), slot(76),
                             slot(77));
}

}  // namespace kalvorin::config
