// The links window when another program changes the table under it: a description refused
// because its record changed or went, and a table imported anew while the window is open.

#include "InternetFixture.h"

#include "engine/sql/Table.h"
#include "engine/storage/Session.h"
#include "ui/DBControls.h"

#include <QClipboard>

namespace wk::testing {
namespace {

const Rows kImportedSites = {
    {"Dictionary", "Words and meanings.", "https://dictionary.example/"},
    {"Radio", "News in Tagalog.", "https://radio.example/"},
    {"Songs", "Lyrics with translations.", "https://songs.example/"},
    {"Lessons", "", "https://lessons.example/"},
};

std::vector<std::string> descriptionsOf(const Rows& rows) {
    std::vector<std::string> out;
    for (const auto& row : rows)
        out.push_back(row[1]);
    return out;
}

/// Answers a box with the button whose text is `text` ("Keep &mine"); Escape when it has none.
std::function<void(QMessageBox&)> clicking(const QString& text) {
    return [text](QMessageBox& box) {
        for (QAbstractButton* b : box.buttons())
            if (b->text() == text) {
                b->click();
                return;
            }
        QTest::keyClick(&box, Qt::Key_Escape);
    };
}

class InternetRefusalTest : public InternetTest {
protected:
    /// Opens the window on kSites with the first description edited, not yet stored, after
    /// another program stored "Changed elsewhere." as that description.
    void editAfterAnotherProgramsChange() {
        startWith(kSites);
        FormMenu->Timer1.stop();
        open();
        engine::Session other("Other");
        other.addPassword(TFormMenu::kTablePassword);
        engine::Table t;
        t.setSessionName("Other");
        t.setDatabaseName("Wikabay");
        t.setTableName("Internet.db");
        t.open();
        t.setFieldText("Description", "Changed elsewhere.");
        t.post();
        typeDescription(" Edited.");
    }
    /// Moves down in the grid, answering the boxes with `answer`.
    void moveDownAnswering(const std::function<void(QMessageBox&)>& answer) {
        FormInternet->DBGrid1->setFocus();
        answeringBoxesWith(answer, [] { QTest::keyClick(FormInternet->DBGrid1, Qt::Key_Down); });
    }
};

const QString kBothTexts = QStringLiteral(
    "Another program changed this description while you were editing it. Yours was not "
    "stored.\n\nStored by the other program:\nChanged elsewhere.\n\nYours:\nThe language "
    "commission. Edited.\n\nKeep yours, or take theirs?");

TEST_F(InternetRefusalTest, ARefusedDescriptionShowsTheOtherProgramsTextAndKeepMineStoresIt) {
    editAfterAnotherProgramsChange();
    moveDownAnswering(clicking("Keep &mine"));
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].text, kBothTexts);
    EXPECT_EQ(boxes_[0].icon, QMessageBox::Warning);
    EXPECT_EQ(storedDescriptions()[0], "The language commission. Edited.");
    // The move that was refused did not happen; the record shows what is stored now.
    EXPECT_EQ(FormInternet->Table1.recNo(), 0);
    EXPECT_EQ(FormInternet->Table1.state(), engine::DatasetState::Browse);
    EXPECT_EQ(FormInternet->DBMemo1->toPlainText(), "The language commission. Edited.");
}

TEST_F(InternetRefusalTest, TakeTheirsDropsTheTypedTextAndStoresNothing) {
    editAfterAnotherProgramsChange();
    moveDownAnswering(clicking("Take &theirs"));
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(storedDescriptions()[0], "Changed elsewhere.");
    EXPECT_EQ(FormInternet->DBMemo1->toPlainText(), "Changed elsewhere.");
    EXPECT_EQ(FormInternet->Table1.state(), engine::DatasetState::Browse);
    // Nothing is pending: the next move stores nothing and asks nothing.
    boxes_.clear();
    moveDownAnswering(clicking("Keep &mine"));
    EXPECT_TRUE(boxes_.empty());
    EXPECT_EQ(FormInternet->Table1.recNo(), 1);
    EXPECT_EQ(storedDescriptions()[0], "Changed elsewhere.");
}

TEST_F(InternetRefusalTest, EscapeKeepsEditingWithTheTypedTextAndItIsStoredAtTheNextMove) {
    editAfterAnotherProgramsChange();
    moveDownAnswering(clicking("no such button"));
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(storedDescriptions()[0], "Changed elsewhere.");
    EXPECT_EQ(FormInternet->DBMemo1->toPlainText(), "The language commission. Edited.");
    EXPECT_EQ(FormInternet->Table1.state(), engine::DatasetState::Edit);
    // The user has seen the other program's text: the next move stores theirs over it.
    boxes_.clear();
    moveDownAnswering(clicking("Keep &mine"));
    EXPECT_TRUE(boxes_.empty());
    EXPECT_EQ(FormInternet->Table1.recNo(), 1);
    EXPECT_EQ(storedDescriptions()[0], "The language commission. Edited.");
}

