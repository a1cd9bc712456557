#include "engine/search/IndexedSearch.h"

#include "engine/base/AsciiText.h"
#include "engine/base/EngineError.h"
#include "engine/base/Transaction.h"
#include "engine/search/IndexStorage.h"
#include "engine/search/SearchIndex.h"
#include "engine/search/Workers.h"
#include "engine/storage/TableFiles.h"

#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <memory>

namespace wk::engine {
namespace {

// Below this many records to check in a block's field, the bridges of a pattern are not read.
constexpr size_t kBridgeFrom = 16;
// How many stored sets the bridges of a term may read before they must have paid for themselves.
constexpr size_t kBridgeTrial = 64;

struct Term {
    int field;
    int column; // of the field in the statement that reads a record for a check
    search::PatternPlan plan;
    std::vector<search::IndexReader::Sought> grams; // the plan's, those that narrow most first
    // The stored sets the plan's bridges have read, and the checks they have spared: once they
    // have had a fair trial, they are read only while they spare at least as much.
    size_t bridgeReads = 0;
    size_t bridgeGain = 0;
};

// What a block may give: records that surely meet the condition, and per term that the index
// cannot settle, the candidates to check.
struct BlockFinds {
    std::int64_t block = 0;
    size_t records = 0; // in the block
    search::BlockBits sure;
    std::vector<std::pair<size_t, search::BlockBits>> open; // term, candidates
};

// Checks candidates against the records: one record at a time when they are few, or reading the
// block's records in order when they are many, which costs less per record.
class RecordCheck {
public:
    RecordCheck(SqliteDb& db, const TableHandle& table, std::vector<Term>& terms) : terms_(terms) {
        std::vector<int> fields;
        std::string list;
        for (Term& t : terms_) {
            auto at = std::find(fields.begin(), fields.end(), t.field);
            t.column = static_cast<int>(at - fields.begin());
            if (at == fields.end()) {
                fields.push_back(t.field);
                list += quoteIdentifier(table.fields[static_cast<size_t>(t.field)]) + ", ";
            }
        }
        rowIdColumn_ = static_cast<int>(fields.size());
        read_ = std::make_unique<SqliteStatement>(
            db, "SELECT " + list + "rowid FROM " + table.qualified + " WHERE rowid = ?1",
            "Reading a record");
        scan_ =
            std::make_unique<SqliteStatement>(db,
                                              "SELECT " + list + "rowid FROM " + table.qualified +
                                                  " WHERE rowid >= ?1 AND rowid < ?2"
                                                  " ORDER BY rowid",
                                              "Reading records");
    }

    // Adds the row ids of the block's records that meet the condition, in ascending order.
    void addMeeting(const BlockFinds& f, std::vector<std::int64_t>& ids) {
        search::BlockBits all = f.sure;
        for (const auto& open : f.open)
            all |= open.second;
        // Only the records to check are read; those the index settles are not.
        search::BlockBits toCheck = all;
        toCheck.remove(f.sure);
        if (toCheck.count() * 8 < f.records) {
            all.forEach([&](unsigned p) {
                const std::int64_t id = search::rowIdOf(f.block, p);
                if (f.sure.test(p)) {
                    ids.push_back(id);
                    return;
                }
                read_->reset();
                read_->bind(1, id);
                if (read_->step() && meets(*read_, p, f))
                    ids.push_back(id);
            });
            return;
        }
        scan_->reset();
        scan_->bind(1, search::rowIdOf(f.block, 0));
        scan_->bind(2, search::rowIdOf(f.block + 1, 0));
        while (scan_->step()) {
            const std::int64_t id = scan_->columnInt(rowIdColumn_);
            const unsigned p = search::positionOf(id);
            if (f.sure.test(p) || (all.test(p) && meets(*scan_, p, f)))
                ids.push_back(id);
        }
        scan_->reset();
    }

