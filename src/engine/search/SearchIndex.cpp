#include "engine/search/SearchIndex.h"

#include "engine/base/EngineError.h"
#include "engine/base/Sqlite.h"
#include "engine/base/Transaction.h"
#include "engine/search/BlockTexts.h"
#include "engine/search/IndexStorage.h"
#include "engine/search/SearchFeature.h"
#include "engine/storage/TableFeature.h"

#include <sqlite3.h>

#include <algorithm>
#include <iterator>
#include <numeric>

namespace wk::engine::search {
using namespace storage;
namespace {

// Maps 64-bit keys (never 0) to slots; open addressing, for the grams of three bytes.
class SlotMap {
public:
    SlotMap() { clear(); }
    void clear() {
        keys_.assign(size_t{1} << 16, 0);
        slots_.assign(keys_.size(), 0);
        used_ = 0;
    }
    // The slot of `key`, made with `make()` when new.
    template <typename Make> std::int32_t find(std::uint64_t key, Make&& make) {
        size_t mask = keys_.size() - 1;
        for (size_t i = hash(key) & mask;; i = (i + 1) & mask) {
            if (keys_[i] == key)
                return slots_[i];
            if (keys_[i] == 0) {
                keys_[i] = key;
                slots_[i] = make();
                if (++used_ * 2 > keys_.size())
                    grow();
                return slots_[findExisting(key)];
            }
        }
    }

private:
    static size_t hash(std::uint64_t key) {
        return static_cast<size_t>((key * 0x9E3779B97F4A7C15ull) >> 20);
    }
    size_t findExisting(std::uint64_t key) const {
        const size_t mask = keys_.size() - 1;
        size_t i = hash(key) & mask;
        while (keys_[i] != key)
            i = (i + 1) & mask;
        return i;
    }
    void grow() {
        std::vector<std::uint64_t> keys(keys_.size() * 2, 0);
        std::vector<std::int32_t> slots(keys.size(), 0);
        const size_t mask = keys.size() - 1;
        for (size_t j = 0; j < keys_.size(); ++j) {
            if (keys_[j] == 0)
                continue;
            size_t i = hash(keys_[j]) & mask;
            while (keys[i] != 0)
                i = (i + 1) & mask;
            keys[i] = keys_[j];
            slots[i] = slots_[j];
        }
        keys_.swap(keys);
        slots_.swap(slots);
    }

    std::vector<std::uint64_t> keys_;
    std::vector<std::int32_t> slots_;
    size_t used_ = 0;
};

} // namespace

// The positions of the current block, per field and gram.
struct IndexBuilder::Lists {
    // Grams of up to two bytes have a fixed place: kPresent, then 256 of one byte, then 65536.
    static constexpr size_t kShort = 1 + 256 + 65536;

    explicit Lists(size_t fields) : shortSlots(fields * kShort, -1) {}

    std::int32_t slot(size_t field, Gram gram) {
        const unsigned length = gram >> 24;
        if (length < 3) {
            const size_t place = length == 0   ? 0
                                 : length == 1 ? 1 + ((gram >> 16) & 0xFF)
                                               : 257 + ((gram >> 8) & 0xFFFF);
            std::int32_t& s = shortSlots[field * kShort + place];
            if (s < 0)
                s = make(field, gram);
            return s;
        }
        return longSlots.find((std::uint64_t{field} << 32) | gram,
                              [&] { return make(field, gram); });
    }

    std::int32_t make(size_t field, Gram gram) {
        keys.push_back((std::uint64_t{field} << 32) | gram);
        last.push_back(kNone);
        counts.push_back(0);
        return static_cast<std::int32_t>(keys.size() - 1);
    }

    // Notes that the current record (the last of `present`) has the gram of `slot`.
    void note(std::int32_t slot) {
        const auto s = static_cast<size_t>(slot);
        const std::uint16_t position = present.back();
        if (last[s] == position)
            return;
        last[s] = position;
        ++counts[s];
        occurrences.push_back(static_cast<std::uint32_t>(slot));
    }

