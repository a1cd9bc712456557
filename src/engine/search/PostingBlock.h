#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace wk::engine::search {

/// The search index groups row ids in blocks of 16384: row id r is position r mod 16384 of block
/// floor(r / 16384), for negative row ids too. A block's bitmap (2 KB) then fits in one page of
/// the table file, where SQLite keeps it in its cache.
inline constexpr int kBlockShift = 14;
inline constexpr std::int64_t kBlockRows = std::int64_t{1} << kBlockShift;

inline std::int64_t blockOf(std::int64_t rowId) {
    return rowId >> kBlockShift;
}
inline std::uint16_t positionOf(std::int64_t rowId) {
    return static_cast<std::uint16_t>(rowId & (kBlockRows - 1));
}
inline std::int64_t rowIdOf(std::int64_t block, unsigned position) {
    return block * kBlockRows + position;
}

/// A set of positions of one block, in memory.
class BlockBits {
public:
    void clear() { words_.fill(0); }
    void set(unsigned position) { words_[position >> 6] |= std::uint64_t{1} << (position & 63); }
    bool test(unsigned position) const { return (words_[position >> 6] >> (position & 63)) & 1; }
    bool any() const;
    size_t count() const;
    BlockBits& operator|=(const BlockBits& other);
    BlockBits& operator&=(const BlockBits& other);
    /// Removes the positions that `other` holds.
    void remove(const BlockBits& other);

    /// Calls `visit` with every position, in ascending order.
    template <typename Visit> void forEach(Visit&& visit) const {
        for (size_t w = 0; w < words_.size(); ++w)
            for (std::uint64_t bits = words_[w]; bits; bits &= bits - 1)
                visit(static_cast<unsigned>(w * 64 + static_cast<size_t>(std::countr_zero(bits))));
    }

    static constexpr size_t kBytes = kBlockRows / 8;
    using Words = std::array<std::uint64_t, kBytes / 8>;
    const Words& words() const { return words_; }
    Words& words() { return words_; }

private:
    Words words_{};
};

/// The stored form of a non-empty set of positions: a bitmap of exactly BlockBits::kBytes bytes
/// (position p is bit p % 8 of byte p / 8), or, when shorter, the positions in ascending order as
/// gaps (the first from -1) written as LEB128 varints, which is always shorter than the bitmap.
std::string encodePositions(std::span<const std::uint16_t> ascending);
inline std::string encodePositions(const std::vector<std::uint16_t>& ascending) {
    return encodePositions(std::span<const std::uint16_t>(ascending));
}

/// Reads a stored set into `into`, replacing what it held. False when the bytes are not a stored
/// set (a damaged index).
bool decodePositions(std::string_view stored, BlockBits& into);
/// Reads a stored set as ascending positions. False when the bytes are not a stored set.
bool decodePositions(std::string_view stored, std::vector<std::uint16_t>& into);

/// Adds (`present`) or removes one position of a stored set, keeping it in its shorter form; an
/// empty set becomes the empty text. False when the bytes are not a stored set.
bool changePosition(std::string& stored, std::uint16_t position, bool present);

} // namespace wk::engine::search
