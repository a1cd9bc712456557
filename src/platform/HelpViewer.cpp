#include "platform/HelpViewer.h"

#include "platform/Host.h"

#include <QAction>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSplitter>
#include <QStyle>
#include <QTabWidget>
#include <QTextBrowser>
#include <QToolBar>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QVBoxLayout>

#include <functional>
#include <vector>

namespace wk::platform {
namespace {

constexpr int kPathRole = Qt::UserRole;     // of contents and search results: the page
constexpr int kLineRole = Qt::UserRole + 1; // of index items: the index line's number

QString withoutAnchor(const QString& path) {
    return path.left(path.indexOf(u'#'));
}

// A page view whose pages, stylesheets and pictures come from the help file and nowhere else.
class HelpBrowser : public QTextBrowser {
public:
    HelpBrowser(const ChmFile& chm, QWidget* parent) : QTextBrowser(parent), chm_(chm) {}

    /// What Home does; Alt+Up asks for it too.
    std::function<void()> onHome;
    void home() override {
        if (onHome)
            onHome();
    }

    QVariant loadResource(int type, const QUrl& name) override {
        const QUrl url = name.isRelative() ? source().resolved(name) : name;
        if (url.scheme() != QLatin1String(HelpViewer::kScheme))
            return {};
        std::optional<std::string> bytes;
        try {
            bytes = chm_.read(url.path().toStdString());
        } catch (const ChmError&) {
            return {}; // a damaged entry shows as a missing one
        }
        if (!bytes)
            return {};
        const QByteArray data(bytes->data(), static_cast<qsizetype>(bytes->size()));
        switch (type) {
        case QTextDocument::HtmlResource:
        case QTextDocument::StyleSheetResource:
            return QString::fromUtf8(data); // the help pages are written in UTF-8
        case QTextDocument::ImageResource: {
            const QImage image = QImage::fromData(data);
            return image.isNull() ? QVariant() : QVariant(image);
        }
        default:
            return data;
        }
    }

private:
    const ChmFile& chm_;
};

void addTopics(QTreeWidget* tree, QTreeWidgetItem* parent, const std::vector<ChmTopic>& topics) {
    QStyle* style = tree->style();
    for (const ChmTopic& topic : topics) {
        auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(tree);
        item->setText(0, QString::fromStdString(topic.title));
        item->setIcon(0, style->standardIcon(topic.children.empty() ? QStyle::SP_FileIcon
                                                                    : QStyle::SP_DirOpenIcon));
        item->setData(0, kPathRole, QString::fromStdString(topic.path));
        if (!topic.path.empty())
            item->setToolTip(0, QString::fromStdString(topic.title));
        addTopics(tree, item, topic.children);
    }
}

std::vector<QPointer<HelpViewer>>& openViewers() {
    static std::vector<QPointer<HelpViewer>> viewers;
    return viewers;
}

} // namespace

HelpViewer::HelpViewer(const QString& file, QWidget* owner)
    : QWidget(owner, Qt::Window), file_(file),
      chm_(std::make_unique<ChmFile>(QFile::encodeName(file).toStdString())), search_(*chm_) {
    setAttribute(Qt::WA_DeleteOnClose);
    const QString title = QString::fromStdString(chm_->title());
    setWindowTitle(title.isEmpty() ? QFileInfo(file).completeBaseName() : title);

    tree_ = new QTreeWidget;
    tree_->setHeaderHidden(true);
    tree_->setColumnCount(1);
    tree_->setRootIsDecorated(true);
    tree_->setUniformRowHeights(true);
    addTopics(tree_, nullptr, chm_->contents());
    tree_->expandAll();

    std::vector<ChmKeyword> keywords;
    try {
        keywords = chm_->index();
    } catch (const ChmError&) {
        // An index that cannot be read leaves the Index tab empty; the pages still show.
    }

    tabs_ = new QTabWidget;
    tabs_->addTab(tree_, QStringLiteral("Contents"));
    tabs_->addTab(makeIndexTab(keywords), QStringLiteral("Index"));
    tabs_->addTab(makeSearchTab(), QStringLiteral("Search"));
    if (tree_->topLevelItemCount() == 0)
        tabs_->setCurrentIndex(indexList_->count() > 0 ? 1 : 2);
    connect(tabs_, &QTabWidget::currentChanged, this,
            [this] { tabs_->currentWidget()->setFocus(); });

    auto* browser = new HelpBrowser(*chm_, this);
    browser->onHome = [this] { showHomePage(); };
    browser_ = browser;
    browser_->setOpenLinks(false);
    browser_->setOpenExternalLinks(false);

    auto* toolbar = new QToolBar;
    toolbar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    toolbar->setIconSize(QSize(16, 16));
    toolbar->setFloatable(false);
    toolbar->setMovable(false);
    auto addAction = [&](QStyle::StandardPixmap icon, const QString& text, Qt::Key key) {
        QAction* action = toolbar->addAction(style()->standardIcon(icon), text);
        action->setShortcut(QKeySequence(Qt::ALT | key));
        action->setToolTip(QStringLiteral("%1 (%2)").arg(
            text, action->shortcut().toString(QKeySequence::NativeText)));
        return action;
    };
    back_ = addAction(QStyle::SP_ArrowBack, QStringLiteral("Back"), Qt::Key_Left);
    forward_ = addAction(QStyle::SP_ArrowForward, QStringLiteral("Forward"), Qt::Key_Right);
    home_ = addAction(QStyle::SP_DirHomeIcon, QStringLiteral("Home"), Qt::Key_Home);
    back_->setEnabled(false);
    forward_->setEnabled(false);
    home_->setEnabled(!homePath().isEmpty());
    connect(back_, &QAction::triggered, browser_, &QTextBrowser::backward);
    connect(forward_, &QAction::triggered, browser_, &QTextBrowser::forward);
    connect(home_, &QAction::triggered, this, &HelpViewer::showHomePage);
    connect(browser_, &QTextBrowser::backwardAvailable, back_, &QAction::setEnabled);
    connect(browser_, &QTextBrowser::forwardAvailable, forward_, &QAction::setEnabled);

    auto* splitter = new QSplitter(Qt::Horizontal);
    splitter->addWidget(tabs_);
    splitter->addWidget(browser_);
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 1);
    splitter->setChildrenCollapsible(false);
    splitter->setSizes({240, 620});
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 0, 4, 4);
    layout->setSpacing(2);
    layout->addWidget(toolbar);
    layout->addWidget(splitter);
    resize(860, 620);

    connect(tree_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* current) {
        if (syncing_ || !current)
            return;
        const QString path = current->data(0, kPathRole).toString();
        if (!path.isEmpty())
            showPage(path);
    });
    connect(browser_, &QTextBrowser::anchorClicked, this, &HelpViewer::followLink);
    connect(browser_, &QTextBrowser::sourceChanged, this, &HelpViewer::selectInContents);
}