    // The positions of every slot, one run per slot in slot order, each run ascending: `runs`
    // gets where each slot's run begins (and, last, where the runs end).
    void sortOut(std::vector<std::uint16_t>& positions, std::vector<std::uint32_t>& runs) const {
        runs.assign(counts.size() + 1, 0);
        for (size_t s = 0; s < counts.size(); ++s)
            runs[s + 1] = runs[s] + counts[s];
        std::vector<std::uint32_t> at(runs.begin(), runs.end() - 1);
        positions.resize(occurrences.size());
        size_t o = 0;
        for (size_t r = 0; r < present.size(); ++r)
            for (; o < recordEnds[r]; ++o)
                positions[at[occurrences[o]]++] = present[r];
    }

    void clear() {
        std::fill(shortSlots.begin(), shortSlots.end(), -1);
        longSlots.clear();
        keys.clear();
        last.clear();
        counts.clear();
        occurrences.clear();
        recordEnds.clear();
        present.clear();
    }

    static constexpr std::uint16_t kNone = 0xFFFF; // no position of a block
    std::vector<std::int32_t> shortSlots;
    SlotMap longSlots;
    std::vector<std::uint64_t> keys;        // per slot: field << 32 | gram
    std::vector<std::uint16_t> last;        // per slot: the last position noted
    std::vector<std::uint32_t> counts;      // per slot: how many positions
    std::vector<std::uint32_t> occurrences; // the slot of each noted gram, record by record
    std::vector<std::uint32_t> recordEnds;  // per record: where its occurrences end
    std::vector<std::uint16_t> present;     // the records of the block
};

namespace {

// The entry `key` of the table's information; none when it has none.
std::optional<std::string> infoValue(const SqliteDb& db, const std::string& schema,
                                     const char* key) {
    return tablefile::info(db, schema, key);
}

} // namespace

IndexBuilder::IndexBuilder(SqliteDb& db, size_t fieldCount, std::string schema,
                           std::vector<bool> indexed)
    : db_(db), schema_(std::move(schema)), fieldCount_(fieldCount), indexed_(std::move(indexed)) {
    tablefile::drop(db_, schema_, searchIndexFeature());
    indexed_.resize(fieldCount_, indexed_.empty());
    if (fieldCount_ > kMaxFields)
        return; // the table goes without an index
    lists_ = std::make_unique<Lists>(fieldCount_);
    texts_.resize(fieldCount_);
    tablefile::createTables(db_, schema_, searchIndexFeature());
    insertBlock_ = std::make_unique<SqliteStatement>(
        db_, "INSERT INTO " + in(schema_, "wk_search_blocks") + " VALUES (?1, ?2)",
        "Writing the search index");
    insertPosting_ = std::make_unique<SqliteStatement>(
        db_, "INSERT INTO " + in(schema_, "wk_search_postings") + " VALUES (?1, ?2)",
        "Writing the search index");
    insertTexts_ = std::make_unique<SqliteStatement>(
        db_, "INSERT INTO " + in(schema_, "wk_search_texts") + " VALUES (?1, ?2)",
        "Writing the search index");
}

IndexBuilder::~IndexBuilder() = default;

void IndexBuilder::add(std::int64_t rowId, const std::vector<std::string>& values) {
    if (lastRowId_ && rowId <= *lastRowId_)
        throw EngineError(ErrorCode::General, "Search index: records must come in row id order");
    if (!lists_)
        return;
    if (!indexable(rowId)) {
        lists_.reset(); // the table goes without an index
        return;
    }
    if (lastRowId_ && chunkOf(rowId) != chunkOf(*lastRowId_))
        flushTexts();
    if (lastRowId_ && blockOf(rowId) != blockOf(*lastRowId_))
        flush();
    lastRowId_ = rowId;
    const std::uint16_t position = positionOf(rowId);
    Lists& l = *lists_;
    l.present.push_back(position);
    for (size_t f = 0; f < fieldCount_ && f < values.size(); ++f) {
        if (values[f].empty() || !indexed_[f])
            continue; // NULL, or a field no search reads through the index
        const std::string text = searchableText(values[f]);
        texts_[f].add(position, text);
        forEachGram(text, [&](Gram g) { l.note(l.slot(f, g)); });
    }
    l.recordEnds.push_back(static_cast<std::uint32_t>(l.occurrences.size()));
}

void IndexBuilder::flush() {
    if (!lists_)
        return;
    Lists& l = *lists_;
    if (l.present.empty())
        return;
    const std::int64_t block = blockOf(*lastRowId_);
    insertBlock_->reset();
    insertBlock_->bind(1, block);
    insertBlock_->bindBlob(2, encodePositions(l.present));
    insertBlock_->run();
    // In key order, so that the rows are appended.
    std::vector<std::int32_t> order(l.keys.size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](std::int32_t a, std::int32_t b) {
        return l.keys[static_cast<size_t>(a)] < l.keys[static_cast<size_t>(b)];
    });
    l.sortOut(sorted_, runs_);
    for (std::int32_t s : order) {
        const auto slot = static_cast<size_t>(s);
        const std::uint64_t key = l.keys[slot];
        insertPosting_->reset();
        insertPosting_->bind(1, postingKey(block, key >> 32, static_cast<Gram>(key)));
        insertPosting_->bindBlob(
            2, encodePositions(std::span<const std::uint16_t>(sorted_.data() + runs_[slot],
                                                              runs_[slot + 1] - runs_[slot])));
        insertPosting_->run();
    }
    l.clear();
}

