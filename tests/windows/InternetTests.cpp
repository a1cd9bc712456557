#include "InternetFixture.h"

#include "engine/sql/Table.h"
#include "engine/storage/Session.h"
#include "ui/DBControls.h"

#include <QScreen>

#include <sqlite3.h>

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

TEST_F(InternetTest, TypingIntoAnEmptyTableLeavesNoNamelessRecord) {
    startWith({});
    open();
    // The keystroke starts a new record; with neither a name nor an address it is dropped at
    // the close, silently, for the program has no way to fill them in.
    typeDescription("A new site");
    EXPECT_EQ(FormInternet->Table1.state(), engine::DatasetState::Insert);
    answeringBoxes([] { QTest::keyClick(FormInternet->DBMemo1, Qt::Key_Escape); });
    EXPECT_TRUE(boxes_.empty());
    EXPECT_FALSE(FormInternet->isVisible());
    EXPECT_TRUE(storedDescriptions().empty());
    // A new record that has a name is stored as before.
    open();
    EXPECT_EQ(FormInternet->Table1.recordCount(), 0);
    typeDescription("A named site");
    FormInternet->Table1.setFieldText("Name", "Named");
    QTest::keyClick(FormInternet->DBMemo1, Qt::Key_Escape);
    EXPECT_FALSE(FormInternet->isVisible());
    EXPECT_EQ(storedDescriptions(), std::vector<std::string>{"A named site"});
    EXPECT_EQ(storedField("Internet.db", "Name"), std::vector<std::string>{"Named"});
}

TEST_F(InternetTest, FailedPostOnCloseKeepsTheWindowAndTheText) {
    startWith(kSites);
    open();
    typeDescription(" Edited.");
    // Another program holds the table.
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open((tables_ / "Internet.db").c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    // The question asked is answered with Escape: keep editing.
    answeringBoxesWith([](QMessageBox& box) { QTest::keyClick(&box, Qt::Key_Escape); },
                       [] { QTest::keyClick(FormInternet->DBMemo1, Qt::Key_Escape); });
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].icon, QMessageBox::Warning);
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
    const QObject limit; // goes with the test, so that its timer never ends a later test's loop
    QTimer::singleShot(5000, &limit, [] { QCoreApplication::exit(99); });
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_EQ(storedDescriptions()[0], "The language commission. Kept.");
}

/// Go to with the message boxes it raises looked at while they are up, then closed.
class LockedTable {
public:
    explicit LockedTable(const std::filesystem::path& file) {
        EXPECT_EQ(sqlite3_open(file.c_str(), &db_), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(db_, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    }
    ~LockedTable() { release(); }
    LockedTable(const LockedTable&) = delete;
    LockedTable& operator=(const LockedTable&) = delete;

    void release() {
        if (!db_)
            return;
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(db_);
        db_ = nullptr;
    }

private:
    sqlite3* db_ = nullptr;
};

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
    LockedTable lock(tables_ / "Internet.db");
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
    LockedTable lock(tables_ / "Internet.db");
    // Keep editing: the window and the menu stay open, and the text with them.
    bool closed = true;
    answeringBoxesWith(pressEscape, [&closed] { closed = FormMenu->close(); });
    EXPECT_FALSE(closed);
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].icon, QMessageBox::Warning);
    EXPECT_TRUE(boxes_[0].text.contains("locked")) << boxes_[0].text.toStdString();
    EXPECT_TRUE(FormMenu->isVisible());
    EXPECT_TRUE(FormInternet->isVisible());
    EXPECT_EQ(FormInternet->DBMemo1->toPlainText(), "The language commission. Edited.");

    // Discard: every window closes and the program ends.
    boxes_.clear();
    int result = -1;
    const QObject limit; // goes with the test, so that its timer never ends a later test's loop
    answeringBoxesWith(discard, [&result, &limit] {
        QTimer::singleShot(0, [] { FormMenu->close(); });
        QTimer::singleShot(5000, &limit, [] { QCoreApplication::exit(99); });
        result = QApplication::exec();
    });
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
        LockedTable lock(tables_ / "Internet.db");
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
    typeDescription("A new site");
    answeringBoxes([] { FormMenu->storePendingEdits(); });
    EXPECT_TRUE(boxes_.empty());
    EXPECT_EQ(FormInternet->Table1.state(), engine::DatasetState::Browse);
    EXPECT_EQ(FormInternet->Table1.recordCount(), 0);
    EXPECT_TRUE(storedDescriptions().empty());
}

