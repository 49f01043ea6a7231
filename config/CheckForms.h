#pragma once
// The two windows that the filter files tab opens beside the main one: the
// check of the lists, and the last messages the plug-in scored with why. They
// hold widgets only; TForm1 fills them and handles their events.
#include <QDialog>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTreeWidget;

namespace kalvorin::config {

class TCheckForm : public QDialog {
    Q_OBJECT
public:
    explicit TCheckForm(QWidget* owner);
    QLabel* lbl_checkstate;      // lists that could not be read, or that none has a problem
    QLabel* lbl_total;           // how many findings, by what they do to the scoring
    QTreeWidget* lst_findings;   // list, line, kind, finding; most serious first
    QPlainTextEdit* mmo_finding;  // the chosen finding: its line whole and why
    QPushButton* btn_openlist;
    QPushButton* btn_fixutf8;
};

class TMessagesForm : public QDialog {
    Q_OBJECT
public:
    explicit TMessagesForm(QWidget* owner);
    QLabel* lbl_logstate;       // lists that could not be read, or that the log holds no message
    QTreeWidget* lst_messages;  // sender, subject, score; one or more may be chosen
    QPushButton* btn_makeline;  // proposes a line that catches the chosen messages
    QLabel* lbl_pending;        // also says when the waiting lines change no message
    QTreeWidget* lst_pending;   // sender, subject, change
    QPlainTextEdit* mmo_why;    // the chosen message's account
};

}  // namespace kalvorin::config