HelpViewer::~HelpViewer() {
    // The tabs may change their current one while their pages go; nothing follows that now.
    disconnect(tabs_, nullptr, this, nullptr);
    // The page view reads through chm_; it goes first.
    delete browser_;
    browser_ = nullptr;
}

QWidget* HelpViewer::makeIndexTab(const std::vector<ChmKeyword>& keywords) {
    auto* tab = new QWidget;
    indexFilter_ = new QLineEdit;
    indexFilter_->setPlaceholderText(QStringLiteral("Type a keyword"));
    indexFilter_->setClearButtonEnabled(true);
    indexFilter_->installEventFilter(this);
    indexList_ = new QListWidget;
    indexList_->setUniformItemSizes(true);
    addKeywords(keywords, QString());
    if (indexList_->count() > 0)
        indexList_->setCurrentRow(0);
    auto* layout = new QVBoxLayout(tab);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(indexFilter_);
    layout->addWidget(indexList_);
    tab->setFocusProxy(indexFilter_);

    connect(indexFilter_, &QLineEdit::textChanged, this, &HelpViewer::filterIndex);
    connect(indexFilter_, &QLineEdit::returnPressed, this, [this] {
        if (QListWidgetItem* item = indexList_->currentItem(); item && !item->isHidden())
            openIndexLine(item);
    });
    connect(indexList_, &QListWidget::itemActivated, this, &HelpViewer::openIndexLine);
    return tab;
}

