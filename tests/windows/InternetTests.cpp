#include "WindowFixture.h"

#include "RecordingHost.h"
#include "engine/sql/Table.h"
#include "engine/storage/Session.h"
#include "ui/DBControls.h"
#include "windows/Internet.h"

#include <sqlite3.h>

namespace wk::testing {
namespace {

const std::vector<std::string> kFields = {"Name", "Description", "URL"};

class InternetTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        host_ = &installRecorder();
        setAlias();
    }
    void startWith(const Rows& rows) {
        makeTable("Internet", kFields, rows);
        start();
    }
    void open() {
        activate(FormMenu);
        FormMenu->SpeedButton4->click();
        ASSERT_TRUE(QTest::qWaitForWindowActive(FormInternet));
        settle(100);
    }
    void goTo() {
        FormInternet->BitBtn1->click();
        settle();
    }
    std::vector<std::string> storedDescriptions() {
        return storedField("Internet.db", "Description");
    }
    void typeDescription(const QString& text) {
        FormInternet->DBMemo1->setFocus();
        FormInternet->DBMemo1->moveCursor(QTextCursor::End);
        typeText(FormInternet->DBMemo1, text);
    }

    RecordingHost* host_ = nullptr;
};

const Rows kSites = {
    {"Commission", "The language commission.", "https://kwf.gov.ph/"},
    {"Wikipedia", "The encyclopedia in Tagalog.", "https://tl.wikipedia.org/"},
    {"Old style", "Written without a scheme.", "www.example.org/tagalog"},
};

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
    settle();
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

TEST_F(InternetTest, TypingIntoAnEmptyTableAddsARecord) {
    startWith({});
    open();
    typeDescription("A new site");
    QTest::keyClick(FormInternet->DBMemo1, Qt::Key_Escape);
    EXPECT_EQ(storedDescriptions(), std::vector<std::string>{"A new site"});
}

TEST_F(InternetTest, FailedPostOnCloseKeepsTheWindowAndTheText) {
    startWith(kSites);
    open();
    typeDescription(" Edited.");
    // Another program holds the table.
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open((tables_ / "Internet.db").c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    answeringBoxes([] { QTest::keyClick(FormInternet->DBMemo1, Qt::Key_Escape); });
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_TRUE(boxes_[0].text.contains("locked")) << boxes_[0].text.toStdString();
    EXPECT_TRUE(FormInternet->isVisible());
    EXPECT_EQ(FormInternet->DBMemo1->toPlainText(), "The language commission. Edited.");
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
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
    QTimer::singleShot(0, [] { FormMenu->close(); });
    QTimer::singleShot(5000, [] { QCoreApplication::exit(99); });
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_EQ(storedDescriptions()[0], "The language commission. Kept.");
}

} // namespace
} // namespace wk::testing
