#include "config/MakeLineForm.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "config/Named.h"

namespace kalvorin::config {

TMakeLineForm::TMakeLineForm(QWidget* owner) : QDialog(owner) {
    setObjectName("frm_makeline");
    resize(900, 460);
    lbl_makehint = named<QLabel>(this, "lbl_makehint");
    lbl_makehint->setWordWrap(true);
    lst_proposals = named<QTreeWidget>(this, "lst_proposals");
    lst_proposals->setColumnCount(4);
    lst_proposals->setColumnWidth(0, 450);
    lst_proposals->setColumnWidth(1, 130);
    lst_proposals->setColumnWidth(2, 140);
    lst_proposals->setRootIsDecorated(false);
    lst_proposals->setUniformRowHeights(true);
    lst_proposals->header()->setStretchLastSection(true);
    lbl_makejoin = named<QLabel>(this, "lbl_makejoin");
    rd_makeand = named<QRadioButton>(this, "rd_makeand");
    rd_makeor = named<QRadioButton>(this, "rd_makeor");
    rd_makeand->setChecked(true);
    lbl_makelist = named<QLabel>(this, "lbl_makelist");
    cbox_makelist = named<QComboBox>(this, "cbox_makelist");
    btn_makeadd = named<QPushButton>(this, "btn_makeadd");
    lbl_makeline = named<QLabel>(this, "lbl_makeline");
    lbl_makeline->setWordWrap(true);
    lbl_makeline->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* choices = new QHBoxLayout;
    choices->addWidget(lbl_makejoin);
    choices->addWidget(rd_makeand);
    choices->addWidget(rd_makeor);
    choices->addSpacing(24);
    choices->addWidget(lbl_makelist);
    choices->addWidget(cbox_makelist);
    choices->addStretch();
    choices->addWidget(btn_makeadd);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lbl_makehint);
    layout->addWidget(lst_proposals, 1);
    layout->addLayout(choices);
    layout->addWidget(lbl_makeline);
}

}  // namespace kalvorin::config