void IndexBuilder::flushTexts() {
    if (!lists_ || !lastRowId_)
        return;
    for (size_t f = 0; f < texts_.size(); ++f) {
        if (texts_[f].empty())
            continue;
        insertTexts_->reset();
        insertTexts_->bind(1, textsKey(chunkOf(*lastRowId_), f));
        insertTexts_->bindBlob(2, texts_[f].encode());
        insertTexts_->run();
        texts_[f].clear();
    }
}

void IndexBuilder::finish() {
    flushTexts();
    flush();
    if (!lists_) {
        tablefile::drop(db_, schema_, searchIndexFeature());
        return;
    }
    tablefile::writeRetireTriggers(db_, schema_, searchIndexFeature());
    std::string fields;
    for (size_t f = 0; f < fieldCount_; ++f)
        if (indexed_[f])
            fields.append(fields.empty() ? "" : ",").append(std::to_string(f));
    tablefile::setInfo(db_, schema_, kFieldsKey, fields);
    tablefile::setInfo(db_, schema_, kStateKey, kWithTexts);
}

IndexState indexState(const SqliteDb& db, const std::string& schema) {
    const std::string value = infoValue(db, schema, kStateKey).value_or("");
    return value == kWithTexts   ? IndexState::GramsAndTexts
           : value == kGramsOnly ? IndexState::GramsOnly
                                 : IndexState::NotInStep;
}

bool indexInStep(const SqliteDb& db, const std::string& schema) {
    return indexState(db, schema) != IndexState::NotInStep;
}

std::vector<bool> indexedFields(const SqliteDb& db, const std::string& schema, size_t fieldCount) {
    const std::optional<std::string> named = infoValue(db, schema, kFieldsKey);
    if (!named)
        return std::vector<bool>(fieldCount, true);
    std::vector<bool> indexed(fieldCount, false);
    const std::string& list = *named;
    for (size_t at = 0; at < list.size();) {
        size_t end = list.find(',', at);
        if (end == std::string::npos)
            end = list.size();
        size_t f = 0;
        bool number = end > at;
        for (size_t i = at; i < end && number; ++i) {
            number = list[i] >= '0' && list[i] <= '9' && f < kMaxFields;
            f = f * 10 + static_cast<size_t>(list[i] - '0');
        }
        if (!number)
            throw damaged();
        if (f < fieldCount)
            indexed[f] = true;
        at = end + 1;
    }
    return indexed;
}

void retireIndex(SqliteDb& db, const std::string& schema) {
    tablefile::retire(db, schema, searchIndexFeature());
}

