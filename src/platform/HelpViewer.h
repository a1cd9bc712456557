#pragma once

#include "platform/ChmFile.h"

#include <QString>
#include <QUrl>
#include <QWidget>

#include <memory>

class QTextBrowser;
class QTreeWidget;
class QTreeWidgetItem;

namespace wk::platform {

/// The program's own viewer for a compiled help file: the table of contents as a tree on the
/// left, the page on the right. Pages, their stylesheets and pictures come from the help file
/// only; a link to another page of it opens that page, a web or mail link ("http:", "https:",
/// "mailto:") goes to the desktop's handler, and any other link is ignored.
class HelpViewer : public QWidget {
    Q_OBJECT
public:
    /// The scheme of the addresses under which pages are shown ("help:/menu.htm").
    static constexpr const char* kScheme = "help";

    /// Opens `file` and shows its table of contents, but no page yet. The window is titled
    /// with the help file's title (its file name when it has none) and deletes itself when
    /// closed. Throws ChmError naming the file when it cannot be opened.
    explicit HelpViewer(const QString& file, QWidget* owner = nullptr);
    ~HelpViewer() override;

    /// The help file's path as given.
    const QString& filePath() const { return file_; }

    /// The table of contents; each item's page follows the item chosen in it.
    QTreeWidget* contentsTree() const { return tree_; }
    /// The page view.
    QTextBrowser* page() const { return browser_; }

    /// Shows the page at entry path `path` ("/menu.htm", an "#anchor" scrolls to it) and
    /// selects it in the contents. Returns false, changing nothing, when the file lacks it.
    bool showPage(const QString& path);

    /// Shows the first page of the table of contents, or the default topic when the contents
    /// name no page.
    void showFirstPage();

private:
    void followLink(const QUrl& link);
    void selectInContents(const QUrl& source);

    QString file_;
    std::unique_ptr<ChmFile> chm_;
    QTreeWidget* tree_;
    QTextBrowser* browser_;
    bool syncing_ = false;
};

/// Runs help viewer `command` on the help file `file` for `owner`. A bare file name is looked for
/// next to the executable. kHelpDisplayToc opens the viewer on the table of contents and its
/// first page, or brings forward the viewer already open on that file. When the file cannot be
/// opened, a message box owned by `owner` says which file; nothing else is reported. Other
/// commands, and `data`, are ignored.
void showHelp(QWidget* owner, const QString& file, unsigned command, quintptr data);

} // namespace wk::platform
