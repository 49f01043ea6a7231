#include "config/interfaz.h"

#include <cerrno>
#include <functional>
#include <limits>

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QValidator>

#include "CodigoComun/CapturaSpam.h"
#include "CodigoComun/ConfigSys.h"
#include "CodigoComun/ExtImgRule.h"
#include "CodigoComun/FileNames.h"
#include "CodigoComun/ListPass.h"
#include "platform/errors.h"
#include "CodigoComun/Texto.h"
#include "config/BuiltinLanguage.h"
#include "config/ErrorText.h"
#include "config/FieldRules.h"
#include "config/FilterLists.h"
#include "config/Language.h"
#include "config/Options.h"
#include "config/cp1252.h"
#include "kalvorin/parts.h"
#include "platform/paths.h"
#include "platform/textfile.h"

namespace kalvorin::config {

namespace {

// A child widget carrying its component name, placed on its parent.
template <class W>
W* make(QWidget* parent, const char* name, int x, int y, int w, int h) {
    auto* widget = new W(parent);
    widget->setObjectName(name);
    widget->setGeometry(x, y, w, h);
    return widget;
}

// Captioned widgets start with their component name as placeholder caption;
// start-up replaces it from the language slots.
template <class W>
W* captioned(QWidget* parent, const char* name, int x, int y, int w, int h) {
    W* widget = make<W>(parent, name, x, y, w, h);
    widget->setText(name);
    return widget;
}

// The three pick-lists of the editor and bulk tabs stand in the same columns,
// each as wide as its longest item needs, with its caption above it.
struct PickColumn {
    int x, width;
};
constexpr PickColumn kPickColumns[] = {{8, 140}, {154, 95}, {255, 140}};

void pick_list(QWidget* p, int column, const char* label_name, QLabel*& label, const char* box_name,
               QComboBox*& box) {
    const PickColumn& c = kPickColumns[column];
    label = captioned<QLabel>(p, label_name, c.x, 6, c.width, 15);
    box = make<QComboBox>(p, box_name, c.x, 22, c.width, 22);
}

QWidget* tab_page(QTabWidget* tabs, const char* name) {
    auto* page = new QWidget(tabs);
    page->setObjectName(name);
    tabs->addTab(page, name);
    return page;
}

// Limits what the user types into a box to a number of characters
// (limit_typed). Unlike a maximum length, it leaves text set from code whole:
// a stored log size of 100 is shown as 100, not cut to 10. The box tells the
// two apart: a change the user makes marks it modified, setting its text
// clears the mark.
class TypedLengthValidator final : public QValidator {
public:
    TypedLengthValidator(std::size_t max, QLineEdit* edit) : QValidator(edit), edit_(edit), max_(max) {
        connect(edit, &QLineEdit::textChanged, this, [this] { before_ = edit_->text().toStdU16String(); });
    }
    State validate(QString& input, int& position) const override {
        if (!edit_->isModified()) return Acceptable;
        const BoxEdit kept = limit_typed(before_, {input.toStdU16String(), static_cast<std::size_t>(position)}, max_);
        if (kept.text == before_) return Invalid;  // nothing of the change fits
        input = QString::fromStdU16String(kept.text);
        position = static_cast<int>(kept.cursor);
        return Acceptable;
    }

private:
    QLineEdit* edit_;
    std::size_t max_;
    std::u16string before_;
};

// Keeps an edit box to one line (first_line_only). Text set from code is cut
// the same way; the box's change signal then reports only the kept text, so
// its handler runs once, as for any other change.
class SingleLineValidator final : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int& position) const override {
        const BoxEdit kept = first_line_only({input.toStdU16String(), static_cast<std::size_t>(position)});
        input = QString::fromStdU16String(kept.text);
        position = static_cast<int>(kept.cursor);
        return Acceptable;
    }
};

// A single-line box whose text has no length limit.
void single_line(QLineEdit* edit) {
    edit->setMaxLength(std::numeric_limits<int>::max());
    edit->setValidator(new SingleLineValidator(edit));
}

}  // namespace

TOpenDialog::TOpenDialog(Seam& seam, QWidget* owner) : QObject(owner), seam_(seam), owner_(owner) {
    setObjectName("OpenDialog1");
}

bool TOpenDialog::Execute() {
    auto chosen = seam_.openFileDialog(owner_, DefaultExt);
    if (!chosen) return false;
    FileName = *chosen;
    return true;
}

