// The filter files tab's "Line use": what each filter line decided among the
// messages of the plug-in's log. The counting is the list pass's; these
// handlers show it, export it and open a line's list.
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>

#include "CodigoComun/FileNames.h"
#include "CodigoComun/Texto.h"
#include "config/Background.h"
#include "config/FilterLists.h"
#include "config/ListChecks.h"
#include "config/cp1252.h"
#include "config/interfaz.h"
#include "platform/errors.h"
#include "platform/textfile.h"

namespace kalvorin::config {

namespace {

// The order the list pass tries the lines in.
long long pass_order(inspect::LineAt at) {
    return static_cast<long long>(at.list) << 32 | static_cast<long long>(at.number);
}

// Where a line stands, such as "trash.filters.txt (Line 4)".
std::string place_of(inspect::LineAt at, const std::string& line_word) {
    return lists()[at.list].list + " (" + line_word + " " + std::to_string(at.number) + ")";
}

// The row of a line; index is its place in the report.
void add_row(QTreeWidget* table, const inspect::LineUse& u, int index, const std::string& line,
             const std::string& note, std::size_t messages) {
    auto* row = new TLineUseRow(table, pass_order(u.at));
    row->setData(0, Qt::UserRole, index);
    const std::string cells[] = {lists()[u.at.list].list, std::to_string(u.at.number), std::to_string(u.decided),
                                 u.ago ? std::to_string(*u.ago) : "", note, line};
    for (int c = 0; c < TLineUseForm::kColumns; ++c) row->setText(c, from_ansi(cells[c]));
    row->set_key(TLineUseForm::kList, static_cast<long long>(u.at.list));
    row->set_key(TLineUseForm::kNumber, static_cast<long long>(u.at.number));
    row->set_key(TLineUseForm::kDecided, static_cast<long long>(u.decided));
    // A line that never decided sorts after the oldest that did.
    row->set_key(TLineUseForm::kLast, static_cast<long long>(u.ago ? *u.ago : messages));
    row->set_key(TLineUseForm::kNote, u.unused() ? 2LL : u.others_decide ? 1LL : 0LL);
    row->set_key(TLineUseForm::kLine, QByteArray::fromStdString(line));
}

}  // namespace

void TForm1::build_use_form() {
    frm_use = new TLineUseForm(this);
    frm_use->setWindowFlag(Qt::Window);
    connect(frm_use->lst_use, &QTreeWidget::currentItemChanged, this, [this] { guarded(&TForm1::lst_useChange); });
    connect(frm_use->btn_uselist, &QPushButton::clicked, this, [this] { guarded(&TForm1::btn_uselistClick); });
    connect(frm_use->btn_useexport, &QPushButton::clicked, this, [this] { guarded(&TForm1::btn_useexportClick); });
}

// The logged messages scored with the lists on disk and the stored settings,
// as the plug-in would score them today. A list or a log that cannot be read
// is named, and the rest counted; a cancelled count leaves the window as it was.
void TForm1::btn_lineuseClick() {
    if (!frm_use) build_use_form();
    TLineUseForm& f = *frm_use;
    f.setWindowTitle(from_ansi(slot(kUseTitle)));
    QStringList headers;
    for (int c = 0; c < TLineUseForm::kColumns; ++c) headers << from_ansi(slot(kUseColumns + c));
    f.lst_use->setHeaderLabels(headers);
    f.btn_uselist->setText(from_ansi(slot(kUseOpenList)));
    f.btn_useexport->setText(from_ansi(slot(kUseExport)));

    const inspect::PassSettings settings = inspect::PassSettings::from_store();
    const std::string& log = basefolder.log();
    CheckedLists read;
    std::vector<inspect::LoggedMessage> logged;
    inspect::LineUseReport report;
    std::string state;
    bool have_log = false;
    bool log_read = true;
    if (!run_job(this, {slot(kUseCounting), slot(kUseCancel)}, [&](JobControl& job) {
            read = read_lists_for_check(basefolder);
            for (const std::string& unreadable : read.unreadable) state += slot(kUseUnreadable) + " " + unreadable + "\n";
            try {
                have_log = platform::file_exists(log, platform::Place::BaseFolder);
                if (have_log) logged = inspect::logged_history(log);
            } catch (const EInOutError& e) {
                state += slot(kUseUnreadable) + " " + (e.path().empty() ? log : e.path()) + ": " + e.what() + "\n";
                log_read = false;
            }
            report = inspect::line_use(settings, read.lists, logged, [&](std::size_t done, std::size_t total) {
                job.progress(done, total);
                return !job.cancelled();
            });
        }))
        return;
    // Emptied first: a row of the last count must not be read against this one.
    f.lst_use->setSortingEnabled(false);
    f.lst_use->clear();
    // A log that could not be read is named above; else how many messages count, or why none.
    if (log_read && !have_log) state += slot(kUseNoLog);
    else if (log_read && logged.empty()) state += slot(kUseNoMessage);
    else if (log_read) state += slot(kUseScored) + " " + std::to_string(logged.size());
    use_ = std::move(report);
    use_lists_ = std::move(read.lists);
    use_last_.clear();
    for (const inspect::LineUse& u : use_.lines) {
        const inspect::LoggedMessage* m = u.ago ? &logged[logged.size() - 1 - *u.ago] : nullptr;
        use_last_.push_back(m ? m->sender() + " | " + m->subject() : "");
    }

    for (std::size_t i = 0; i < use_.lines.size(); ++i) {
        const inspect::LineUse& u = use_.lines[i];
        const std::string note = u.unused() ? slot(kUseUnused) : u.others_decide ? slot(kUseOthersDecide) : "";
        add_row(f.lst_use, u, static_cast<int>(i), use_lists_.lines[u.at.list][u.at.number - 1], note, use_.messages);
    }
    f.lst_use->setSortingEnabled(true);
    f.lst_use->sortByColumn(TLineUseForm::kDecided, Qt::DescendingOrder);

    f.lbl_usestate->setText(from_ansi(trim(state)));
    f.mmo_useline->clear();
    f.lbl_usegoto->clear();
    f.btn_uselist->setEnabled(false);
    f.btn_useexport->setEnabled(!use_.lines.empty());
    f.show();
    f.raise();
    if (f.lst_use->topLevelItemCount() > 0) f.lst_use->setCurrentItem(f.lst_use->topLevelItem(0));
}

const inspect::LineUse* TForm1::chosen_use() const {
    const QTreeWidgetItem* item = frm_use ? frm_use->lst_use->currentItem() : nullptr;
    return item ? &use_.lines[static_cast<std::size_t>(item->data(0, Qt::UserRole).toInt())] : nullptr;
}

void TForm1::lst_useChange() {
    const inspect::LineUse* u = chosen_use();
    frm_use->btn_uselist->setEnabled(u != nullptr);
    frm_use->lbl_usegoto->clear();
    if (!u) return;
    const std::string& last = use_last_[static_cast<std::size_t>(u - use_.lines.data())];
    std::string text = place_of(u->at, slot(kUseColumns + 1)) + ":\n" + use_lists_.lines[u->at.list][u->at.number - 1];
    if (!last.empty()) text += "\n\n" + slot(kUseLastDecided) + " " + last;
    frm_use->mmo_useline->setPlainText(from_ansi(text));
}

// As the check's "Open the list" does; a text editor cannot be told the line,
// so the window says it.
void TForm1::btn_uselistClick() {
    const inspect::LineUse* u = chosen_use();
    if (!u) return;
    const std::string& name = lists()[u->at.list].list;
    const std::string path = trim(basefolder.file(name));
    if (!platform::file_exists(path, platform::Place::BaseFolder)) throw EInOutError(slot(kListMissing), path);
    if (!seam_.openFile(path)) throw EInOutError(slot(kNoListOpener), path);
    frm_use->lbl_usegoto->setText(from_ansi(name + ": " + slot(kUseGoTo) + " " + std::to_string(u->at.number)));
}

// The rows in the order the table shows them, in the form kalvorin-lint
// --usage prints, so a script reads either.
void TForm1::btn_useexportClick() {
    const std::optional<std::string> path = seam_.saveFileDialog(frm_use, "tsv");
    if (!path) return;
    inspect::LineUseReport shown;
    shown.messages = use_.messages;
    for (int r = 0; r < frm_use->lst_use->topLevelItemCount(); ++r)
        shown.lines.push_back(
            use_.lines[static_cast<std::size_t>(frm_use->lst_use->topLevelItem(r)->data(0, Qt::UserRole).toInt())]);
    platform::write_file(*path, inspect::line_use_tsv(shown, use_lists_));
}

}  // namespace kalvorin::config
