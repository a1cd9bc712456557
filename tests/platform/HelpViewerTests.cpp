// The help viewer on the help file the build compiles, reached as the program reaches it.

#include "HelpCompiler.h"
#include "platform/DesktopHost.h"
#include "platform/HelpViewer.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QTabWidget>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>

#include <gtest/gtest.h>

using namespace wk::platform;

// Test failures show texts as texts.
void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace {

// Records what would have gone to the desktop's handler.
class UrlRecorder : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls.push_back(url); }
};

std::vector<HelpViewer*> viewers() {
    std::vector<HelpViewer*> out;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* v = qobject_cast<HelpViewer*>(w))
            out.push_back(v);
    return out;
}

// Runs `command` for `file` through the desktop host; returns the text of any message box.
QString runHelp(const QString& file, unsigned command = kHelpDisplayToc) {
    QString message;
    QTimer::singleShot(0, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            message = box->text();
            box->accept();
        }
    });
    makeDesktopHost()->htmlHelp(nullptr, file, command, 0);
    QCoreApplication::processEvents();
    return message;
}

// The toolbar button that triggers `action`.
QToolButton* buttonOf(HelpViewer& v, QAction* action) {
    return qobject_cast<QToolButton*>(v.findChild<QToolBar*>()->widgetForAction(action));
}

// The texts of the items of `list` that are not hidden.
QStringList visible(QListWidget* list) {
    QStringList out;
    for (int row = 0; row < list->count(); ++row)
        if (!list->item(row)->isHidden())
            out << list->item(row)->text();
    return out;
}

// Double-clicks the item of `list` whose text is `text`.
void doubleClick(QListWidget* list, const QString& text) {
    const QList<QListWidgetItem*> found = list->findItems(text, Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1) << text.toStdString();
    list->scrollToItem(found.front());
    const QPoint at = list->visualItemRect(found.front()).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
}

// A viewer on the help file the build compiles, shown and active, with no page yet.
class ShownViewer {
public:
    ShownViewer() : v(QStringLiteral(WIKABAY_HELP_FILE)) {
        v.setAttribute(Qt::WA_DeleteOnClose, false);
        v.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&v));
        v.activateWindow();
    }
    HelpViewer v;
};

class HelpViewerTest : public ::testing::Test {
protected:
    void TearDown() override {
        for (HelpViewer* v : viewers())
            delete v;
    }
};

} // namespace

TEST_F(HelpViewerTest, OpensNextToTheExecutableOnTheContentsAndTheFirstPage) {
    EXPECT_EQ(runHelp(QStringLiteral("wikabay_help.chm")), QString());
    ASSERT_EQ(viewers().size(), 1u);
    HelpViewer* v = viewers().front();
    EXPECT_EQ(QFileInfo(v->filePath()).canonicalFilePath(),
              QFileInfo(QStringLiteral(WIKABAY_HELP_FILE)).canonicalFilePath());
    EXPECT_EQ(v->windowTitle(), QStringLiteral("Wikabay Help"));
    EXPECT_EQ(v->contentsTree()->topLevelItemCount(), 3);
    ASSERT_TRUE(v->contentsTree()->currentItem());
    EXPECT_EQ(v->contentsTree()->currentItem()->text(0), QStringLiteral("Welcome to Wikabay"));
    EXPECT_EQ(v->page()->documentTitle(), QStringLiteral("Welcome to Wikabay"));
    EXPECT_TRUE(v->page()->toPlainText().contains(QStringLiteral("Tagalog\u2013English")));

    // Asked again, the same viewer comes forward; other commands do nothing.
    v->showPage(QStringLiteral("/about.htm"));
    EXPECT_EQ(runHelp(QStringLiteral("wikabay_help.chm")), QString());
    EXPECT_EQ(runHelp(QStringLiteral(WIKABAY_HELP_FILE), 2), QString());
    ASSERT_EQ(viewers().size(), 1u);
    EXPECT_EQ(viewers().front(), v);
}

