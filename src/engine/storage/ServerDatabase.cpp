#include "engine/storage/ServerDatabase.h"

#include "engine/base/EngineError.h"
#include "engine/base/UnicodeText.h"
#include "engine/server/PgConnInfo.h"
#include "engine/server/PgConnection.h"
#include "engine/storage/PasswordHash.h"
#include "engine/storage/ServerTables.h"
#include "engine/storage/Session.h"

namespace wk::engine {

ServerDatabase::ServerDatabase(std::string alias, std::string address, const Session& session)
    : Database(std::move(alias), session), address_(std::move(address)) {
    pgconninfo::check(address_);
}

ServerDatabase::~ServerDatabase() = default;

PgConnection& ServerDatabase::server() {
    if (!server_)
        server_ = std::make_unique<PgConnection>(address_);
    else if (!server_->connected())
        server_->reset();
    return *server_;
}

PgConnection& ServerDatabase::serverAsItIs() {
    return server_ ? *server_ : server();
}

std::string ServerDatabase::place() const {
    return server_ ? server_->serverName() : "the server of alias '" + alias() + "'";
}

std::string ServerDatabase::generation(const std::string& tableName) {
    const auto it = tables_.find(toUpperUtf8(tablefile::baseName(tableName)));
    const std::string stored =
        it != tables_.end() ? it->second.handle.storedName : serverTable(tableName).storedName;
    return servertables::generation(server(), stored);
}

std::string ServerDatabase::replace(const std::string& tableName,
                                    const std::vector<std::string>& fields,
                                    const tablefile::RowReader& rows,
                                    const std::optional<std::string>& password,
                                    const std::function<void(long long)>& progress,
                                    const std::vector<bool>& searched) {
    servertables::replace(server(), tableName, fields, rows, password, progress, searched);
    return {};
}

const ServerTable& ServerDatabase::serverTable(const std::string& tableName) {
    PgConnection& c = server();
    std::optional<servertables::Description> d = servertables::describe(c, tableName);
    if (!d) {
        tables_.erase(toUpperUtf8(tablefile::baseName(tableName)));
        throw EngineError(ErrorCode::NotFound, "Table '" + tablefile::baseName(tableName) +
                                                   "' not found in " + c.serverName() +
                                                   " (alias '" + alias() + "')");
    }
    Known& k = tables_[toUpperUtf8(d->name)];
    if (!d->passwordHash.empty() && d->passwordHash != k.verifiedHash) {
        if (!password::anyMatches(session().passwords(), d->passwordSalt, d->passwordHash))
            throw EngineError(ErrorCode::Password, "Table '" + d->name + "' in " + c.serverName() +
                                                       " is protected, and session '" +
                                                       session().name() +
                                                       "' does not hold its password");
        k.verifiedHash = d->passwordHash;
    }
    k.handle.name = tableName;
    k.handle.qualified = d->qualified;
    k.handle.fields = std::move(d->fields);
    k.handle.storedName = d->name;
    k.handle.upperColumns = std::move(d->upperColumns);
    return k.handle;
}

} // namespace wk::engine