TForm1::TForm1(Seam& seam, const std::string& program_folder, QWidget* parent)
    : QWidget(parent), seam_(seam), program_folder_(program_folder) {
    build_window();
    connect_handlers();
    try {
        FormCreate();
        started = true;
    } catch (const std::exception& e) {
        startup_failure = error_text(e);
        seam_.showError(this, startup_failure);
        show_after_stop();
    }
}

// A start-up that stopped still leaves a window that speaks and shows the
// stored options it can read, so that the checks run under the settings the
// user has. The pick-lists stay empty: the working files may not be ready,
// so the editor and the bulk tab must generate nothing. Save All stays
// refused (btn_saveallClick).
void TForm1::show_after_stop() {
    if (!texts_shown) {
        // The language files read so far, the built-in English for the rest.
        fill_empty_slots(language);
        set_texts();
    }
    try {
        show_settings(true);
    } catch (const KalvorinError&) {
        // The store itself cannot be opened: the design texts stay.
    }
    btn_bulkaddsuspect->setEnabled(false);
    btn_bulkaddtrash->setEnabled(false);
    btn_bulkaddsecure->setEnabled(false);
    btn_saveall->setEnabled(false);
}

const std::string& TForm1::slot(int n) const { return language.at(static_cast<std::size_t>(n - 1)); }

// A translation may put the numbers where its language wants them.
std::string TForm1::slot_with(int n, std::initializer_list<std::int64_t> numbers) const {
    std::string text = slot(n);
    int k = 1;
    for (const std::int64_t number : numbers) {
        const std::string mark = "%" + std::to_string(k++);
        if (const std::size_t at = text.find(mark); at != std::string::npos)
            text.replace(at, mark.size(), std::to_string(number));
    }
    return text;
}

void TForm1::guarded(Handler handler) {
    try {
        (this->*handler)();
    } catch (const std::exception& e) {
        seam_.showError(this, error_text(e));
    }
}

// ---------------------------------------------------------------- layout

void TForm1::build_window() {
    setObjectName("Form1");
    setWindowTitle("Form1");
    // A fixed dialog-style window whose frame offers only the close box.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFixedSize(607, 328);
    QFont font("MS Sans Serif");
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    setFont(font);

    pg_ppal = make<QTabWidget>(this, "pg_ppal", 4, 4, 599, 278);
    build_editor();
    build_bulk();
    build_filters();
    build_specials();
    build_options();
    pg_ppal->setCurrentWidget(ts_editor);

    btn_readme = captioned<QPushButton>(this, "btn_readme", 4, 286, 110, 23);
    btn_faq = captioned<QPushButton>(this, "btn_faq", 118, 286, 110, 23);
    btn_saveall = captioned<QPushButton>(this, "btn_saveall", 473, 286, 130, 23);
    btn_saveall->setEnabled(false);

    lbl_homelink = make<QLabel>(this, "lbl_homelink", 6, 311, 300, 15);
    lbl_homelink->setText(kHomePage);
    lbl_homelink->setStyleSheet("color: blue; text-decoration: underline;");
    lbl_homelink->setCursor(Qt::PointingHandCursor);
    lbl_homelink->installEventFilter(this);

    OpenDialog1 = new TOpenDialog(seam_, this);

    // Captions are shown exactly as the language files have them, never as markup.
    for (QLabel* label : findChildren<QLabel*>()) label->setTextFormat(Qt::PlainText);
}

