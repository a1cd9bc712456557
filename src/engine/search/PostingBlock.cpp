#include "engine/search/PostingBlock.h"

#include <algorithm>
#include <cstring>

namespace wk::engine::search {
namespace {

size_t varintSize(unsigned gap) {
    return gap < 0x80 ? 1 : gap < 0x4000 ? 2 : 3;
}

void putVarint(std::string& out, unsigned gap) {
    while (gap >= 0x80) {
        out += static_cast<char>((gap & 0x7F) | 0x80);
        gap >>= 7;
    }
    out += static_cast<char>(gap);
}

// Calls `visit` with each stored position in ascending order; false when the bytes are damaged.
template <typename Visit> bool visitStored(std::string_view stored, Visit&& visit) {
    const auto* b = reinterpret_cast<const unsigned char*>(stored.data());
    if (stored.size() == BlockBits::kBytes) {
        for (unsigned p = 0; p < BlockBits::kBytes * 8; ++p)
            if ((b[p >> 3] >> (p & 7)) & 1)
                visit(p);
        return true;
    }
    if (stored.empty() || stored.size() > BlockBits::kBytes)
        return false;
    long position = -1;
    for (size_t i = 0; i < stored.size();) {
        unsigned gap = 0;
        int shift = 0;
        for (;;) {
            if (i == stored.size() || shift > 14)
                return false;
            const unsigned char c = b[i++];
            gap |= static_cast<unsigned>(c & 0x7F) << shift;
            shift += 7;
            if (!(c & 0x80))
                break;
        }
        position += gap;
        if (gap == 0 || position >= kBlockRows)
            return false;
        visit(static_cast<unsigned>(position));
    }
    return true;
}

} // namespace

bool BlockBits::any() const {
    return std::any_of(words_.begin(), words_.end(), [](std::uint64_t w) { return w != 0; });
}

size_t BlockBits::count() const {
    size_t n = 0;
    for (std::uint64_t w : words_)
        n += static_cast<size_t>(std::popcount(w));
    return n;
}

BlockBits& BlockBits::operator|=(const BlockBits& other) {
    for (size_t i = 0; i < words_.size(); ++i)
        words_[i] |= other.words_[i];
    return *this;
}

BlockBits& BlockBits::operator&=(const BlockBits& other) {
    for (size_t i = 0; i < words_.size(); ++i)
        words_[i] &= other.words_[i];
    return *this;
}

void BlockBits::remove(const BlockBits& other) {
    for (size_t i = 0; i < words_.size(); ++i)
        words_[i] &= ~other.words_[i];
}

std::string encodePositions(std::span<const std::uint16_t> ascending) {
    size_t size = 0;
    long previous = -1;
    for (std::uint16_t p : ascending) {
        size += varintSize(static_cast<unsigned>(p - previous));
        previous = p;
    }
    std::string out;
    if (size >= BlockBits::kBytes) {
        out.assign(BlockBits::kBytes, '\0');
        for (std::uint16_t p : ascending)
            out[p >> 3] =
                static_cast<char>(static_cast<unsigned char>(out[p >> 3]) | (1u << (p & 7)));
        return out;
    }
    out.reserve(size);
    previous = -1;
    for (std::uint16_t p : ascending) {
        putVarint(out, static_cast<unsigned>(p - previous));
        previous = p;
    }
    return out;
}

bool decodePositions(std::string_view stored, BlockBits& into) {
    if (stored.size() == BlockBits::kBytes) {
        // The bitmap is the words' little-endian image.
        auto& words = into.words();
        if constexpr (std::endian::native == std::endian::little) {
            std::memcpy(words.data(), stored.data(), BlockBits::kBytes);
            return true;
        }
        for (size_t w = 0; w < words.size(); ++w) {
            std::uint64_t v = 0;
            for (int k = 7; k >= 0; --k)
                v = (v << 8) | static_cast<unsigned char>(stored[w * 8 + static_cast<size_t>(k)]);
            words[w] = v;
        }
        return true;
    }
    into.clear();
    return visitStored(stored, [&](unsigned p) { into.set(p); });
}

bool decodePositions(std::string_view stored, std::vector<std::uint16_t>& into) {
    into.clear();
    return visitStored(stored, [&](unsigned p) { into.push_back(static_cast<std::uint16_t>(p)); });
}

bool changePosition(std::string& stored, std::uint16_t position, bool present) {
    if (stored.size() == BlockBits::kBytes) {
        auto& byte = reinterpret_cast<unsigned char&>(stored[position >> 3]);
        const unsigned char mask = static_cast<unsigned char>(1u << (position & 7));
        if (present) {
            byte |= mask;
            return true;
        }
        byte &= static_cast<unsigned char>(~mask);
        // A thinning bitmap goes back to the shorter list form.
        size_t count = 0;
        for (unsigned char c : stored)
            count += static_cast<size_t>(std::popcount(c));
        if (count * 3 < BlockBits::kBytes) {
            std::vector<std::uint16_t> positions;
            decodePositions(stored, positions);
            stored = positions.empty() ? std::string() : encodePositions(positions);
        }
        return true;
    }
    std::vector<std::uint16_t> positions;
    if (!stored.empty() && !decodePositions(stored, positions))
        return false;
    auto at = std::lower_bound(positions.begin(), positions.end(), position);
    const bool has = at != positions.end() && *at == position;
    if (present && !has)
        positions.insert(at, position);
    else if (!present && has)
        positions.erase(at);
    stored = positions.empty() ? std::string() : encodePositions(positions);
    return true;
}

} // namespace wk::engine::search