TEST_F(HelpViewerTest, StylesheetAndPictureComeFromTheHelpFile) {
    HelpViewer v(QStringLiteral(WIKABAY_HELP_FILE));
    v.setAttribute(Qt::WA_DeleteOnClose, false);
    ASSERT_TRUE(v.showPage(QStringLiteral("/menu.htm")));
    QTextDocument* doc = v.page()->document();
    EXPECT_EQ(doc->find(QStringLiteral("The main menu")).charFormat().foreground().color(),
              QColor(0x00, 0x80, 0x80));
    const QVariant picture =
        doc->resource(QTextDocument::ImageResource, QUrl(QStringLiteral("images/menu-keys.png")));
    ASSERT_EQ(picture.userType(), QMetaType::QImage);
    EXPECT_EQ(picture.value<QImage>().size(), QSize(300, 214));
    EXPECT_FALSE(v.showPage(QStringLiteral("/missing.htm")));
    EXPECT_EQ(v.page()->source().path(), QStringLiteral("/menu.htm"));
}

TEST_F(HelpViewerTest, LinksAndContentsOpenPagesOfTheFileAndOnlyWebLinksLeaveIt) {
    HelpViewer v(QStringLiteral(WIKABAY_HELP_FILE));
    v.setAttribute(Qt::WA_DeleteOnClose, false);
    v.showFirstPage();
    v.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&v));

    // Click the link to the dictionary page.
    QTextBrowser* page = v.page();
    int linkAt = -1;
    for (QTextBlock b = page->document()->begin(); b.isValid() && linkAt < 0; b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it)
            if (it.fragment().charFormat().anchorHref() == QLatin1String("dictionary.htm"))
                linkAt = it.fragment().position() + it.fragment().length() / 2;
    ASSERT_GE(linkAt, 0);
    QTextCursor cursor(page->document());
    cursor.setPosition(linkAt);
    page->setTextCursor(cursor);
    page->ensureCursorVisible();
    QTest::mouseClick(page->viewport(), Qt::LeftButton, {}, page->cursorRect(cursor).center());
    EXPECT_EQ(page->source().path(), QStringLiteral("/dictionary.htm"));
    EXPECT_EQ(page->documentTitle(), QStringLiteral("The dictionary"));
    ASSERT_TRUE(v.contentsTree()->currentItem());
    EXPECT_EQ(v.contentsTree()->currentItem()->text(0), QStringLiteral("The dictionary"));

    // Choosing a topic in the contents shows its page.
    QTreeWidgetItem* shortcuts = v.contentsTree()->topLevelItem(2);
    v.contentsTree()->setCurrentItem(shortcuts);
    EXPECT_EQ(page->documentTitle(), QStringLiteral("Keyboard shortcuts"));

    // Web and mail links go to the desktop; other schemes go nowhere.
    UrlRecorder recorder;
    for (const char* scheme : {"https", "mailto", "file"})
        QDesktopServices::setUrlHandler(QLatin1String(scheme), &recorder, "open");
    emit page->anchorClicked(QUrl(QStringLiteral("https://example.org/tagalog")));
    emit page->anchorClicked(QUrl(QStringLiteral("mailto:someone@example.org")));
    emit page->anchorClicked(QUrl(QStringLiteral("file:///etc/passwd")));
    makeDesktopHost()->openAddress(QStringLiteral("https://example.org/a b"), ShowMode::Maximized);
    for (const char* scheme : {"https", "mailto", "file"})
        QDesktopServices::unsetUrlHandler(QLatin1String(scheme));
    EXPECT_EQ(recorder.urls, (QList<QUrl>{QUrl(QStringLiteral("https://example.org/tagalog")),
                                          QUrl(QStringLiteral("mailto:someone@example.org")),
                                          QUrl(QStringLiteral("https://example.org/a%20b"))}));
    EXPECT_EQ(page->source().path(), QStringLiteral("/shortcuts.htm"));
}

TEST_F(HelpViewerTest, UnopenableFileShowsOnlyAMessageNamingIt) {
    const QString missing = QStringLiteral("/nonexistent/folder/wikabay_help.chm");
    EXPECT_TRUE(runHelp(missing).contains(missing));
    const QString bare = QCoreApplication::applicationDirPath() + QStringLiteral("/nohelp.chm");
    EXPECT_TRUE(runHelp(QStringLiteral("nohelp.chm")).contains(bare));
    EXPECT_EQ(runHelp(missing, 0), QString());
    EXPECT_TRUE(viewers().empty());
}