bool rebuildIndex(SqliteDb& db, const std::string& schema, size_t fieldCount,
                  std::optional<std::vector<bool>> indexed) {
    Savepoint savepoint(db, "wk_search_rebuild", "Rebuilding the search index");
    {
        // The fields indexed so far stay indexed, unless the caller says otherwise; every field
        // when their list is damaged, as when it is missing.
        if (!indexed) {
            try {
                indexed = indexedFields(db, schema, fieldCount);
            } catch (const EngineError& e) {
                if (e.code() != ErrorCode::Corrupt)
                    throw;
                indexed = std::vector<bool>(fieldCount, true);
            }
        }
        // Not in step until the builder is done: a table that can have no index keeps none.
        retireIndex(db, schema);
        IndexBuilder builder(db, fieldCount, schema, *indexed);
        bool representable = true;
        {
            SqliteStatement read(
                db, "SELECT rowid, * FROM " + in(schema, "records") + " ORDER BY rowid",
                "Reading the records");
            std::vector<std::string> values(fieldCount);
            while (representable && read.step()) {
                for (size_t f = 0; f < fieldCount; ++f) {
                    const int c = static_cast<int>(f + 1);
                    values[f] = read.columnText(c);
                    representable = representable && (!values[f].empty() || read.columnIsNull(c));
                }
                builder.add(read.columnInt(0), values);
            }
        }
        if (representable)
            builder.finish();
        else
            tablefile::drop(db, schema, searchIndexFeature());
        savepoint.release();
    }
    return indexInStep(db, schema);
}

IndexReader::IndexReader(const SqliteDb& db, const std::string& schema)
    : db_(db), schema_(schema),
      blocks_(std::make_unique<SqliteStatement>(
          db, "SELECT block, rows FROM " + in(schema, "wk_search_blocks") + " ORDER BY block",
          "Reading the search index")),
      posting_(std::make_unique<SqliteStatement>(
          db, "SELECT rows FROM " + in(schema, "wk_search_postings") + " WHERE key = ?1",
          "Reading the search index")),
      range_(std::make_unique<SqliteStatement>(db,
                                               "SELECT key, rows FROM " +
                                                   in(schema, "wk_search_postings") +
                                                   " WHERE key >= ?1 AND key <= ?2 ORDER BY key",
                                               "Reading the search index")) {
}

IndexReader::~IndexReader() = default;

bool IndexReader::nextBlock(BlockBits& rows) {
    if (!blocks_->step())
        return false;
    block_ = blocks_->columnInt(0);
    if (!indexableBlock(block_) || !decodePositions(blocks_->columnBlob(1), rows))
        throw damaged();
    return true;
}

bool IndexReader::rowsWithGrams(std::int64_t block, int field, std::vector<Sought>& grams,
                                BlockBits& into) {
    for (size_t i = 0; i < grams.size(); ++i) {
        posting_->reset();
        posting_->bind(1, postingKey(block, static_cast<std::uint64_t>(field), grams[i].gram));
        if (!posting_->step()) {
            into.clear();
            return false;
        }
        const std::string_view stored = posting_->columnBlob(0);
        grams[i].bytes += stored.size();
        if (!decodePositions(stored, i == 0 ? into : scratch_))
            throw damaged();
        if (i > 0) {
            into &= scratch_;
            if (!into.any())
                return false;
        }
    }
    return true;
}

bool IndexReader::gramRows(std::int64_t block, int field, Gram gram, BlockBits& into) {
    posting_->reset();
    posting_->bind(1, postingKey(block, static_cast<std::uint64_t>(field), gram));
    if (!posting_->step())
        return false;
    if (!decodePositions(posting_->columnBlob(0), into))
        throw damaged();
    return true;
}

template <typename Visit>
size_t IndexReader::forEachGramIn(std::int64_t block, int field, Gram from, Gram to,
                                  Visit&& visit) {
    range_->reset();
    range_->bind(1, postingKey(block, static_cast<std::uint64_t>(field), from));
    range_->bind(2, postingKey(block, static_cast<std::uint64_t>(field), to));
    BlockBits rows;
    size_t n = 0;
    while (range_->step()) {
        if (!decodePositions(range_->columnBlob(1), rows))
            throw damaged();
        visit(static_cast<Gram>(range_->columnInt(0) & 0xFFFFFFFF), rows);
        ++n;
    }
    range_->reset();
    return n;
}

