// "Make a line" end to end on the bundled sample messages: scored by the real
// plug-in, which logs them, then chosen in the last messages.
#include <filesystem>
#include <string>
#include <vector>

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>

#include "config/WindowFixture.h"
#include "config/cp1252.h"
#include "platform/registry.h"

namespace kalvorin::test {
namespace {

#ifndef _WIN32
// POSIX only: the samples are scored by the native kalvorin-host.
using config::to_ansi;

const std::string kSource = KALVORIN_SOURCE_DIR;

std::string row(const QTreeWidgetItem* item) {
    std::string out;
    for (int c = 0; c < item->columnCount(); ++c) out += (c ? " | " : "") + to_ansi(item->text(c));
    return out;
}

class MakeLineTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        const std::string english = slurp(kSource + "/resources/lang.eng.txt");
        spit(base() + "lang.eng.txt", english);
        spit(base() + "lang.txt", english);
        for (const char* list : {"secure", "trash", "suspect"}) {
            const std::string name = std::string(list) + ".filters.txt";
            spit(base() + name, slurp(kSource + "/resources/demo/base/" + name));
        }
    }
    // The window stores the base folder, where the plug-in then logs.
    void score_samples() const {
        store_value("Software\\kalvorin\\settings", "logsize", platform::kRegDword, dword(20));
        std::vector<std::string> argv = {dist("kalvorin-host")};
        for (const auto& e : std::filesystem::directory_iterator(kSource + "/resources/demo/messages"))
            argv.push_back(e.path().string());
        std::sort(argv.begin() + 1, argv.end());
        const RunResult r = run(argv);
        ASSERT_EQ(r.status, 0) << r.err;
    }
    // Chooses the logged messages of these subjects alone, and makes a line.
    void make_line_for(const std::vector<std::string>& subjects) {
        QTreeWidget* messages = form->frm_messages->lst_messages;
        messages->clearSelection();
        for (int r = 0; r < messages->topLevelItemCount(); ++r)
            for (const std::string& subject : subjects)
                if (to_ansi(messages->topLevelItem(r)->text(1)) == subject)
                    messages->topLevelItem(r)->setSelected(true);
        ASSERT_TRUE(form->frm_messages->btn_makeline->isEnabled());
        form->frm_messages->btn_makeline->click();
    }
    QTreeWidget* proposals() { return form->frm_makeline->lst_proposals; }
};

TEST_F(MakeLineTest, ALineFromASpamIsAddedAndTheDryRunShowsIt) {
    open_window();
    score_samples();
    form->btn_lastmessages->click();
    ASSERT_EQ(form->frm_messages->lst_messages->topLevelItemCount(), 12);

    // Mail a secure line decides: a line made from it would catch wanted mail.
    make_line_for({"Sunday lunch"});
    EXPECT_EQ(row(proposals()->topLevelItem(0)), "SNDER=#mum@example-family.org# | 1 / 1 | 1 | 1");

    make_line_for({"What's on this weekend"});
    EXPECT_EQ(row(proposals()->topLevelItem(0)), "SNDER=#events@city-events.example# | 1 / 1 | 1 | 0");
    proposals()->topLevelItem(6)->setCheckState(0, Qt::Checked);
    form->frm_makeline->rd_makeor->setChecked(true);
    const std::string line = "(SNDER=#events@city-events.example#+MBODY=#tracker.city-events.example#)";
    EXPECT_EQ(to_ansi(form->frm_makeline->lbl_makeline->text()), "The line Add would add: " + line);
    EXPECT_EQ(to_ansi(form->frm_makeline->cbox_makelist->currentText()), "trash");
    form->frm_makeline->btn_makeadd->click();

    EXPECT_EQ(slurp(base() + "trash.edt.tmp"), line + "\r\n");
    EXPECT_TRUE(form->btn_saveall->isEnabled());
    ASSERT_EQ(form->frm_messages->lst_pending->topLevelItemCount(), 1);
    EXPECT_EQ(row(form->frm_messages->lst_pending->topLevelItem(0)),
              "Events <events@city-events.example> | What's on this weekend | none -> trash, 0 -> 1000");
    EXPECT_TRUE(seam.errors.empty()) << seam.errors.front();

    // The picture for the README (docs/make-a-line.png is a copy of it).
    const std::string shots = std::string(KALVORIN_DIST) + "/../screenshots/";
    std::filesystem::create_directories(shots);
    make_line_for({"Invoice 2291 overdue", "You are a WINNER"});
    EXPECT_EQ(row(proposals()->topLevelItem(0)),
              "(SNDER=#office@lotto-intl.example#+SNDER=#accounts@billing-dept.example#) | 2 / 2 | 2 | 0");
    EXPECT_TRUE(form->frm_makeline->grab().save(QString::fromStdString(shots + "make-a-line.png")));
}

#endif  // _WIN32

}  // namespace
}  // namespace kalvorin::test