TEST_F(HelpViewerTest, BackForwardAndHomeMoveThroughThePagesShown) {
    ShownViewer viewer;
    HelpViewer& v = viewer.v;
    QToolButton* back = buttonOf(v, v.backAction());
    QToolButton* forward = buttonOf(v, v.forwardAction());
    QToolButton* home = buttonOf(v, v.homeAction());
    ASSERT_TRUE(back && forward && home);
    EXPECT_EQ(back->text(), QStringLiteral("Back"));
    EXPECT_EQ(forward->text(), QStringLiteral("Forward"));
    EXPECT_EQ(home->text(), QStringLiteral("Home"));
    EXPECT_FALSE(back->isEnabled());
    EXPECT_FALSE(forward->isEnabled());
    EXPECT_TRUE(home->isEnabled());
    auto path = [&] { return v.page()->source().path(); };

    v.showFirstPage();
    EXPECT_FALSE(back->isEnabled());
    v.showPage(QStringLiteral("/dictionary.htm"));
    v.contentsTree()->setCurrentItem(v.contentsTree()->topLevelItem(2)); // Keyboard shortcuts
    EXPECT_EQ(path(), QStringLiteral("/shortcuts.htm"));
    EXPECT_TRUE(back->isEnabled());
    EXPECT_FALSE(forward->isEnabled());

    QTest::mouseClick(back, Qt::LeftButton);
    EXPECT_EQ(path(), QStringLiteral("/dictionary.htm"));
    EXPECT_EQ(v.contentsTree()->currentItem()->text(0), QStringLiteral("The dictionary"));
    EXPECT_TRUE(back->isEnabled());
    EXPECT_TRUE(forward->isEnabled());
    QTest::mouseClick(back, Qt::LeftButton);
    EXPECT_EQ(path(), QStringLiteral("/welcome.htm"));
    EXPECT_FALSE(back->isEnabled());
    EXPECT_TRUE(forward->isEnabled());
    QTest::mouseClick(forward, Qt::LeftButton);
    QTest::mouseClick(forward, Qt::LeftButton);
    EXPECT_EQ(path(), QStringLiteral("/shortcuts.htm"));
    EXPECT_FALSE(forward->isEnabled());

    // Home shows the default page as a new step: Back returns from it, nothing lies ahead.
    QTest::mouseClick(back, Qt::LeftButton);
    QTest::mouseClick(home, Qt::LeftButton);
    EXPECT_EQ(path(), QStringLiteral("/welcome.htm"));
    EXPECT_EQ(v.page()->documentTitle(), QStringLiteral("Welcome to Wikabay"));
    EXPECT_FALSE(forward->isEnabled());
    EXPECT_TRUE(back->isEnabled());

    // The keys do the same, wherever the focus is in the viewer.
    v.page()->setFocus();
    QTest::keyClick(v.page(), Qt::Key_Left, Qt::AltModifier);
    EXPECT_EQ(path(), QStringLiteral("/dictionary.htm"));
    QTest::keyClick(v.page(), Qt::Key_Right, Qt::AltModifier);
    EXPECT_EQ(path(), QStringLiteral("/welcome.htm"));
    v.contentsTree()->setFocus();
    QTest::keyClick(v.contentsTree(), Qt::Key_Left, Qt::AltModifier);
    EXPECT_EQ(path(), QStringLiteral("/dictionary.htm"));
    QTest::keyClick(v.contentsTree(), Qt::Key_Home, Qt::AltModifier);
    EXPECT_EQ(path(), QStringLiteral("/welcome.htm"));
    v.showPage(QStringLiteral("/about.htm"));
    QTest::keyClick(v.page(), Qt::Key_Up, Qt::AltModifier);
    EXPECT_EQ(path(), QStringLiteral("/welcome.htm"));
}

