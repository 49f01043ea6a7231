// The window with the shipped language files: every caption fits its
// component and no two components overlap. Screenshots of the five tabs go to
// the build folder's "screenshots" folder for a look by eye.
#include <filesystem>

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTabWidget>

#include "config/WindowFixture.h"
#include "config/cp1252.h"

namespace kalvorin::test {
namespace {

using config::TForm1;

class LayoutTest : public WindowTest, public ::testing::WithParamInterface<const char*> {
protected:
    // The shipped English file, and the local one named by the parameter
    // ("lang.txt", or the English one again to see English captions).
    void SetUp() override {
        WindowTest::SetUp();
        const std::string resources = std::string(KALVORIN_SOURCE_DIR) + "/resources/";
        spit(base() + "lang.eng.txt", slurp(resources + "lang.eng.txt"));
        spit(base() + "lang.txt", slurp(resources + GetParam()));
    }
};

// Widgets that share a parent and are both shown.
std::vector<std::pair<QWidget*, QWidget*>> sibling_pairs(QWidget* parent) {
    std::vector<QWidget*> kids;
    for (QObject* o : parent->children())
        if (auto* w = qobject_cast<QWidget*>(o); w && !w->isWindow() && !w->isHidden()) kids.push_back(w);
    std::vector<std::pair<QWidget*, QWidget*>> pairs;
    for (std::size_t i = 0; i < kids.size(); ++i)
        for (std::size_t j = i + 1; j < kids.size(); ++j) pairs.emplace_back(kids[i], kids[j]);
    return pairs;
}

TEST_P(LayoutTest, CaptionsFitAndNothingOverlaps) {
    TForm1& w = open_window();
    ASSERT_TRUE(seam.errors.empty());
    w.show();

    // Qt's own parts (the tab bar's scroll buttons, ...) are not components.
    auto component = [](const QWidget* c) {
        return !c->objectName().isEmpty() && !c->parentWidget()->objectName().startsWith("qt_");
    };
    auto fits = [&](QWidget* c, const QString& text) {
        if (component(c)) {
            EXPECT_LE(c->sizeHint().width(), c->width()) << c->objectName().toStdString() << ": "
                                                          << config::to_ansi(text);
        }
    };
    for (QAbstractButton* b : w.findChildren<QAbstractButton*>()) fits(b, b->text());
    for (QLabel* l : w.findChildren<QLabel*>()) fits(l, l->text());
    for (QGroupBox* g : w.findChildren<QGroupBox*>())
        EXPECT_LE(g->fontMetrics().horizontalAdvance(g->title()) + 16, g->width()) << g->objectName().toStdString();

    std::vector<QWidget*> parents = {&w};
    for (QWidget* p : w.findChildren<QWidget*>())
        if (component(p)) parents.push_back(p);
    for (QWidget* p : parents)
        for (auto [a, b] : sibling_pairs(p))
            EXPECT_FALSE(a->geometry().intersects(b->geometry()))
                << a->objectName().toStdString() << " overlaps " << b->objectName().toStdString();

    // The pictures show each pick-list with its widest item chosen.
    for (QComboBox* box : w.findChildren<QComboBox*>()) {
        int widest = -1;
        for (int i = 0; i < box->count(); ++i)
            if (widest < 0 || box->fontMetrics().horizontalAdvance(box->itemText(i)) >
                                  box->fontMetrics().horizontalAdvance(box->itemText(widest)))
                widest = i;
        box->setCurrentIndex(widest);
    }
    const std::string shots = std::string(KALVORIN_DIST) + "/../screenshots/";
    std::filesystem::create_directories(shots);
    for (int i = 0; i < w.pg_ppal->count(); ++i) {
        w.pg_ppal->setCurrentIndex(i);
        const std::string file = shots + std::string(GetParam()) + "." + std::to_string(i) + "." +
                                 w.pg_ppal->widget(i)->objectName().toStdString() + ".png";
        w.grab().save(QString::fromStdString(file));
    }
}

// The chosen item is drawn in the box's text field, which is all the room an
// item has once the list is closed.
TEST_P(LayoutTest, EveryPickListItemFitsItsBox) {
    TForm1& w = open_window();
    ASSERT_TRUE(seam.errors.empty());
    w.show();
    for (QComboBox* box : w.findChildren<QComboBox*>()) {
        ASSERT_GT(box->count(), 0) << box->objectName().toStdString();
        for (int i = 0; i < box->count(); ++i) {
            box->setCurrentIndex(i);
            QStyleOptionComboBox option;
            option.initFrom(box);
            option.editable = box->isEditable();
            option.currentText = box->currentText();
            const QRect field = box->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                             QStyle::SC_ComboBoxEditField, box);
            EXPECT_LE(box->fontMetrics().horizontalAdvance(box->itemText(i)), field.width())
                << box->objectName().toStdString() << ": " << config::to_ansi(box->itemText(i));
        }
        box->setCurrentIndex(-1);
    }
}

INSTANTIATE_TEST_SUITE_P(Languages, LayoutTest, ::testing::Values("lang.txt", "lang.eng.txt"),
                         [](const auto& info) { return std::string(info.param == std::string("lang.txt") ? "local" : "english"); });

}  // namespace
}  // namespace kalvorin::test
