#include "InternetFixture.h"

#include "common/PlainSqlite.h"
#include "engine/sql/Table.h"
#include "engine/storage/Session.h"
#include "ui/DBControls.h"
#include "windows/About.h"

#include <QScreen>

namespace wk::testing {
namespace {

TEST_F(InternetTest, GoToHandsOverTheSelectedRecordsAddressMaximised) {
    startWith(kSites);
    open();
    EXPECT_EQ(FormInternet->windowTitle(), "Wikabay - Internet");
    EXPECT_EQ(FormInternet->frameGeometry().topLeft(), QPoint(20, FormMenu->outerHeight() + 40));
    FormInternet->DBGrid1->setFocus();
    QTest::keyClick(FormInternet->DBGrid1, Qt::Key_Down);
    EXPECT_EQ(FormInternet->DBEdit1->text(), "https://tl.wikipedia.org/");
    goTo();
    ASSERT_EQ(host_->opened.size(), 1u);
    EXPECT_EQ(host_->opened[0].address, "https://tl.wikipedia.org/");
    EXPECT_EQ(host_->opened[0].mode, platform::ShowMode::Maximized);
    // The plain letter G works from the grid; an address starting with www. gets http:// first.
    QTest::keyClick(FormInternet->DBGrid1, Qt::Key_Down);
    QTest::keyClick(FormInternet->DBGrid1, Qt::Key_G);
    ASSERT_TRUE(waitFor([this] { return host_->opened.size() == 2; }, "G to hand it over"));
    ASSERT_EQ(host_->opened.size(), 2u);
    EXPECT_EQ(host_->opened[1].address, "http://www.example.org/tagalog");
}

TEST_F(InternetTest, EmptyTableHandsNothingOver) {
    startWith({});
    open();
    goTo();
    EXPECT_TRUE(host_->opened.empty());
    EXPECT_TRUE(boxes_.empty());
}

TEST_F(InternetTest, AddressesThatAreNotWebAddressesAreRefusedAndNamed) {
    const std::vector<std::string> unsafe = {"C:\\Windows\\notepad.exe", "file:///etc/passwd",
                                             "javascript:alert(1)", "calc.exe",
                                             "http://example.org/\nrm -rf"};
    Rows rows;
    for (const std::string& u : unsafe)
        rows.push_back({"Bad", "", u});
    rows.push_back({"Mail", "", "MAILTO:someone@example.org"});
    startWith(rows);
    open();
    for (const std::string& u : unsafe) {
        boxes_.clear();
        answeringBoxes([this] { goTo(); });
        ASSERT_EQ(boxes_.size(), 1u) << u;
        EXPECT_EQ(boxes_[0].icon, QMessageBox::Information);
        EXPECT_TRUE(boxes_[0].text.contains(QString::fromStdString(u))) << u;
        EXPECT_TRUE(boxes_[0].text.contains("not a web address"));
        FormInternet->Table1.next();
    }
    EXPECT_TRUE(host_->opened.empty());
    goTo();
    ASSERT_EQ(host_->opened.size(), 1u);
    EXPECT_EQ(host_->opened[0].address, "MAILTO:someone@example.org");
    EXPECT_EQ(storedDescriptions().size(), unsafe.size() + 1); // nothing was changed
}

TEST_F(InternetTest, ClosedTableGivesTheFieldNotFoundError) {
    start(); // no Internet table: opening fails, the window shows all the same
    answeringBoxes([this] { open(); });
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_TRUE(FormInternet->isVisible());
    boxes_.clear();
    answeringBoxes([this] { goTo(); });
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].text, "Table1: Field 'URL' not found.");
    EXPECT_EQ(boxes_[0].title, "Wikabay");
}

TEST_F(InternetTest, EditedDescriptionIsStoredWhenMovingAway) {
    startWith(kSites);
    open();
    typeDescription(" Official site.");
    FormInternet->DBGrid1->setFocus();
    QTest::keyClick(FormInternet->DBGrid1, Qt::Key_Down);
    EXPECT_EQ(storedDescriptions()[0], "The language commission. Official site.");
}