void TForm1::build_editor() {
    ts_editor = tab_page(pg_ppal, "ts_editor");
    QWidget* p = ts_editor;

    pick_list(p, 0, "lbl_record", lbl_record, "cbox_record", cbox_record);
    pick_list(p, 1, "lbl_have", lbl_have, "cbox_have", cbox_have);
    pick_list(p, 2, "lbl_tstring", lbl_tstring, "cbox_tstring", cbox_tstring);
    lbl_string = captioned<QLabel>(p, "lbl_string", 401, 6, 91, 15);
    edt_string = make<QLineEdit>(p, "edt_string", 401, 22, 91, 22);
    single_line(edt_string);
    btn_add = captioned<QPushButton>(p, "btn_add", 498, 21, 90, 24);

    // The level lines, level 4 at the top and level 0, the working line, at the bottom.
    constexpr int kLevelTop = 52;
    constexpr int kLevelStep = 24;
    auto level = [&](int row, const char* check, const char* edit, QCheckBox*& box, QLineEdit*& line) {
        const int y = kLevelTop + row * kLevelStep;
        box = make<QCheckBox>(p, check, 8, y + 2, 18, 18);
        box->setEnabled(false);
        line = make<QLineEdit>(p, edit, 30, y, 558, 22);
        line->setReadOnly(true);
        single_line(line);
    };
    level(0, "chk_l4", "edt_4", chk_l4, edt_4);
    level(1, "chk_l3", "edt_3", chk_l3, edt_3);
    level(2, "chk_l2", "edt_2", chk_l2, edt_2);
    level(3, "chk_l1", "edt_1", chk_l1, edt_1);
    level(4, "chk_L0", "edt_0", chk_L0, edt_0);

    btn_rotate = captioned<QPushButton>(p, "btn_rotate", 30, 176, 96, 24);
    btn_clear = captioned<QPushButton>(p, "btn_clear", 132, 176, 96, 24);
    btn_or = captioned<QPushButton>(p, "btn_or", 234, 176, 96, 24);
    btn_and = captioned<QPushButton>(p, "btn_and", 336, 176, 96, 24);
    chk_expert = captioned<QCheckBox>(p, "chk_expert", 446, 179, 142, 18);

    btn_addsecure = captioned<QPushButton>(p, "btn_addsecure", 30, 212, 180, 24);
    btn_addtrash = captioned<QPushButton>(p, "btn_addtrash", 219, 212, 180, 24);
    btn_addsuspect = captioned<QPushButton>(p, "btn_addsuspect", 408, 212, 180, 24);
}

void TForm1::build_bulk() {
    ts_bulk = tab_page(pg_ppal, "ts_bulk");
    QWidget* p = ts_bulk;

    pick_list(p, 0, "lbl_bulkrecord", lbl_bulkrecord, "cbox_bulkrecord", cbox_bulkrecord);
    pick_list(p, 1, "lbl_bulkhave", lbl_bulkhave, "cbox_bulkhave", cbox_bulkhave);
    pick_list(p, 2, "lbl_bulktstring", lbl_bulktstring, "cbox_bulktstring", cbox_bulktstring);

    rd_bulkstring = captioned<QRadioButton>(p, "rd_bulkstring", 8, 52, 290, 18);
    mmo_origen = make<QPlainTextEdit>(p, "mmo_origen", 8, 72, 290, 134);
    mmo_origen->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    mmo_origen->viewport()->installEventFilter(this);
    limit_memo_length();

    rd_bulkfromfile = captioned<QRadioButton>(p, "rd_bulkfromfile", 310, 52, 278, 18);
    edt_filename = make<QLineEdit>(p, "edt_filename", 310, 72, 278, 22);
    edt_filename->setReadOnly(true);
    edt_filename->installEventFilter(this);
    btn_bulkexaminar = captioned<QPushButton>(p, "btn_bulkexaminar", 310, 100, 130, 24);
    btn_bulkprocesa = captioned<QPushButton>(p, "btn_bulkprocesa", 310, 182, 130, 24);

    btn_bulkaddsecure = captioned<QPushButton>(p, "btn_bulkaddsecure", 8, 214, 180, 24);
    btn_bulkaddtrash = captioned<QPushButton>(p, "btn_bulkaddtrash", 208, 214, 180, 24);
    btn_bulkaddsuspect = captioned<QPushButton>(p, "btn_bulkaddsuspect", 408, 214, 180, 24);
}

void TForm1::build_filters() {
    ts_filters = tab_page(pg_ppal, "ts_filters");
    QWidget* p = ts_filters;

    btn_secure = captioned<QPushButton>(p, "btn_secure", 8, 8, 160, 24);
    btn_trash = captioned<QPushButton>(p, "btn_trash", 8, 38, 160, 24);
    btn_suspect = captioned<QPushButton>(p, "btn_suspect", 8, 68, 160, 24);
    btn_testfilters = captioned<QPushButton>(p, "btn_testfilters", 8, 116, 160, 24);
    btn_helpfilters = captioned<QPushButton>(p, "btn_helpfilters", 8, 146, 160, 24);
    btn_checklists = captioned<QPushButton>(p, "btn_checklists", 8, 184, 160, 24);
    btn_lastmessages = captioned<QPushButton>(p, "btn_lastmessages", 8, 214, 160, 24);
    btn_lineuse = captioned<QPushButton>(p, "btn_lineuse", 178, 214, 160, 24);
    mmo_test = make<QPlainTextEdit>(p, "mmo_test", 178, 8, 410, 200);
    mmo_test->setPlainText("mmo_test");
}