const Rows kImportedSites = {
    {"Dictionary", "Words and meanings.", "https://dictionary.example/"},
    {"Radio", "News in Tagalog.", "https://radio.example/"},
    {"Songs", "Lyrics with translations.", "https://songs.example/"},
    {"Lessons", "", "https://lessons.example/"},
};
const QString kChangedByAnother = QStringLiteral("The record was changed by another program. Your "
                                                 "text is kept; the record has been read again.");

std::vector<std::string> descriptionsOf(const Rows& rows) {
    std::vector<std::string> out;
    for (const auto& row : rows)
        out.push_back(row[1]);
    return out;
}

TEST_F(InternetTest, DescriptionTypedOverATableImportedAnewNeverLandsOnAnotherRecord) {
    startWith(kSites);
    FormMenu->Timer1.stop();
    open();
    makeTable("Internet", kFields, kImportedSites);
    typeDescription(" Edited.");
    FormInternet->DBGrid1->setFocus();
    answeringBoxes([] { QTest::keyClick(FormInternet->DBGrid1, Qt::Key_Down); });
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].text, kChangedByAnother);
    EXPECT_EQ(storedDescriptions(), descriptionsOf(kImportedSites));
    EXPECT_EQ(FormInternet->DBMemo1->toPlainText(), "The language commission. Edited.");
    // The list is the new one; the text is not a change of any of its records.
    EXPECT_EQ(FormInternet->Table1.recordCount(), 4);
    EXPECT_EQ(FormInternet->DBEdit1->text(), "https://dictionary.example/");
    EXPECT_EQ(FormInternet->Table1.state(), engine::DatasetState::Browse);
    boxes_.clear();
    answeringBoxes([] { QTest::keyClick(FormInternet->DBGrid1, Qt::Key_Escape); });
    EXPECT_TRUE(boxes_.empty());
    EXPECT_FALSE(FormInternet->isVisible());
    EXPECT_EQ(storedDescriptions(), descriptionsOf(kImportedSites));
}

TEST_F(InternetTest, DescriptionChangedByAnotherProgramIsRefusedAndKeptForTheNextMove) {
    startWith(kSites);
    FormMenu->Timer1.stop();
    open();
    {
        engine::Session other("Other");
        other.addPassword(TFormMenu::kTablePassword);
        engine::Table t;
        t.setSessionName("Other");
        t.setDatabaseName("Wikabay");
        t.setTableName("Internet.db");
        t.open();
        t.setFieldText("Description", "Changed elsewhere.");
        t.post();
    }
    typeDescription(" Edited.");
    FormInternet->DBGrid1->setFocus();
    answeringBoxes([] { QTest::keyClick(FormInternet->DBGrid1, Qt::Key_Down); });
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].text, kChangedByAnother);
    EXPECT_EQ(storedDescriptions()[0], "Changed elsewhere.");
    EXPECT_EQ(FormInternet->Table1.recNo(), 0);
    EXPECT_EQ(FormInternet->DBMemo1->toPlainText(), "The language commission. Edited.");
    EXPECT_EQ(FormInternet->Table1.state(), engine::DatasetState::Edit);
    // Moving again stores the text over the record as it is now.
    boxes_.clear();
    answeringBoxes([] { QTest::keyClick(FormInternet->DBGrid1, Qt::Key_Down); });
    EXPECT_TRUE(boxes_.empty());
    EXPECT_EQ(FormInternet->Table1.recNo(), 1);
    EXPECT_EQ(storedDescriptions(), (std::vector<std::string>{"The language commission. Edited.",
                                                              "The encyclopedia in Tagalog.",
                                                              "Written without a scheme."}));
}

TEST_F(InternetTest, TableImportedAnewWhileAwayIsReadAgainOnComingBack) {
    startWith(kSites);
    // Not the About window a second after the start: it would take the activation midway.
    FormMenu->Timer1.stop();
    open();
    FormInternet->Table1.next();
    typeDescription(" Edited.");
    QWidget other;
    activateSomethingElse(other);
    makeTable("Internet", kFields, kImportedSites);
    answeringBoxes([this] { activate(FormInternet); });
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].text, kChangedByAnother);
    EXPECT_EQ(storedDescriptions(), descriptionsOf(kImportedSites));
    EXPECT_EQ(FormInternet->DBMemo1->toPlainText(), "The encyclopedia in Tagalog. Edited.");
    EXPECT_EQ(FormInternet->Table1.recordCount(), 4);
    EXPECT_EQ(FormInternet->DBEdit1->text(), "https://radio.example/");

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

} // namespace
} // namespace wk::testing
