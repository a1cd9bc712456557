#include "engine/search/BlockTexts.h"

#include <utility>

namespace wk::engine::search {
namespace {

void putVarint(std::string& out, std::uint32_t value) {
    while (value >= 0x80) {
        out += static_cast<char>((value & 0x7F) | 0x80);
        value >>= 7;
    }
    out += static_cast<char>(value);
}

} // namespace

void BlockTextsWriter::add(std::uint16_t position, std::string_view text) {
    positions_.push_back(position);
    lengths_.push_back(static_cast<std::uint32_t>(text.size()));
    bytes_.append(text);
}

std::string BlockTextsWriter::encode() const {
    std::string list;
    list.reserve(positions_.size() * 3);
    long previous = -1;
    for (size_t i = 0; i < positions_.size(); ++i) {
        putVarint(list, static_cast<std::uint32_t>(positions_[i] - previous - 1));
        putVarint(list, lengths_[i]);
        previous = positions_[i];
    }
    std::string out;
    out.reserve(list.size() + bytes_.size() + 10);
    putVarint(out, static_cast<std::uint32_t>(positions_.size()));
    putVarint(out, static_cast<std::uint32_t>(list.size()));
    out += list;
    out += bytes_;
    return out;
}

void BlockTextsWriter::clear() {
    positions_.clear();
    lengths_.clear();
    bytes_.clear();
}

std::optional<size_t> listEnd(std::string_view start) {
    size_t at = 0;
    std::uint32_t count = 0, listSize = 0;
    if (!detail::readVarint(start, at, count) || !detail::readVarint(start, at, listSize))
        return std::nullopt;
    return at + listSize;
}

bool changeText(std::string& stored, std::uint16_t position, std::optional<std::string_view> text) {
    std::vector<std::pair<std::uint16_t, std::string>> texts;
    if (!stored.empty() && !forEachText(stored, [&](std::uint16_t p, std::string_view t) {
            texts.emplace_back(p, std::string(t));
        }))
        return false;
    BlockTextsWriter writer;
    bool placed = false;
    for (const auto& [p, t] : texts) {
        if (!placed && p >= position) {
            placed = true;
            if (text)
                writer.add(position, *text);
            if (p == position)
                continue;
        }
        writer.add(p, t);
    }
    if (!placed && text)
        writer.add(position, *text);
    stored = writer.empty() ? std::string() : writer.encode();
    return true;
}

} // namespace wk::engine::search