void TForm1::build_specials() {
    ts_specials = tab_page(pg_ppal, "ts_specials");
    QWidget* p = ts_specials;

    grp_externalimg = make<QGroupBox>(p, "grp_externalimg", 8, 8, 280, 112);
    grp_externalimg->setTitle("grp_externalimg");
    rd_none = captioned<QRadioButton>(grp_externalimg, "rd_none", 12, 26, 256, 18);
    rd_trash = captioned<QRadioButton>(grp_externalimg, "rd_trash", 12, 52, 256, 18);
    rd_suspect = captioned<QRadioButton>(grp_externalimg, "rd_suspect", 12, 78, 256, 18);

    // Kept for a later version: shown, never enabled, never read.
    grp_htmlasmime = make<QGroupBox>(p, "grp_htmlasmime", 300, 8, 288, 112);
    grp_htmlasmime->setTitle("htlm encoded as base64");
    RadioButton1 = make<QRadioButton>(grp_htmlasmime, "RadioButton1", 12, 26, 264, 18);
    RadioButton1->setText("rd_none");
    RadioButton1->setChecked(true);
    RadioButton2 = make<QRadioButton>(grp_htmlasmime, "RadioButton2", 12, 52, 264, 18);
    RadioButton2->setText("rd_suspect");
    RadioButton3 = make<QRadioButton>(grp_htmlasmime, "RadioButton3", 12, 78, 264, 18);
    RadioButton3->setText("rd_trash");
    grp_htmlasmime->setEnabled(false);
}

void TForm1::build_options() {
    ts_options = tab_page(pg_ppal, "ts_options");
    QWidget* p = ts_options;

    grp_scores = make<QGroupBox>(p, "grp_scores", 8, 8, 290, 112);
    grp_scores->setTitle("grp_scores");
    auto score_row = [&](int y, const char* label, const char* edit, QLabel*& lbl, QLineEdit*& edt) {
        lbl = captioned<QLabel>(grp_scores, label, 8, y + 3, 170, 15);
        lbl->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        edt = make<QLineEdit>(grp_scores, edit, 186, y, 90, 22);
    };
    score_row(24, "lbl_scoresecure", "edt_secure", lbl_scoresecure, edt_secure);
    score_row(52, "lbl_scoretrash", "edt_trash", lbl_scoretrash, edt_trash);
    score_row(80, "lbl_scoresuspect", "edt_suspect", lbl_scoresuspect, edt_suspect);
    // Design texts: the defaults, so that a start-up that stops early still
    // shows values that a save would store unchanged.
    edt_secure->setText(QString::number(kDefaultSecure));
    edt_trash->setText(QString::number(kDefaultTrash));
    edt_suspect->setText(QString::number(kDefaultSuspect));

    chk_uppercase = captioned<QCheckBox>(p, "chk_uppercase", 312, 16, 276, 18);
    chk_up50kb = captioned<QCheckBox>(p, "chk_up50kb", 312, 42, 276, 18);
    chk_bodyattach = captioned<QCheckBox>(p, "chk_bodyattach", 312, 68, 276, 18);
    chk_bodyattach->setEnabled(false);

    lbl_logsize = captioned<QLabel>(p, "lbl_logsize", 8, 135, 186, 15);
    lbl_logsize->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    edt_logsize = make<QLineEdit>(p, "edt_logsize", 202, 132, 40, 22);
    // Room for the largest log size the plug-in obeys (settings::kMaxLogsize).
    edt_logsize->setValidator(new TypedLengthValidator(4, edt_logsize));
    edt_logsize->setText(QString::number(kDefaultLogsize));
}

