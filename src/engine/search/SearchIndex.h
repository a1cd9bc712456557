#pragma once

#include "engine/base/Transaction.h"
#include "engine/search/BlockTexts.h"
#include "engine/search/PostingBlock.h"
#include "engine/search/SearchGrams.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct sqlite3_blob;

namespace wk::engine {

class SqliteDb;
class SqliteStatement;

/// The search index of a table file: for every indexed field, which records hold a given gram
/// (one to three bytes) of the field's searchable text (see SearchGrams.h), and that text itself,
/// upper-cased, block by block. It lets a search such as `Upper(English) like "%SUN%"` read a few
/// stored sets instead of every record, and check the records the sets leave open in one stored
/// value per block instead of reading and upper-casing them one by one.
///
/// It lives in the table file beside the records, in blocks of row ids (PostingBlock.h):
/// `wk_search_blocks (block, rows)` holds the row ids there are, `wk_search_postings (key, rows)`
/// the records of a block whose field has a gram, under the key `block << 40 | field << 32 |
/// gram` (fields numbered from 0 in field order), and `wk_search_texts (key, texts)` the texts of
/// a field of 1,024 records (BlockTexts.h) under the key `(row id >> 10) << 8 | field`; `rows` is a
/// stored set of positions (PostingBlock.h), and empty sets and texts are not stored. So the index
/// covers row ids from 0 to 2^37 - 1 and tables of up to 256 fields: a table beyond those bounds
/// goes without one. The entry `search_fields` of `wk_table_info` names the indexed fields
/// ("0,1,5"); a field no search reads (a table's notes) can be left out, and costs nothing then.
/// Without the entry, every field is indexed.
///
/// The entry `search_index` of `wk_table_info` is "3" while the index is in step with the
/// records. Triggers in the file set it to "0" on every change of the records; the engine's own
/// changes set it back once the index is brought up to date, so that a change by a program that
/// does not keep the index (an older engine, a general SQLite tool) retires the index for good.
/// "2" is an index of an older engine, in step, with the grams but without the texts: it is
/// read and kept as it stands, and searches check the records it leaves open by reading them.
/// An index marked "1" was made from the full case mapping ("straße" as "STRASSE") and is not in
/// step. An index not in step is made anew when the table is next written whole (TableFile.h's
/// `replace`) or reindexed; until then, searches read every record, as before.
namespace search {

/// Builds the index while a table file's records are written: made in the writer's transaction
/// after the records table is created (the file open or attached as `schema`), then told of each
/// record in ascending row id order.
class IndexBuilder {
public:
    /// `indexed` says which fields to index, by number; empty for every field.
    IndexBuilder(SqliteDb& db, size_t fieldCount, std::string schema = "main",
                 std::vector<bool> indexed = {});
    ~IndexBuilder();
    IndexBuilder(const IndexBuilder&) = delete;
    IndexBuilder& operator=(const IndexBuilder&) = delete;

    /// A record just written; an empty value is a NULL field. Raises EngineError (General) when
    /// the row id is not above the previous one.
    void add(std::int64_t rowId, const std::vector<std::string>& values);
    /// Writes the rest of the index and the triggers, and marks the index in step.
    void finish();

private:
    struct Lists;
    void flush();
    void flushTexts();

    SqliteDb& db_;
    std::string schema_;
    size_t fieldCount_;
    std::vector<bool> indexed_;
    std::optional<std::int64_t> lastRowId_;
    std::unique_ptr<Lists> lists_;
    std::unique_ptr<SqliteStatement> insertBlock_;
    std::unique_ptr<SqliteStatement> insertPosting_;
    std::unique_ptr<SqliteStatement> insertTexts_;
    std::vector<BlockTextsWriter> texts_; // per field, of the current chunk
    std::vector<std::uint16_t> sorted_;   // the current block's postings, slot by slot
    std::vector<std::uint32_t> runs_;
};

/// Whether the index of the table attached as `schema` is in step with its records, and what it
/// holds then.
enum class IndexState { NotInStep, GramsOnly, GramsAndTexts };
IndexState indexState(const SqliteDb& db, const std::string& schema);

/// True when the table whose file is attached as `schema` has an index in step with its records.
bool indexInStep(const SqliteDb& db, const std::string& schema);

/// Which of the table's `fieldCount` fields the index covers (when it is in step). Raises
/// EngineError (Corrupt) for a damaged list.
std::vector<bool> indexedFields(const SqliteDb& db, const std::string& schema, size_t fieldCount);

/// Marks the index of the table attached as `schema` not in step, so that searches read the
/// records until the index is made anew.
void retireIndex(SqliteDb& db, const std::string& schema);

/// Makes the index of the table attached as `schema`, with `fieldCount` fields, anew from its
/// records, in one transaction or inside the caller's, for the fields `indexed` (by default, those
/// the file's index covered). A table that cannot have an index (see
/// above, or one holding an empty text that is not NULL, which the index cannot tell from a blank
/// field) is left without one; returns whether the table has an index now. Raises EngineError
/// when the file cannot be read or written.
bool rebuildIndex(SqliteDb& db, const std::string& schema, size_t fieldCount,
                  std::optional<std::vector<bool>> indexed = std::nullopt);

/// Keeps the index in step with one change of one record made through the engine. Made just
/// before the change: it opens a savepoint and reads the record as stored. `commit` reads it
/// again, brings the index up to date (when it was in step) and releases the savepoint. Destroyed
/// without `commit`, because the change failed, it rolls the change back (Savepoint). A damaged
/// index is retired rather than failing the change.
class RecordChange {
public:
    /// `rowId` is the record to be changed or deleted; none for a new record.
    RecordChange(SqliteDb& db, std::string schema, std::optional<std::int64_t> rowId);
    ~RecordChange();
    RecordChange(const RecordChange&) = delete;
    RecordChange& operator=(const RecordChange&) = delete;

