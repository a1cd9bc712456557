#pragma once

#include "platform/ChmFile.h"

#include <QString>

#include <optional>
#include <vector>

namespace wk::platform {

/// A page of a help file as a reader sees it.
struct HelpPage {
    QString path;  ///< its entry path ("/menu.htm")
    QString title; ///< its `<title>`, or its file name when it has none
    /// Its text: tags, the head, styles and scripts left out, character references decoded,
    /// non-breaking spaces as plain ones.
    QString text;
};

/// Reads the page `html` (the text of the entry `path`) as a reader sees it. Nothing it refers
/// to (stylesheets, pictures) is loaded.
HelpPage readHelpPage(const QString& path, const QString& html);

/// A search through the text of the pages (".htm", ".html" entries) of a help file. The pages
/// are read, as UTF-8, on the first question; a page that cannot be read is left out. `chm` must
/// outlive the search.
class HelpSearch {
public:
    explicit HelpSearch(const ChmFile& chm) : chm_(chm) {}

    /// The pages whose title or text contains every word of `query` (the parts between white
    /// space), without regard to case, sorted by title. A query without words finds nothing.
    std::vector<HelpPage> find(const QString& query);

    /// The title of the page at `path` (an "#anchor" is ignored); empty when there is no such
    /// page.
    QString titleOf(const QString& path);

private:
    void load();

    const ChmFile& chm_;
    std::optional<std::vector<HelpPage>> pages_;
    std::vector<QString> folded_; // each page's title and text, case-folded
};

} // namespace wk::platform
