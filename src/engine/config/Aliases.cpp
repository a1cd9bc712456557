#include "engine/config/Aliases.h"

#include "engine/EngineError.h"
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

void set(ConfigTree& tree, const std::string& alias, const std::string& folder) {
    validate(alias);
    if (folder.empty())
        throw EngineError(ErrorCode::InvalidArgument, "Alias '" + alias + "' needs a folder");
    tree.set(infoPath(alias), "TYPE", "STANDARD");
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

std::filesystem::path folder(const ConfigTree& tree, const std::string& alias) {
    if (!exists(tree, alias))
        throw EngineError(ErrorCode::NotFound, "Alias '" + alias + "' not found");
    const std::string path = tree.get(infoPath(alias), "PATH").value_or("");
    if (path.empty())
        throw EngineError(ErrorCode::NotFound, "Alias '" + alias + "' names no folder");
    return paths::toNative(path);
}

} // namespace wk::engine::aliases
