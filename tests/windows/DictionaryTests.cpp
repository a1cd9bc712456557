#include "WindowFixture.h"

#include "ui/DBControls.h"
#include "ui/DBGrid.h"
#include "ui/DBNavigator.h"
#include "ui/UpperCaseEdit.h"

#include <QClipboard>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>

namespace wk::testing {
namespace {

const Rows kWords = {
    {"araw", "", "", "day; sun", "Ang panahon mula umaga hanggang gabi.",
     "Mainit ang araw. — The sun is hot.", ""},
    {"kain", "kumain", "kainin", "to eat", "Pagsubo at paglunok ng pagkain.",
     "Kumain ka na? — Have you eaten?", "Common greeting."},
    {"Niño", "", "", "child (as a name)", "", "", ""},
    {"bahay", "", "", "house", "Tirahan ng pamilya.", "", "ZEBRA appears only here"},
    {"sabi", "magsabi", "sabihin", "to say \"hi\" or tell", "", "", ""},
    {"", "", "", "", "", "", "a record with text in Notes only"},
    {"walo", "", "", "eight", "", "", ""},
};

class DictionaryTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        makeDictionary(kWords);
        start();
    }
    QString caption() const { return FormMain->windowTitle(); }
    QString shownWord() const { return FormMain->DBEdit1->text(); }
};

TEST_F(DictionaryTest, OpeningListsEveryRecordWithTheCountAndTheFirstRecord) {
    openDictionary();
    EXPECT_EQ(caption(), "Wikabay - 7 records found");
    EXPECT_EQ(FormMain->DBGrid1->model()->rowCount(), 7);
    EXPECT_EQ(shownWord(), "araw");
    EXPECT_EQ(FormMain->DBMemo2->toPlainText(), "day; sun");
    EXPECT_EQ(FormMain->DBMemo3->toPlainText(), "Mainit ang araw. — The sun is hot.");
    EXPECT_EQ(QApplication::focusWidget(), FormMain->Edit1);
    // The grid's arrow keys move the field controls along.
    FormMain->DBGrid1->setFocus();
    QTest::keyClick(FormMain->DBGrid1, Qt::Key_Down);
    EXPECT_EQ(shownWord(), "kain");
    EXPECT_EQ(FormMain->DBEdit2->text(), "kumain");
    EXPECT_EQ(FormMain->DBEdit3->text(), "kainin");
    EXPECT_EQ(FormMain->DBMemo4->toPlainText(), "Common greeting.");
}

TEST_F(DictionaryTest, SearchStatementIsBuiltCharacterForCharacter) {
    EXPECT_EQ(TFormMain::searchStatement("ARAW"),
              "SELECT * FROM Tagalog WHERE Upper(Tagalo) like \"%ARAW%\" OR Upper(English) like "
              "\"%ARAW%\" OR Upper(ActiveVerb) like \"%ARAW%\" OR Upper(PassiveVerb) like "
              "\"%ARAW%\" OR Upper(L2Definition) like \"%ARAW%\" OR Upper(Examples) like "
              "\"%ARAW%\"");
    EXPECT_TRUE(TFormMain::searchStatement("A\"B").contains("like \"%A\"\"B%\""));
}

TEST_F(DictionaryTest, TypedLettersBecomeCapitalsAndTheSearchIgnoresCase) {
    openDictionary();
    search("araw");
    EXPECT_EQ(FormMain->Edit1->text(), "ARAW");
    EXPECT_EQ(caption(), "Wikabay - 1 records found");
    EXPECT_EQ(shownWord(), "araw");
    search("niño");
    EXPECT_EQ(FormMain->Edit1->text(), "NIÑO");
    EXPECT_EQ(caption(), "Wikabay - 1 records found");
    EXPECT_EQ(shownWord(), "Niño");
}

TEST_F(DictionaryTest, EmptySearchFindsRecordsWithTextInASearchedField) {
    openDictionary();
    search("");
    EXPECT_EQ(caption(), "Wikabay - 6 records found");
}

