#include "engine/config/ConfigStore.h"

#include "engine/base/EngineError.h"
#include "engine/base/FileUtil.h"
#include "engine/config/EnginePaths.h"

namespace wk::engine {

ConfigStore::ConfigStore() : file_(paths::configFile()) {
}

ConfigStore::ConfigStore(std::filesystem::path file) : file_(std::move(file)) {
}

ConfigTree ConfigStore::load() const {
    std::error_code ec;
    if (!std::filesystem::exists(file_, ec) && !ec)
        return ConfigTree::defaults();
    return ConfigTree::parse(fileutil::readFile(file_), file_.string());
}

void ConfigStore::update(const std::function<void(ConfigTree&)>& change) const {
    fileutil::createFolder(file_.parent_path());
    // The file may hold the passwords of servers: it and its lock are the user's alone.
    fileutil::FileLock lock(file_.string() + ".lock", fileutil::FileAccess::OwnerOnly);
    ConfigTree tree = load();
    change(tree);
    fileutil::writeFileAtomically(file_, tree.serialize(), fileutil::FileAccess::OwnerOnly);
    // Temporaries of writes that a crash or a kill cut off are older than this lock.
    fileutil::removeStaleTemporaries(file_, lock.acquired());
}

} // namespace wk::engine
