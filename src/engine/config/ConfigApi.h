#pragma once

/// The engine's C-style configuration interface. Every call returns 0 on success and one of the
/// non-zero codes below otherwise; no call throws, and a call made before DbiInitFn, after
/// DbiExit, or with a handle that is not open fails with a code instead of crashing.
///
/// A program starts the engine, opens a cursor over the entries of one configuration node, moves
/// it to the start, fetches entries one by one, may modify the entry it fetched last, and closes
/// the cursor and shuts the engine down:
///
///     DbiInitFn(500, nullptr);
///     DbiCursor cur = 0;
///     if (DbiOpenConfigList(0, DbiOpenMode::ReadWrite, DbiConfigMode::Persistent,
///                           "\\DRIVERS\\PARADOX\\INIT", &cur) == 0) ...
///     DbiCloseCursor(&cur);
///     DbiExit();

#include <cstdint>

namespace wk::engine {

using DbiResult = std::uint16_t;
using DbiCursor = std::uint32_t;       ///< 0 stands for no cursor
using DbiConfigHandle = std::uint32_t; ///< reserved; pass 0

inline constexpr DbiResult DbiOk = 0;
inline constexpr DbiResult DbiErrNotInitialized = 0x2101;
inline constexpr DbiResult DbiErrInterfaceVersion = 0x2102;
inline constexpr DbiResult DbiErrInvalidHandle = 0x2103;
inline constexpr DbiResult DbiErrInvalidParameter = 0x2104;
inline constexpr DbiResult DbiErrNodeNotFound = 0x2105;
inline constexpr DbiResult DbiErrEndOfList = 0x2106;
inline constexpr DbiResult DbiErrNoCurrentEntry = 0x2107;
inline constexpr DbiResult DbiErrReadOnly = 0x2108;
inline constexpr DbiResult DbiErrConfigRead = 0x2109;
inline constexpr DbiResult DbiErrConfigWrite = 0x210A;

/// The interface version this engine implements.
inline constexpr std::uint16_t DbiInterfaceVersion = 500;

enum class DbiOpenMode { ReadOnly, ReadWrite };

/// Persistent mode works on the stored configuration file; session mode on this process's own
/// copy, whose changes end with the process.
enum class DbiConfigMode { Persistent, Session };

enum class DbiLockMode { None, Read, Write };

/// Start-up settings; pass none for the defaults.
struct DbiEnvironment {
    char configFile[260];
};

/// Record properties of a cursor; accepted for compatibility, pass none.
struct DbiRecordProperties;

inline constexpr int DbiConfigTextSize = 128; ///< 127 characters and the terminator

/// One entry of a configuration node as a cursor delivers it.
struct DbiConfigEntry {
    char nodeName[DbiConfigTextSize];    ///< the entry's name, as stored
    char description[DbiConfigTextSize]; ///< what the entry is for, or empty
    std::uint16_t dataType;              ///< DbiConfigText for every entry of this engine
    char value[DbiConfigTextSize];       ///< the value, cut to 127 characters if longer
    bool hasSubnodes;                    ///< true for a child node; its value is empty
};

inline constexpr std::uint16_t DbiConfigText = 1;

/// Starts the engine. `version` must be DbiInterfaceVersion. Each successful call must be matched
/// by one DbiExit; the engine stays started until the last one.
DbiResult DbiInitFn(std::uint16_t version, const DbiEnvironment* environment);

/// Opens a cursor over the entries (and child nodes) of the node at `path`. `config` is reserved
/// and must be 0. `*cursor` receives the new cursor, or 0 on failure.
DbiResult DbiOpenConfigList(DbiConfigHandle config, DbiOpenMode openMode, DbiConfigMode configMode,
                            const char* path, DbiCursor* cursor);

/// Moves a cursor before its first entry.
DbiResult DbiMoveToStart(DbiCursor cursor);

/// Fetches the next entry into `entry`. Fails with DbiErrEndOfList after the last one.
DbiResult DbiFetchNextEntry(DbiCursor cursor, DbiLockMode lock, DbiConfigEntry* entry,
                            DbiRecordProperties* properties);

/// Stores `entry.value` as the value of the entry fetched last, keeping the entry's stored name.
/// In persistent mode the change is written to the configuration file at once.
DbiResult DbiModifyEntry(DbiCursor cursor, const DbiConfigEntry* entry, bool freeLock);

/// Closes a cursor and sets `*cursor` to 0. Closing no cursor (0) succeeds and does nothing.
DbiResult DbiCloseCursor(DbiCursor* cursor);

/// Shuts the engine down (see DbiInitFn); open cursors of the last user are closed.
DbiResult DbiExit();

} // namespace wk::engine
