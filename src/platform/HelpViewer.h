#pragma once

#include "platform/ChmFile.h"
#include "platform/HelpSearch.h"

#include <QString>
#include <QUrl>
#include <QWidget>

#include <memory>

class QAction;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QTabWidget;
class QTextBrowser;
class QTreeWidget;
class QTreeWidgetItem;

namespace wk::platform {

/// The program's own viewer for a compiled help file. A toolbar holds Back, Forward and Home;
/// on the left are three tabs: Contents (the table of contents as a tree), Index (the file's
/// keywords, narrowed by a filter) and Search (through the text of the pages); the page is on
/// the right. Pages, their stylesheets and pictures come from the help file only; a link to
/// another page of it opens that page, a web or mail link ("http:", "https:", "mailto:") goes to
/// the desktop's handler, and any other link is ignored.
class HelpViewer : public QWidget {
    Q_OBJECT
public:
    /// The scheme of the addresses under which pages are shown ("help:/menu.htm").
    static constexpr const char* kScheme = "help";

    /// Opens `file` and shows its table of contents and index, but no page yet. The window is
    /// titled with the help file's title (its file name when it has none) and deletes itself
    /// when closed. Throws ChmError naming the file when it cannot be opened; an index that
    /// cannot be read leaves the Index tab empty.
    explicit HelpViewer(const QString& file, QWidget* owner = nullptr);
    ~HelpViewer() override;

    /// The help file's path as given.
    const QString& filePath() const { return file_; }

    /// The tabs on the left: Contents, Index and Search, in that order.
    QTabWidget* tabs() const { return tabs_; }
    /// The table of contents; each item's page follows the item chosen in it.
    QTreeWidget* contentsTree() const { return tree_; }
    /// The Index tab's filter: typing narrows the keywords to those containing the text and
    /// makes the first one beginning with it current; Enter opens the current keyword; Up and
    /// Down move through the list.
    QLineEdit* indexFilter() const { return indexFilter_; }
    /// The index's keywords in the order of the file, a sub-keyword as "keyword, sub-keyword".
    /// Enter or a double click opens the keyword's page; a keyword with several pages offers them
    /// in a menu, one that only refers to another keyword puts that one in the filter.
    QListWidget* indexList() const { return indexList_; }
    /// The Search tab's edit: Enter lists the pages whose text holds every word typed.
    QLineEdit* searchEdit() const { return searchEdit_; }
    /// The pages found, by title; Enter or a double click opens one. When nothing is found the
    /// list holds a single line saying so, which opens nothing.
    QListWidget* searchResults() const { return searchResults_; }
    /// The page view.
    QTextBrowser* page() const { return browser_; }
    /// Back (Alt+Left) and Forward (Alt+Right) through the pages shown, each enabled only when
    /// there is a page to go to; Home (Alt+Home) shows the home page and the contents.
    QAction* backAction() const { return back_; }
    QAction* forwardAction() const { return forward_; }
    QAction* homeAction() const { return home_; }

    /// Shows the page at entry path `path` ("/menu.htm", an "#anchor" scrolls to it) and
    /// selects it in the contents. Returns false, changing nothing, when the file lacks it.
    bool showPage(const QString& path);

    /// Shows the first page of the table of contents, or the default topic when the contents
    /// name no page.
    void showFirstPage();

    /// Shows the home page: the file's default topic, or the first page of the contents when it
    /// names none; the Contents tab comes forward as showContents brings it.
    void showHomePage();

    /// Brings the Contents tab forward, with the focus in it, from the Index or Search tab; a file
    /// without a table of contents keeps the tab it shows.
    void showContents();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // A line of the index: the pages of a keyword, or the keyword it refers to instead.
    struct IndexLine {
        std::vector<ChmTopic> topics;
        QString seeAlso;
    };

    QWidget* makeIndexTab(const std::vector<ChmKeyword>& keywords);
    QWidget* makeSearchTab();
    void addKeywords(const std::vector<ChmKeyword>& keywords, const QString& parent);
    void filterIndex(const QString& text);
    void openIndexLine(QListWidgetItem* item);
    void runSearch();
    void followLink(const QUrl& link);
    void selectInContents(const QUrl& source);
    QString homePath() const;

    QString file_;
    std::unique_ptr<ChmFile> chm_;
    HelpSearch search_;
    std::vector<IndexLine> indexLines_;
    QTabWidget* tabs_;
    QTreeWidget* tree_;
    QLineEdit* indexFilter_ = nullptr;
    QListWidget* indexList_ = nullptr;
    QLineEdit* searchEdit_ = nullptr;
    QListWidget* searchResults_ = nullptr;
    QTextBrowser* browser_;
    QAction* back_;
    QAction* forward_;
    QAction* home_;
    bool syncing_ = false;
};

/// Runs help viewer `command` on the help file `file` for `owner`. A bare file name is looked for
/// next to the executable. kHelpDisplayToc opens the viewer on the table of contents and its
/// first page, or brings forward the viewer already open on that file, on its table of contents
/// (HelpViewer::showContents) and the page it shows. When the file cannot be
/// opened, a message box owned by `owner` says which file; nothing else is reported. Other
/// commands, and `data`, are ignored.
void showHelp(QWidget* owner, const QString& file, unsigned command, quintptr data);

} // namespace wk::platform