TEST_F(HelpViewerTest, HelpAndHomeTakeTheReaderBackToTheContentsFromIndexAndSearch) {
    EXPECT_EQ(runHelp(QStringLiteral("wikabay_help.chm")), QString());
    ASSERT_EQ(viewers().size(), 1u);
    HelpViewer* v = viewers().front();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(v));
    auto path = [&] { return v->page()->source().path(); };

    // Asked for its contents again, the open viewer shows them beside the page it was on.
    v->tabs()->setCurrentIndex(1);
    v->indexFilter()->setText(QStringLiteral("About window"));
    QTest::keyClick(v->indexFilter(), Qt::Key_Return);
    ASSERT_EQ(path(), QStringLiteral("/about.htm"));
    EXPECT_EQ(runHelp(QStringLiteral("wikabay_help.chm")), QString());
    EXPECT_EQ(v->tabs()->currentWidget(), v->contentsTree());
    EXPECT_EQ(QApplication::focusWidget(), v->contentsTree());
    EXPECT_EQ(path(), QStringLiteral("/about.htm"));
    EXPECT_EQ(v->contentsTree()->currentItem()->text(0), QStringLiteral("About Wikabay"));

    // Home from the Search tab: the home page, chosen in the contents shown.
    v->tabs()->setCurrentIndex(2);
    QTest::mouseClick(buttonOf(*v, v->homeAction()), Qt::LeftButton);
    EXPECT_EQ(path(), QStringLiteral("/welcome.htm"));
    EXPECT_EQ(v->tabs()->currentWidget(), v->contentsTree());
    EXPECT_EQ(v->contentsTree()->currentItem()->text(0), QStringLiteral("Welcome to Wikabay"));

    // Its key from the Index tab's filter, and Alt+Up in the page, do the same.
    v->showPage(QStringLiteral("/internet.htm"));
    v->tabs()->setCurrentIndex(1);
    QTest::keyClick(v->indexFilter(), Qt::Key_Home, Qt::AltModifier);
    EXPECT_EQ(path(), QStringLiteral("/welcome.htm"));
    EXPECT_EQ(v->tabs()->currentWidget(), v->contentsTree());
    v->showPage(QStringLiteral("/internet.htm"));
    v->tabs()->setCurrentIndex(2);
    QTest::keyClick(v->page(), Qt::Key_Up, Qt::AltModifier);
    EXPECT_EQ(path(), QStringLiteral("/welcome.htm"));
    EXPECT_EQ(v->tabs()->currentWidget(), v->contentsTree());
}

TEST_F(HelpViewerTest, IndexListsTheKeywordsOfTheFileAndOpensTheirPages) {
    ShownViewer viewer;
    HelpViewer& v = viewer.v;
    ASSERT_EQ(v.tabs()->count(), 3);
    EXPECT_EQ(v.tabs()->tabText(0), QStringLiteral("Contents"));
    EXPECT_EQ(v.tabs()->tabText(1), QStringLiteral("Index"));
    EXPECT_EQ(v.tabs()->tabText(2), QStringLiteral("Search"));
    EXPECT_EQ(v.tabs()->widget(0), v.contentsTree());

    // Every keyword of the compiled file, in its order, sub-keywords after their keyword.
    QStringList expected;
    for (const ChmKeyword& k : ChmFile(WIKABAY_HELP_FILE).index()) {
        expected << QString::fromStdString(k.name);
        for (const ChmKeyword& sub : k.children)
            expected << QString::fromStdString(k.name + ", " + sub.name);
    }
    ASSERT_GT(expected.size(), 40);
    EXPECT_EQ(visible(v.indexList()), expected);
    EXPECT_TRUE(expected.contains(QStringLiteral("Help window, Search")));

    // Choosing the tab puts the focus in the filter; typing narrows the list.
    v.tabs()->setCurrentIndex(1);
    EXPECT_EQ(QApplication::focusWidget(), v.indexFilter());
    QTest::keyClicks(v.indexFilter(), QStringLiteral("wild"));
    EXPECT_EQ(visible(v.indexList()), QStringList{QStringLiteral("Wildcards")});
    QTest::keyClick(v.indexFilter(), Qt::Key_Return);
    EXPECT_EQ(v.page()->source().path(), QStringLiteral("/dictionary.htm"));
    EXPECT_EQ(v.contentsTree()->currentItem()->text(0), QStringLiteral("The dictionary"));

    // Without regard to case and anywhere in the keyword; the first beginning with it is current.
    v.indexFilter()->clear();
    QTest::keyClicks(v.indexFilter(), QStringLiteral("DESCRIPTION"));
    EXPECT_EQ(visible(v.indexList()), QStringList{QStringLiteral("Description of a site")});
    v.indexFilter()->setText(QStringLiteral("web"));
    EXPECT_EQ(
        visible(v.indexList()),
        (QStringList{QStringLiteral("Addresses of websites"), QStringLiteral("Deleting a website"),
                     QStringLiteral("Notes on a website"), QStringLiteral("Web addresses"),
                     QStringLiteral("Website of the developer"), QStringLiteral("Websites")}));
    EXPECT_EQ(v.indexList()->currentItem()->text(), QStringLiteral("Web addresses"));
    QTest::keyClick(v.indexFilter(), Qt::Key_Down); // Up and Down move in the list
    QTest::keyClick(v.indexFilter(), Qt::Key_Down);
    EXPECT_EQ(v.indexList()->currentItem()->text(), QStringLiteral("Websites"));
    EXPECT_EQ(QApplication::focusWidget(), v.indexFilter());
    QTest::keyClick(v.indexFilter(), Qt::Key_Enter);
    EXPECT_EQ(v.page()->source().path(), QStringLiteral("/internet.htm"));
    QTest::keyClick(v.indexFilter(), Qt::Key_Up);
    QTest::keyClick(v.indexFilter(), Qt::Key_Return);
    EXPECT_EQ(v.page()->source().path(), QStringLiteral("/about.htm"));
    v.indexFilter()->setText(QStringLiteral("no such keyword"));
    EXPECT_TRUE(visible(v.indexList()).isEmpty());
    QTest::keyClick(v.indexFilter(), Qt::Key_Return);
    EXPECT_EQ(v.page()->source().path(), QStringLiteral("/about.htm"));
    v.indexFilter()->clear();
    EXPECT_EQ(visible(v.indexList()), expected);

    // A double click opens a keyword's page.
    doubleClick(v.indexList(), QStringLiteral("About window"));
    EXPECT_EQ(v.page()->documentTitle(), QStringLiteral("About Wikabay"));

    // A keyword of several pages offers them by title; the one chosen opens.
    doubleClick(v.indexList(), QStringLiteral("Delete"));
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_TRUE(menu);
    QStringList offered;
    for (QAction* a : menu->actions())
        offered << a->text();
    EXPECT_EQ(offered,
              (QStringList{QStringLiteral("The phrase book"), QStringLiteral("Internet links")}));
    menu->actions().at(1)->trigger();
    menu->close();
    EXPECT_EQ(v.page()->source().path(), QStringLiteral("/internet.htm"));
}

