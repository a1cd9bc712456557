#include "platform/HelpSearch.h"

#include <QFileInfo>
#include <QTextDocument>

#include <algorithm>

namespace wk::platform {
namespace {

// A document that loads nothing a page refers to: no stylesheet from disk, no picture.
class TextOnlyDocument : public QTextDocument {
protected:
    QVariant loadResource(int, const QUrl&) override { return {}; }
};

bool isPage(const std::string& path) {
    const QString p = QString::fromStdString(path);
    return p.endsWith(QLatin1String(".htm"), Qt::CaseInsensitive) ||
           p.endsWith(QLatin1String(".html"), Qt::CaseInsensitive);
}

} // namespace

HelpPage readHelpPage(const QString& path, const QString& html) {
    TextOnlyDocument doc;
    doc.setHtml(html);
    HelpPage page;
    page.path = path;
    page.title = doc.metaInformation(QTextDocument::DocumentTitle).simplified();
    if (page.title.isEmpty())
        page.title = QFileInfo(path).fileName();
    page.text = doc.toPlainText(); // non-breaking spaces become plain ones
    return page;
}

void HelpSearch::load() {
    if (pages_)
        return;
    pages_.emplace();
    for (const std::string& entry : chm_.entries()) {
        if (!isPage(entry))
            continue;
        std::optional<std::string> bytes;
        try {
            bytes = chm_.read(entry);
        } catch (const ChmError&) {
            continue; // a damaged page is not found, as it cannot be shown either
        }
        if (!bytes)
            continue;
        pages_->push_back(
            readHelpPage(QString::fromStdString(entry),
                         QString::fromUtf8(bytes->data(), static_cast<qsizetype>(bytes->size()))));
    }
    std::stable_sort(pages_->begin(), pages_->end(), [](const HelpPage& a, const HelpPage& b) {
        return a.title.compare(b.title, Qt::CaseInsensitive) < 0;
    });
    for (const HelpPage& page : *pages_)
        folded_.push_back((page.title + u'\n' + page.text).toCaseFolded());
}

std::vector<HelpPage> HelpSearch::find(const QString& query) {
    const QStringList words = query.simplified().toCaseFolded().split(u' ', Qt::SkipEmptyParts);
    std::vector<HelpPage> found;
    if (words.isEmpty())
        return found;
    load();
    for (size_t i = 0; i < pages_->size(); ++i)
        if (std::all_of(words.begin(), words.end(),
                        [&](const QString& w) { return folded_[i].contains(w); }))
            found.push_back((*pages_)[i]);
    return found;
}

QString HelpSearch::titleOf(const QString& path) {
    load();
    const QString page = path.left(path.indexOf(u'#'));
    for (const HelpPage& p : *pages_)
        if (p.path.compare(page, Qt::CaseInsensitive) == 0)
            return p.title;
    return {};
}

} // namespace wk::platform
