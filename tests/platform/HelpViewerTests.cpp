// The help viewer on the help file the build compiles, reached as the program reaches it.

#include "platform/DesktopHost.h"
#include "platform/HelpViewer.h"

#include <QApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

using namespace wk::platform;

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

#include "HelpViewerTests.moc"
