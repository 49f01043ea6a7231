// The editor tab: composing filter lines on the five level lines.
#include <array>
#include <string_view>
#include <vector>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include "config/FilterLists.h"
#include "config/cp1252.h"
#include "config/interfaz.h"
#include "platform/textfile.h"

namespace kalvorin::config {

namespace {

// The one-character code that starts the chosen item of a pick-list.
std::optional<char> chosen_code(const QComboBox* box) {
    if (box->currentIndex() < 0) return std::nullopt;
    const std::string item = to_ansi(box->currentText());
    if (item.empty()) return std::nullopt;
    return item.front();
}

}  // namespace

std::optional<TestKind> TForm1::chosen_kind(const QComboBox* fields, const QComboBox* operators,
                                                    const QComboBox* delimiters) {
    const std::optional<char> field = chosen_code(fields);
    const std::optional<char> op = chosen_code(operators);
    const std::optional<char> delimiter = chosen_code(delimiters);
    if (!field || !op || !delimiter) return std::nullopt;
    return TestKind::from_codes(*field, *op, *delimiter);
}

// ---------------------------------------------------------------- level lines

QLineEdit* TForm1::level_line(int level) const {
    const std::array<QLineEdit*, kLevels> lines = {edt_0, edt_1, edt_2, edt_3, edt_4};
    return lines.at(static_cast<std::size_t>(level));
}

QCheckBox* TForm1::level_box(int level) const {
    const std::array<QCheckBox*, kLevels> boxes = {chk_L0, chk_l1, chk_l2, chk_l3, chk_l4};
    return boxes.at(static_cast<std::size_t>(level));
}

std::string TForm1::level_text(int level) const { return to_ansi(level_line(level)->text()); }

void TForm1::set_level_text(int level, const std::string& text) { level_line(level)->setText(from_ansi(text)); }

int TForm1::selection_count() const {
    int n = 0;
    for (int level = 0; level < kLevels; ++level)
        if (level_box(level)->isChecked()) ++n;
    return n;
}

// Levels 2 to 4: a filled line's box may be ticked unless the box above has
// locked it; an empty line's box is cleared and locked.
void TForm1::keep_box_in_step(int level, const QCheckBox* above) {
    QCheckBox* box = level_box(level);
    if (level_text(level).empty()) {
        box->setChecked(false);
        box->setEnabled(false);
    } else if (above == nullptr || !above->isChecked()) {
        box->setEnabled(true);
    }
}

void TForm1::edt_0Change() { chk_L0->setChecked(!level_text(0).empty()); }
void TForm1::edt_1Change() { chk_l1->setChecked(!level_text(1).empty()); }
void TForm1::edt_2Change() { keep_box_in_step(2, chk_l3); }
void TForm1::edt_3Change() { keep_box_in_step(3, chk_l4); }
void TForm1::edt_4Change() { keep_box_in_step(4, nullptr); }

// A ticked box selects every line below it too, and locks the boxes between
// so that the selection always runs from level 0 upward.
void TForm1::chk_l2Click() {
    if (!chk_l2->isChecked()) return;
    chk_l1->setChecked(true);
    chk_L0->setChecked(true);
}

void TForm1::chk_l3Click() {
    if (!chk_l3->isChecked()) {
        chk_l2->setEnabled(true);
        return;
    }
    chk_l2->setChecked(true);
    chk_l2->setEnabled(false);
    chk_l1->setChecked(true);
    chk_L0->setChecked(true);
}

void TForm1::chk_l4Click() {
    if (!chk_l4->isChecked()) {
        chk_l3->setEnabled(true);
        return;
    }
    chk_l3->setEnabled(false);
    chk_l2->setEnabled(false);
    chk_l3->setChecked(true);
    chk_l2->setChecked(true);
    chk_l1->setChecked(true);
    chk_L0->setChecked(true);
}

void TForm1::chk_expertClick() {
    btn_saveall->setEnabled(true);
    for (int level = 0; level < kLevels; ++level) level_line(level)->setReadOnly(!chk_expert->isChecked());
}

// ---------------------------------------------------------------- composing

// The oldest line, on level 4, falls off the stack.
void TForm1::push_test(const std::string& test) {
    for (int level = kLevels - 1; level > 0; --level) set_level_text(level, level_text(level - 1));
    set_level_text(0, test);
}

void TForm1::move_down() {
    for (int level = 0; level < kLevels - 1; ++level) set_level_text(level, level_text(level + 1));
    set_level_text(kLevels - 1, "");
}

// No line-break check here: the text box itself keeps only one line of what
// is pasted or set (single_line in interfaz.cpp), so a test never spans two
// lines of a list.
void TForm1::btn_addClick() {
    const std::optional<TestKind> kind = chosen_kind(cbox_record, cbox_have, cbox_tstring);
    const std::string text = to_ansi(edt_string->text());
    if (!kind || text.empty() || kind->refusal(text) != Refusal::None) return;
    push_test(kind->test(text));
}

// The selected lines, newest first, become one group on level 0. Two requests
// are refused silently, since neither makes a line the filter code can
// evaluate: nothing selected ("()"), and a selection without level 0, which
// only typing in expert mode can leave and which would start the group with
// the joiner.
void TForm1::combine(char joiner) {
    const int n = selection_count();
    std::array<bool, kLevels> joined{};
    for (int level = 0; level < kLevels; ++level)
        joined[static_cast<std::size_t>(level)] = level_box(level)->isChecked() && !level_text(level).empty();
    if (!joined[0]) return;

    std::vector<std::string> lines;
    for (int level = 0; level < kLevels; ++level) {
        if (!joined[static_cast<std::size_t>(level)]) continue;
        lines.push_back(level_text(level));
        set_level_text(level, "");
    }
    set_level_text(0, inspect::group(lines, joiner));

    // Close the gap that the joined lines left.
    switch (n) {
        case 2:
            set_level_text(1, level_text(2));
            set_level_text(2, level_text(3));
            set_level_text(3, level_text(4));
            set_level_text(4, "");
            break;
        case 3:
            set_level_text(1, level_text(3));
            set_level_text(2, level_text(4));
            set_level_text(4, "");
            set_level_text(3, "");
            break;
        case 4:
            set_level_text(1, level_text(4));
            set_level_text(4, "");
            break;
        default:
            break;
    }
    // Clearing a box above unlocks the one below it, also on an emptied line.
    for (int level = 1; level < kLevels; ++level)
        if (level_text(level).empty()) level_box(level)->setEnabled(false);
}

void TForm1::btn_andClick() { combine(inspect::kAnd); }
void TForm1::btn_orClick() { combine(inspect::kOr); }

void TForm1::btn_rotateClick() {
    const int n = selection_count();
    if (n < 2) return;
    const std::string kept = level_text(n - 1);
    for (int level = n - 1; level > 0; --level) set_level_text(level, level_text(level - 1));
    set_level_text(0, kept);
}

void TForm1::btn_clearClick() { move_down(); }

// ---------------------------------------------------------------- adding to a list

void TForm1::add_waiting_line(const std::string& pending, const std::string& line) {
    platform::append_line(basefolder.file(pending), line, platform::Place::BaseFolder);
    btn_saveall->setEnabled(true);
}

// The append comes first, so a failed one leaves the editor as it was.
void TForm1::add_to_list(const std::string& pending) {
    const std::string line = level_text(0);
    if (line.empty()) return;
    add_waiting_line(pending, line);
    move_down();
}

void TForm1::btn_addsecureClick() { add_to_list(lists()[0].pending); }
void TForm1::btn_addtrashClick() { add_to_list(lists()[1].pending); }
void TForm1::btn_addsuspectClick() { add_to_list(lists()[2].pending); }

}  // namespace kalvorin::config
