#pragma once
// TForm1, the configuration program's one window. Its child widgets carry the
// component names as object names, and its handlers are named after the
// component and the event. A handler lets its errors rise; the signal
// connection around it shows any of them in an error box (error_text). The
// logic that is not about widgets lives in FilterLists, FieldTest, BulkBatch,
// Options and FieldRules.
#include <array>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include <QObject>
#include <QWidget>

#include "CodigoComun/BaseFiles.h"
#include "config/BulkBatch.h"
#include "config/CheckForms.h"
#include "config/LineUseForm.h"
#include "config/FieldTest.h"
#include "config/Language.h"
#include "config/MakeLineForm.h"
#include "config/Options.h"
#include "config/Seam.h"
#include "inspect/Comparison.h"
#include "inspect/Evaluation.h"
#include "inspect/LineUse.h"
#include "inspect/LogReader.h"
#include "inspect/Suggest.h"
#include "tools/Lint.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;

namespace kalvorin::config {

// The file-open dialog of the bulk tab: its options, and the file chosen last.
class TOpenDialog : public QObject {
    Q_OBJECT
public:
    TOpenDialog(Seam& seam, QWidget* owner);
    // Shows the dialog; true with FileName set when the user chose a file.
    bool Execute();
    std::string DefaultExt = "txt";
    std::string FileName;

private:
    Seam& seam_;
    QWidget* owner_;
};

class TForm1 : public QWidget {
    Q_OBJECT
public:
    // The program's home page, shown by lbl_homelink.
    static constexpr const char* kHomePage = "https://kalvorin.example.org/";

    // Builds the window and runs FormCreate; program_folder is the folder of
    // the running program.
    TForm1(Seam& seam, const std::string& program_folder, QWidget* parent = nullptr);

    // Window level.
    QTabWidget* pg_ppal;
    QPushButton* btn_saveall;
    QPushButton* btn_readme;
    QPushButton* btn_faq;
    QLabel* lbl_homelink;
    TOpenDialog* OpenDialog1;

    // Tab ts_editor.
    QWidget* ts_editor;
    QLabel* lbl_record;
    QLabel* lbl_have;
    QLabel* lbl_tstring;
    QLabel* lbl_string;
    QComboBox* cbox_record;
    QComboBox* cbox_have;
    QComboBox* cbox_tstring;
    QLineEdit* edt_string;
    QPushButton* btn_add;
    QLineEdit* edt_4;
    QLineEdit* edt_3;
    QLineEdit* edt_2;
    QLineEdit* edt_1;
    QLineEdit* edt_0;
    QCheckBox* chk_l4;
    QCheckBox* chk_l3;
    QCheckBox* chk_l2;
    QCheckBox* chk_l1;
    QCheckBox* chk_L0;
    QPushButton* btn_rotate;
    QPushButton* btn_clear;
    QPushButton* btn_or;
    QPushButton* btn_and;
    QCheckBox* chk_expert;
    QPushButton* btn_addsecure;
    QPushButton* btn_addtrash;
    QPushButton* btn_addsuspect;

    // Tab ts_bulk.
    QWidget* ts_bulk;
    QLabel* lbl_bulkrecord;
    QLabel* lbl_bulkhave;
    QLabel* lbl_bulktstring;
    QComboBox* cbox_bulkrecord;
    QComboBox* cbox_bulkhave;
    QComboBox* cbox_bulktstring;
    QRadioButton* rd_bulkstring;
    QPlainTextEdit* mmo_origen;
    QRadioButton* rd_bulkfromfile;
    QLineEdit* edt_filename;
    QPushButton* btn_bulkexaminar;
    QPushButton* btn_bulkprocesa;
    QPushButton* btn_bulkaddsecure;
    QPushButton* btn_bulkaddtrash;
    QPushButton* btn_bulkaddsuspect;

    // Tab ts_filters.
    QWidget* ts_filters;
    QPushButton* btn_secure;
    QPushButton* btn_trash;
    QPushButton* btn_suspect;
    QPushButton* btn_testfilters;
    QPushButton* btn_helpfilters;
    QPushButton* btn_checklists;
    QPushButton* btn_lastmessages;
    QPushButton* btn_lineuse;
    QPlainTextEdit* mmo_test;
    // The windows these two buttons open, made at the first click.
    TCheckForm* frm_check = nullptr;
    TMessagesForm* frm_messages = nullptr;
    // Opened by the last messages' "Make a line", made at its first click.
    TMakeLineForm* frm_makeline = nullptr;
    TLineUseForm* frm_use = nullptr;

    // Tab ts_specials.
    QWidget* ts_specials;
    QGroupBox* grp_externalimg;
    QRadioButton* rd_none;
    QRadioButton* rd_trash;
    QRadioButton* rd_suspect;
    QGroupBox* grp_htmlasmime;
    QRadioButton* RadioButton1;
    QRadioButton* RadioButton2;
    QRadioButton* RadioButton3;

