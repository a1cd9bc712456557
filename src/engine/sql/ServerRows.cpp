#include "engine/sql/ServerRows.h"

#include "engine/server/PgConnection.h"
#include "engine/storage/ServerDatabase.h"

#include <charconv>
#include <unordered_map>

namespace wk::engine {

std::int64_t serverRowId(std::string_view text) {
    std::int64_t id = 0;
    std::from_chars(text.data(), text.data() + text.size(), id);
    return id;
}

RowFetcher serverRowFetcher(ServerDatabase& db, std::string fetchSql, size_t fieldCount) {
    return [&db, sql = std::move(fetchSql), fieldCount](const std::vector<std::int64_t>& wanted) {
        std::string list = "{";
        for (size_t i = 0; i < wanted.size(); ++i) {
            // Appended piece by piece: "," + std::to_string(...) trips a false -Wrestrict of
            // GCC 12 at -O3.
            if (i)
                list += ',';
            list += std::to_string(wanted[i]);
        }
        PgResult r = db.serverAsItIs().exec(sql, {list + "}"});
        std::unordered_map<std::int64_t, int> at;
        for (int i = 0; i < r.rows(); ++i)
            at.emplace(serverRowId(r.text(i, 0)), i);
        std::vector<std::vector<std::string>> out;
        for (std::int64_t id : wanted) {
            // A row deleted by another program since the dataset opened shows blank.
            std::vector<std::string> values(fieldCount);
            if (auto it = at.find(id); it != at.end())
                for (size_t k = 0; k < fieldCount; ++k)
                    values[k] = r.text(it->second, static_cast<int>(k + 1));
            out.push_back(std::move(values));
        }
        return out;
    };
}

} // namespace wk::engine