TEST_F(DictionaryTest, SearchFindingNothingShowsZeroAndEmptyFields) {
    openDictionary();
    search("zebra"); // only in Notes, which is not searched
    EXPECT_EQ(caption(), "Wikabay - 0 records found");
    EXPECT_EQ(FormMain->DBGrid1->model()->rowCount(), 0);
    EXPECT_EQ(shownWord(), "");
    EXPECT_EQ(FormMain->DBMemo2->toPlainText(), "");
    EXPECT_EQ(FormMain->DBMemo4->toPlainText(), "");
}

TEST_F(DictionaryTest, PercentAndUnderscoreAreWildcards) {
    openDictionary();
    search("K_IN");
    EXPECT_EQ(caption(), "Wikabay - 1 records found");
    EXPECT_EQ(shownWord(), "kain");
    search("A%W");
    EXPECT_EQ(caption(), "Wikabay - 1 records found");
    EXPECT_EQ(shownWord(), "araw");
}

TEST_F(DictionaryTest, DoubleQuoteIsSearchedForAndNeverReplayedAsAnError) {
    openDictionary();
    search("\"HI\"");
    EXPECT_TRUE(boxes_.empty());
    EXPECT_EQ(caption(), "Wikabay - 1 records found");
    EXPECT_EQ(shownWord(), "sabi");
    search("\"");
    EXPECT_EQ(caption(), "Wikabay - 1 records found");
    answeringBoxes([this] {
        activate(FormMenu);
        activate(FormMain);
    });
    EXPECT_TRUE(boxes_.empty());
    EXPECT_EQ(caption(), "Wikabay - 1 records found");
}

TEST_F(DictionaryTest, ComingBackReRunsTheLastSearchFromItsFirstRecord) {
    openDictionary();
    search("A");
    const QString found = caption();
    FormMain->Query1.next();
    ASSERT_NE(FormMain->Query1.recNo(), 0);
    activate(FormMenu);
    FormMain->setWindowTitle("changed");
    activate(FormMain);
    EXPECT_EQ(caption(), found);
    EXPECT_EQ(FormMain->Query1.recNo(), 0);
    EXPECT_EQ(FormMain->Query1.sqlText(), TFormMain::searchStatement("A").toStdString());
    // The menu's button does the same while the window is open.
    activate(FormMenu);
    FormMain->Query1.next();
    FormMenu->SpeedButton1->click();
    ASSERT_TRUE(waitFor([] { return FormMain->Query1.recNo() == 0; }, "the search to run again"));
    EXPECT_EQ(FormMain->Query1.recNo(), 0);
}

TEST_F(DictionaryTest, ComingBackFromAnotherApplicationDoesNotReRunTheSearch) {
    openDictionary();
    search("A");
    FormMain->Query1.next();
    QWidget other;
    activateSomethingElse(other);
    activate(FormMain);
    EXPECT_EQ(FormMain->Query1.recNo(), 1);
}

TEST_F(DictionaryTest, EachFailureShowsOneErrorBoxAndLeavesTheBusyCaption) {
    openDictionary();
    std::filesystem::remove(tables_ / "Tagalog.db");
    answeringBoxes([this] {
        activate(FormMenu);
        activate(FormMain);
        ASSERT_TRUE(waitFor([this] { return !boxes_.empty(); }, "the error box"));
    });
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_TRUE(boxes_[0].text.startsWith("Table 'Tagalog' not found"))
        << boxes_[0].text.toStdString();
    EXPECT_EQ(caption(), "Wikabay - PLEASE WAIT...");
    EXPECT_FALSE(FormMain->Query1.active());
}

TEST_F(DictionaryTest, EscapeClosesEvenFromTheEdit) {
    openDictionary();
    FormMain->Edit1->setFocus();
    QTest::keyClick(FormMain->Edit1, Qt::Key_Escape);
    EXPECT_FALSE(FormMain->isVisible());
    EXPECT_FALSE(FormMain->Query1.active());
}

