// "Line use" driven end to end, in English, on a log that the real plug-in
// wrote: the table, its sorting, the export and "Open the list".
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>

#include "config/WindowFixture.h"
#include "config/cp1252.h"
#ifndef _WIN32
#include "support/SampleLog.h"
#endif

namespace kalvorin::test {
namespace {

#ifndef _WIN32

using config::TLineUseForm;
using config::to_ansi;

const std::string kEnglish = std::string(KALVORIN_SOURCE_DIR) + "/resources/lang.eng.txt";

// Line n of the shipped English texts.
std::string english(int n) {
    const std::string all = slurp(kEnglish);
    std::size_t at = 0;
    for (int i = 1; i < n; ++i) at = all.find("\r\n", at) + 2;
    return all.substr(at, all.find("\r\n", at) - at);
}

// The first letters of each row's list and its number, in the order shown.
std::string places(const QTreeWidget* table) {
    std::string out;
    for (int r = 0; r < table->topLevelItemCount(); ++r)
        out += to_ansi(table->topLevelItem(r)->text(0)).substr(0, 2) + to_ansi(table->topLevelItem(r)->text(1)) + " ";
    return out;
}

TEST_F(WindowTest, LineUseCountsSortsExportsAndOpensTheList) {
    spit(base() + "lang.eng.txt", slurp(kEnglish));
    spit(base() + "lang.txt", "");
    open_window();
    form->btn_lineuse->click();
    const TLineUseForm& f = *form->frm_use;
    EXPECT_EQ(to_ansi(f.lbl_usestate->text()), english(153));

    log_samples(base());
    form->btn_lineuse->click();
    EXPECT_EQ(to_ansi(f.lbl_usestate->text()), english(152) + " 12");
    ASSERT_EQ(f.lst_use->topLevelItemCount(), 10);
    EXPECT_EQ(to_ansi(f.lst_use->topLevelItem(4)->text(TLineUseForm::kNote)), english(151));  // trash line 2
    EXPECT_EQ(to_ansi(f.lst_use->topLevelItem(9)->text(TLineUseForm::kNote)), english(150));

    // The export is kalvorin-lint --usage's, its rows in the order shown.
    const RunResult usage = run({dist("kalvorin-lint"), "--usage"});
    ASSERT_EQ(usage.status, 0) << usage.err;
    seam.save_answer = tmp_ / "use.tsv";
    f.btn_useexport->click();
    EXPECT_EQ(slurp(tmp_ / "use.tsv"), usage.out);

    // Rows that tie keep the pass order, whichever way a column sorts.
    f.lst_use->sortByColumn(TLineUseForm::kNumber, Qt::AscendingOrder);
    EXPECT_EQ(places(f.lst_use), "se2 tr2 su2 se3 tr3 su3 se4 tr4 su4 tr5 ");
    f.lst_use->sortByColumn(TLineUseForm::kNumber, Qt::DescendingOrder);
    EXPECT_EQ(places(f.lst_use), "tr5 se4 tr4 su4 se3 tr3 su3 se2 tr2 su2 ");
    f.lst_use->sortByColumn(TLineUseForm::kLast, Qt::AscendingOrder);
    EXPECT_EQ(places(f.lst_use).substr(0, 16), "su4 su2 se4 tr5 ");
    f.btn_useexport->click();
    const std::string sorted = slurp(tmp_ / "use.tsv");
    EXPECT_EQ(sorted.size(), usage.out.size());
    EXPECT_EQ(sorted.find("suspect\t4\t3\t0\t-\tsnder=#.example.com#\nsuspect\t2\t"), usage.out.find('\n') + 1);

    f.lst_use->setCurrentItem(f.lst_use->topLevelItem(1));
    EXPECT_NE(to_ansi(f.mmo_useline->toPlainText()).find(english(159) + " Events <events@city-events.example> | "),
              std::string::npos);
    f.btn_uselist->click();
    EXPECT_EQ(seam.opened_files, std::vector<std::string>{base() + "suspect.filters.txt"});
    EXPECT_EQ(to_ansi(f.lbl_usegoto->text()), "suspect.filters.txt: " + english(158) + " 2");
    EXPECT_TRUE(seam.errors.empty()) << seam.errors.front();

    // The README's picture; docs/line-use.png is a copy.
    const std::string shots = std::string(KALVORIN_DIST) + "/../screenshots/";
    std::filesystem::create_directories(shots);
    f.lst_use->sortByColumn(TLineUseForm::kDecided, Qt::DescendingOrder);
    f.lst_use->setCurrentItem(f.lst_use->topLevelItem(4));
    EXPECT_TRUE(form->frm_use->grab().save(QString::fromStdString(shots + "lineuse.png")));
}

#endif  // _WIN32

}  // namespace
}  // namespace kalvorin::test
