#pragma once
// The window "Make a line" opens from the last messages: the tests proposed
// for the chosen messages, how to join them and the list to add the line to.
// It holds widgets only; TForm1 fills it and handles its events.
#include <QDialog>

class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QTreeWidget;

namespace kalvorin::config {

class TMakeLineForm : public QDialog {
    Q_OBJECT
public:
    explicit TMakeLineForm(QWidget* owner);
    QLabel* lbl_makehint;
    QTreeWidget* lst_proposals;  // test (ticked or not), chosen caught, logged matched, of them wanted
    QLabel* lbl_makejoin;
    QRadioButton* rd_makeand;
    QRadioButton* rd_makeor;
    QLabel* lbl_makelist;
    QComboBox* cbox_makelist;  // secure, trash, suspect
    QPushButton* btn_makeadd;
    QLabel* lbl_makeline;  // the line Add would add, or the one it added
};

}  // namespace kalvorin::config
