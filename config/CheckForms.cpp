#include "config/CheckForms.h"

#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <initializer_list>

#include "config/Named.h"

namespace kalvorin::config {

namespace {

// Every column but the last as wide as given; the last takes the rest.
QTreeWidget* table(QWidget* owner, const char* name, std::initializer_list<int> widths) {
    auto* t = named<QTreeWidget>(owner, name);
    t->setColumnCount(static_cast<int>(widths.size()) + 1);
    int column = 0;
    for (const int w : widths) t->setColumnWidth(column++, w);
    t->setRootIsDecorated(false);
    t->setUniformRowHeights(true);
    t->header()->setStretchLastSection(true);
    return t;
}

// An account's lines carry excerpts that read best unbroken; a finding is prose.
QPlainTextEdit* text_box(QWidget* owner, const char* name, QPlainTextEdit::LineWrapMode wrap) {
    auto* box = named<QPlainTextEdit>(owner, name);
    box->setReadOnly(true);
    box->setLineWrapMode(wrap);
    return box;
}

}  // namespace

TCheckForm::TCheckForm(QWidget* owner) : QDialog(owner) {
    setObjectName("frm_check");
    resize(820, 480);
    lbl_checkstate = named<QLabel>(this, "lbl_checkstate");
    lbl_checkstate->setWordWrap(true);
    lbl_total = named<QLabel>(this, "lbl_total");
    lst_findings = table(this, "lst_findings", {70, 50, 110});
    mmo_finding = text_box(this, "mmo_finding", QPlainTextEdit::WidgetWidth);
    btn_openlist = named<QPushButton>(this, "btn_openlist");
    btn_fixutf8 = named<QPushButton>(this, "btn_fixutf8");
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btn_openlist);
    buttons->addWidget(btn_fixutf8);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lbl_checkstate);
    layout->addWidget(lbl_total);
    layout->addWidget(lst_findings, 3);
    layout->addWidget(mmo_finding, 2);
    layout->addLayout(buttons);
}

TMessagesForm::TMessagesForm(QWidget* owner) : QDialog(owner) {
    setObjectName("frm_messages");
    resize(880, 600);
    lbl_logstate = named<QLabel>(this, "lbl_logstate");
    lbl_logstate->setWordWrap(true);
    lst_messages = table(this, "lst_messages", {260, 380});
    lst_messages->setSelectionMode(QAbstractItemView::ExtendedSelection);
    btn_makeline = named<QPushButton>(this, "btn_makeline");
    btn_makeline->setEnabled(false);
    lbl_pending = named<QLabel>(this, "lbl_pending");
    lst_pending = table(this, "lst_pending", {260, 250});
    mmo_why = text_box(this, "mmo_why", QPlainTextEdit::NoWrap);
    // The messages take the most of what the window grows by: they are what
    // the user reads and chooses from; the account comes next.
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lbl_logstate);
    layout->addWidget(lst_messages, 4);
    layout->addWidget(btn_makeline, 0, Qt::AlignLeft);
    layout->addWidget(lbl_pending);
    layout->addWidget(lst_pending, 1);
    layout->addWidget(mmo_why, 2);
}

}  // namespace kalvorin::config
