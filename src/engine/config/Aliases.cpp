#include "engine/config/Aliases.h"

#include "engine/base/AsciiText.h"
#include "engine/base/EngineError.h"
#include "engine/config/ConfigTree.h"
#include "engine/config/EnginePaths.h"

namespace wk::engine::aliases {
namespace {

std::string infoPath(const std::string& alias) {
    return "\\DATABASES\\" + alias + "\\DB INFO";
}

void validate(const std::string& alias) {
    if (alias.empty() || alias.find('\\') != std::string::npos)
        throw EngineError(ErrorCode::InvalidArgument, "Alias name '" + alias + "' is not valid");
}

} // namespace

bool isServerAddress(std::string_view target) {
    auto startsWith = [&](std::string_view prefix) {
        return target.size() >= prefix.size() &&
               equalsIgnoreCase(target.substr(0, prefix.size()), prefix);
    };
    if (startsWith("postgresql://") || startsWith("postgres://"))
        return true;
    // A key=value connection string begins with a keyword of libpq (small letters and
    // underscores) and '='; a folder's path begins with a separator, a drive or a name that is
    // no such keyword.
    size_t i = target.find_first_not_of(" \t\n\r\f\v");
    const size_t keyword = i;
    while (i < target.size() && ((target[i] >= 'a' && target[i] <= 'z') || target[i] == '_'))
        ++i;
    if (keyword == std::string_view::npos || i == keyword)
        return false;
    i = target.find_first_not_of(" \t\n\r\f\v", i);
    return i != std::string_view::npos && target[i] == '=';
}

void set(ConfigTree& tree, const std::string& alias, const std::string& folder) {
    validate(alias);
    if (folder.empty())
        throw EngineError(ErrorCode::InvalidArgument, "Alias '" + alias + "' needs a folder");
    tree.set(infoPath(alias), "TYPE", isServerAddress(folder) ? "POSTGRESQL" : "STANDARD");
    tree.set(infoPath(alias), "PATH", folder);
    tree.set(infoPath(alias), "DEFAULT DRIVER", "PARADOX");
}

std::vector<std::pair<std::string, std::string>> list(const ConfigTree& tree) {
    std::vector<std::pair<std::string, std::string>> out;
    for (const std::string& name : tree.subnodes("\\DATABASES"))
        out.emplace_back(name, tree.get(infoPath(name), "PATH").value_or(""));
    return out;
}

bool exists(const ConfigTree& tree, const std::string& alias) {
    return !alias.empty() && alias.find('\\') == std::string::npos &&
           tree.findNode(infoPath(alias)) != nullptr;
}

Target target(const ConfigTree& tree, const std::string& alias) {
    if (!exists(tree, alias))
        throw EngineError(ErrorCode::NotFound, "Alias '" + alias + "' not found");
    const std::string path = tree.get(infoPath(alias), "PATH").value_or("");
    if (path.empty())
        throw EngineError(ErrorCode::NotFound, "Alias '" + alias + "' names no folder");
    if (isServerAddress(path))
        return Target{{}, path};
    return Target{paths::toNative(path), {}};
}

std::filesystem::path folder(const ConfigTree& tree, const std::string& alias) {
    Target t = target(tree, alias);
    if (!t.server.empty())
        throw EngineError(ErrorCode::InvalidArgument,
                          "Alias '" + alias + "' names a database on a server, not a folder");
    return t.folder;
}

} // namespace wk::engine::aliases
