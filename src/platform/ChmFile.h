#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

struct chmFile;
struct chmUnitInfo;

namespace wk::platform {

/// Raised when a compiled help file cannot be opened or one of its entries cannot be read. The
/// message always names the file.
class ChmError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// One entry of a help file's table of contents.
struct ChmTopic {
    std::string title; ///< as the contents show it (UTF-8, character references decoded)
    /// The page inside the help file as an absolute entry path ("/menu.htm"), with any "#anchor"
    /// kept; empty for a heading that has no page of its own.
    std::string path;
    std::vector<ChmTopic> children; ///< the topics nested under this one, in order
};

/// One keyword of a help file's index.
struct ChmKeyword {
    std::string name; ///< as the index shows it (UTF-8, character references decoded)
    /// The pages the keyword leads to, in order: each with the title the index gives it (empty
    /// when it gives none) and its absolute entry path, "#anchor" kept; `children` stay empty.
    std::vector<ChmTopic> topics;
    std::string seeAlso;              ///< the keyword this one refers to instead; usually empty
    std::vector<ChmKeyword> children; ///< the sub-keywords nested under this one, in order
};

/// Parses the text of a table of contents (a sitemap: nested `<ul>` lists whose `<li>` items
/// each hold an `<object type="text/sitemap">` with `Name` and `Local` parameters). Item paths
/// are resolved against `contentsPath`, the entry the text came from. Tag and parameter names
/// are matched without regard to case; objects of other types are skipped; a list that is never
/// closed ends with the text. Never throws on malformed text; it yields what it could read.
std::vector<ChmTopic> parseContents(std::string_view text, std::string_view contentsPath = "/");

/// Parses the text of an index, a sitemap like the contents: each `<object>` names its keyword
/// with its first `Name` parameter, and each page with a `Local` parameter (resolved against
/// `indexPath`), titled by the `Name` given since the keyword or the page before; a `See Also`
/// parameter refers to another keyword. Items without a keyword are skipped. Never throws on
/// malformed text.
std::vector<ChmKeyword> parseIndex(std::string_view text, std::string_view indexPath = "/");

/// The entry path that `link` (as written in the entry `from`) refers to: relative links are
/// taken from the folder of `from`, "." and ".." are applied, backslashes count as slashes, and
/// a link into a help file ("ms-its:file.chm::/page.htm") keeps only its part after "::". Any
/// "#anchor" stays on the result; a link that is only an anchor refers to `from` itself.
std::string resolveEntryPath(std::string_view from, std::string_view link);

/// A compiled HTML help file (.chm), open for reading for the lifetime of the object. Entry paths
/// are absolute ("/welcome.htm", "/images/menu-keys.png") and matched without regard to case.
/// Not safe for use from several threads at once. A moved-from object may only be destroyed or
/// assigned to.
class ChmFile {
public:
    /// Opens `fileName` and reads its title, default topic and where its contents and index are.
    /// Throws ChmError naming the file when it is missing, unreadable or not a compiled help
    /// file.
    explicit ChmFile(const std::string& fileName);
    ~ChmFile();
    ChmFile(ChmFile&& other) noexcept;
    ChmFile& operator=(ChmFile&& other) noexcept;
    ChmFile(const ChmFile&) = delete;
    ChmFile& operator=(const ChmFile&) = delete;

    /// The file name as given to the constructor.
    const std::string& fileName() const { return fileName_; }

    /// The title the help file was compiled with ("Wikabay Help"); empty when it has none.
    const std::string& title() const { return title_; }

    /// The page shown when no other is asked for ("/welcome.htm"); empty when none is named.
    const std::string& defaultTopic() const { return defaultTopic_; }

    /// The entry holding the table of contents: the one the file's system data or its first
    /// window names, or else the only ".hhc" entry there is. Empty when there is none.
    const std::string& contentsPath() const { return contentsPath_; }

    /// The entry holding the index (keywords): the one the file's system data or its first window
    /// names, or else the only ".hhk" entry there is. Empty when there is none.
    const std::string& indexPath() const { return indexPath_; }

    /// The paths of the file's content entries, sorted: pages, stylesheets, pictures and the
    /// contents and index sources, but no folders and none of the compiler's own ("/#SYSTEM",
    /// "/$OBJINST", "::DataSpace/...").
    std::vector<std::string> entries() const;

    /// Whether the entry `path` exists. A trailing "#anchor" is ignored when the path with it
    /// names no entry (some entry names hold a '#' of their own).
    bool contains(std::string_view path) const;

    /// The bytes of the entry `path` (an "#anchor" is treated as by `contains`), or nothing when
    /// the file has no such entry. Throws ChmError naming the file and the entry when the entry is
    /// there but cannot be read in full, or is implausibly large.
    std::optional<std::string> read(std::string_view path) const;

    /// The parsed table of contents; empty when the file has none.
    std::vector<ChmTopic> contents() const;

    /// The parsed index, in the order of its text; empty when the file has none. Throws ChmError
    /// as `read` does when its entry is damaged.
    std::vector<ChmKeyword> index() const;

private:
    void readMetadata();
    bool resolve(std::string_view path, ::chmUnitInfo& ui) const;

    ::chmFile* handle_ = nullptr;
    std::string fileName_;
    std::string title_;
    std::string defaultTopic_;
    std::string contentsPath_;
    std::string indexPath_;
};

} // namespace wk::platform