// Changes made from code run a control's handler as a user's change would;
// Qt's change signals fire only when the value really changes.
void TForm1::connect_handlers() {
    auto on_click = [this](QPushButton* b, Handler h) {
        connect(b, &QPushButton::clicked, this, [this, h] { guarded(h); });
    };
    auto on_change = [this](QLineEdit* e, Handler h) {
        connect(e, &QLineEdit::textChanged, this, [this, h] { guarded(h); });
    };
    auto on_toggle = [this](QAbstractButton* b, Handler h) {
        connect(b, &QAbstractButton::toggled, this, [this, h] { guarded(h); });
    };

    on_click(btn_saveall, &TForm1::btn_saveallClick);
    on_click(btn_readme, &TForm1::btn_readmeClick);
    on_click(btn_faq, &TForm1::btn_faqClick);

    on_click(btn_add, &TForm1::btn_addClick);
    // Enter in the test's text box adds the test, as the button does.
    connect(edt_string, &QLineEdit::returnPressed, this, [this] { guarded(&TForm1::btn_addClick); });
    on_click(btn_and, &TForm1::btn_andClick);
    on_click(btn_or, &TForm1::btn_orClick);
    on_click(btn_rotate, &TForm1::btn_rotateClick);
    on_click(btn_clear, &TForm1::btn_clearClick);
    on_click(btn_addsecure, &TForm1::btn_addsecureClick);
    on_click(btn_addtrash, &TForm1::btn_addtrashClick);
    on_click(btn_addsuspect, &TForm1::btn_addsuspectClick);
    on_change(edt_0, &TForm1::edt_0Change);
    on_change(edt_1, &TForm1::edt_1Change);
    on_change(edt_2, &TForm1::edt_2Change);
    on_change(edt_3, &TForm1::edt_3Change);
    on_change(edt_4, &TForm1::edt_4Change);
    on_toggle(chk_l2, &TForm1::chk_l2Click);
    on_toggle(chk_l3, &TForm1::chk_l3Click);
    on_toggle(chk_l4, &TForm1::chk_l4Click);
    on_toggle(chk_expert, &TForm1::chk_expertClick);

    on_click(btn_bulkexaminar, &TForm1::btn_bulkexaminarClick);
    on_click(btn_bulkprocesa, &TForm1::btn_bulkprocesaClick);
    on_click(btn_bulkaddsecure, &TForm1::btn_bulkaddsecureClick);
    on_click(btn_bulkaddtrash, &TForm1::btn_bulkaddtrashClick);
    on_click(btn_bulkaddsuspect, &TForm1::btn_bulkaddsuspectClick);

    on_click(btn_secure, &TForm1::btn_secureClick);
    on_click(btn_trash, &TForm1::btn_trashClick);
    on_click(btn_suspect, &TForm1::btn_suspectClick);
    on_click(btn_testfilters, &TForm1::btn_testfiltersClick);
    on_click(btn_helpfilters, &TForm1::btn_helpfiltersClick);
    on_click(btn_checklists, &TForm1::btn_checklistsClick);
    on_click(btn_lastmessages, &TForm1::btn_lastmessagesClick);
    on_click(btn_lineuse, &TForm1::btn_lineuseClick);

    on_toggle(rd_none, &TForm1::rd_noneClick);
    on_toggle(rd_trash, &TForm1::rd_trashClick);
    on_toggle(rd_suspect, &TForm1::rd_suspectClick);
    on_toggle(RadioButton1, &TForm1::rd_noneClick);
    on_toggle(RadioButton2, &TForm1::rd_suspectClick);
    on_toggle(RadioButton3, &TForm1::rd_trashClick);

    on_change(edt_secure, &TForm1::edt_secureChange);
    on_change(edt_trash, &TForm1::edt_trashChange);
    on_change(edt_suspect, &TForm1::edt_suspectChange);
    on_change(edt_logsize, &TForm1::edt_logsizeChange);
    on_toggle(chk_uppercase, &TForm1::chk_uppercaseClick);
    on_toggle(chk_up50kb, &TForm1::chk_up50kbClick);
    on_toggle(chk_bodyattach, &TForm1::chk_bodyattachClick);
}

// Left-button clicks on the memo, the file name and the home-page link.
bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease &&
        static_cast<const QMouseEvent*>(event)->button() == Qt::LeftButton) {
        if (watched == mmo_origen->viewport()) guarded(&TForm1::mmo_origenClick);
        else if (watched == edt_filename) guarded(&TForm1::edt_filenameClick);
        else if (watched == lbl_homelink) guarded(&TForm1::lbl_homelinkClick);
    }
    return QWidget::eventFilter(watched, event);
}

void TForm1::closeEvent(QCloseEvent* event) {
    guarded(&TForm1::FormClose);
    event->accept();
}