TEST_F(InternetTest, EditedDescriptionIsStoredWhenEscapeClosesTheWindow) {
    startWith(kSites);
    open();
    typeDescription(" Official site.");
    QTest::keyClick(FormInternet->DBMemo1, Qt::Key_Escape);
    EXPECT_FALSE(FormInternet->isVisible());
    EXPECT_EQ(storedDescriptions()[0], "The language commission. Official site.");
    // Reopening starts at the first record and shows what was stored.
    open();
    EXPECT_EQ(FormInternet->Table1.recNo(), 0);
    EXPECT_EQ(FormInternet->DBMemo1->toPlainText(), "The language commission. Official site.");
}

TEST_F(InternetTest, AnEmptyTableTakesNoTypingThatCouldNotBeStoredAndSaysWhy) {
    startWith({});
    open();
    // Typing would begin a record with neither a name nor an address, which the window has no
    // way to fill in: the memo takes none, and its hint says why, instead of dropping the text
    // at the close without a word.
    EXPECT_TRUE(FormInternet->DBMemo1->isReadOnly());
    EXPECT_EQ(FormInternet->DBMemo1->toolTip(), "There is no website to describe.");
    typeDescription("A new site");
    EXPECT_EQ(FormInternet->DBMemo1->toPlainText(), "");
    EXPECT_EQ(FormInternet->Table1.state(), engine::DatasetState::Browse);
    answeringBoxes([] { QTest::keyClick(FormInternet->DBMemo1, Qt::Key_Escape); });
    EXPECT_TRUE(boxes_.empty());
    EXPECT_FALSE(FormInternet->isVisible());
    EXPECT_TRUE(storedDescriptions().empty());
    // A new record that has a name is stored as the window closes.
    open();
    FormInternet->Table1.append();
    FormInternet->Table1.setFieldText("Name", "Named");
    FormInternet->Table1.setFieldText("Description", "A named site");
    QTest::keyClick(FormInternet->DBMemo1, Qt::Key_Escape);
    EXPECT_FALSE(FormInternet->isVisible());
    EXPECT_EQ(storedDescriptions(), std::vector<std::string>{"A named site"});
    EXPECT_EQ(storedField("Internet.db", "Name"), std::vector<std::string>{"Named"});
    // Once there is a website, its description can be typed.
    open();
    EXPECT_FALSE(FormInternet->DBMemo1->isReadOnly());
    EXPECT_EQ(FormInternet->DBMemo1->toolTip(), "");
}

TEST_F(InternetTest, FailedPostOnCloseKeepsTheWindowAndTheText) {
    startWith(kSites);
    open();
    typeDescription(" Edited.");
    // Another program holds the table.
    LockedFile other(tables_ / "Internet.db");
    // The question asked is answered with Escape: keep editing.
    answeringBoxesWith([](QMessageBox& box) { QTest::keyClick(&box, Qt::Key_Escape); },
                       [] { QTest::keyClick(FormInternet->DBMemo1, Qt::Key_Escape); });
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].icon, QMessageBox::Warning);
    EXPECT_TRUE(boxes_[0].text.contains("locked")) << boxes_[0].text.toStdString();
    EXPECT_TRUE(FormInternet->isVisible());
    EXPECT_EQ(FormInternet->DBMemo1->toPlainText(), "The language commission. Edited.");
    other.release();
    boxes_.clear();
    answeringBoxes([] { QTest::keyClick(FormInternet->DBMemo1, Qt::Key_Escape); });
    EXPECT_TRUE(boxes_.empty());
    EXPECT_FALSE(FormInternet->isVisible());
    EXPECT_EQ(storedDescriptions()[0], "The language commission. Edited.");
}

TEST_F(InternetTest, EndingTheProgramStoresAPendingDescription) {
    startWith(kSites);
    open();
    typeDescription(" Kept.");
    EXPECT_EQ(runLoopAfter([] { FormMenu->close(); }), 0);
    EXPECT_EQ(storedDescriptions()[0], "The language commission. Kept.");
}

/// What the question about a change that cannot be stored offered.
struct Offer {
    QString discard;     ///< the text of its Discard button, "" without one
    QString defaultText; ///< the text of its default button
    QString escapeText;  ///< the text of the button Escape answers
};

Offer offerOf(QMessageBox& box) {
    Offer o;
    if (QAbstractButton* b = box.button(QMessageBox::Discard))
        o.discard = b->text();
    if (QPushButton* b = box.defaultButton())
        o.defaultText = b->text();
    if (QAbstractButton* b = box.escapeButton())
        o.escapeText = b->text();
    return o;
}

