#include "platform/HelpViewer.h"

#include "platform/Host.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QImage>
#include <QMessageBox>
#include <QPointer>
#include <QSplitter>
#include <QStyle>
#include <QTextBrowser>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include <vector>

namespace wk::platform {
namespace {

constexpr int kPathRole = Qt::UserRole;

QString withoutAnchor(const QString& path) {
    return path.left(path.indexOf(u'#'));
}

// A page view whose pages, stylesheets and pictures come from the help file and nowhere else.
class HelpBrowser : public QTextBrowser {
public:
    HelpBrowser(const ChmFile& chm, QWidget* parent) : QTextBrowser(parent), chm_(chm) {}

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
      chm_(std::make_unique<ChmFile>(QFile::encodeName(file).toStdString())) {
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
    tree_->setVisible(tree_->topLevelItemCount() > 0);

    browser_ = new HelpBrowser(*chm_, this);
    browser_->setOpenLinks(false);
    browser_->setOpenExternalLinks(false);

    auto* splitter = new QSplitter(Qt::Horizontal);
    splitter->addWidget(tree_);
    splitter->addWidget(browser_);
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 1);
    splitter->setChildrenCollapsible(false);
    splitter->setSizes({220, 580});
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(splitter);
    resize(820, 580);

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
    // The page view reads through chm_; it goes first.
    delete browser_;
    browser_ = nullptr;
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
            v->show();
            v->raise();
            v->activateWindow();
            v->contentsTree()->setFocus();
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
    viewer->contentsTree()->setFocus();
}

} // namespace wk::platform