    // Tab ts_options.
    QWidget* ts_options;
    QGroupBox* grp_scores;
    QLabel* lbl_scoresecure;
    QLabel* lbl_scoretrash;
    QLabel* lbl_scoresuspect;
    QLineEdit* edt_secure;
    QLineEdit* edt_trash;
    QLineEdit* edt_suspect;
    QCheckBox* chk_uppercase;
    QCheckBox* chk_up50kb;
    QCheckBox* chk_bodyattach;
    QLabel* lbl_logsize;
    QLineEdit* edt_logsize;

    // Window events.
    void FormCreate();
    void FormClose();

    // Editor tab.
    void btn_addClick();
    void btn_andClick();
    void btn_orClick();
    void btn_rotateClick();
    void btn_clearClick();
    void btn_addsecureClick();
    void btn_addtrashClick();
    void btn_addsuspectClick();
    void edt_0Change();
    void edt_1Change();
    void edt_2Change();
    void edt_3Change();
    void edt_4Change();
    void chk_l2Click();
    void chk_l3Click();
    void chk_l4Click();
    void chk_expertClick();

    // Bulk tab.
    void mmo_origenClick();
    void edt_filenameClick();
    void btn_bulkexaminarClick();
    void btn_bulkprocesaClick();
    void btn_bulkaddsecureClick();
    void btn_bulkaddtrashClick();
    void btn_bulkaddsuspectClick();

    // Options and specials tabs, saving.
    void edt_secureChange();
    void edt_trashChange();
    void edt_suspectChange();
    void edt_logsizeChange();
    void rd_noneClick();
    void rd_trashClick();
    void rd_suspectClick();
    void chk_uppercaseClick();
    void chk_up50kbClick();
    void chk_bodyattachClick();
    void btn_saveallClick();

    // Filter files tab, help texts and home-page link.
    void btn_secureClick();
    void btn_trashClick();
    void btn_suspectClick();
    void btn_testfiltersClick();
    void btn_helpfiltersClick();
    void btn_readmeClick();
    void btn_faqClick();
    void lbl_homelinkClick();

    // The check of the lists and the last messages (interfaz_checks.cpp).
    void btn_checklistsClick();
    void lst_findingsChange();
    void btn_openlistClick();
    void btn_fixutf8Click();
    void btn_lastmessagesClick();
    void lst_messagesChange();
    void lst_pendingChange();

    // "Make a line" from the chosen last messages (interfaz_make.cpp).
    void btn_makelineClick();
    void lst_proposalsChange();
    void btn_makeaddClick();

    // What each filter line decided among the logged messages (interfaz_use.cpp).
    void btn_lineuseClick();
    void lst_useChange();
    void btn_uselistClick();
    void btn_useexportClick();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    using Handler = void (TForm1::*)();
    // Runs a handler; an error it raises is shown in an error box.
    void guarded(Handler handler);
    // The text of language slot n (1 to kLanguageSlots).
    const std::string& slot(int n) const;
    // The slot's text with %1, %2, ... replaced by the numbers in order.
    std::string slot_with(int n, std::initializer_list<std::int64_t> numbers) const;
    // The language lines of the progress boxes, the check's total, the
    // errors of "Open the list" and the help files' names: one block.
    static constexpr int kWorkTexts = 300;
    static constexpr int kCheckingLists = kWorkTexts + 0;
    static constexpr int kReadingLog = kWorkTexts + 1;
    static constexpr int kCheckingWaiting = kWorkTexts + 2;
    static constexpr int kCancel = kWorkTexts + 3;
    static constexpr int kFindingsTotal = kWorkTexts + 4;   // then its three groups
    static constexpr int kListMissing = kWorkTexts + 8;
    static constexpr int kNoListOpener = kWorkTexts + 9;
    static constexpr int kHelpFiles = kWorkTexts + 10;      // read me, questions, filter help
    // The language lines of the log's states, the last messages' notes and
    // the log size's refusal: one block.
    static constexpr int kLogTexts = 260;
    static constexpr int kNoLog = kLogTexts + 0;
    static constexpr int kLogIsFolder = kLogTexts + 1;
    static constexpr int kLogUnreadable = kLogTexts + 2;
    static constexpr int kLastShown = kLogTexts + 3;         // %1 messages in the log, %2 shown
    static constexpr int kUnfinished = kLogTexts + 4;        // the score column
    static constexpr int kUnfinishedWhy = kLogTexts + 5;
    static constexpr int kStoppedWhy = kLogTexts + 6;
    static constexpr int kLogsizeRefused = kLogTexts + 7;    // %1 to %2
    // "Last messages" shows as many of the log's last messages as the log
    // size in force lets the log hold, but no more than this, so that
    // scoring them all stays quick.
    static constexpr std::size_t kMostMessagesShown = 100;
    void build_window();
    void build_editor();
    void build_bulk();
    void build_filters();
    void build_specials();
    void build_options();
    void connect_handlers();

