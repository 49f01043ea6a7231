// "Make a line": tests proposed for the messages chosen in the last messages,
// counted over the messages of the log, composed into a line that is added
// as a waiting line, as the editor's add buttons add one.
#include <algorithm>

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QTreeWidget>

#include "config/FilterLists.h"
#include "config/cp1252.h"
#include "config/interfaz.h"

namespace kalvorin::config {

namespace {

// The block of language slots of this window, as offsets from its first.
constexpr int kMakeSlots = 100;
enum MakeSlot : int {
    kButton,
    kTitle,
    kHint,
    kTestColumn,
    kCaughtColumn,
    kMatchedColumn,
    kWantedColumn,
    kJoin,
    kAnd,
    kOr,
    kToList,
    kSecure,
    kTrash,
    kSuspect,
    kAdd,
    kNothingDrawn,
    kWouldAdd,
    kAdded,
};

// The list a line made from spam is most often meant for.
constexpr int kTrashList = 1;

char chosen_joiner(const TMakeLineForm& f) { return f.rd_makeand->isChecked() ? inspect::kAnd : inspect::kOr; }

}  // namespace

void TForm1::wire_make_line(TMessagesForm& f) {
    f.btn_makeline->setText(from_ansi(slot(kMakeSlots + kButton)));
    connect(f.btn_makeline, &QPushButton::clicked, this, [this] { guarded(&TForm1::btn_makelineClick); });
    connect(f.lst_messages, &QTreeWidget::itemSelectionChanged, this,
            [this] { frm_messages->btn_makeline->setEnabled(!frm_messages->lst_messages->selectedItems().empty()); });
}

void TForm1::build_makeline_form() {
    frm_makeline = new TMakeLineForm(this);
    TMakeLineForm& f = *frm_makeline;
    f.setWindowFlag(Qt::Window);
    f.setWindowTitle(from_ansi(slot(kMakeSlots + kTitle)));
    f.lbl_makehint->setText(from_ansi(slot(kMakeSlots + kHint)));
    QStringList columns;
    for (const int column : {kTestColumn, kCaughtColumn, kMatchedColumn, kWantedColumn})
        columns << from_ansi(slot(kMakeSlots + column));
    f.lst_proposals->setHeaderLabels(columns);
    f.lbl_makejoin->setText(from_ansi(slot(kMakeSlots + kJoin)));
    f.rd_makeand->setText(from_ansi(slot(kMakeSlots + kAnd)));
    f.rd_makeor->setText(from_ansi(slot(kMakeSlots + kOr)));
    f.lbl_makelist->setText(from_ansi(slot(kMakeSlots + kToList)));
    for (const int list : {kSecure, kTrash, kSuspect}) f.cbox_makelist->addItem(from_ansi(slot(kMakeSlots + list)));
    f.cbox_makelist->setCurrentIndex(kTrashList);
    f.btn_makeadd->setText(from_ansi(slot(kMakeSlots + kAdd)));
    connect(f.lst_proposals, &QTreeWidget::itemChanged, this, [this] { guarded(&TForm1::lst_proposalsChange); });
    connect(f.rd_makeand, &QRadioButton::toggled, this, [this] { guarded(&TForm1::lst_proposalsChange); });
    connect(f.btn_makeadd, &QPushButton::clicked, this, [this] { guarded(&TForm1::btn_makeaddClick); });
}

// Wanted mail among the logged messages is what a secure line decides now or
// what the plug-in scored secure: a proposal that matches it would be a
// false positive.
void TForm1::btn_makelineClick() {
    if (!frm_messages || !evaluation_) return;
    std::vector<int> rows;
    for (const QTreeWidgetItem* item : frm_messages->lst_messages->selectedItems())
        rows.push_back(item->data(0, Qt::UserRole).toInt());
    if (rows.empty()) return;
    std::sort(rows.begin(), rows.end());
    std::vector<inspect::HostParts> chosen;
    for (const int i : rows) chosen.push_back(logged_[static_cast<std::size_t>(i)].parts);

    const inspect::PassSettings& settings = evaluation_->settings();
    inspect::Tally tally(chosen, settings);
    for (const inspect::LoggedMessage& m : logged_) {
        const inspect::SeenMessage seen = inspect::see(m, settings);
        tally.history(seen, inspect::is_wanted(evaluation_->score(seen), m.logged_score, settings));
    }
    proposals_ = tally.ranked();

    if (!frm_makeline) build_makeline_form();
    TMakeLineForm& f = *frm_makeline;
    const QSignalBlocker quiet(f.lst_proposals);
    f.lst_proposals->clear();
    for (std::size_t i = 0; i < proposals_.size(); ++i) {
        const inspect::Proposal& p = proposals_[i];
        auto* item = new QTreeWidgetItem(f.lst_proposals);
        item->setText(0, from_ansi(p.line));
        item->setText(1, QString::number(p.caught) + " / " + QString::number(tally.chosen()));
        item->setText(2, QString::number(p.matched));
        item->setText(3, QString::number(p.wanted));
        item->setData(0, Qt::UserRole, static_cast<int>(i));
        // The best proposal is ticked, so that Add makes a line at once.
        item->setCheckState(0, i == 0 ? Qt::Checked : Qt::Unchecked);
    }
    f.lbl_makehint->setText(from_ansi(slot(kMakeSlots + (proposals_.empty() ? kNothingDrawn : kHint))));
    lst_proposalsChange();
    f.show();
    f.raise();
}

std::vector<std::string> TForm1::ticked_tests() const {
    std::vector<std::string> tests;
    const QTreeWidget* table = frm_makeline->lst_proposals;
    for (int r = 0; r < table->topLevelItemCount(); ++r) {
        const QTreeWidgetItem* item = table->topLevelItem(r);
        if (item->checkState(0) == Qt::Checked)
            tests.push_back(proposals_[static_cast<std::size_t>(item->data(0, Qt::UserRole).toInt())].line);
    }
    return tests;
}

void TForm1::lst_proposalsChange() {
    TMakeLineForm& f = *frm_makeline;
    const std::vector<std::string> tests = ticked_tests();
    f.btn_makeadd->setEnabled(!tests.empty());
    f.lbl_makeline->setText(
        tests.empty() ? QString()
                      : from_ansi(slot(kMakeSlots + kWouldAdd) + " " + inspect::compose(tests, chosen_joiner(f))));
}

// The last messages are read again at once, so that their dry run shows what
// the new line changes.
void TForm1::btn_makeaddClick() {
    TMakeLineForm& f = *frm_makeline;
    const std::vector<std::string> tests = ticked_tests();
    if (tests.empty()) return;
    const std::string line = inspect::compose(tests, chosen_joiner(f));
    add_waiting_line(lists()[static_cast<std::size_t>(f.cbox_makelist->currentIndex())].pending, line);
    f.lbl_makeline->setText(from_ansi(slot(kMakeSlots + kAdded) + " " + line));
    btn_lastmessagesClick();
    f.raise();
}

}  // namespace kalvorin::config
