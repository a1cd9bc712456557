#include "engine/storage/Session.h"

#include "engine/base/AsciiText.h"
#include "engine/base/EngineError.h"
#include "engine/base/FileUtil.h"
#include "engine/config/Aliases.h"
#include "engine/config/ConfigStore.h"
#include "engine/config/EnginePaths.h"
#include "engine/storage/Database.h"
#include "engine/storage/ServerDatabase.h"
#include "engine/storage/TableFiles.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace wk::engine {
namespace {

std::vector<Session*>& registry() {
    static std::vector<Session*> sessions;
    return sessions;
}

} // namespace

Session::Session(std::string name) : name_(std::move(name)) {
    registry().push_back(this);
}

Session::~Session() {
    std::erase(registry(), this);
}

Session& Session::defaultSession() {
    static Session session("Default");
    return session;
}

Session* Session::find(const std::string& name) {
    if (name.empty())
        return &defaultSession();
    defaultSession(); // registered before any lookup
    for (Session* s : registry())
        if (equalsIgnoreCase(s->name(), name))
            return s;
    return nullptr;
}

void Session::setNetFileDir(const std::string& dir) {
    if (active_)
        applyNetDir(dir);
    netFileDir_ = dir;
}

void Session::addPassword(const std::string& password) {
    if (!active_)
        open();
    if (std::find(passwords_.begin(), passwords_.end(), password) == passwords_.end())
        passwords_.push_back(password);
}

void Session::open() {
    if (active_)
        return;
    if (this != &defaultSession())
        defaultSession().open();
    std::string dir = netFileDir_;
    if (dir.empty())
        dir = ConfigStore().load().get("\\DRIVERS\\PARADOX\\INIT", "NET DIR").value_or("");
    applyNetDir(dir);
    active_ = true;
}

void Session::applyNetDir(const std::string& dir) const {
    if (dir.empty())
        return;
    const std::filesystem::path native = paths::toNative(dir);
    try {
        fileutil::createFolder(native);
        // The control file marks the folder as in use by the engine; creating it proves that the
        // folder can be written.
        const std::filesystem::path control = native / "WIKABAY.NET";
        int fd = ::open(control.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0)
            throw EngineError(ErrorCode::Io, "Cannot write in folder '" + native.string() +
                                                 "': " + std::strerror(errno));
        ::close(fd);
    } catch (const EngineError& e) {
        throw EngineError(e.code(),
                          "Network control directory '" + dir + "' cannot be used: " + e.what());
    }
}

Database& Session::database(const std::string& alias) {
    if (!active_)
        open();
    const std::string key = asciiUpper(alias);
    auto it = databases_.find(key);
    if (it != databases_.end())
        return *it->second;
    const aliases::Target target = aliases::target(ConfigStore().load(), alias);
    // What differs between table files and a server is chosen here, once for the alias.
    std::unique_ptr<Database> db;
    if (target.server.empty())
        db = std::make_unique<TableFiles>(alias, target.folder, *this);
    else
        db = std::make_unique<ServerDatabase>(alias, target.server, *this);
    Database& ref = *db;
    databases_.emplace(key, std::move(db));
    return ref;
}

} // namespace wk::engine