void HelpViewer::addKeywords(const std::vector<ChmKeyword>& keywords, const QString& parent) {
    for (const ChmKeyword& keyword : keywords) {
        const QString name = QString::fromStdString(keyword.name);
        const QString label = parent.isEmpty() ? name : parent + QStringLiteral(", ") + name;
        // A keyword that leads nowhere only heads its sub-keywords.
        if (!keyword.topics.empty() || !keyword.seeAlso.empty()) {
            auto* item = new QListWidgetItem(label, indexList_);
            item->setData(kLineRole, static_cast<int>(indexLines_.size()));
            indexLines_.push_back({keyword.topics, QString::fromStdString(keyword.seeAlso)});
        }
        addKeywords(keyword.children, label);
    }
}

void HelpViewer::filterIndex(const QString& text) {
    const QString wanted = text.trimmed();
    QListWidgetItem* first = nullptr;
    QListWidgetItem* beginning = nullptr;
    for (int row = 0; row < indexList_->count(); ++row) {
        QListWidgetItem* item = indexList_->item(row);
        const bool shown = item->text().contains(wanted, Qt::CaseInsensitive);
        item->setHidden(!shown);
        if (shown && !first)
            first = item;
        if (shown && !beginning && item->text().startsWith(wanted, Qt::CaseInsensitive))
            beginning = item;
    }
    indexList_->setCurrentItem(beginning ? beginning : first);
    if (indexList_->currentItem())
        indexList_->scrollToItem(indexList_->currentItem());
}

void HelpViewer::openIndexLine(QListWidgetItem* item) {
    if (!item || !item->data(kLineRole).isValid())
        return;
    const IndexLine& line = indexLines_.at(static_cast<size_t>(item->data(kLineRole).toInt()));
    if (line.topics.empty()) {
        indexFilter_->setText(line.seeAlso);
        return;
    }
    if (line.topics.size() == 1) {
        showPage(QString::fromStdString(line.topics.front().path));
        return;
    }
    // Several pages: a menu under the keyword offers them by title.
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    for (const ChmTopic& topic : line.topics) {
        const QString path = QString::fromStdString(topic.path);
        QString title = QString::fromStdString(topic.title);
        if (title.isEmpty())
            title = search_.titleOf(path);
        menu->addAction(title.isEmpty() ? path : title, this, [this, path] { showPage(path); });
    }
    const QRect rect = indexList_->visualItemRect(item);
    menu->popup(indexList_->viewport()->mapToGlobal(rect.bottomLeft()));
}

QWidget* HelpViewer::makeSearchTab() {
    auto* tab = new QWidget;
    searchEdit_ = new QLineEdit;
    searchEdit_->setPlaceholderText(QStringLiteral("Words to look for"));
    searchEdit_->setClearButtonEnabled(true);
    auto* button = new QPushButton(QStringLiteral("Search"));
    button->setAutoDefault(false);
    searchResults_ = new QListWidget;
    searchResults_->setUniformItemSizes(true);
    auto* row = new QHBoxLayout;
    row->addWidget(searchEdit_);
    row->addWidget(button);
    auto* layout = new QVBoxLayout(tab);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addLayout(row);
    layout->addWidget(searchResults_);
    tab->setFocusProxy(searchEdit_);

    connect(searchEdit_, &QLineEdit::returnPressed, this, &HelpViewer::runSearch);
    connect(button, &QPushButton::clicked, this, &HelpViewer::runSearch);
    connect(searchResults_, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
        if (item)
            showPage(item->data(kPathRole).toString());
    });
    return tab;
}

void HelpViewer::runSearch() {
    searchResults_->clear();
    const QString query = searchEdit_->text().simplified();
    if (query.isEmpty())
        return;
    const std::vector<HelpPage> found = search_.find(query);
    for (const HelpPage& page : found) {
        auto* item = new QListWidgetItem(page.title, searchResults_);
        item->setData(kPathRole, page.path);
    }
    if (found.empty()) {
        const QString text = query.contains(u' ')
                                 ? QStringLiteral("No page contains all of \u201c%1\u201d.")
                                 : QStringLiteral("No page contains \u201c%1\u201d.");
        auto* item = new QListWidgetItem(text.arg(query), searchResults_);
        item->setFlags(Qt::NoItemFlags);
        return;
    }
    // The pages found take the focus, the first current: Enter opens it.
    searchResults_->setCurrentRow(0);
    searchResults_->setFocus();
}