// ---------------------------------------------------------------- start-up

void TForm1::FormCreate() {
    // 1. The program folder.
    program_folder_ = trim(program_folder_);
    const std::string& sep = platform::path_separator();
    clsConfigSys config;

    // 2. Unless the marker says otherwise, the program's folder is the base
    // folder. Here and in step 3 only a file counts, not a folder of that name.
    // The program folder is normally the base folder, and its files are kept
    // as the base folder's are: nothing is read or made where others could
    // have put a file first.
    platform::check_private_folder(program_folder_);
    if (!platform::file_exists(program_folder_ + sep + kKeepBaseFolderMarker)) config.set_basefolder(program_folder_);

    // 3. Default lists in the program folder; an existing list is never touched.
    constexpr auto kBase = platform::Place::BaseFolder;
    for (const ListFiles& files : lists()) {
        const std::string path = program_folder_ + sep + files.list;
        if (platform::file_exists(path, kBase)) continue;
        platform::write_file(path, default_list(files), kBase);
    }

    // 4, 5. The values held for the run.
    basefolder = BaseFiles(config.get_basefolder());
    platform::check_private_folder(basefolder.folder());
    version = config.get_version();

    // 6. The working files start empty.
    platform::reset_file(basefolder.staging(), kBase);
    for (const ListFiles& files : lists()) {
        platform::reset_file(basefolder.file(files.pending), kBase);
        remove_stale_scratch(basefolder.file(files.list));
    }

    // 7 to 9.
    read_language_files(basefolder.folder(), language);
    set_texts();
    texts_shown = true;
    fill_pick_lists();
    show_settings(false);

    // 10. Last, because showing the settings ran the handlers that enable Save All.
    btn_bulkaddsuspect->setEnabled(false);
    btn_bulkaddtrash->setEnabled(false);
    btn_bulkaddsecure->setEnabled(false);
    btn_saveall->setEnabled(false);
}

void TForm1::set_texts() {
    auto caption = [this](auto* widget, int n) { widget->setText(from_ansi(slot(n))); };
    auto tab = [this](QWidget* page, int n) { pg_ppal->setTabText(pg_ppal->indexOf(page), from_ansi(slot(n))); };

    caption(btn_readme, 3);
    caption(btn_secure, 5);
    caption(btn_trash, 6);
    caption(rd_trash, 6);
    caption(btn_suspect, 7);
    caption(rd_suspect, 7);
    caption(lbl_scoresecure, 8);
    caption(lbl_scoretrash, 9);
    caption(lbl_scoresuspect, 10);
    tab(ts_options, 23);
    caption(btn_saveall, 24);
    caption(chk_uppercase, 28);
    caption(btn_testfilters, 30);
    mmo_test->setPlainText(from_ansi(slot(33)));
    tab(ts_filters, 34);
    grp_externalimg->setTitle(from_ansi(slot(36)));
    caption(rd_none, 37);
    caption(btn_faq, 38);
    grp_scores->setTitle(from_ansi(slot(39)));
    caption(btn_helpfilters, 40);
    caption(chk_up50kb, 41);
    caption(lbl_logsize, 42);
    caption(btn_add, 43);
    caption(btn_clear, 44);
    caption(btn_and, 45);
    caption(btn_or, 46);
    caption(btn_addsecure, 47);
    caption(btn_bulkaddsecure, 47);
    caption(btn_addtrash, 48);
    caption(btn_bulkaddtrash, 48);
    caption(btn_addsuspect, 49);
    caption(btn_bulkaddsuspect, 49);
    tab(ts_editor, 50);
    caption(lbl_record, 51);
    caption(lbl_bulkrecord, 51);
    caption(lbl_have, 52);
    caption(lbl_bulkhave, 52);
    caption(lbl_tstring, 53);
    caption(lbl_bulktstring, 53);
    caption(lbl_string, 54);
    caption(chk_bodyattach, 55);
    close_message = slot(58);
    caption(btn_rotate, 59);
    caption(chk_expert, 60);
    tab(ts_bulk, 61);
    tab(ts_specials, 62);
    caption(btn_checklists, 67);
    caption(btn_lastmessages, 68);
    caption(btn_lineuse, kUseButton);
    caption(btn_bulkexaminar, 65);
    caption(btn_bulkprocesa, 66);
    rd_bulkstring->setText(from_ansi(slot(54) + " " + slot(64)));
    rd_bulkfromfile->setText(from_ansi(slot(63) + " " + slot(64)));

    setWindowTitle(from_ansi("Kalvorin " + version + " " + slot(2) + ", lang by " + slot(1)));
}

