#include "engine/config/ConfigTree.h"

#include "engine/base/AsciiText.h"
#include "engine/base/EngineError.h"

#include <algorithm>
#include <cctype>
#include <unordered_set>

namespace wk::engine {

namespace {

bool hasControl(std::string_view s) {
    return std::any_of(s.begin(), s.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; });
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

// The key of a normalised path in the tree's index: its letters in capitals.
std::string pathKey(std::string_view path) {
    return asciiUpper(std::string(path));
}

// True when `path` lies below `parent` (or is it); `rest` receives what follows `parent`.
bool startsWithPath(std::string_view path, std::string_view parent, std::string_view& rest) {
    if (parent == "\\") {
        rest = path.substr(1);
        return true;
    }
    if (path.size() < parent.size() || !equalsIgnoreCase(path.substr(0, parent.size()), parent))
        return false;
    if (path.size() == parent.size()) {
        rest = {};
        return true;
    }
    if (path[parent.size()] != '\\')
        return false;
    rest = path.substr(parent.size() + 1);
    return true;
}

} // namespace

ConfigTree ConfigTree::defaults() {
    ConfigTree t;
    const char* sys = "\\SYSTEM\\INIT";
    t.set(sys, "VERSION", "1.0");
    t.set(sys, "LOCAL SHARE", "FALSE");
    t.set(sys, "DEFAULT DRIVER", "PARADOX");
    t.set(sys, "LANGDRIVER", "UTF8");
    t.set(sys, "MAXFILEHANDLES", "48");
    const char* init = "\\DRIVERS\\PARADOX\\INIT";
    t.set(init, "VERSION", "4.0");
    t.set(init, "TYPE", "FILE");
    t.set(init, "NET DIR", "");
    t.set(init, "LANGDRIVER", "UTF8");
    t.set(init, "LEVEL", "4");
    t.set(init, "BLOCK SIZE", "4096");
    t.set(init, "FILL FACTOR", "95");
    const char* create = "\\DRIVERS\\PARADOX\\TABLE CREATE";
    t.set(create, "LEVEL", "4");
    t.set(create, "BLOCK SIZE", "4096");
    t.set(create, "FILL FACTOR", "95");
    return t;
}

std::string ConfigTree::normalisePath(std::string_view path) {
    std::string out;
    size_t i = 0;
    while (i < path.size()) {
        while (i < path.size() && path[i] == '\\')
            ++i;
        size_t j = i;
        while (j < path.size() && path[j] != '\\')
            ++j;
        std::string_view part = trim(path.substr(i, j - i));
        if (!part.empty()) {
            out += '\\';
            out += part;
        }
        i = j;
    }
    return out.empty() ? "\\" : out;
}

ConfigTree ConfigTree::parse(std::string_view text, const std::string& source) {
    ConfigTree t;
    ConfigNode* current = nullptr;
    size_t lineNo = 0;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view raw = text.substr(pos, end - pos);
        pos = end + 1;
        ++lineNo;
        if (!raw.empty() && raw.back() == '\r')
            raw.remove_suffix(1);
        std::string_view line = trim(raw);
        if (line.empty() || line.front() == '#' || line.front() == ';')
            continue;
        auto bad = [&](const std::string& why) {
            return EngineError(ErrorCode::Corrupt, "Configuration file '" + source + "', line " +
                                                       std::to_string(lineNo) + ": " + why);
        };
        if (std::any_of(raw.begin(), raw.end(), [](char c) {
                return (static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == 0x7f;
            }))
            throw bad("it holds a control character");
        if (line.front() == '[') {
            if (line.back() != ']')
                throw bad("a node line must end with ']'");
            current = &t.nodeFor(line.substr(1, line.size() - 2));
            continue;
        }
        size_t eq = raw.find('=');
        if (eq == std::string_view::npos)
            throw bad("expected 'name=value' or '[node]'");
        if (!current)
            throw bad("an entry comes before any node");
        std::string_view name = trim(raw.substr(0, eq));
        if (name.empty())
            throw bad("the entry has no name");
        // The value is kept exactly, trailing blanks included.
        current->entries.push_back({std::string(name), std::string(raw.substr(eq + 1))});
    }
    return t;
}

std::string ConfigTree::serialize() const {
    std::string out = "# Wikabay engine configuration. Written by the engine; edit with care.\n";
    for (const ConfigNode& n : nodes_) {
        out += "\n[" + n.path + "]\n";
        for (const ConfigEntry& e : n.entries)
            out += e.name + "=" + e.value + "\n";
    }
    return out;
}

const ConfigNode* ConfigTree::findNode(std::string_view path) const& {
    const auto it = index_.find(pathKey(normalisePath(path)));
    return it == index_.end() ? nullptr : &nodes_[it->second];
}

ConfigNode& ConfigTree::nodeFor(std::string_view path) {
    std::string p = normalisePath(path);
    const auto [it, added] = index_.try_emplace(pathKey(p), nodes_.size());
    if (added)
        nodes_.push_back({std::move(p), {}});
    return nodes_[it->second];
}

void ConfigTree::reindex() {
    index_.clear();
    for (size_t i = 0; i < nodes_.size(); ++i)
        index_.emplace(pathKey(nodes_[i].path), i);
}

std::optional<std::string> ConfigTree::get(std::string_view path, std::string_view entry) const {
    const ConfigNode* n = findNode(path);
    if (!n)
        return std::nullopt;
    for (const ConfigEntry& e : n->entries)
        if (equalsIgnoreCase(e.name, trim(entry)))
            return e.value;
    return std::nullopt;
}

void ConfigTree::set(std::string_view path, std::string_view entry, std::string_view value) {
    std::string_view name = trim(entry);
    if (name.empty() || hasControl(name) || name.find('=') != std::string_view::npos ||
        name.front() == '[' || name.front() == '#' || name.front() == ';')
        throw EngineError(ErrorCode::InvalidArgument,
                          "Configuration entry name '" + std::string(entry) + "' cannot be stored");
    if (hasControl(value))
        throw EngineError(ErrorCode::InvalidArgument,
                          "The value of configuration entry '" + std::string(name) +
                              "' holds a line break or control character");
    const std::string p = normalisePath(path);
    if (p == "\\" || hasControl(p) || p.find(']') != std::string::npos)
        throw EngineError(ErrorCode::InvalidArgument,
                          "Configuration node path '" + std::string(path) + "' cannot be stored");
    ConfigNode& n = nodeFor(p);
    for (ConfigEntry& e : n.entries) {
        if (equalsIgnoreCase(e.name, name)) {
            e.value = value;
            return;
        }
    }
    n.entries.push_back({std::string(name), std::string(value)});
}

bool ConfigTree::removeNode(std::string_view path) {
    const std::string p = normalisePath(path);
    auto before = nodes_.size();
    std::erase_if(nodes_, [&](const ConfigNode& n) {
        std::string_view rest;
        return startsWithPath(n.path, p, rest);
    });
    if (nodes_.size() == before)
        return false;
    reindex();
    return true;
}

std::vector<std::string> ConfigTree::subnodes(std::string_view path) const {
    const std::string p = normalisePath(path);
    std::vector<std::string> out;
    std::unordered_set<std::string> seen; // the children's names in capitals
    for (const ConfigNode& n : nodes_) {
        std::string_view rest;
        if (!startsWithPath(n.path, p, rest) || rest.empty())
            continue;
        std::string child(rest.substr(0, rest.find('\\')));
        if (seen.insert(pathKey(child)).second)
            out.push_back(std::move(child));
    }
    return out;
}

} // namespace wk::engine