bool HelpViewer::eventFilter(QObject* watched, QEvent* event) {
    // Up, Down and the page keys in the index's filter move through the keywords.
    if (watched == indexFilter_ && event->type() == QEvent::KeyPress) {
        switch (static_cast<QKeyEvent*>(event)->key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
            QCoreApplication::sendEvent(indexList_, event);
            return true;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

bool HelpViewer::showPage(const QString& path) {
    const QString page = withoutAnchor(path);
    if (page.isEmpty() || !chm_->contains(page.toStdString()))
        return false;
    QUrl url;
    url.setScheme(QLatin1String(kScheme));
    url.setPath(page);
    if (page.size() < path.size())
        url.setFragment(path.mid(page.size() + 1));
    browser_->setSource(url, QTextDocument::HtmlResource);
    return true;
}

void HelpViewer::showFirstPage() {
    for (QTreeWidgetItemIterator it(tree_); *it; ++it)
        if (showPage((*it)->data(0, kPathRole).toString()))
            return;
    showPage(QString::fromStdString(chm_->defaultTopic()));
}

QString HelpViewer::homePath() const {
    const QString topic = QString::fromStdString(chm_->defaultTopic());
    if (!topic.isEmpty() && chm_->contains(topic.toStdString()))
        return topic;
    for (QTreeWidgetItemIterator it(tree_); *it; ++it) {
        const QString path = (*it)->data(0, kPathRole).toString();
        if (!path.isEmpty() && chm_->contains(withoutAnchor(path).toStdString()))
            return path;
    }
    return {};
}

void HelpViewer::showHomePage() {
    showPage(homePath());
    showContents();
}

void HelpViewer::showContents() {
    if (tree_->topLevelItemCount() > 0)
        tabs_->setCurrentWidget(tree_);
}

void HelpViewer::followLink(const QUrl& link) {
    const QUrl target = browser_->source().resolved(link);
    const QString scheme = target.scheme().toLower();
    if (scheme == QLatin1String("http") || scheme == QLatin1String("https") ||
        scheme == QLatin1String("mailto")) {
        QDesktopServices::openUrl(target);
    } else if (scheme == QLatin1String(kScheme)) {
        showPage(target.hasFragment() ? target.path() + u'#' + target.fragment() : target.path());
    } else if (const QString text = link.toString(); text.contains(QLatin1String("::"))) {
        // A link into a help file by name ("ms-its:wikabay_help.chm::/menu.htm").
        showPage(QString::fromStdString(
            resolveEntryPath(browser_->source().path().toStdString(), text.toStdString())));
    }
}

void HelpViewer::selectInContents(const QUrl& source) {
    const QString page = source.path();
    QTreeWidgetItem* match = nullptr;
    for (QTreeWidgetItemIterator it(tree_); *it && !match; ++it) {
        const QString path = withoutAnchor((*it)->data(0, kPathRole).toString());
        if (!path.isEmpty() && path.compare(page, Qt::CaseInsensitive) == 0)
            match = *it;
    }
    syncing_ = true;
    tree_->setCurrentItem(match);
    if (!match)
        tree_->clearSelection();
    syncing_ = false;
}

void showHelp(QWidget* owner, const QString& file, unsigned command, quintptr /*data*/) {
    if (command != kHelpDisplayToc)
        return;
    const QString path = QFileInfo(file).fileName() == file
                             ? QDir(QCoreApplication::applicationDirPath()).filePath(file)
                             : file;
    const QString key = QFileInfo(path).absoluteFilePath();

    auto& viewers = openViewers();
    std::erase_if(viewers, [](const QPointer<HelpViewer>& v) { return v.isNull(); });
    for (const QPointer<HelpViewer>& v : viewers) {
        if (QFileInfo(v->filePath()).absoluteFilePath() == key) {
            v->setWindowState(v->windowState() & ~Qt::WindowMinimized);
            v->showContents();
            v->show();
            v->raise();
            v->activateWindow();
            v->tabs()->currentWidget()->setFocus();
            return;
        }
    }

    HelpViewer* viewer = nullptr;
    try {
        viewer = new HelpViewer(path, owner);
    } catch (const ChmError& e) {
        const QString name = QCoreApplication::applicationName();
        QMessageBox::warning(owner, name.isEmpty() ? QStringLiteral("Help") : name,
                             QString::fromStdString(e.what()) + u'.');
        return;
    }
    viewers.emplace_back(viewer);
    viewer->showFirstPage();
    viewer->show();
    viewer->raise();
    viewer->activateWindow();
    viewer->tabs()->currentWidget()->setFocus();
}

} // namespace wk::platform
