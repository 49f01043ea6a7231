// One filter line along the whole road: composed in the editor, added to the
// secure list, saved with Save All, compiled by the plug-in at its
// initialisation and used by it to score two messages through kalvorin-host.
#include <map>
#include <string>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include "config/WindowFixture.h"
#include "config/cp1252.h"

namespace kalvorin::test {
namespace {

using config::from_ansi;
using config::to_ansi;

void choose(QComboBox* box, char code) {
    for (int i = 0; i < box->count(); ++i)
        if (to_ansi(box->itemText(i)).front() == code) box->setCurrentIndex(i);
}

class WholeRoadTest : public WindowTest {
protected:
    void add(char field, char op, char delimiter, const std::string& text) {
        choose(form->cbox_record, field);
        choose(form->cbox_have, op);
        choose(form->cbox_tstring, delimiter);
        form->edt_string->setText(from_ansi(text));
        form->btn_add->click();
    }
    // A folder holding the parts of one message as raw files.
    std::string message(const std::string& name, const std::map<std::string, std::string>& parts) const {
        const std::string dir = tmp_ / name;
        make_dir(dir);
        for (const auto& [part, text] : parts) spit(dir + "/" + part, text);
        return dir;
    }
};

TEST_F(WholeRoadTest, AComposedLineScoresTheMessageItShouldAndNotTheOther) {
    open_window();
    add('2', '=', '#', "win");
    add('1', '-', '"', "friend");
    form->btn_rotate->click();
    form->btn_and->click();
    const std::string line = "(SBJCT=#win#*SNDER-\"friend\")";
    ASSERT_EQ(to_ansi(form->edt_0->text()), line);

    form->btn_addsecure->click();
    form->edt_secure->setText("-777");
    ASSERT_TRUE(form->btn_saveall->isEnabled());
    form->btn_saveall->click();
    ASSERT_TRUE(seam.errors.empty()) << seam.errors.front();
    ASSERT_NE(slurp(base() + "secure.filters.txt").find(line + "\r\n"), std::string::npos);
    form.reset();

    const std::string prize = message("prize", {{"SNDER", "Lucky Draw <draw@example.com>"}, {"SBJCT", "You win a prize"}});
    const std::string pal = message("pal", {{"SNDER", "a friend <pal@example.org>"}, {"SBJCT", "You win a prize"}});
    const RunResult r = run({dist("kalvorin-host"), "--parts", prize, pal});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "-777\t" + prize + "\n0\t" + pal + "\n");
}

}  // namespace
}  // namespace kalvorin::test