TEST_F(HelpViewerTest, SearchListsThePagesHoldingEveryWordByTitle) {
    ShownViewer viewer;
    HelpViewer& v = viewer.v;
    v.showFirstPage();
    v.tabs()->setCurrentIndex(2);
    EXPECT_EQ(QApplication::focusWidget(), v.searchEdit());

    // "eyebrow" is only in the body of the dictionary page; case does not matter.
    QTest::keyClicks(v.searchEdit(), QStringLiteral("EyeBrow"));
    QTest::keyClick(v.searchEdit(), Qt::Key_Return);
    EXPECT_EQ(visible(v.searchResults()), QStringList{QStringLiteral("The dictionary")});
    EXPECT_EQ(v.page()->source().path(), QStringLiteral("/welcome.htm")); // nothing opens yet
    // The pages found have the focus: Enter opens the current one.
    EXPECT_EQ(QApplication::focusWidget(), v.searchResults());
    QTest::keyClick(v.searchResults(), Qt::Key_Return);
    EXPECT_EQ(v.page()->source().path(), QStringLiteral("/dictionary.htm"));

    // Every word must be there, each anywhere in the text; the pages come by title.
    v.searchEdit()->setText(QStringLiteral("ctrl  delete"));
    QTest::keyClick(v.searchEdit(), Qt::Key_Return);
    EXPECT_EQ(visible(v.searchResults()),
              (QStringList{QStringLiteral("Internet links"), QStringLiteral("Keyboard shortcuts"),
                           QStringLiteral("The phrase book")}));
    v.searchEdit()->setText(QStringLiteral("ctrl delete expression website"));
    QTest::keyClick(v.searchEdit(), Qt::Key_Return);
    EXPECT_EQ(visible(v.searchResults()), QStringList{QStringLiteral("Keyboard shortcuts")});
    doubleClick(v.searchResults(), QStringLiteral("Keyboard shortcuts"));
    EXPECT_EQ(v.page()->documentTitle(), QStringLiteral("Keyboard shortcuts"));
    EXPECT_EQ(v.contentsTree()->currentItem()->text(0), QStringLiteral("Keyboard shortcuts"));

    // Tags and character references are not text; what they stand for is.
    for (const char* absent : {"zyxwv", "kbd", "nbsp", "href", "style.css"}) {
        v.searchEdit()->setText(QString::fromLatin1(absent));
        QTest::keyClick(v.searchEdit(), Qt::Key_Return);
        ASSERT_EQ(v.searchResults()->count(), 1) << absent;
        QListWidgetItem* note = v.searchResults()->item(0);
        EXPECT_EQ(note->text(), QStringLiteral("No page contains \u201c%1\u201d.").arg(absent));
        EXPECT_FALSE(note->flags() & Qt::ItemIsEnabled);
        EXPECT_FALSE(note->flags() & Qt::ItemIsSelectable);
    }
    v.searchEdit()->setText(QStringLiteral("Tagalog\u2013English"));
    QTest::keyClick(v.searchEdit(), Qt::Key_Return);
    EXPECT_TRUE(visible(v.searchResults()).contains(QStringLiteral("Welcome to Wikabay")));
    v.searchEdit()->setText(QStringLiteral("Page Up Down"));
    QTest::keyClick(v.searchEdit(), Qt::Key_Return);
    EXPECT_TRUE(visible(v.searchResults()).contains(QStringLiteral("The dictionary")));
    v.searchEdit()->setText(QStringLiteral("tagalog zyxwv"));
    QTest::keyClick(v.searchEdit(), Qt::Key_Return);
    EXPECT_EQ(visible(v.searchResults()),
              QStringList{QStringLiteral("No page contains all of \u201ctagalog zyxwv\u201d.")});
    v.searchEdit()->setText(QStringLiteral("   "));
    QTest::keyClick(v.searchEdit(), Qt::Key_Return);
    EXPECT_EQ(v.searchResults()->count(), 0);
}