void TForm1::fill_pick_lists() {
    // Each item is its one-character code, a blank and the slot's text; the
    // tabs read only the code.
    auto fill = [this](QComboBox* fields, QComboBox* operators, QComboBox* delimiters) {
        for (std::size_t k = 0; k < kPartCount; ++k) {
            const int line = kParts[k].pick_line;
            if (line != 0) fields->addItem(from_ansi(std::string{field_code(k), ' '} + slot(line)));
        }
        for (auto [code, n] : {std::pair{"= ", 56}, {"- ", 57}}) operators->addItem(from_ansi(code + slot(n)));
        for (auto [code, n] : {std::pair{"\" ", 17}, {"# ", 18}, {"% ", 19}})
            delimiters->addItem(from_ansi(code + slot(n)));
        for (QComboBox* box : {fields, operators, delimiters}) box->setCurrentIndex(-1);
    };
    fill(cbox_record, cbox_have, cbox_tstring);
    fill(cbox_bulkrecord, cbox_bulkhave, cbox_bulktstring);
}

// Each setting is shown as soon as it is read, so a value of the wrong type
// stops start-up with the settings read before it shown; passing over
// failures, the window shows every setting it can read.
void TForm1::show_settings(bool pass_over_failures) {
    clsConfigSys config;
    const std::function<void()> steps[] = {
        [&] { edt_logsize->setText(from_ansi(int_to_str(config.get_logsize()))); },
        [&] {
            std::int32_t secure = 0, trash = 0, suspect = 0;
            config.get_scores(secure, trash, suspect);
            edt_secure->setText(from_ansi(int_to_str(secure)));
            edt_suspect->setText(from_ansi(int_to_str(suspect)));
            edt_trash->setText(from_ansi(int_to_str(trash)));
        },
        [&] {
            rd_none->setChecked(true);
            const ExtImgRule rule = extimg_rule(config.get_extimg());
            if (rule == ExtImgRule::trash) rd_trash->setChecked(true);
            else if (rule == ExtImgRule::suspect) rd_suspect->setChecked(true);
        },
        [&] { chk_uppercase->setChecked(config.get_uppercase()); },
        [&] { chk_up50kb->setChecked(config.get_up50kb()); },
        [&] { chk_expert->setChecked(config.get_xpertmode()); },
    };
    for (const std::function<void()>& step : steps) {
        try {
            step();
        } catch (const KalvorinError&) {
            if (!pass_over_failures) throw;
        }
    }
}

// ---------------------------------------------------------------- options and saving

void TForm1::edt_secureChange() { btn_saveall->setEnabled(true); }
void TForm1::edt_trashChange() { btn_saveall->setEnabled(true); }
void TForm1::edt_suspectChange() { btn_saveall->setEnabled(true); }
void TForm1::edt_logsizeChange() { btn_saveall->setEnabled(true); }
void TForm1::rd_noneClick() { btn_saveall->setEnabled(true); }
void TForm1::rd_trashClick() { btn_saveall->setEnabled(true); }
void TForm1::rd_suspectClick() { btn_saveall->setEnabled(true); }
void TForm1::chk_uppercaseClick() { btn_saveall->setEnabled(true); }
void TForm1::chk_up50kbClick() { btn_saveall->setEnabled(true); }
void TForm1::chk_bodyattachClick() { btn_saveall->setEnabled(true); }