/// Answers the question with Discard, or closes any other box with Escape.
void discard(QMessageBox& box) {
    if (QAbstractButton* b = box.button(QMessageBox::Discard))
        b->click();
    else
        QTest::keyClick(&box, Qt::Key_Escape);
}

void pressEscape(QMessageBox& box) {
    QTest::keyClick(&box, Qt::Key_Escape);
}

TEST_F(InternetTest, ReadOnlyTableFileMakesTheDescriptionReadOnlyWithAHintSayingWhy) {
    startWith(kSites);
    const std::filesystem::path file = tables_ / "Internet.db";
    ASSERT_EQ(::chmod(file.c_str(), 0444), 0);
    OrdinaryUser user(root_, root_);
    if (user.unavailable())
        GTEST_SKIP() << "running as root without the right to take another identity";
    open();
    ui::DBMemo* memo = FormInternet->DBMemo1;
    EXPECT_TRUE(memo->isReadOnly());
    EXPECT_TRUE(memo->toolTip().startsWith("This table cannot be changed: "))
        << memo->toolTip().toStdString();
    EXPECT_TRUE(memo->toolTip().contains(QString::fromStdString(file.string())))
        << memo->toolTip().toStdString();
    // Typing changes nothing, so nothing is pending when the window closes.
    typeDescription(" Edited.");
    EXPECT_EQ(memo->toPlainText(), "The language commission.");
    EXPECT_EQ(FormInternet->Table1.state(), engine::DatasetState::Browse);
    answeringBoxes([] { QTest::keyClick(FormInternet->DBMemo1, Qt::Key_Escape); });
    EXPECT_TRUE(boxes_.empty());
    EXPECT_FALSE(FormInternet->isVisible());

    // Writable again: at the next opening the memo can be edited, and has no hint.
    user.end();
    ASSERT_EQ(::chmod(file.c_str(), 0644), 0);
    open();
    EXPECT_FALSE(memo->isReadOnly());
    EXPECT_TRUE(memo->toolTip().isEmpty()) << memo->toolTip().toStdString();
    typeDescription(" Edited.");
    answeringBoxes([] { QTest::keyClick(FormInternet->DBMemo1, Qt::Key_Escape); });
    EXPECT_TRUE(boxes_.empty());
    EXPECT_FALSE(FormInternet->isVisible());
    EXPECT_EQ(storedDescriptions()[0], "The language commission. Edited.");
}

TEST_F(InternetTest, ReadOnlyFolderMakesTheDescriptionReadOnlyWithAHintSayingWhy) {
    startWith(kSites);
    // The file could be written, but not the journal SQLite keeps beside it.
    ASSERT_EQ(::chmod((tables_ / "Internet.db").c_str(), 0666), 0);
    ASSERT_EQ(::chmod(tables_.c_str(), 0555), 0);
    OrdinaryUser user(root_, root_);
    if (user.unavailable())
        GTEST_SKIP() << "running as root without the right to take another identity";
    open();
    ui::DBMemo* memo = FormInternet->DBMemo1;
    EXPECT_TRUE(memo->isReadOnly());
    EXPECT_TRUE(memo->toolTip().startsWith("This table cannot be changed: "))
        << memo->toolTip().toStdString();
    EXPECT_TRUE(memo->toolTip().contains("folder '" + QString::fromStdString(tables_.string())))
        << memo->toolTip().toStdString();
    typeDescription(" Edited.");
    EXPECT_EQ(memo->toPlainText(), "The language commission.");
    answeringBoxes([] { QTest::keyClick(FormInternet->DBMemo1, Qt::Key_Escape); });
    EXPECT_TRUE(boxes_.empty());
    EXPECT_FALSE(FormInternet->isVisible());
    user.end();
    ::chmod(tables_.c_str(), 0755);
}

