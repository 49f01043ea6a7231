#pragma once
// The window that the filter files tab's "Line use" opens: what each filter
// line decided among the logged messages. It holds widgets only; TForm1
// fills it and handles its events.
#include <QDialog>
#include <QTreeWidgetItem>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTreeWidget;

namespace kalvorin::config {

class TLineUseForm : public QDialog {
    Q_OBJECT
public:
    // The table's columns.
    enum Column { kList, kNumber, kDecided, kLast, kNote, kLine, kColumns };

    explicit TLineUseForm(QWidget* owner);
    QLabel* lbl_usestate;      // how many messages were scored, or why none
    QTreeWidget* lst_use;      // one row a filter line, sortable by any column
    QPlainTextEdit* mmo_useline;  // the chosen line whole, and the last message it decided
    QPushButton* btn_uselist;  // opens the chosen line's list
    QLabel* lbl_usegoto;       // the line number to go to in the list opened
    QPushButton* btn_useexport;
};

// A row of the table. Each column sorts by a key of its own, numbers as
// numbers and texts by their bytes; rows that tie keep the order the list
// pass tries the lines, whichever way the column is sorted.
class TLineUseRow : public QTreeWidgetItem {
public:
    TLineUseRow(QTreeWidget* table, long long pass_order);
    void set_key(int column, long long key);
    void set_key(int column, const QByteArray& key);
    bool operator<(const QTreeWidgetItem& other) const override;
};

}  // namespace kalvorin::config
