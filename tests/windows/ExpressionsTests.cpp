#include "WindowFixture.h"

#include "engine/sql/Table.h"
#include "engine/storage/Session.h"
#include "ui/LinkLabel.h"
#include "windows/Expressions.h"

namespace wk::testing {
namespace {

const Rows kExpressions = {
    {"Hello!", "Kumusta!", "General"},
    {"I'm hungry.", "Nagugutom ako.", "Food"},
    {"Design group", "Ventrel entry", "Ventrel"},
    {"The bill, please.", "Pakibigay po ang kuwenta.", "Food"},
    {"Thank you.", "Salamat.", "General"},
    {"It's delicious!", "Masarap!", "Food"},
    {"What time is it?", "Anong oras na?", "Date/time"},
};

class ExpressionsTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        setAlias();
        makeTable("Expressions1", {"English", "Tagalog", "Group"}, kExpressions);
        start();
    }
    void open() { openFromMenu(FormMenu->SpeedButton2, FormExpressions); }
    void clickTopic(ui::LinkLabel* label) {
        QTest::mouseClick(label, Qt::LeftButton);
        processDueEvents();
    }
    QStringList listed() const {
        QStringList out;
        auto* model = FormExpressions->DBGrid1->model();
        for (int r = 0; r < model->rowCount(); ++r)
            out << model->index(r, 0).data().toString();
        return out;
    }
    QString caption() const { return FormExpressions->windowTitle(); }
};

TEST_F(ExpressionsTest, FirstOpeningListsTheDesignGroupOnly) {
    open();
    EXPECT_EQ(FormExpressions->frameGeometry().topLeft(), QPoint(200, 200));
    EXPECT_EQ(FormExpressions->size(), QSize(685, 449));
    EXPECT_EQ(caption(), "Wikabay - Expressions");
    EXPECT_EQ(listed(), QStringList{"Design group"});
    EXPECT_EQ(QApplication::focusWidget(), FormExpressions->DBGrid1);
}

TEST_F(ExpressionsTest, TopicClickThatActivatesTheWindowIsNotUndoneByTheActivation) {
    open();
    for (bool clickFirst : {false, true}) {
        SCOPED_TRACE(clickFirst ? "click before the activation" : "click after the activation");
        clickTopic(FormExpressions->Label3);
        activate(FormMenu);
        activateWith(FormExpressions, clickFirst,
                     [] { QTest::mouseClick(FormExpressions->Label8, Qt::LeftButton); });
        EXPECT_EQ(caption(), "Wikabay - Expressions about 'Food'");
        EXPECT_EQ(listed(), QStringList({"I'm hungry.", "The bill, please.", "It's delicious!"}));
    }
}

TEST_F(ExpressionsTest, EachTopicListsItsRecordsInTableOrderFromTheFirst) {
    open();
    clickTopic(FormExpressions->Label8);
    EXPECT_EQ(caption(), "Wikabay - Expressions about 'Food'");
    EXPECT_EQ(listed(), (QStringList{"I'm hungry.", "The bill, please.", "It's delicious!"}));
    EXPECT_EQ(FormExpressions->Table1.recNo(), 0);
    clickTopic(FormExpressions->Label9);
    EXPECT_EQ(caption(), "Wikabay - Expressions about 'Date/time'");
    EXPECT_EQ(listed(), QStringList{"What time is it?"});
    clickTopic(FormExpressions->Label10);
    EXPECT_EQ(caption(), "Wikabay - Expressions about 'Money'");
    EXPECT_TRUE(listed().isEmpty());
}

TEST_F(ExpressionsTest, SameTopicTwiceReloadsAtItsFirstRecord) {
    open();
    clickTopic(FormExpressions->Label3);
    FormExpressions->DBGrid1->setFocus();
    QTest::keyClick(FormExpressions->DBGrid1, Qt::Key_Down);
    ASSERT_EQ(FormExpressions->Table1.recNo(), 1);
    clickTopic(FormExpressions->Label3);
    EXPECT_EQ(FormExpressions->Table1.recNo(), 0);
    EXPECT_EQ(listed(), (QStringList{"Hello!", "Thank you."}));
}