TEST_F(DictionaryTest, AltSSearchesAnywhereAndPlainSOnlyInTheGrid) {
    openDictionary();
    FormMain->Edit1->setText("KAIN");
    QTest::keyClick(FormMain->Edit1, Qt::Key_S, Qt::AltModifier);
    // A mnemonic presses its button with a short animation.
    ASSERT_TRUE(
        waitFor([this] { return caption() == "Wikabay - 1 records found"; }, "Alt+S to search"));
    EXPECT_EQ(caption(), "Wikabay - 1 records found");
    FormMain->Edit1->setText("WALO");
    QTest::keyClicks(FormMain->Edit1, "s");
    EXPECT_EQ(FormMain->Edit1->text(), "WALOS");
    EXPECT_EQ(caption(), "Wikabay - 1 records found");
    EXPECT_EQ(shownWord(), "kain");
    FormMain->Edit1->setText("WALO");
    FormMain->DBGrid1->setFocus();
    QTest::keyClick(FormMain->DBGrid1, Qt::Key_S);
    EXPECT_EQ(shownWord(), "walo");
}

TEST_F(DictionaryTest, TabMovesBetweenTheGridAndTheEditOnly) {
    openDictionary();
    FormMain->Edit1->setFocus();
    QTest::keyClick(FormMain->Edit1, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), FormMain->DBGrid1);
    QTest::keyClick(FormMain->DBGrid1, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), FormMain->Edit1);
}

TEST_F(DictionaryTest, CtrlDeleteDoesNothingOnTheReadOnlyResult) {
    openDictionary();
    FormMain->DBGrid1->setFocus();
    answeringBoxes([] { QTest::keyClick(FormMain->DBGrid1, Qt::Key_Delete, Qt::ControlModifier); });
    EXPECT_TRUE(boxes_.empty());
    EXPECT_EQ(FormMain->Query1.recordCount(), 7);
}

// A click or key that makes the window active lands after the window's reload, every time: the
// click selects its row (or moves with the navigator) and the grid keeps the focus.
TEST_F(DictionaryTest, ClickThatActivatesTheWindowActsAfterTheReload) {
    openDictionary();
    for (bool clickFirst : {false, true}) {
        SCOPED_TRACE(clickFirst ? "click before the activation" : "click after the activation");
        activate(FormMenu);
        activateWith(FormMain, clickFirst, [] {
            ui::DBGrid* grid = FormMain->DBGrid1;
            const QRect row4 = grid->visualRect(grid->model()->index(3, 0));
            QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, row4.center());
        });
        EXPECT_EQ(shownWord(), "bahay");
        EXPECT_EQ(QApplication::focusWidget(), FormMain->DBGrid1);
        EXPECT_EQ(caption(), "Wikabay - 7 records found");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
        EXPECT_EQ(shownWord(), "sabi");

        activate(FormMenu);
        activateWith(FormMain, clickFirst, [] {
            QTest::mouseClick(FormMain->DBNavigator1->nextButton(), Qt::LeftButton);
        });
        EXPECT_EQ(shownWord(), "kain");
    }
}

TEST_F(DictionaryTest, KeyThatArrivesWithTheActivationGoesWhereTheReloadPutTheFocus) {
    openDictionary();
    FormMain->Edit1->clear();
    FormMain->DBGrid1->setFocus();
    activate(FormMenu);
    activateWith(FormMain, false, [] { QTest::keyClick(QApplication::focusWidget(), Qt::Key_K); });
    EXPECT_EQ(QApplication::focusWidget(), FormMain->Edit1);
    EXPECT_EQ(FormMain->Edit1->text(), "K");
    EXPECT_EQ(caption(), "Wikabay - 7 records found");
}

