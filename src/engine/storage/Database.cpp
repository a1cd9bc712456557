#include "engine/storage/Database.h"

#include "engine/storage/ServerDatabase.h"
#include "engine/storage/TableFiles.h"

namespace wk::engine {

Database::Database(std::string alias, const Session& session)
    : alias_(std::move(alias)), session_(session) {
}

Database::~Database() = default;

EngineError Database::changeError(const std::string& tableName, const EngineError& cause) const {
    std::string why = cause.what();
    if (auto colon = why.find(": "); colon != std::string::npos)
        why = why.substr(colon + 2);
    const std::string where = "Table '" + tablefile::baseName(tableName) + "' in " + place();
    switch (cause.code()) {
    case ErrorCode::Locked:
        return EngineError(cause.code(), where + " is locked by another program: " + why);
    case ErrorCode::ReadOnly:
        return EngineError(cause.code(), where + " is read-only: " + why);
    case ErrorCode::ServerUnavailable:
        return EngineError(cause.code(), where +
                                             " cannot be changed: the server cannot be reached (" +
                                             why + "). Your text is kept.");
    default:
        return EngineError(cause.code(), where + " cannot be changed: " + why);
    }
}

TableFiles& requireTableFiles(Database& db, const std::string& who) {
    struct Find : DatabaseVisitor {
        TableFiles* files = nullptr;
        void visit(TableFiles& d) override { files = &d; }
        void visit(ServerDatabase&) override {}
    } find;
    db.accept(find);
    if (!find.files)
        throw EngineError(ErrorCode::InvalidArgument, who + " reads table files, and alias '" +
                                                          db.alias() +
                                                          "' names a database on a server");
    return *find.files;
}

} // namespace wk::engine