bool IndexReader::rowsAcross(std::int64_t block, int field, const PatternPlan::Bridge& bridge,
                             size_t most, BlockBits& ascii, BlockBits& other, size_t& reads) {
    ascii.clear();
    other.clear();
    const std::string& left = bridge.left;
    const std::string& right = bridge.right;
    if (left.empty() || left.size() > 2 || right.empty() || right.size() > 2)
        throw EngineError(ErrorCode::General, "Search index: a bridge of one or two bytes a side");
    const char last = left.back();
    // The bytes x below 0x80 that can follow left, with the records where they do.
    std::vector<std::pair<char, BlockBits>> follows;
    const std::string lo = left + '\x01', hi = left + '\x7F';
    reads +=
        forEachGramIn(block, field, gramOf(lo), gramOf(hi), [&](Gram g, const BlockBits& rows) {
            follows.emplace_back(static_cast<char>(left.size() == 1 ? g >> 8 : g), rows);
        });
    if (follows.size() * right.size() + 1 > most)
        return false;
    // Left followed by a byte of 0x80 or above: the two-byte grams (last, 0x80..0xFF).
    reads += forEachGramIn(block, field, gramOf(std::string{last, '\x80'}),
                           gramOf(std::string{last, '\xFF'}),
                           [&](Gram, const BlockBits& rows) { other |= rows; });
    // Those records where x goes on with right.
    for (auto& [x, rows] : follows) {
        ++reads;
        if (left.size() == 2 &&
            !gramRows(block, field, gramOf(std::string{last, x, right[0]}), across_))
            continue;
        if (left.size() == 2)
            rows &= across_;
        else if (!gramRows(block, field, gramOf(std::string{last, x, right[0]}), rows))
            continue;
        if (right.size() == 2) {
            ++reads;
            if (!gramRows(block, field, gramOf(std::string{x, right[0], right[1]}), across_))
                continue;
            rows &= across_;
        }
        ascii |= rows;
    }
    return true;
}

bool IndexReader::rowsWithAnyGram(std::int64_t block, int field, Gram from, Gram to,
                                  BlockBits& into) {
    into.clear();
    forEachGramIn(block, field, from, to, [&](Gram, const BlockBits& rows) { into |= rows; });
    return into.any();
}

bool IndexReader::openTexts(std::int64_t chunk, int field) {
    // Read through a blob handle into one buffer kept for the next chunk: a statement would
    // allocate (and the system clear) a fresh buffer for every chunk.
    const std::int64_t key = textsKey(chunk, static_cast<std::uint64_t>(field));
    int rc = SQLITE_OK;
    if (!blob_) {
        sqlite3_blob* blob = nullptr;
        rc = sqlite3_blob_open(db_.handle(), schema_.c_str(), "wk_search_texts", "texts", key, 0,
                               &blob);
        blob_.reset(blob);
    } else {
        rc = sqlite3_blob_reopen(blob_.get(), key);
    }
    if (rc != SQLITE_OK) {
        // No such row: none of the chunk's records has the field. Any other failure is damage,
        // not an answer.
        const bool missing =
            std::string_view(sqlite3_errmsg(db_.handle())).starts_with("no such rowid");
        blob_.reset();
        if (!missing)
            throw damaged();
        return false;
    }
    return true;
}

bool IndexReader::chunkTexts(std::int64_t chunk, int field, std::string& into) {
    if (!openTexts(chunk, field))
        return false;
    into.resize(static_cast<size_t>(sqlite3_blob_bytes(blob_.get())));
    if (sqlite3_blob_read(blob_.get(), into.data(), static_cast<int>(into.size()), 0) !=
        SQLITE_OK) {
        blob_.reset();
        throw damaged();
    }
    return true;
}

std::string_view IndexReader::chunkList(std::int64_t chunk, int field) {
    if (!openTexts(chunk, field))
        return std::string_view();
    const int size = sqlite3_blob_bytes(blob_.get());
    buffer_.resize(static_cast<size_t>(std::min(size, 10)));
    if (sqlite3_blob_read(blob_.get(), buffer_.data(), static_cast<int>(buffer_.size()), 0) !=
        SQLITE_OK) {
        blob_.reset();
        throw damaged();
    }
    const std::optional<size_t> end = listEnd(buffer_);
    if (!end || *end > static_cast<size_t>(size))
        throw damaged();
    buffer_.resize(*end);
    if (sqlite3_blob_read(blob_.get(), buffer_.data(), static_cast<int>(*end), 0) != SQLITE_OK) {
        blob_.reset();
        throw damaged();
    }
    return buffer_;
}

void IndexReader::CloseBlob::operator()(sqlite3_blob* blob) const {
    sqlite3_blob_close(blob);
}

} // namespace wk::engine::search
