// The bulk tab: many filter lines at once from the memo or a file.
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>
#include <system_error>
#include <vector>

#include <QAbstractTextDocumentLayout>
#include <QCloseEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>

#include "config/BulkBatch.h"
#include "config/FilterLists.h"
#include "config/cp1252.h"
#include "config/interfaz.h"

namespace kalvorin::config {

namespace {

constexpr int kMemoMaxLength = 3500;

// A progress dialog that the user cannot dismiss: a batch runs to its end.
class BatchProgressDialog final : public QProgressDialog {
public:
    using QProgressDialog::QProgressDialog;

protected:
    void reject() override {}
    void closeEvent(QCloseEvent* event) override { event->ignore(); }
};

// Shows how far a long pass over a file has got. The dialog appears only when
// the pass takes longer than a moment; once shown, every update also repaints
// the window, and as the dialog is modal to the window nothing else can be
// started meanwhile.
class BatchProgress {
public:
    BatchProgress(QWidget* owner, const std::string& path) : dialog_(owner), total_(file_size(path)) {
        dialog_.setWindowModality(Qt::WindowModal);
        dialog_.setCancelButton(nullptr);
        dialog_.setMinimumDuration(kShowAfterMs);
        dialog_.setRange(0, kSteps);
        dialog_.setValue(0);
    }
    // One more line of `bytes` bytes has been read.
    void advance(std::size_t bytes) {
        done_ += bytes;
        if (++lines_ % kLinesPerUpdate != 0 || total_ == 0) return;
        dialog_.setValue(static_cast<int>(std::min<std::uintmax_t>(done_ * kSteps / total_, kSteps - 1)));
    }

private:
    static constexpr int kSteps = 1000;
    static constexpr int kShowAfterMs = 500;
    static constexpr std::uintmax_t kLinesPerUpdate = 1000;

    static std::uintmax_t file_size(const std::string& path) {
        std::error_code error;
        const std::uintmax_t size = std::filesystem::file_size(std::filesystem::path(path), error);
        return error ? 0 : size;
    }

    BatchProgressDialog dialog_;
    std::uintmax_t total_;
    std::uintmax_t done_ = 0;
    std::uintmax_t lines_ = 0;
};

// The memo's lines are the rows that it shows: a paragraph wider than the
// memo counts as one line per row that its wrapping lays out.
std::vector<std::string> memo_rows(const QPlainTextEdit* memo) {
    std::vector<std::string> rows;
    const QTextDocument* document = memo->document();
    QAbstractTextDocumentLayout* layout = document->documentLayout();
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        layout->blockBoundingRect(block);  // lays the block out when it is not yet
        const QTextLayout* lines = block.layout();
        const QString text = block.text();
        if (lines->lineCount() == 0) {
            rows.push_back(to_ansi(text));
            continue;
        }
        for (int i = 0; i < lines->lineCount(); ++i) {
            const QTextLine line = lines->lineAt(i);
            rows.push_back(to_ansi(text.mid(line.textStart(), line.textLength())));
        }
    }
    return rows;
}

}  // namespace

// The memo takes at most kMemoMaxLength characters (a line end counts as
// one): what a keystroke or a paste would add beyond it is cut off again.
void TForm1::limit_memo_length() {
    QTextDocument* document = mmo_origen->document();
    connect(document, &QTextDocument::contentsChange, this, [document](int position, int, int added) {
        const int length = document->characterCount() - 1;
        const int excess = length - kMemoMaxLength;
        if (excess <= 0) return;
        const int end = std::min(position + added, length);
        QTextCursor cut(document);
        cut.setPosition(std::max(end - excess, 0));
        cut.setPosition(end, QTextCursor::KeepAnchor);
        cut.removeSelectedText();
    });
}

void TForm1::mmo_origenClick() { rd_bulkstring->setChecked(true); }
void TForm1::edt_filenameClick() { rd_bulkfromfile->setChecked(true); }

// The name is kept as the file system's bytes, so that it opens again as it
// was chosen.
void TForm1::btn_bulkexaminarClick() {
    rd_bulkfromfile->setChecked(true);
    if (OpenDialog1->Execute()) edt_filename->setText(from_ansi(OpenDialog1->FileName));
}

void TForm1::generate_from_memo(const TestKind& kind) {
    const BatchCount count = generate_from_rows(kind, memo_rows(mmo_origen), basefolder.staging());
    mmo_origen->clear();
    tell_skipped(count, kind.delimiter);
}

void TForm1::generate_from_file(const TestKind& kind) {
    const std::string source = to_ansi(edt_filename->text());
    BatchCount count;
    {
        BatchProgress progress(this, source);
        count = config::generate_from_file(kind, source, basefolder.staging(),
                                           [&progress](std::size_t bytes) { progress.advance(bytes); });
    }
    edt_filename->clear();
    tell_skipped(count, kind.delimiter);
}

void TForm1::tell_skipped(const BatchCount& count, char delimiter) {
    const std::string message = skipped_message(count, delimiter);
    if (!message.empty()) seam_.showWarning(this, "Warning", message);
}

// Generating with the file source chosen but no file named yet does nothing
// at all, like a pick-list without a choice: there is nothing to read, and
// the add buttons stay as they were.
void TForm1::btn_bulkprocesaClick() {
    const std::optional<TestKind> kind = chosen_kind(cbox_bulkrecord, cbox_bulkhave, cbox_bulktstring);
    if (!kind) return;
    const std::string file_name = to_ansi(edt_filename->text());
    if (rd_bulkfromfile->isChecked() && file_name.empty()) return;

    if (rd_bulkstring->isChecked() && to_ansi(mmo_origen->toPlainText()) != "0") generate_from_memo(*kind);
    if (rd_bulkfromfile->isChecked() && file_name != "0") generate_from_file(*kind);

    btn_bulkaddsecure->setEnabled(true);
    btn_bulkaddtrash->setEnabled(true);
    btn_bulkaddsuspect->setEnabled(true);
}

void TForm1::add_batch(const std::string& pending) {
    const std::string staging = basefolder.staging();
    BatchProgress progress(this, staging);
    config::add_batch(staging, basefolder.file(pending), [&progress](std::size_t bytes) { progress.advance(bytes); });

    btn_bulkaddsecure->setEnabled(false);
    btn_bulkaddtrash->setEnabled(false);
    btn_bulkaddsuspect->setEnabled(false);
    btn_saveall->setEnabled(true);
}

void TForm1::btn_bulkaddsecureClick() { add_batch(lists()[0].pending); }
void TForm1::btn_bulkaddtrashClick() { add_batch(lists()[1].pending); }
void TForm1::btn_bulkaddsuspectClick() { add_batch(lists()[2].pending); }

}  // namespace kalvorin::config