    // Start-up steps.
    void set_texts();
    void fill_pick_lists();
    void show_settings(bool pass_over_failures);
    void show_after_stop();
    void show_stored(const OptionValues& stored);

    void open_in_shell(const std::string& file_name);
    // The help text that the language file names, when it is there.
    std::string help_file(int n, const char* fallback) const;

    Seam& seam_;
    std::string program_folder_;
    // The values held while the program runs.
    BaseFiles basefolder;  // every path of the base folder's files comes from here
    std::string version;
    std::string close_message;
    bool saved = false;
    // Whether start-up ran to its end; if not, the error that stopped it.
    bool started = false;
    std::string startup_failure;
    bool texts_shown = false;
    LanguageSlots language{};

    // Private helpers of the editor and bulk tabs (interfaz_editor.cpp,
    // interfaz_bulk.cpp) are declared below this line.

    // The kind of field test that a tab's three pick-lists have chosen;
    // nothing when one of them has no chosen item.
    static std::optional<TestKind> chosen_kind(const QComboBox* fields, const QComboBox* operators,
                                               const QComboBox* delimiters);

    // Editor: the level lines and their boxes, level 0 to 4.
    static constexpr int kLevels = 5;
    QLineEdit* level_line(int level) const;
    QCheckBox* level_box(int level) const;
    std::string level_text(int level) const;
    void set_level_text(int level, const std::string& text);
    void keep_box_in_step(int level, const QCheckBox* above);
    int selection_count() const;
    void push_test(const std::string& test);
    void combine(char joiner);
    void move_down();
    void add_to_list(const std::string& pending);
    // Appends a line to a list's pending file, as the add buttons of the
    // editor and of "Make a line" do.
    void add_waiting_line(const std::string& pending, const std::string& line);

    // The check of the lists, the last messages, and the check before a save.
    void build_check_form();
    void build_messages_form();
    const lint::Finding* chosen_finding() const;
    // False when waiting lines would stop the scoring and the user goes back.
    bool waiting_lines_confirmed();
    std::vector<lint::Finding> findings_;
    inspect::FilterLists checked_;
    // The log's last messages (at most how_many), and the log's state in
    // the window's language: none yet, a folder, unreadable, no message yet,
    // or how many of its messages are shown. Reads files only, so that it can
    // run off the window's thread.
    struct LastLog {
        inspect::LogTail tail;
        std::string state;
    };
    LastLog read_last_log(std::size_t how_many) const;
    std::vector<inspect::LoggedMessage> logged_;
    std::optional<inspect::Evaluation> evaluation_;  // base 0 the lists, base 1 as a save would write them
    std::vector<inspect::LoggedChange> changes_;

    // "Make a line": its button on the last messages, its window, and the
    // tests proposed for the messages chosen last.
    void wire_make_line(TMessagesForm& f);
    void build_makeline_form();
    std::vector<std::string> ticked_tests() const;
    std::vector<inspect::Proposal> proposals_;

    // Line use: its language lines are one block, named from its first.
    static constexpr int kUseTexts = 140;
    static constexpr int kUseButton = kUseTexts + 0;
    static constexpr int kUseTitle = kUseTexts + 1;
    static constexpr int kUseColumns = kUseTexts + 2;  // then one a column, in the table's order
    static constexpr int kUseExport = kUseTexts + 8;
    static constexpr int kUseOpenList = kUseTexts + 9;
    static constexpr int kUseUnused = kUseTexts + 10;
    static constexpr int kUseOthersDecide = kUseTexts + 11;
    static constexpr int kUseScored = kUseTexts + 12;
    static constexpr int kUseNoLog = kUseTexts + 13;
    static constexpr int kUseNoMessage = kUseTexts + 14;
    static constexpr int kUseUnreadable = kUseTexts + 15;
    static constexpr int kUseCounting = kUseTexts + 16;
    static constexpr int kUseCancel = kUseTexts + 17;
    static constexpr int kUseGoTo = kUseTexts + 18;
    static constexpr int kUseLastDecided = kUseTexts + 19;
    void build_use_form();
    const inspect::LineUse* chosen_use() const;
    inspect::LineUseReport use_;
    inspect::FilterLists use_lists_;
    std::vector<std::string> use_last_;  // by row of use_: the sender and subject of the last message it decided

    // Bulk tab.
    void limit_memo_length();
    void generate_from_memo(const TestKind& kind);
    void generate_from_file(const TestKind& kind);
    void add_batch(const std::string& pending);
    void tell_skipped(const BatchCount& count, char delimiter);
};

}  // namespace kalvorin::config