TEST_F(InternetTest, FailedPostOnCloseOffersDiscardWhichClosesAndDropsTheEdit) {
    startWith(kSites);
    open();
    typeDescription(" Edited.");
    LockedFile lock(tables_ / "Internet.db");
    Offer offer;
    answeringBoxesWith(
        [&offer](QMessageBox& box) {
            offer = offerOf(box);
            discard(box);
        },
        [] { QTest::keyClick(FormInternet->DBMemo1, Qt::Key_Escape); });
    // One box: the question, with no error box besides it.
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].title, "Wikabay");
    EXPECT_EQ(boxes_[0].icon, QMessageBox::Warning);
    EXPECT_TRUE(boxes_[0].text.contains("Table 'Internet'")) << boxes_[0].text.toStdString();
    EXPECT_TRUE(boxes_[0].text.contains("locked")) << boxes_[0].text.toStdString();
    EXPECT_EQ(offer.discard, "&Discard");
    EXPECT_EQ(offer.defaultText, "Keep editing");
    EXPECT_EQ(offer.escapeText, "Keep editing");
    EXPECT_FALSE(FormInternet->isVisible());
    lock.release();
    EXPECT_EQ(storedDescriptions()[0], "The language commission.");
    open();
    EXPECT_EQ(FormInternet->DBMemo1->toPlainText(), "The language commission.");
}

TEST_F(InternetTest, ClosingTheMenuAsksAboutADescriptionThatCannotBeStored) {
    startWith(kSites);
    // Not the About window a second after the start: the test's own loop outlives the end.
    FormMenu->Timer1.stop();
    open();
    typeDescription(" Edited.");
    FormAbout->show();
    LockedFile lock(tables_ / "Internet.db");
    // Keep editing: the windows and the menu stay open, and the text with them.
    bool closed = true;
    answeringBoxesWith(pressEscape, [&closed] { closed = FormMenu->close(); });
    EXPECT_FALSE(closed);
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].icon, QMessageBox::Warning);
    EXPECT_TRUE(boxes_[0].text.contains("locked")) << boxes_[0].text.toStdString();
    EXPECT_TRUE(FormMenu->isVisible());
    EXPECT_TRUE(FormInternet->isVisible());
    EXPECT_TRUE(FormAbout->isVisible()) << "no window closes before every one has agreed";
    EXPECT_EQ(FormInternet->DBMemo1->toPlainText(), "The language commission. Edited.");

    // Discard: every window closes and the program ends.
    boxes_.clear();
    int result = -1;
    answeringBoxesWith(discard, [&result] { result = runLoopAfter([] { FormMenu->close(); }); });
    EXPECT_EQ(result, 0);
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].icon, QMessageBox::Warning);
    for (QWidget* w : QApplication::topLevelWidgets())
        EXPECT_FALSE(w->isVisible()) << w->windowTitle().toStdString();
    lock.release();
    EXPECT_EQ(storedDescriptions()[0], "The language commission.");
}

TEST_F(InternetTest, StoringWhatIsPendingAsksNothing) {
    startWith(kSites);
    open();
    typeDescription(" Kept.");
    answeringBoxes([] { FormMenu->storePendingEdits(); });
    EXPECT_TRUE(boxes_.empty());
    EXPECT_TRUE(FormInternet->isVisible());
    EXPECT_EQ(FormInternet->Table1.state(), engine::DatasetState::Browse);
    EXPECT_EQ(storedDescriptions()[0], "The language commission. Kept.");
    // A change that cannot be stored: the caller hears of it; nobody is asked, nothing is lost
    // from the memo.
    typeDescription(" Again.");
    {
        LockedFile lock(tables_ / "Internet.db");
        answeringBoxes([] { EXPECT_THROW(FormMenu->storePendingEdits(), engine::EngineError); });
    }
    EXPECT_TRUE(boxes_.empty());
    EXPECT_TRUE(FormInternet->isVisible());
    EXPECT_EQ(FormInternet->DBMemo1->toPlainText(), "The language commission. Kept. Again.");
    EXPECT_EQ(storedDescriptions()[0], "The language commission. Kept.");
}

TEST_F(InternetTest, StoringWhatIsPendingDropsANamelessNewRecord) {
    startWith({});
    open();
    FormInternet->Table1.append();
    FormInternet->Table1.setFieldText("Description", "A new site");
    answeringBoxes([] { FormMenu->storePendingEdits(); });
    EXPECT_TRUE(boxes_.empty());
    EXPECT_EQ(FormInternet->Table1.state(), engine::DatasetState::Browse);
    EXPECT_EQ(FormInternet->Table1.recordCount(), 0);
    EXPECT_TRUE(storedDescriptions().empty());
}

} // namespace
} // namespace wk::testing