    /// The change is made: `rowId` is the record's row id (a new record's too).
    void commit(std::int64_t rowId);

private:
    using Values = std::vector<std::optional<std::string>>;
    std::optional<Values> readRecord(std::int64_t rowId) const;
    void apply(std::int64_t rowId, const std::optional<Values>& after);
    // Replaces the stored text of one record's field (`was` by `now`; none for NULL).
    void changeTexts(std::int64_t chunk, size_t field, std::uint16_t position,
                     const std::optional<std::string>& now, const std::optional<std::string>& was);

    SqliteDb& db_;
    std::string schema_;
    IndexState state_ = IndexState::NotInStep;
    std::vector<bool> indexed_;
    Savepoint savepoint_;
    std::optional<Values> before_;
};

/// Reads the index of the table attached as `schema`. Raises EngineError (Corrupt) for a stored
/// set that is damaged, and the errors of SQLite.
class IndexReader {
public:
    IndexReader(const SqliteDb& db, const std::string& schema);
    ~IndexReader();

    /// Calls `visit(block, rows)` for every block that holds records, in ascending order.
    template <typename Visit> void forEachBlock(Visit&& visit) {
        BlockBits rows;
        while (nextBlock(rows))
            visit(block_, rows);
    }

    /// A gram sought, and how many stored bytes it has given so far.
    struct Sought {
        Gram gram;
        size_t bytes = 0;
    };

    /// The records of `block` whose field `field` holds every gram of `grams`; false (and `into`
    /// emptied) when there are none. Reads the grams in the order given, stops at the first one
    /// the block lacks, and adds what it read to each gram's `bytes`: sorting the grams by that
    /// before the next block makes the grams that narrow the most come first.
    bool rowsWithGrams(std::int64_t block, int field, std::vector<Sought>& grams, BlockBits& into);

    /// For a bridge of a pattern (SearchGrams.h), the records of `block` whose field `field`
    /// holds `left + x + right` for a byte x below 0x80 (`ascii`), and those where `left` is
    /// followed by a byte of 0x80 or above (`other`). Adds to `reads` how many stored sets it
    /// read. False, with both sets empty, when that would take more than about `most` reads.
    bool rowsAcross(std::int64_t block, int field, const PatternPlan::Bridge& bridge, size_t most,
                    BlockBits& ascii, BlockBits& other, size_t& reads);

    /// The records of `block` whose field `field` has some gram from `from` to `to` (of one
    /// length); false (and `into` emptied) when there are none.
    bool rowsWithAnyGram(std::int64_t block, int field, Gram from, Gram to, BlockBits& into);

    /// Reads into `into` the stored texts of field `field` of the records whose row ids lie in
    /// `chunk` (row id >> 10), positions counted in their block (BlockTexts.h). False when none of
    /// those records has the field.
    bool chunkTexts(std::int64_t chunk, int field, std::string& into);
    /// The start of the stored texts of a chunk's field (see chunkTexts) up to the end of their
    /// list (BlockTexts.h's forEachListed): their positions and lengths without their bytes.
    /// Valid until the next call; empty when none of the chunk's records has the field.
    std::string_view chunkList(std::int64_t chunk, int field);

private:
    bool nextBlock(BlockBits& rows);
    // Decodes the stored set of a gram into `into`; false when the block's field lacks the gram.
    bool gramRows(std::int64_t block, int field, Gram gram, BlockBits& into);
    // Calls `visit(gram, rows)` for each gram of the block's field from `from` to `to`; returns
    // how many there were.
    template <typename Visit>
    size_t forEachGramIn(std::int64_t block, int field, Gram from, Gram to, Visit&& visit);

    const SqliteDb& db_;
    std::string schema_;
    std::unique_ptr<SqliteStatement> blocks_;
    std::unique_ptr<SqliteStatement> posting_;
    std::unique_ptr<SqliteStatement> range_;
    struct CloseBlob {
        void operator()(sqlite3_blob* blob) const;
    };
    // Moves the blob handle to the texts of `chunk`'s field; false when there are none.
    bool openTexts(std::int64_t chunk, int field);
    std::unique_ptr<sqlite3_blob, CloseBlob> blob_;
    std::string buffer_;
    BlockBits across_;
    std::int64_t block_ = 0;
    BlockBits scratch_;
};

} // namespace search
} // namespace wk::engine
