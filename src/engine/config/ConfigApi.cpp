#include "engine/config/ConfigApi.h"

#include "engine/base/EngineError.h"
#include "engine/config/ConfigStore.h"

#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace wk::engine {
namespace {

struct CursorState {
    std::string path; // the node's path as stored
    DbiOpenMode openMode;
    DbiConfigMode configMode;
    std::vector<DbiConfigEntry> entries;
    size_t next = 0;               // index of the entry the next fetch delivers
    std::optional<size_t> current; // the entry fetched last
};

struct EngineState {
    std::mutex mutex;
    int users = 0;
    std::unique_ptr<ConfigStore> store;
    std::optional<ConfigTree> sessionTree; // this process's copy for session mode
    std::map<DbiCursor, CursorState> cursors;
    DbiCursor nextHandle = 1;
};

EngineState& state() {
    static EngineState s;
    return s;
}

void copyText(char (&dest)[DbiConfigTextSize], const std::string& text) {
    size_t n = std::min(text.size(), static_cast<size_t>(DbiConfigTextSize - 1));
    std::memcpy(dest, text.data(), n);
    dest[n] = '\0';
}

DbiConfigEntry makeEntry(const std::string& name, const std::string& value, bool subnode) {
    DbiConfigEntry e{};
    copyText(e.nodeName, name);
    copyText(e.value, value);
    e.dataType = DbiConfigText;
    e.hasSubnodes = subnode;
    return e;
}

} // namespace

DbiResult DbiInitFn(std::uint16_t version, const DbiEnvironment* environment) {
    EngineState& s = state();
    std::lock_guard lock(s.mutex);
    if (version != DbiInterfaceVersion)
        return DbiErrInterfaceVersion;
    if (s.users == 0) {
        try {
            if (environment && environment->configFile[0] != '\0') {
                const char* f = environment->configFile;
                s.store = std::make_unique<ConfigStore>(std::string(f, strnlen(f, 260)));
            } else {
                s.store = std::make_unique<ConfigStore>();
            }
        } catch (const std::exception&) {
            return DbiErrConfigRead;
        }
    }
    ++s.users;
    return DbiOk;
}

DbiResult DbiOpenConfigList(DbiConfigHandle config, DbiOpenMode openMode, DbiConfigMode configMode,
                            const char* path, DbiCursor* cursor) {
    EngineState& s = state();
    std::lock_guard lock(s.mutex);
    if (cursor)
        *cursor = 0;
    if (s.users == 0)
        return DbiErrNotInitialized;
    if (config != 0 || !path || !cursor)
        return DbiErrInvalidParameter;
    try {
        if (configMode == DbiConfigMode::Session && !s.sessionTree)
            s.sessionTree = s.store->load();
        const ConfigTree tree =
            configMode == DbiConfigMode::Session ? *s.sessionTree : s.store->load();
        const ConfigNode* node = tree.findNode(path);
        std::vector<std::string> children = tree.subnodes(path);
        if (!node && children.empty())
            return DbiErrNodeNotFound;
        CursorState c{node ? node->path : ConfigTree::normalisePath(path),
                      openMode,
                      configMode,
                      {},
                      0,
                      std::nullopt};
        if (node)
            for (const ConfigEntry& e : node->entries)
                c.entries.push_back(makeEntry(e.name, e.value, false));
        for (const std::string& child : children)
            c.entries.push_back(makeEntry(child, "", true));
        DbiCursor handle = s.nextHandle++;
        s.cursors.emplace(handle, std::move(c));
        *cursor = handle;
        return DbiOk;
    } catch (const std::exception&) {
        return DbiErrConfigRead;
    }
}

DbiResult DbiMoveToStart(DbiCursor cursor) {
    EngineState& s = state();
    std::lock_guard lock(s.mutex);
    if (s.users == 0)
        return DbiErrNotInitialized;
    auto it = s.cursors.find(cursor);
    if (it == s.cursors.end())
        return DbiErrInvalidHandle;
    it->second.next = 0;
    it->second.current.reset();
    return DbiOk;
}

DbiResult DbiFetchNextEntry(DbiCursor cursor, DbiLockMode, DbiConfigEntry* entry,
                            DbiRecordProperties*) {
    EngineState& s = state();
    std::lock_guard lock(s.mutex);
    if (s.users == 0)
        return DbiErrNotInitialized;
    auto it = s.cursors.find(cursor);
    if (it == s.cursors.end())
        return DbiErrInvalidHandle;
    if (!entry)
        return DbiErrInvalidParameter;
    CursorState& c = it->second;
    if (c.next >= c.entries.size()) {
        c.current.reset();
        return DbiErrEndOfList;
    }
    c.current = c.next++;
    *entry = c.entries[*c.current];
    return DbiOk;
}

DbiResult DbiModifyEntry(DbiCursor cursor, const DbiConfigEntry* entry, bool) {
    EngineState& s = state();
    std::lock_guard lock(s.mutex);
    if (s.users == 0)
        return DbiErrNotInitialized;
    auto it = s.cursors.find(cursor);
    if (it == s.cursors.end())
        return DbiErrInvalidHandle;
    CursorState& c = it->second;
    if (!entry)
        return DbiErrInvalidParameter;
    if (c.openMode != DbiOpenMode::ReadWrite)
        return DbiErrReadOnly;
    if (!c.current)
        return DbiErrNoCurrentEntry;
    DbiConfigEntry& stored = c.entries[*c.current];
    if (stored.hasSubnodes)
        return DbiErrInvalidParameter;
    const size_t len = strnlen(entry->value, DbiConfigTextSize);
    if (len == DbiConfigTextSize)
        return DbiErrInvalidParameter; // no terminator
    const std::string value(entry->value, len);
    const std::string name(stored.nodeName);
    try {
        auto apply = [&](ConfigTree& t) { t.set(c.path, name, value); };
        if (c.configMode == DbiConfigMode::Session)
            apply(*s.sessionTree);
        else
            s.store->update(apply);
    } catch (const EngineError& e) {
        return e.code() == ErrorCode::InvalidArgument ? DbiErrInvalidParameter : DbiErrConfigWrite;
    } catch (const std::exception&) {
        return DbiErrConfigWrite;
    }
    copyText(stored.value, value);
    return DbiOk;
}

DbiResult DbiCloseCursor(DbiCursor* cursor) {
    EngineState& s = state();
    std::lock_guard lock(s.mutex);
    if (!cursor || *cursor == 0)
        return DbiOk;
    if (s.users == 0)
        return DbiErrNotInitialized;
    if (s.cursors.erase(*cursor) == 0)
        return DbiErrInvalidHandle;
    *cursor = 0;
    return DbiOk;
}

DbiResult DbiExit() {
    EngineState& s = state();
    std::lock_guard lock(s.mutex);
    if (s.users == 0)
        return DbiErrNotInitialized;
    if (--s.users == 0) {
        s.cursors.clear();
        s.store.reset();
    }
    return DbiOk;
}

} // namespace wk::engine
