#pragma once

#include "engine/base/EngineError.h"
#include "engine/base/Sqlite.h"
#include "engine/search/PostingBlock.h"
#include "engine/search/SearchGrams.h"

#include <cstdint>
#include <string>

/// How the search index lies in a table file: the names and keys that its builder, its reader,
/// the change of a record and the check share. See SearchIndex.h.
namespace wk::engine::search::storage {

/// The entry of `wk_table_info` that says whether the index is in step, and in which format.
inline constexpr const char* kStateKey = "search_index";
/// In step, with the grams only: the format of an older engine, which this one reads and keeps.
inline constexpr const char* kGramsOnly = "2";
/// In step, with the grams and the searchable texts of the indexed fields (BlockTexts.h).
inline constexpr const char* kWithTexts = "3";
/// The entry of `wk_table_info` naming the indexed fields by number ("0,1,5"); every field when
/// it is missing.
inline constexpr const char* kFieldsKey = "search_fields";
/// Tables of more fields go without an index (a key holds a field in 8 bits).
inline constexpr size_t kMaxFields = 256;

inline std::string in(const std::string& schema, const char* table) {
    return quoteIdentifier(schema) + "." + table;
}

inline EngineError damaged() {
    return EngineError(ErrorCode::Corrupt, "The search index of the table is damaged");
}

// Row ids from 0 to 2^37 - 1 are indexed: 2^23 blocks.
inline bool indexableBlock(std::int64_t block) {
    return block >= 0 && block < (std::int64_t{1} << 23);
}
inline bool indexable(std::int64_t rowId) {
    return rowId >= 0 && indexableBlock(blockOf(rowId));
}

/// The row id of a stored set: the block, the field and the gram in one integer, so that the sets
/// live in a table whose rows SQLite keeps compactly and finds fastest.
inline std::int64_t postingKey(std::int64_t block, std::uint64_t field, Gram gram) {
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(block) << 40) | (field << 32) |
                                     gram);
}

/// The texts of a field are stored in chunks of 1,024 records (row id >> 10), so that a search
/// reads only the chunks that hold records to check.
inline constexpr int kChunkShift = 10;
inline std::int64_t chunkOf(std::int64_t rowId) {
    return rowId >> kChunkShift;
}
inline bool indexableChunk(std::int64_t chunk) {
    return chunk >= 0 && indexableBlock(chunk >> (kBlockShift - kChunkShift));
}

/// The row id of the texts of a chunk's field in `wk_search_texts`.
inline std::int64_t textsKey(std::int64_t chunk, std::uint64_t field) {
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(chunk) << 8) | field);
}

} // namespace wk::engine::search::storage