TEST_F(HelpViewerTest, FileWithoutAReadableIndexStillOpens) {
    const std::string page =
        "<html><head><title>Only page</title></head><body>Plain words here.</body></html>";
    const std::string toc = R"(<ul><li><object type="text/sitemap">
        <param name="Name" value="Only"><param name="Local" value="p.htm"></object></ul>)";
    // No index at all, and an index that is not a sitemap.
    QTemporaryDir none;
    QTemporaryDir garbled;
    const std::string files[] = {
        wk::testing::compileHelp(none,
                                 {{"t.hhp", "[OPTIONS]\nCompiled file=t.chm\nContents file=t.hhc\n"
                                            "Default topic=p.htm\n\n[FILES]\np.htm\n"},
                                  {"p.htm", page},
                                  {"t.hhc", toc}}),
        wk::testing::compileHelp(
            garbled, {{"t.hhp", "[OPTIONS]\nCompiled file=t.chm\nContents file=t.hhc\n"
                                "Index file=t.hhk\nBinary Index=No\n\n[FILES]\np.htm\n"},
                      {"p.htm", page},
                      {"t.hhc", toc},
                      {"t.hhk", std::string("\x89PNG\r\n\x1a\n\0\0<ul><li><object", 22)}}),
    };
    EXPECT_EQ(ChmFile(files[0]).indexPath(), "");
    EXPECT_EQ(ChmFile(files[1]).indexPath(), "/t.hhk");
    for (const std::string& file : files) {
        SCOPED_TRACE(file);
        EXPECT_EQ(runHelp(QString::fromStdString(file)), QString());
        ASSERT_EQ(viewers().size(), 1u);
        HelpViewer* v = viewers().front();
        EXPECT_EQ(v->page()->documentTitle(), QStringLiteral("Only page"));
        EXPECT_EQ(v->indexList()->count(), 0);
        v->tabs()->setCurrentIndex(1);
        QTest::keyClicks(v->indexFilter(), QStringLiteral("x"));
        QTest::keyClick(v->indexFilter(), Qt::Key_Return);
        v->searchEdit()->setText(QStringLiteral("plain"));
        QTest::keyClick(v->searchEdit(), Qt::Key_Return);
        EXPECT_EQ(visible(v->searchResults()), QStringList{QStringLiteral("Only page")});
        EXPECT_TRUE(v->homeAction()->isEnabled());
        delete v;
    }
}

#include "HelpViewerTests.moc"