// After a start-up that stopped early the fields may not hold the stored
// settings and the pending files may hold lines of an earlier run, so saving
// would overwrite what the window never loaded: it is refused.
void TForm1::btn_saveallClick() {
    if (!started) {
        seam_.showError(this, "Nothing was saved. Start-up stopped at \"" + startup_failure +
                                  "\", so the window did not load the stored settings. Mend the cause and start "
                                  "the program again.");
        return;
    }
    // A log size the plug-in would not obey saves nothing; a field without an
    // integer stores the default, as the other number fields do.
    if (!logsize_of(to_ansi(edt_logsize->text()))) {
        seam_.showError(this, slot_with(kLogsizeRefused, {settings::kMinLogsize, settings::kMaxLogsize}));
        edt_logsize->setFocus();
        return;
    }
    if (!waiting_lines_confirmed()) return;
    // 1. A prepared batch must be prepared again after a save.
    btn_bulkaddsecure->setEnabled(false);
    btn_bulkaddtrash->setEnabled(false);
    btn_bulkaddsuspect->setEnabled(false);

    // 2 to 5. The settings.
    OptionFields fields;
    fields.secure = to_ansi(edt_secure->text());
    fields.trash = to_ansi(edt_trash->text());
    fields.suspect = to_ansi(edt_suspect->text());
    fields.extimg = setting_of(rd_trash->isChecked()     ? ExtImgRule::trash
                               : rd_suspect->isChecked() ? ExtImgRule::suspect
                                                         : ExtImgRule::none);
    fields.uppercase = chk_uppercase->isChecked();
    fields.xpertmode = chk_expert->isChecked();
    fields.up50kb = chk_up50kb->isChecked();
    fields.logsize = to_ansi(edt_logsize->text());
    show_stored(store_options(fields));

    // 6, 7. The waiting lines into the lists.
    for (const ListFiles& files : lists()) save_list(basefolder.file(files.list), basefolder.file(files.pending));

    // 8.
    saved = true;
    btn_saveall->setEnabled(false);
}

// The number fields show what was stored: a text that held no integer shows
// the default, a log size of 0 the one stored instead.
void TForm1::show_stored(const OptionValues& stored) {
    edt_secure->setText(from_ansi(int_to_str(stored.secure)));
    edt_trash->setText(from_ansi(int_to_str(stored.trash)));
    edt_suspect->setText(from_ansi(int_to_str(stored.suspect)));
    edt_logsize->setText(from_ansi(int_to_str(stored.logsize)));
}

void TForm1::FormClose() {
    if (saved) seam_.showWarning(this, "Warning", close_message);
}

// ---------------------------------------------------------------- filter files, help texts, home page

// Another program opens the file. What that program does with it is its own
// business, but a file that is not there or that no program takes is said.
void TForm1::open_in_shell(const std::string& file_name) {
    const std::string path = trim(basefolder.file(file_name));
    // A name in the base folder that is a link or a pipe is refused as its
    // files are, not handed on.
    if (!platform::file_exists(path, platform::Place::BaseFolder))
        throw EInOutError(platform::io_message(ENOENT, path), path);
    if (!seam_.openFile(path)) throw EInOutError("No program is associated with this file", path);
}

void TForm1::btn_secureClick() { open_in_shell(lists()[0].list); }
void TForm1::btn_trashClick() { open_in_shell(lists()[1].list); }
void TForm1::btn_suspectClick() { open_in_shell(lists()[2].list); }
void TForm1::btn_helpfiltersClick() { open_in_shell(help_file(kHelpFiles + 2, kFilterHelpFile)); }
void TForm1::btn_readmeClick() { open_in_shell(help_file(kHelpFiles, kReadmeFile)); }
void TForm1::btn_faqClick() { open_in_shell(help_file(kHelpFiles + 1, kFaqFile)); }

// Each language file names its help texts, so a translation can bring its
// own. A name that is empty, that is not a plain file name, or whose file is
// not in the base folder leaves the one the program has always opened.
std::string TForm1::help_file(int n, const char* fallback) const {
    const std::string& named = slot(n);
    if (named.empty() || named.find_first_of("/\\:") != std::string::npos) return fallback;
    return platform::file_exists(basefolder.file(named), platform::Place::BaseFolder) ? named : fallback;
}

void TForm1::lbl_homelinkClick() {
    if (!seam_.openUrl(kHomePage)) throw EInOutError("No browser could be started for the address", kHomePage);
}

// Runs every filter line once against a message whose parts all read "none",
// so that a line the filter code cannot handle shows up: the memo's last line
// is then its "Testing: " line. Comment lines and empty lines are listed only.
void TForm1::btn_testfiltersClick() {
    searcher::searcher_init("none", "none", "none", "none", "none", "none", true);
    for (const ListFiles& files : lists()) {
        platform::TextReader reader(basefolder.file(files.list), platform::Place::BaseFolder);
        std::string line;
        while (reader.next_line(line)) {
            mmo_test->appendPlainText(from_ansi("Testing: " + line));
            try_line(line);
            mmo_test->appendPlainText("Tested!");
        }
    }
}

}  // namespace kalvorin::config