    // Whether record `id` meets term `t`, read from the table.
    bool recordMeets(std::int64_t id, const Term& t) {
        read_->reset();
        read_->bind(1, id);
        const bool meets = read_->step() && !read_->columnIsNull(t.column) &&
                           search::valueMatches(t.plan, read_->columnTextView(t.column));
        read_->reset();
        return meets;
    }

private:
    // Whether the record `st` stands on meets a term that holds it as a candidate.
    bool meets(const SqliteStatement& st, unsigned position, const BlockFinds& f) const {
        for (const auto& [term, candidates] : f.open) {
            const Term& t = terms_[term];
            if (candidates.test(position) && !st.columnIsNull(t.column) &&
                search::valueMatches(t.plan, st.columnTextView(t.column)))
                return true;
        }
        return false;
    }

    std::vector<Term>& terms_;
    int rowIdColumn_ = 0;
    std::unique_ptr<SqliteStatement> read_;
    std::unique_ptr<SqliteStatement> scan_;
};

// Below this many candidates in a chunk of a field's texts, the records are read one by one
// instead: reading a chunk's texts costs about as much as reading this many records.
constexpr size_t kChunkFrom = 8;

// The texts of one chunk of records (`chunk`, row id >> 10) to match against a term, and which
// of them to check: read on the connection's thread, matched on any.
struct ChunkMatch {
    const Term* term = nullptr;
    std::string texts;
    search::BlockBits toCheck;
    unsigned first = 0; // the chunk's first position in its block
};

// Makes ready the check of the `candidates` of a chunk against term `t`, with the index's own
// copy of the field's searchable texts: no record is read and nothing is upper-cased. A pattern of
// `_` and `%` only is mostly settled here by the texts' lengths, which the start of the stored
// texts gives. False when nothing is left to match.
bool prepareChunk(search::IndexReader& reader, const Term& t, std::int64_t chunk,
                  const search::BlockBits& candidates, search::BlockBits& sure, ChunkMatch& into) {
    into.term = &t;
    into.toCheck = candidates;
    into.first = static_cast<unsigned>(search::positionOf(chunk << search::storage::kChunkShift));
    if (t.plan.lengthOnly) {
        into.toCheck.clear();
        // The candidates hold the field: an index without their texts is damaged.
        const std::string_view list = reader.chunkList(chunk, t.field);
        if (list.empty())
            throw search::storage::damaged();
        const bool listed = search::forEachListed(list, [&](std::uint16_t p, std::uint32_t length) {
            if (!candidates.test(p))
                return;
            const std::optional<bool> known = search::matchesByLength(t.plan, length);
            if (!known)
                into.toCheck.set(p);
            else if (*known)
                sure.set(p);
        });
        if (!listed)
            throw search::storage::damaged();
        if (!into.toCheck.any())
            return false;
    }
    if (!reader.chunkTexts(chunk, t.field, into.texts))
        throw search::storage::damaged();
    return true;
}

// Sets in `sure` the positions of a prepared chunk whose texts match; the chunks of a block are
// matched side by side, each setting only its own positions. False when the texts are damaged,
// or lack a record that the grams say holds the field.
bool matchChunk(ChunkMatch& m, search::BlockBits& sure) {
    constexpr unsigned kWords = (1u << search::storage::kChunkShift) / 64;
    bool inChunk = true; // a position of another chunk is damage, and another worker's to set
    size_t checked = 0;
    const bool read = search::forEachText(m.texts, [&](std::uint16_t p, std::string_view text) {
        if (p < m.first || p >= m.first + kWords * 64) {
            inChunk = false;
        } else if (m.toCheck.test(p)) {
            ++checked;
            if (search::textMatches(m.term->plan, text))
                sure.set(p);
        }
    });
    if (!read || !inChunk)
        return false;
    // Every candidate of the chunk has its text (the texts come in ascending positions).
    size_t candidates = 0;
    const auto& check = m.toCheck.words();
    for (unsigned w = m.first / 64; w < m.first / 64 + kWords; ++w)
        candidates += static_cast<size_t>(std::popcount(check[w]));
    return checked == candidates;
}

// Checks the candidates of a block chunk by chunk: the chunks with many are read on this thread
// and matched on the machine's cores as they come; the few candidates of a chunk are checked by
// reading their records.
void addMeetingByTexts(search::IndexReader& reader, RecordCheck& records,
                       const std::vector<Term>& terms, const BlockFinds& f,
                       std::vector<ChunkMatch>& chunks, std::vector<std::int64_t>& ids) {
    using search::storage::kChunkShift;
    constexpr size_t kWordsPerChunk = (size_t{1} << kChunkShift) / 64;
    search::BlockBits sure = f.sure;
    for (const auto& [term, open] : f.open) {
        search::BlockBits candidates = open;
        candidates.remove(sure);
        const Term& t = terms[term];
        const auto& words = candidates.words();
        // While this thread reads a chunk's texts, the workers match those read before it.
        constexpr size_t kChunks = search::kBlockRows >> kChunkShift;
        if (chunks.size() < kChunks)
            chunks.resize(kChunks);
        std::atomic<bool> damaged = false;
        search::Workers::shared().forEachMade(
            kChunks,
            [&](size_t chunk) {
                const auto first =
                    words.begin() + static_cast<std::ptrdiff_t>(chunk * kWordsPerChunk);
                size_t count = 0;
                for (auto w = first; w != first + kWordsPerChunk; ++w)
                    count += static_cast<size_t>(std::popcount(*w));
                if (count >= kChunkFrom)
                    return prepareChunk(reader, t,
                                        search::storage::chunkOf(search::rowIdOf(
                                            f.block, static_cast<unsigned>(chunk << kChunkShift))),
                                        candidates, sure, chunks[chunk]);
                for (auto w = first; w != first + kWordsPerChunk; ++w)
                    for (std::uint64_t bits = *w; bits; bits &= bits - 1) {
                        const auto p = static_cast<unsigned>((w - words.begin()) * 64 +
                                                             std::countr_zero(bits));
                        if (records.recordMeets(search::rowIdOf(f.block, p), t))
                            sure.set(p);
                    }
                return false;
            },
            [&](size_t chunk) {
                if (!matchChunk(chunks[chunk], sure))
                    damaged = true;
            });
        if (damaged)
            throw search::storage::damaged();
    }
    sure.forEach([&](unsigned p) { ids.push_back(search::rowIdOf(f.block, p)); });
}

// The sets of one block a search reuses from block to block.
struct Scratch {
    search::BlockBits rows, ascii, other;
};

// Narrows the records of the block of `f` by term `t` (number `i`) through the index: records it
// settles go to `f.sure`, records left to check to `f.open`.
void narrow(search::IndexReader& reader, Term& t, size_t i, BlockFinds& f, Scratch& scratch) {
    search::BlockBits& rows = scratch.rows;
    search::BlockBits& ascii = scratch.ascii;
    search::BlockBits& other = scratch.other;
    std::stable_sort(t.grams.begin(), t.grams.end(),
                     [](const auto& a, const auto& b) { return a.bytes < b.bytes; });
    if (t.plan.anyAfter) {
        const char c = *t.plan.anyAfter;
        if (reader.rowsWithAnyGram(f.block, t.field, search::gramOf(std::string{c, '\x01'}),
                                   search::gramOf(std::string{c, '\xFF'}), rows))
            f.sure |= rows;
        return;
    }
    if (!reader.rowsWithGrams(f.block, t.field, t.grams, rows))
        return;
    if (t.plan.exact) {
        f.sure |= rows;
        return;
    }
    // The bridges are read while they spare more checks than they cost.
    const size_t before = rows.count();
    if (before >= kBridgeFrom && !t.plan.bridges.empty() &&
        (t.bridgeReads < kBridgeTrial || t.bridgeGain >= t.bridgeReads)) {
        for (const search::PatternPlan::Bridge& b : t.plan.bridges) {
            if (!reader.rowsAcross(f.block, t.field, b, rows.count() / 2, ascii, other,
                                   t.bridgeReads))
                continue;
            if (t.plan.bridgeSettles) {
                // `%l_r%`: l x r with x ASCII is a match, the rest needs a check.
                ascii &= rows;
                f.sure |= ascii;
                other.remove(ascii);
                rows &= other;
            } else {
                ascii |= other;
                rows &= ascii;
            }
        }
        t.bridgeGain += before - rows.count();
    }
    if (rows.any())
        f.open.emplace_back(i, rows);
}

} // namespace

std::optional<std::vector<std::int64_t>> indexedRowIds(TableFiles& db, const FileTable& table,
                                                       const IndexableCondition& condition) {
    if (!db.searchIndexEnabled() || (!condition.wholeTable && condition.likeTerms.empty()))
        return std::nullopt;
    std::vector<Term> terms;
    for (const LikeTerm& t : condition.likeTerms) {
        int field = -1;
        for (size_t f = 0; f < table.fields.size(); ++f)
            if (equalsIgnoreCase(table.fields[f], t.field))
                field = static_cast<int>(f);
        search::PatternPlan plan = search::planPattern(t.pattern);
        if (field < 0 || !plan.usable)
            return std::nullopt;
        std::vector<search::IndexReader::Sought> grams;
        for (search::Gram g : plan.grams)
            grams.push_back({g, 0});
        terms.push_back({field, 0, std::move(plan), std::move(grams)});
    }
    try {
        // The state, the index and the records are read in one snapshot, unless the caller's
        // transaction gives one already.
        std::optional<Transaction> snapshot;
        if (sqlite3_get_autocommit(db.connection().handle()))
            snapshot.emplace(db.connection(), "Starting a search");
        const search::IndexState state = search::indexState(db.connection(), table.schema);
        if (state == search::IndexState::NotInStep)
            return std::nullopt;
        // A field the index leaves out (notes no search of the program reads) is searched by
        // running the statement as written.
        const std::vector<bool> indexed =
            search::indexedFields(db.connection(), table.schema, table.fields.size());
        for (const Term& t : terms)
            if (!indexed[static_cast<size_t>(t.field)])
                return std::nullopt;
        const bool byTexts = state == search::IndexState::GramsAndTexts;
        search::IndexReader reader(db.connection(), table.schema);
        // Every block first, so that the result is allocated once.
        std::vector<BlockFinds> blocks;
        size_t most = 0;
        Scratch scratch;
        reader.forEachBlock([&](std::int64_t block, const search::BlockBits& present) {
            BlockFinds& f = blocks.emplace_back();
            f.block = block;
            f.records = present.count();
            if (condition.wholeTable)
                f.sure = present;
            for (size_t i = 0; i < terms.size(); ++i)
                narrow(reader, terms[i], i, f, scratch);
            most += f.sure.count();
            for (const auto& open : f.open)
                most += open.second.count();
        });
        std::vector<std::int64_t> ids;
        ids.reserve(most);
        std::optional<RecordCheck> check;
        std::vector<ChunkMatch> chunks; // one per chunk of a block; their buffers serve every block
        for (const BlockFinds& f : blocks) {
            if (f.open.empty()) {
                f.sure.forEach([&](unsigned p) { ids.push_back(search::rowIdOf(f.block, p)); });
                continue;
            }
            if (!check)
                check.emplace(db.connection(), table, terms);
            if (byTexts)
                addMeetingByTexts(reader, *check, terms, f, chunks, ids);
            else
                check->addMeeting(f, ids);
        }
        return ids;
    } catch (const EngineError&) {
        // A damaged or unreadable index: the statement run as written gives the answer, or the
        // error.
        return std::nullopt;
    }
}

} // namespace wk::engine
