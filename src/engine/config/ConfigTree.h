#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace wk::engine {

/// One named value in a configuration node. The name keeps the spelling it was stored with.
struct ConfigEntry {
    std::string name;
    std::string value;
};

/// A node such as `\DRIVERS\PARADOX\INIT` with its entries in stored order.
struct ConfigNode {
    std::string path;
    std::vector<ConfigEntry> entries;
};

/// The engine's configuration: a tree of nodes addressed by backslash paths. Node paths and entry
/// names are matched without regard to letter case; spellings are kept as stored.
///
/// The text form is one `[path]` line per node followed by `name=value` lines. Names and values
/// cannot hold line breaks or other control characters, and names cannot hold `=`; `set` refuses
/// them so that every tree can be written and read back unchanged.
class ConfigTree {
public:
    /// The tree a new installation starts from: the system node and the table driver's nodes,
    /// with an empty `NET DIR` among the driver's entries.
    static ConfigTree defaults();

    /// Reads the text form; raises EngineError (Corrupt) naming `source` and the line on a line
    /// that is neither a node, an entry, a comment nor blank.
    static ConfigTree parse(std::string_view text, const std::string& source);
    std::string serialize() const;

    /// Normalises a path: a leading backslash, no trailing one, no empty parts.
    static std::string normalisePath(std::string_view path);

    /// The node at `path`, or null. The pointer lives as long as the tree and until the tree's
    /// next change; asking a temporary tree for it does not compile.
    const ConfigNode* findNode(std::string_view path) const&;
    const ConfigNode* findNode(std::string_view path) const&& = delete;
    std::optional<std::string> get(std::string_view path, std::string_view entry) const;

    /// Sets an entry, creating the node and the entry as needed. An existing entry keeps its
    /// spelling. Raises EngineError (InvalidArgument) for a name or value that cannot be stored.
    void set(std::string_view path, std::string_view entry, std::string_view value);

    /// Removes a node and everything below it; false if there was none.
    bool removeNode(std::string_view path);

    /// The names of the nodes directly below `path`, in first-seen order.
    std::vector<std::string> subnodes(std::string_view path) const;

    const std::vector<ConfigNode>& nodes() const& { return nodes_; }
    const std::vector<ConfigNode>& nodes() const&& = delete;

private:
    ConfigNode& nodeFor(std::string_view path);
    void reindex();

    std::vector<ConfigNode> nodes_;
    // The position in nodes_ of each node, by its path in capitals: finding a node does not
    // walk the whole tree, so reading a file of many nodes stays linear.
    std::unordered_map<std::string, size_t> index_;
};

} // namespace wk::engine
