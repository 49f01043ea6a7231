#include "config/LineUseForm.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "config/Named.h"

namespace kalvorin::config {

namespace {

constexpr int kSortKey = Qt::UserRole + 1;
constexpr int kPassOrder = Qt::UserRole + 2;

}  // namespace

TLineUseForm::TLineUseForm(QWidget* owner) : QDialog(owner) {
    setObjectName("frm_use");
    resize(900, 560);
    lbl_usestate = named<QLabel>(this, "lbl_usestate");
    lbl_usestate->setWordWrap(true);
    lbl_usestate->setTextFormat(Qt::PlainText);
    lst_use = named<QTreeWidget>(this, "lst_use");
    lst_use->setColumnCount(kColumns);
    int column = 0;
    for (const int width : {130, 50, 70, 150, 160}) lst_use->setColumnWidth(column++, width);
    lst_use->setRootIsDecorated(false);
    lst_use->setUniformRowHeights(true);
    lst_use->header()->setStretchLastSection(true);
    mmo_useline = named<QPlainTextEdit>(this, "mmo_useline");
    mmo_useline->setReadOnly(true);
    btn_uselist = named<QPushButton>(this, "btn_uselist");
    lbl_usegoto = named<QLabel>(this, "lbl_usegoto");
    lbl_usegoto->setTextFormat(Qt::PlainText);
    btn_useexport = named<QPushButton>(this, "btn_useexport");
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btn_uselist);
    buttons->addWidget(lbl_usegoto);
    buttons->addStretch();
    buttons->addWidget(btn_useexport);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lbl_usestate);
    layout->addWidget(lst_use, 4);
    layout->addWidget(mmo_useline, 1);
    layout->addLayout(buttons);
}

TLineUseRow::TLineUseRow(QTreeWidget* table, long long pass_order) : QTreeWidgetItem(table) {
    setData(0, kPassOrder, pass_order);
}

void TLineUseRow::set_key(int column, long long key) { setData(column, kSortKey, key); }

void TLineUseRow::set_key(int column, const QByteArray& key) { setData(column, kSortKey, key); }

bool TLineUseRow::operator<(const QTreeWidgetItem& other) const {
    const int column = treeWidget()->sortColumn();
    const QVariant a = data(column, kSortKey);
    const QVariant b = other.data(column, kSortKey);
    if (a != b) {
        if (a.typeId() == QMetaType::QByteArray) return a.toByteArray() < b.toByteArray();
        return a.toLongLong() < b.toLongLong();
    }
    // A descending sort asks other < this, so the tie is turned round with it.
    const long long mine = data(0, kPassOrder).toLongLong();
    const long long theirs = other.data(0, kPassOrder).toLongLong();
    return treeWidget()->header()->sortIndicatorOrder() == Qt::AscendingOrder ? mine < theirs : mine > theirs;
}

}  // namespace kalvorin::config
