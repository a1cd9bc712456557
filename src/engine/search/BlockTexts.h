#pragma once

#include "engine/search/PostingBlock.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wk::engine::search {

/// The searchable texts (SearchGrams.h) of one field of a run of records of one block
/// (PostingBlock.h), one after the other, so that a search checks the records the grams leave
/// open by reading one stored value per run and field instead of one record at a time, and
/// without upper-casing anything. Only non-NULL fields have a text; positions are those in the
/// block.
///
/// Stored form: the number of texts and the size in bytes of the list that follows, as LEB128
/// varints; then the list: per text, in ascending position order, the gap to the previous
/// position (the first from -1) and the text's length in bytes, both varints; then the texts'
/// bytes.
class BlockTextsWriter {
public:
    /// Adds the text of `position`, above every position added before.
    void add(std::uint16_t position, std::string_view text);
    bool empty() const { return positions_.empty(); }
    /// The stored form of what was added.
    std::string encode() const;
    void clear();

private:
    std::vector<std::uint16_t> positions_;
    std::vector<std::uint32_t> lengths_;
    std::string bytes_;
};

/// Calls `visit(position, text)` for every text of a stored form, in ascending position order.
/// False when the bytes are not a stored form (a damaged index); `visit` may have been called
/// for the texts before the damage.
template <typename Visit> bool forEachText(std::string_view stored, Visit&& visit);

/// Calls `visit(position, length)` for every text of a stored form, from its list alone: `stored`
/// may end anywhere after the list (`listEnd` tells where that is). False when the list is
/// damaged.
template <typename Visit> bool forEachListed(std::string_view stored, Visit&& visit);

/// Where the list of a stored form ends, from its first bytes (ten are always enough); none when
/// they are not the start of a stored form.
std::optional<size_t> listEnd(std::string_view start);

/// Sets (`text`) or removes (none) the text of one position in a stored form. An empty result is
/// the empty string. False when the bytes are not a stored form.
bool changeText(std::string& stored, std::uint16_t position, std::optional<std::string_view> text);

namespace detail {
/// Reads a varint at `at`; false past the end or beyond 32 bits.
inline bool readVarint(std::string_view bytes, size_t& at, std::uint32_t& value) {
    value = 0;
    for (int shift = 0; shift < 35; shift += 7) {
        if (at >= bytes.size())
            return false;
        const auto c = static_cast<unsigned char>(bytes[at++]);
        value |= static_cast<std::uint32_t>(c & 0x7F) << shift;
        if (!(c & 0x80))
            return shift < 28 || c < 0x10;
    }
    return false;
}
} // namespace detail

namespace detail {
/// Walks the list of a stored form: `visit(position, length)` for each text, in order, until it
/// returns false. Sets `bytesFrom` to where the texts' bytes begin. False when the list is
/// damaged, names a position past the block's (which would fall outside the sets of positions it
/// is looked up in), or `visit` refused a text.
template <typename Visit> bool walkList(std::string_view stored, size_t& bytesFrom, Visit&& visit) {
    size_t at = 0;
    std::uint32_t count = 0, listSize = 0;
    if (!readVarint(stored, at, count) || !readVarint(stored, at, listSize) ||
        listSize > stored.size() - at)
        return false;
    const std::string_view list = stored.substr(at, listSize);
    bytesFrom = at + listSize;
    size_t item = 0;
    long position = -1;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint32_t gap = 0, length = 0;
        if (!readVarint(list, item, gap) || !readVarint(list, item, length))
            return false;
        position += static_cast<long>(gap) + 1;
        if (position >= kBlockRows)
            return false;
        if (!visit(static_cast<std::uint16_t>(position), length))
            return false;
    }
    return item == list.size();
}
} // namespace detail

template <typename Visit> bool forEachListed(std::string_view stored, Visit&& visit) {
    size_t bytesFrom = 0;
    return detail::walkList(stored, bytesFrom, [&](std::uint16_t p, std::uint32_t length) {
        visit(p, length);
        return true;
    });
}

template <typename Visit> bool forEachText(std::string_view stored, Visit&& visit) {
    size_t bytesFrom = 0, text = 0;
    bool started = false;
    const bool walked =
        detail::walkList(stored, bytesFrom, [&](std::uint16_t p, std::uint32_t length) {
            if (!started) {
                text = bytesFrom;
                started = true;
            }
            if (length > stored.size() - text)
                return false;
            visit(p, stored.substr(text, length));
            text += length;
            return true;
        });
    return walked && (started ? text : bytesFrom) == stored.size();
}

} // namespace wk::engine::search