TEST_F(InternetRefusalTest, ClosingSettlesARefusedDescriptionTooAndKeepEditingKeepsTheWindow) {
    editAfterAnotherProgramsChange();
    answeringBoxesWith(clicking("no such button"),
                       [] { QTest::keyClick(FormInternet->DBMemo1, Qt::Key_Escape); });
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].text, kBothTexts);
    EXPECT_TRUE(FormInternet->isVisible());
    boxes_.clear();
    answeringBoxesWith(clicking("Take &theirs"),
                       [] { QTest::keyClick(FormInternet->DBMemo1, Qt::Key_Escape); });
    EXPECT_TRUE(boxes_.empty()) << "kept editing after seeing theirs: stored as the window closes";
    EXPECT_FALSE(FormInternet->isVisible());
    EXPECT_EQ(storedDescriptions()[0], "The language commission. Edited.");
}

TEST_F(InternetRefusalTest, TextTypedForARecordThatIsGoneIsOfferedForCopyingNeverClaimedAsKept) {
    startWith(kSites);
    FormMenu->Timer1.stop();
    open();
    FormInternet->Table1.next();
    typeDescription(" Edited.");
    makeTable("Internet", kFields, kImportedSites);
    QGuiApplication::clipboard()->clear();
    moveDownAnswering(clicking("&Copy and close"));
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].text,
              "The record was deleted by another program, or its table imported anew. Your "
              "change was not stored.\n\nYour description, which was not stored:\nThe "
              "encyclopedia in Tagalog. Edited.");
    EXPECT_FALSE(boxes_[0].text.contains("kept"));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "The encyclopedia in Tagalog. Edited.");
    // The list is the new one; the memo shows its record, and nothing is pending for it.
    EXPECT_EQ(storedDescriptions(), descriptionsOf(kImportedSites));
    EXPECT_EQ(FormInternet->Table1.recordCount(), 4);
    EXPECT_EQ(FormInternet->Table1.state(), engine::DatasetState::Browse);
    EXPECT_EQ(FormInternet->DBMemo1->toPlainText(), "News in Tagalog.");
    boxes_.clear();
    answeringBoxes([] { QTest::keyClick(FormInternet->DBGrid1, Qt::Key_Escape); });
    EXPECT_TRUE(boxes_.empty());
    EXPECT_FALSE(FormInternet->isVisible());
    EXPECT_EQ(storedDescriptions(), descriptionsOf(kImportedSites));
}

TEST_F(InternetRefusalTest, TableImportedAnewWhileAwayIsReadAgainOnComingBack) {
    startWith(kSites);
    FormMenu->Timer1.stop();
    open();
    FormInternet->Table1.next();
    typeDescription(" Edited.");
    QWidget other;
    activateSomethingElse(other);
    makeTable("Internet", kFields, kImportedSites);
    answeringBoxesWith(clicking("Close"), [this] { activate(FormInternet); });
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_TRUE(boxes_[0].text.contains("The encyclopedia in Tagalog. Edited."));
    EXPECT_EQ(storedDescriptions(), descriptionsOf(kImportedSites));
    EXPECT_EQ(FormInternet->Table1.recordCount(), 4);
    EXPECT_EQ(FormInternet->DBEdit1->text(), "https://radio.example/");
    EXPECT_EQ(FormInternet->DBMemo1->toPlainText(), "News in Tagalog.");

    // With nothing typed, the new records are simply shown.
    activateSomethingElse(other);
    makeTable("Internet", kFields, kSites);
    boxes_.clear();
    answeringBoxes([this] { activate(FormInternet); });
    EXPECT_TRUE(boxes_.empty());
    EXPECT_EQ(FormInternet->Table1.recordCount(), 3);
    EXPECT_EQ(FormInternet->DBEdit1->text(), "https://kwf.gov.ph/");
    EXPECT_EQ(FormInternet->DBMemo1->toPlainText(), "The language commission.");
}

TEST_F(InternetRefusalTest, TableImportedAnewWhileTheWindowStaysActiveIsShownWholeAtOnce) {
    startWith(kSites);
    FormMenu->Timer1.stop();
    open();
    FormInternet->Table1.moveTo(2);
    ASSERT_TRUE(waitForActive(FormInternet));
    makeTable("Internet", kFields, kImportedSites);
    // No activation: the window notices by itself, and shows the new rows with their count.
    ASSERT_TRUE(waitFor([] { return FormInternet->Table1.recordCount() == 4; },
                        "the new table to be read"));
    EXPECT_EQ(FormInternet->DBGrid1->model()->rowCount(), 4);
    EXPECT_EQ(FormInternet->DBGrid1->model()->index(3, 0).data().toString(), "Lessons");
    EXPECT_EQ(FormInternet->DBEdit1->text(), "https://dictionary.example/");
    EXPECT_EQ(FormInternet->DBMemo1->toPlainText(), "Words and meanings.");
    EXPECT_TRUE(boxes_.empty());
}

} // namespace
} // namespace wk::testing