TEST_F(ExpressionsTest, ReopeningKeepsTheTopicUnderThePlainCaption) {
    open();
    clickTopic(FormExpressions->Label8);
    QTest::keyClick(FormExpressions->DBGrid1, Qt::Key_Escape);
    EXPECT_FALSE(FormExpressions->isVisible());
    EXPECT_FALSE(FormExpressions->Table1.active());
    open();
    EXPECT_EQ(caption(), "Wikabay - Expressions");
    EXPECT_EQ(listed().size(), 3);
    EXPECT_EQ(listed().front(), "I'm hungry.");
}

TEST_F(ExpressionsTest, ArrivingThroughAnotherApplicationStillCountsAsActivation) {
    open();
    clickTopic(FormExpressions->Label8);
    activate(FormMenu);
    QWidget other;
    activateSomethingElse(other);
    activate(FormExpressions);
    EXPECT_EQ(caption(), "Wikabay - Expressions");
}

TEST_F(ExpressionsTest, PhraseBookImportedAnewWhileAwayIsReadAgainUnderTheSameTopic) {
    open();
    clickTopic(FormExpressions->Label8);
    QWidget other;
    activateSomethingElse(other);
    Rows more = kExpressions;
    more.insert(more.begin(), {"Water, please.", "Tubig po.", "Food"});
    makeTable("Expressions1", {"English", "Tagalog", "Group"}, more);
    activate(FormExpressions);
    ASSERT_TRUE(waitFor([this] { return listed().size() == 4; }, "the phrase book read again"));
    EXPECT_EQ(listed().size(), 4);
    EXPECT_EQ(listed().front(), "Water, please.");
}

TEST_F(ExpressionsTest, PhraseBookImportedAnewWhileTheWindowStaysActiveIsReadAgain) {
    // Not the About window a second after the start: the window must stay the active one.
    FormMenu->Timer1.stop();
    open();
    clickTopic(FormExpressions->Label8);
    ASSERT_TRUE(waitForActive(FormExpressions));
    Rows more = kExpressions;
    more.insert(more.begin(), {"Water, please.", "Tubig po.", "Food"});
    makeTable("Expressions1", {"English", "Tagalog", "Group"}, more);
    ASSERT_TRUE(waitFor([this] { return listed().size() == 4; }, "the phrase book read again"));
    EXPECT_EQ(listed().front(), "Water, please.");
    EXPECT_EQ(caption(), "Wikabay - Expressions about 'Food'");
}

TEST_F(ExpressionsTest, CtrlDeleteAsksAndDeletesFromTheFileOnlyOnOk) {
    open();
    clickTopic(FormExpressions->Label8);
    FormExpressions->DBGrid1->setFocus();
    answerNextBox(QMessageBox::Cancel);
    QTest::keyClick(FormExpressions->DBGrid1, Qt::Key_Delete, Qt::ControlModifier);
    ASSERT_TRUE(waitFor([this] { return boxes_.size() == 1; }, "the question"));
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].title, "Confirm");
    EXPECT_EQ(boxes_[0].text, "Delete record?");
    EXPECT_EQ(boxes_[0].icon, QMessageBox::Question);
    EXPECT_EQ(listed().size(), 3);

    answerNextBox(QMessageBox::Ok);
    QTest::keyClick(FormExpressions->DBGrid1, Qt::Key_Delete, Qt::ControlModifier);
    ASSERT_TRUE(waitFor([this] { return boxes_.size() == 2; }, "the second question"));
    EXPECT_EQ(listed(), (QStringList{"The bill, please.", "It's delicious!"}));
    EXPECT_EQ(caption(), "Wikabay - Expressions about 'Food'");

    // The file no longer holds it.
    const std::vector<std::string> stored = storedField("Expressions1.db", "English");
    EXPECT_EQ(stored.size(), 6u);
    EXPECT_EQ(std::count(stored.begin(), stored.end(), "I'm hungry."), 0);
}

TEST_F(ExpressionsTest, MissingTableShowsTheErrorAndLeavesTheBusyCaption) {
    std::filesystem::remove(tables_ / "Expressions1.db");
    answeringBoxes([this] { open(); });
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_TRUE(boxes_[0].text.startsWith("Table 'Expressions1' not found"));
    EXPECT_EQ(caption(), "Wikabay - PLEASE WAIT...");
}

} // namespace
} // namespace wk::testing