// Going to the last record, with the navigator or Ctrl+End, shows whole rows: the last one at
// the bottom and no row cut at the top.
TEST_F(DictionaryTest, LastRecordShowsWholeRows) {
    openDictionary();
    ui::DBGrid* grid = FormMain->DBGrid1;
    const auto expectWholeRows = [grid] {
        const int height = grid->viewport()->height();
        const QRect top = grid->visualRect(grid->model()->index(grid->rowAt(0), 0));
        const QRect last = grid->visualRect(grid->model()->index(6, 0));
        EXPECT_EQ(top.top(), 0);
        EXPECT_LE(last.bottom(), height - 1);
        EXPECT_GE(last.top(), 0);
    };
    ASSERT_GT(grid->verticalHeader()->length(), grid->viewport()->height());
    QTest::mouseClick(FormMain->DBNavigator1->lastButton(), Qt::LeftButton);
    EXPECT_EQ(shownWord(), "walo");
    expectWholeRows();
    QTest::mouseClick(FormMain->DBNavigator1->firstButton(), Qt::LeftButton);
    grid->setFocus();
    QTest::keyClick(grid, Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(shownWord(), "walo");
    expectWholeRows();
}

TEST_F(DictionaryTest, SearchButtonKeepsItsGlyphApartFromItsLabel) {
    openDictionary();
    const QImage img = FormMain->BitBtn1->grab().toImage();
    // The hand's cuff holds the glyph's only cyan, one column in from the glyph's left edge.
    int glyphLeft = -1;
    for (int x = 0; x < img.width() && glyphLeft < 0; ++x)
        for (int y = 0; y < img.height(); ++y)
            if (img.pixel(x, y) == qRgb(0, 255, 255)) {
                glyphLeft = x - 1;
                break;
            }
    ASSERT_GT(glyphLeft, 0);
    int labelRight = -1;
    for (int x = 3; x < glyphLeft; ++x)
        for (int y = 3; y < img.height() - 3; ++y)
            if (qGray(img.pixel(x, y)) < 128)
                labelRight = x;
    ASSERT_GT(labelRight, 3);
    EXPECT_GE(glyphLeft - labelRight - 1, 3);
}

// After a search that finds nothing, the empty grid offers what the learner may have meant; a
// click on one, or F3 in the search edit, searches for it as if it had been typed.
TEST_F(DictionaryTest, SearchFindingNothingOffersWhatTheLearnerMayHaveMeant) {
    openDictionary();
    search("KINAIN");
    EXPECT_EQ(caption(), "Wikabay - 0 records found");
    ASSERT_FALSE(FormMain->suggestions().empty());
    EXPECT_EQ(FormMain->suggestions()[0],
              std::make_pair(QString("KAIN"), QString("root of KINAIN")));
    EXPECT_TRUE(FormMain->DBGrid1->emptyText().contains("Did you mean <a href=\"0\">KAIN</a>? "
                                                        "(root of KINAIN)"))
        << FormMain->DBGrid1->emptyText().toStdString();
    auto* shown = FormMain->DBGrid1->viewport()->findChild<QLabel*>();
    ASSERT_NE(shown, nullptr);
    EXPECT_TRUE(shown->isVisible());

    FormMain->Edit1->setFocus();
    QTest::keyClick(FormMain->Edit1, Qt::Key_F3);
    ASSERT_TRUE(waitFor([this] { return caption() == "Wikabay - 1 records found"; },
                        "F3 to search for the suggestion"));
    EXPECT_EQ(FormMain->Edit1->text(), "KAIN");
    EXPECT_EQ(FormMain->Query1.sqlText(), TFormMain::searchStatement("KAIN").toStdString());
    EXPECT_EQ(caption(), "Wikabay - 1 records found");
    EXPECT_TRUE(FormMain->suggestions().empty());
    EXPECT_FALSE(shown->isVisible());

    // A click on a suggestion does the same; F3 with nothing offered changes nothing.
    search("NAGBIBIGAY");
    search("KINAKAIN");
    ASSERT_FALSE(FormMain->suggestions().empty());
    QMetaObject::invokeMethod(shown, "linkActivated", Q_ARG(QString, "0"));
    ASSERT_TRUE(waitFor([this] { return caption() == "Wikabay - 1 records found"; },
                        "a click on the suggestion to search for it"));
    EXPECT_EQ(FormMain->Edit1->text(), "KAIN");
    EXPECT_EQ(caption(), "Wikabay - 1 records found");
    QTest::keyClick(FormMain->Edit1, Qt::Key_F3);
    EXPECT_EQ(FormMain->Edit1->text(), "KAIN");
}

TEST_F(DictionaryTest, AFormThatFindsRecordsStillOffersItsRootOnF3AndNamesItInTheHint) {
    openDictionary();
    // KUMAIN is found in the entry of kain (its active verb and example), and is not a headword:
    // the caption, count and rows are the statement's; F3 and the edit's hint offer the root.
    search("KUMAIN");
    EXPECT_EQ(caption(), "Wikabay - 1 records found");
    EXPECT_TRUE(FormMain->suggestions().empty());
    EXPECT_EQ(FormMain->answer(), std::make_pair(QString("KAIN"), QString("root of KUMAIN")));
    EXPECT_EQ(FormMain->Edit1->toolTip(), "F3: KAIN, root of KUMAIN");
    FormMain->Edit1->setFocus();
    QTest::keyClick(FormMain->Edit1, Qt::Key_F3);
    ASSERT_TRUE(
        waitFor([this] { return FormMain->Edit1->text() == "KAIN"; }, "F3 to search for the root"));
    EXPECT_EQ(FormMain->Query1.sqlText(), TFormMain::searchStatement("KAIN").toStdString());
    // KAIN is a headword: nothing more is offered.
    EXPECT_EQ(FormMain->answer().first, "");
    EXPECT_EQ(FormMain->Edit1->toolTip(), "");
    QTest::keyClick(FormMain->Edit1, Qt::Key_F3);
    EXPECT_EQ(FormMain->Edit1->text(), "KAIN");
}

TEST_F(DictionaryTest, AStressMarkedWordThatFindsNothingSuggestsItsHeadword) {
    openDictionary();
    search(QString::fromUtf8("ARÁW"));
    EXPECT_EQ(caption(), "Wikabay - 0 records found");
    ASSERT_FALSE(FormMain->suggestions().empty());
    EXPECT_EQ(FormMain->suggestions()[0],
              std::make_pair(QString("ARAW"), QString("without stress marks")));
}

TEST_F(DictionaryTest, CtrlCCopiesTheShownColumnsAndCtrlShiftCTheWholeEntry) {
    openDictionary();
    FormMain->Query1.next(); // kain
    FormMain->DBGrid1->setFocus();
    QTest::keyClick(FormMain->DBGrid1, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "kain\tto eat");
    FormMain->DBGrid1->horizontalHeader()->moveSection(1, 0);
    QTest::keyClick(FormMain->DBGrid1, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "to eat\tkain");

    FormMain->Edit1->setFocus();
    QTest::keyClick(FormMain->Edit1, Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(),
              "Tagalog: kain\nActive verb: kumain\nPassive verb: kainin\nEnglish: to eat\n"
              "L2 Definition: Pagsubo at paglunok ng pagkain.\n"
              "Examples: Kumain ka na? — Have you eaten?\nNotes: Common greeting.");
}

TEST_F(DictionaryTest, ControlCharactersNeverReachTheSearch) {
    openDictionary();
    const QString nul(QChar(0));
    FormMain->Edit1->setFocus();
    FormMain->Edit1->setText("K");
    QGuiApplication::clipboard()->setText("a" + nul + "r\taw\x7f\n");
    QTest::keyClick(FormMain->Edit1, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(FormMain->Edit1->text(), "KARAW") << "pasted controls are dropped";
    FormMain->Edit1->setCursorPosition(1);
    QGuiApplication::clipboard()->setText(nul + "x" + nul);
    QTest::keyClick(FormMain->Edit1, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(FormMain->Edit1->text(), "KXARAW");
    EXPECT_EQ(FormMain->Edit1->cursorPosition(), 2);

    // Whatever the edit holds, a control is searched as if it were not there.
    EXPECT_EQ(TFormMain::searchStatement("AR" + nul + "A\tW" + QChar(0x85)),
              TFormMain::searchStatement("ARAW"));
    answeringBoxes([&] {
        FormMain->Edit1->setText("AR" + nul + "AW");
        QTest::keyClick(FormMain->Edit1, Qt::Key_Return);
    });
    EXPECT_TRUE(boxes_.empty()) << boxes_[0].text.toStdString();
    EXPECT_EQ(caption(), "Wikabay - 1 records found");
    EXPECT_EQ(shownWord(), "araw");
}

/// Imports the dictionary anew with `count` entries whose English meaning is long, so that the
/// import writes more than SQLite keeps in memory; `midway` runs when half of them are written.
void importLongEntries(const std::filesystem::path& folder, int count,
                       const std::function<void()>& midway = {}) {
    int given = 0;
    engine::tablefile::replace(
        folder, "Tagalog", kDictionaryFields,
        [&](std::vector<std::string>& row) {
            if (given == count / 2 && midway)
                midway();
            if (given == count)
                return false;
            row = {"salita " + std::to_string(given++), "", "", std::string(1000, 'w'), "", "", ""};
            return true;
        },
        std::string(TFormMenu::kTablePassword));
}

TEST_F(DictionaryTest, SearchDuringAnImportFindsTheRecordsAsTheyWere) {
    FormMenu->Timer1.stop();
    openDictionary();
    importLongEntries(tables_, 4000, [this] {
        answeringBoxes([this] { search("ARAW"); });
        EXPECT_TRUE(boxes_.empty()) << boxes_[0].text.toStdString();
        EXPECT_EQ(caption(), "Wikabay - 1 records found");
        EXPECT_EQ(shownWord(), "araw");
    });
}

TEST_F(DictionaryTest, ImportWhileAwayIsSearchedAgainOnComingBack) {
    FormMenu->Timer1.stop();
    openDictionary();
    search("SALITA");
    EXPECT_EQ(caption(), "Wikabay - 0 records found");
    QWidget other;
    activateSomethingElse(other);
    importLongEntries(tables_, 30);
    activate(FormMain);
    EXPECT_EQ(caption(), "Wikabay - 30 records found");
    EXPECT_EQ(FormMain->DBGrid1->model()->rowCount(), 30);
    EXPECT_EQ(shownWord(), "salita 0");
    EXPECT_EQ(FormMain->Query1.sqlText(), TFormMain::searchStatement("SALITA").toStdString());
    // Without an import, coming back leaves the search and the record as they are.
    FormMain->Query1.next();
    activateSomethingElse(other);
    activate(FormMain);
    EXPECT_EQ(FormMain->Query1.recNo(), 1);
}

TEST_F(DictionaryTest, ImportWhileTheWindowStaysActiveIsSearchedAgainWithItsCount) {
    FormMenu->Timer1.stop();
    openDictionary();
    search("SALITA");
    EXPECT_EQ(caption(), "Wikabay - 0 records found");
    ASSERT_TRUE(waitForActive(FormMain));
    importLongEntries(tables_, 30);
    // No activation: the count and the rows change together, without asking anything.
    ASSERT_TRUE(waitFor([this] { return caption() == "Wikabay - 30 records found"; },
                        "the search to run again"));
    EXPECT_EQ(FormMain->DBGrid1->model()->rowCount(), 30);
    EXPECT_EQ(shownWord(), "salita 0");
    EXPECT_EQ(FormMain->Query1.sqlText(), TFormMain::searchStatement("SALITA").toStdString());
    EXPECT_TRUE(boxes_.empty());
    // Without another import the search stays where the learner is.
    FormMain->Query1.moveTo(5);
    QTest::qWait(1500);
    EXPECT_EQ(FormMain->Query1.recNo(), 5);
}

class DictionaryErrorTest : public WindowTest {};

TEST_F(DictionaryErrorTest, MissingAliasOrTableIsShownAndTheCaptionStaysBusy) {
    start();
    answeringBoxes([this] { openDictionary(); });
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].text, "Alias 'Wikabay' not found.");
    EXPECT_EQ(boxes_[0].title, "Wikabay");
    EXPECT_EQ(FormMain->windowTitle(), "Wikabay - PLEASE WAIT...");

    setAlias();
    boxes_.clear();
    answeringBoxes([this] {
        activate(FormMenu);
        activate(FormMain);
    });
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_TRUE(boxes_[0].text.startsWith("Table 'Tagalog' not found in folder"));
    EXPECT_EQ(FormMain->windowTitle(), "Wikabay - PLEASE WAIT...");
}

} // namespace
} // namespace wk::testing
