#include "platform/ChmFile.h"

#include <chm_lib.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <utility>
#include <vector>

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace wk::platform {
namespace {

// No entry of a help file comes near this; a larger length means a damaged file.
constexpr LONGUINT64 kMaxEntrySize = 64u * 1024u * 1024u;

// Codes of the records in "/#SYSTEM".
constexpr unsigned kSystemContentsFile = 0;
constexpr unsigned kSystemIndexFile = 1;
constexpr unsigned kSystemDefaultTopic = 2;
constexpr unsigned kSystemTitle = 3;

// Offsets in a "/#WINDOWS" record of fields that point into "/#STRINGS".
constexpr size_t kWindowUnicodeFlag = 0x04;
constexpr size_t kWindowTitle = 0x14;
constexpr size_t kWindowContentsFile = 0x60;
constexpr size_t kWindowIndexFile = 0x64;
constexpr size_t kWindowDefaultFile = 0x68;

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

bool equalsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && lower(a) == lower(b);
}

bool endsWithNoCase(std::string_view s, std::string_view suffix) {
    return s.size() >= suffix.size() && equalsNoCase(s.substr(s.size() - suffix.size()), suffix);
}

std::string_view withoutAnchor(std::string_view path) {
    return path.substr(0, path.find('#'));
}

uint32_t readLittleEndian(const std::string& data, size_t offset, size_t width) {
    uint32_t value = 0;
    for (size_t i = 0; i < width; ++i)
        value |= static_cast<uint32_t>(static_cast<unsigned char>(data[offset + i])) << (8 * i);
    return value;
}

// The text up to the first NUL of `data` from `offset`; empty when `offset` is outside it.
std::string cString(const std::string& data, size_t offset) {
    if (offset >= data.size())
        return {};
    const size_t end = data.find('\0', offset);
    return data.substr(offset, end == std::string::npos ? std::string::npos : end - offset);
}

void appendUtf8(std::string& out, uint32_t cp) {
    if (cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        cp = 0xFFFD;
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Replaces the character references of HTML attribute text; unknown ones stay as written.
std::string decodeEntities(std::string_view s) {
    static const std::pair<const char*, uint32_t> named[] = {
        {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}, {"nbsp", 0xA0}};
    std::string out;
    size_t i = 0;
    while (i < s.size()) {
        const size_t semi = s[i] == '&' ? s.find(';', i) : std::string_view::npos;
        if (semi == std::string_view::npos || semi - i > 10) {
            out += s[i++];
            continue;
        }
        const std::string_view name = s.substr(i + 1, semi - i - 1);
        bool done = false;
        if (name.size() > 1 && name[0] == '#') {
            const bool hex = name[1] == 'x' || name[1] == 'X';
            const std::string digits(name.substr(hex ? 2 : 1));
            const char* valid = hex ? "0123456789abcdefABCDEF" : "0123456789";
            if (!digits.empty() && digits.size() <= 7 &&
                digits.find_first_not_of(valid) == std::string::npos) {
                appendUtf8(out, static_cast<uint32_t>(std::stoul(digits, nullptr, hex ? 16 : 10)));
                done = true;
            }
        } else {
            for (const auto& [n, cp] : named)
                if (name == n) {
                    appendUtf8(out, cp);
                    done = true;
                }
        }
        if (done)
            i = semi + 1;
        else
            out += s[i++];
    }
    return out;
}

// One tag of the contents text: its lower-case name ("ul", "/ul", "param") and attributes.
struct Tag {
    std::string name;
    std::vector<std::pair<std::string, std::string>> attributes; // names in lower case

    std::string attribute(std::string_view n) const {
        for (const auto& [key, value] : attributes)
            if (key == n)
                return value;
        return {};
    }
};

// Reads the tag whose '<' is at `pos`; leaves `pos` after its '>'.
Tag readTag(std::string_view text, size_t& pos) {
    Tag tag;
    size_t i = pos + 1;
    auto isSpace = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
    auto isNameEnd = [&](char c) { return isSpace(c) || c == '>' || c == '=' || c == '/'; };
    size_t start = i;
    if (i < text.size() && text[i] == '/')
        ++i;
    while (i < text.size() && !isNameEnd(text[i]))
        ++i;
    tag.name = lower(text.substr(start, i - start));
    while (i < text.size() && text[i] != '>') {
        if (isSpace(text[i]) || text[i] == '/') {
            ++i;
            continue;
        }
        start = i;
        while (i < text.size() && !isNameEnd(text[i]))
            ++i;
        std::string key = lower(text.substr(start, i - start));
        if (key.empty()) { // a stray '=': skip it
            ++i;
            continue;
        }
        while (i < text.size() && isSpace(text[i]))
            ++i;
        std::string value;
        if (i < text.size() && text[i] == '=') {
            ++i;
            while (i < text.size() && isSpace(text[i]))
                ++i;
            if (i < text.size() && (text[i] == '"' || text[i] == '\'')) {
                const char quote = text[i++];
                start = i;
                while (i < text.size() && text[i] != quote)
                    ++i;
                value = decodeEntities(text.substr(start, i - start));
                if (i < text.size())
                    ++i;
            } else {
                start = i;
                while (i < text.size() && !isSpace(text[i]) && text[i] != '>')
                    ++i;
                value = decodeEntities(text.substr(start, i - start));
            }
        }
        tag.attributes.emplace_back(std::move(key), std::move(value));
    }
    pos = i < text.size() ? i + 1 : i;
    return tag;
}

} // namespace

std::string resolveEntryPath(std::string_view from, std::string_view link) {
    std::string target(link);
    std::replace(target.begin(), target.end(), '\\', '/');
    if (const size_t sep = target.find("::"); sep != std::string::npos)
        target.erase(0, sep + 2);
    std::string anchor;
    if (const size_t hash = target.find('#'); hash != std::string::npos) {
        anchor = target.substr(hash);
        target.erase(hash);
    }
    std::string base(withoutAnchor(from));
    std::replace(base.begin(), base.end(), '\\', '/');
    if (target.empty())
        target = base;
    else if (target.front() != '/')
        target = base.substr(0, base.rfind('/') + 1) + target;

    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= target.size()) {
        size_t end = target.find('/', start);
        if (end == std::string::npos)
            end = target.size();
        const std::string part = target.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::string out;
    for (const std::string& part : parts)
        out += "/" + part;
    if (out.empty() || target.back() == '/')
        out += "/";
    return out + anchor;
}

namespace {

// The parameters of one sitemap object, in order; names in lower case.
using Params = std::vector<std::pair<std::string, std::string>>;

// Reads the items of a sitemap (nested `<ul>` lists of `<li>` items, each an `<object
// type="text/sitemap">` with `<param>`s) into a tree; `make` turns an object's parameters into
// an item, or into nothing to skip it.
template <class Item, class Make> std::vector<Item> parseSitemap(std::string_view text, Make make) {
    std::vector<Item> root;
    // The lists being filled, innermost last. Items are only ever added to the innermost list,
    // so the outer lists (and the addresses of their items' children) do not move meanwhile.
    std::vector<std::vector<Item>*> lists{&root};
    int ulDepth = 0; // lists open in the text, including a top level one
    bool inSitemap = false;
    Params params;

    size_t pos = 0;
    while ((pos = text.find('<', pos)) != std::string_view::npos) {
        if (text.substr(pos, 4) == "<!--") {
            const size_t end = text.find("-->", pos + 4);
            pos = end == std::string_view::npos ? text.size() : end + 3;
            continue;
        }
        const Tag tag = readTag(text, pos);
        if (tag.name == "ul") {
            // The first list is the top level; a nested one belongs to the item before it.
            if (ulDepth++ > 0 && !lists.back()->empty())
                lists.push_back(&lists.back()->back().children);
            else if (ulDepth > 1)
                lists.push_back(lists.back()); // a list with no item before it stays flat
        } else if (tag.name == "/ul") {
            if (ulDepth > 0 && --ulDepth > 0 && lists.size() > 1)
                lists.pop_back();
        } else if (tag.name == "object") {
            inSitemap = equalsNoCase(tag.attribute("type"), "text/sitemap");
            params.clear();
        } else if (tag.name == "param" && inSitemap) {
            params.emplace_back(lower(tag.attribute("name")), tag.attribute("value"));
        } else if (tag.name == "/object" && inSitemap) {
            inSitemap = false;
            if (std::optional<Item> item = make(params))
                lists.back()->push_back(std::move(*item));
        }
    }
    return root;
}

} // namespace

std::vector<ChmTopic> parseContents(std::string_view text, std::string_view contentsPath) {
    return parseSitemap<ChmTopic>(text, [&](const Params& params) -> std::optional<ChmTopic> {
        ChmTopic topic;
        bool haveName = false;
        bool haveLocal = false;
        for (const auto& [name, value] : params) {
            // A topic may name several pages; the first one is what the contents show.
            if (name == "name" && !haveName) {
                topic.title = value;
                haveName = true;
            } else if (name == "local" && !haveLocal && !value.empty()) {
                topic.path = resolveEntryPath(contentsPath, value);
                haveLocal = true;
            }
        }
        if (topic.title.empty())
            topic.title = topic.path;
        if (topic.title.empty())
            return std::nullopt;
        return topic;
    });
}

std::vector<ChmKeyword> parseIndex(std::string_view text, std::string_view indexPath) {
    return parseSitemap<ChmKeyword>(text, [&](const Params& params) -> std::optional<ChmKeyword> {
        ChmKeyword keyword;
        bool haveName = false;
        std::string title; // of the next page
        for (const auto& [name, value] : params) {
            if (name == "name") {
                (haveName ? title : keyword.name) = value;
                haveName = true;
            } else if (name == "local" && !value.empty()) {
                keyword.topics.push_back(
                    {std::exchange(title, {}), resolveEntryPath(indexPath, value), {}});
            } else if (name == "see also" && keyword.seeAlso.empty()) {
                keyword.seeAlso = value;
            }
        }
        if (keyword.name.empty())
            return std::nullopt;
        return keyword;
    });
}

namespace {

#ifndef _WIN32
// Reads every entry of the file in full, as a page, picture or the contents may be read later.
int readsEveryEntry(::chmFile* chm, ::chmUnitInfo* ui, void*) {
    if (ui->length > kMaxEntrySize)
        return CHM_ENUMERATOR_FAILURE;
    std::vector<unsigned char> bytes(static_cast<size_t>(ui->length) + 1);
    const LONGINT64 got =
        chm_retrieve_object(chm, ui, bytes.data(), 0, static_cast<LONGINT64>(ui->length));
    return got == static_cast<LONGINT64>(ui->length) ? CHM_ENUMERATOR_CONTINUE
                                                     : CHM_ENUMERATOR_FAILURE;
}

// chmlib's decompressor can crash on a damaged file. The file is therefore read through once in
// a child process first; a child that crashes or fails means a damaged file, and the program
// itself never runs into it.
bool decompressesCleanly(const std::string& fileName) {
    const pid_t child = ::fork();
    if (child < 0)
        return true; // no check possible; reading goes on as before
    if (child == 0) {
        ::chmFile* chm = chm_open(fileName.c_str());
        const bool ok = chm && chm_enumerate(chm, CHM_ENUMERATE_ALL, readsEveryEntry, nullptr) != 0;
        ::_exit(ok ? 0 : 1);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0)
        if (errno != EINTR)
            return true;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
#endif

} // namespace

ChmFile::ChmFile(const std::string& fileName) : fileName_(fileName) {
#ifndef _WIN32
    std::error_code present;
    if (std::filesystem::is_regular_file(fileName, present) && !decompressesCleanly(fileName))
        throw ChmError("The help file \"" + fileName + "\" is damaged: it cannot be read through");
#endif
    handle_ = chm_open(fileName.c_str());
    if (!handle_) {
        std::error_code error;
        const bool exists = std::filesystem::exists(fileName, error);
        throw ChmError(
            "Cannot open the help file \"" + fileName + "\": " +
            (exists ? "it is unreadable or not a compiled help file" : "there is no such file"));
    }
    try {
        readMetadata();
    } catch (...) {
        chm_close(handle_);
        throw;
    }
}

ChmFile::~ChmFile() {
    if (handle_)
        chm_close(handle_);
}

ChmFile::ChmFile(ChmFile&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)), fileName_(std::move(other.fileName_)),
      title_(std::move(other.title_)), defaultTopic_(std::move(other.defaultTopic_)),
      contentsPath_(std::move(other.contentsPath_)), indexPath_(std::move(other.indexPath_)) {
}

ChmFile& ChmFile::operator=(ChmFile&& other) noexcept {
    if (this != &other) {
        if (handle_)
            chm_close(handle_);
        handle_ = std::exchange(other.handle_, nullptr);
        fileName_ = std::move(other.fileName_);
        title_ = std::move(other.title_);
        defaultTopic_ = std::move(other.defaultTopic_);
        contentsPath_ = std::move(other.contentsPath_);
        indexPath_ = std::move(other.indexPath_);
    }
    return *this;
}

std::vector<std::string> ChmFile::entries() const {
    std::vector<std::string> paths;
    auto collect = [](chmFile*, chmUnitInfo* ui, void* context) -> int {
        const std::string path(ui->path);
        if (!path.empty() && path.front() == '/' && path.back() != '/')
            static_cast<std::vector<std::string>*>(context)->push_back(path);
        return CHM_ENUMERATOR_CONTINUE;
    };
    chm_enumerate(handle_, CHM_ENUMERATE_NORMAL | CHM_ENUMERATE_FILES, collect, &paths);
    std::sort(paths.begin(), paths.end());
    return paths;
}

bool ChmFile::resolve(std::string_view path, chmUnitInfo& ui) const {
    // Some entry names hold a '#' themselves ("/#SYSTEM"); only failing that is it an anchor.
    const std::string exact(path);
    if (!exact.empty() && chm_resolve_object(handle_, exact.c_str(), &ui) == CHM_RESOLVE_SUCCESS)
        return true;
    const std::string page(withoutAnchor(path));
    return page.size() < exact.size() && !page.empty() &&
           chm_resolve_object(handle_, page.c_str(), &ui) == CHM_RESOLVE_SUCCESS;
}

bool ChmFile::contains(std::string_view path) const {
    chmUnitInfo ui{};
    return resolve(path, ui);
}

std::optional<std::string> ChmFile::read(std::string_view path) const {
    chmUnitInfo ui{};
    if (!resolve(path, ui))
        return std::nullopt;
    const std::string p(ui.path);
    if (ui.length > kMaxEntrySize)
        throw ChmError("The help file \"" + fileName_ + "\" is damaged: its entry \"" + p +
                       "\" claims " + std::to_string(ui.length) + " bytes");
    std::string bytes(static_cast<size_t>(ui.length), '\0');
    if (ui.length > 0) {
        const LONGINT64 got =
            chm_retrieve_object(handle_, &ui, reinterpret_cast<unsigned char*>(bytes.data()), 0,
                                static_cast<LONGINT64>(ui.length));
        if (got != static_cast<LONGINT64>(ui.length))
            throw ChmError("Cannot read \"" + p + "\" from the help file \"" + fileName_ +
                           "\": the file is damaged");
    }
    return bytes;
}

std::vector<ChmTopic> ChmFile::contents() const {
    if (contentsPath_.empty())
        return {};
    const std::optional<std::string> text = read(contentsPath_);
    return text ? parseContents(*text, contentsPath_) : std::vector<ChmTopic>{};
}

std::vector<ChmKeyword> ChmFile::index() const {
    if (indexPath_.empty())
        return {};
    const std::optional<std::string> text = read(indexPath_);
    return text ? parseIndex(*text, indexPath_) : std::vector<ChmKeyword>{};
}

void ChmFile::readMetadata() {
    auto readOrEmpty = [this](std::string_view path) {
        try {
            return read(path).value_or(std::string());
        } catch (const ChmError&) {
            return std::string(); // damaged metadata: fall back as if it were missing
        }
    };
    std::string contents;
    std::string index;

    // "/#SYSTEM": a version, then records of a 16-bit code, a 16-bit length and the data.
    const std::string system = readOrEmpty("/#SYSTEM");
    for (size_t at = 4; at + 4 <= system.size();) {
        const unsigned code = readLittleEndian(system, at, 2);
        const size_t length = readLittleEndian(system, at + 2, 2);
        if (at + 4 + length > system.size())
            break;
        const std::string value = cString(system.substr(at + 4, length), 0);
        if (code == kSystemContentsFile)
            contents = value;
        else if (code == kSystemIndexFile)
            index = value;
        else if (code == kSystemDefaultTopic)
            defaultTopic_ = value;
        else if (code == kSystemTitle)
            title_ = value;
        at += 4 + length;
    }

    // The first window names what "/#SYSTEM" may leave out, as offsets into "/#STRINGS".
    auto present = [this](const std::string& name) {
        return !name.empty() && contains(resolveEntryPath("/", name));
    };
    const std::string windows = readOrEmpty("/#WINDOWS");
    if (windows.size() >= 8 && readLittleEndian(windows, 0, 4) > 0) {
        const size_t size = readLittleEndian(windows, 4, 4);
        if (size >= kWindowDefaultFile + 4 && windows.size() >= 8 + size &&
            readLittleEndian(windows, 8 + kWindowUnicodeFlag, 4) == 0) {
            const std::string strings = readOrEmpty("/#STRINGS");
            auto field = [&](size_t offset) {
                return cString(strings, readLittleEndian(windows, 8 + offset, 4));
            };
            if (title_.empty())
                title_ = field(kWindowTitle);
            if (defaultTopic_.empty())
                defaultTopic_ = field(kWindowDefaultFile);
            if (!present(contents))
                contents = field(kWindowContentsFile);
            if (!present(index))
                index = field(kWindowIndexFile);
        }
    }

    // What neither names is found as the only entry of its kind.
    auto locate = [&](const std::string& name, std::string_view extension) {
        if (present(name))
            return resolveEntryPath("/", name);
        std::vector<std::string> candidates;
        for (std::string& path : entries())
            if (endsWithNoCase(path, extension))
                candidates.push_back(std::move(path));
        return candidates.size() == 1 ? candidates.front() : std::string();
    };
    contentsPath_ = locate(contents, ".hhc");
    indexPath_ = locate(index, ".hhk");
    if (!defaultTopic_.empty())
        defaultTopic_ = resolveEntryPath("/", defaultTopic_);
}

} // namespace wk::platform
