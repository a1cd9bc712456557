#include "StarDictWriter.h"

#include "engine/base/AsciiText.h"
#include "engine/base/FileUtil.h"

#include <zlib.h>

#include <algorithm>
#include <limits>
#include <numeric>
#include <stdexcept>
#include <utility>

#include <unistd.h>

namespace wk::tools {

namespace fs = std::filesystem;
namespace fileutil = wk::engine::fileutil;

namespace {

void putBigEndian32(std::string& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out += static_cast<char>((v >> shift) & 0xFF);
}

void putLittleEndian16(std::string& out, std::uint32_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}

void putLittleEndian32(std::string& out, std::uint32_t v) {
    putLittleEndian16(out, v & 0xFFFF);
    putLittleEndian16(out, v >> 16);
}

// The end of the longest prefix of `text` that is at most `limit` bytes and ends between
// characters of UTF-8.
size_t characterBoundary(std::string_view text, size_t limit) {
    if (text.size() <= limit)
        return text.size();
    size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    return end;
}

// A value of a .ifo line: the format has one line per value.
std::string ifoValue(std::string_view value, const char* lineBreak) {
    std::string out;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\r' && i + 1 < value.size() && value[i + 1] == '\n')
            continue;
        if (value[i] == '\n' || value[i] == '\r')
            out += lineBreak;
        else
            out += value[i];
    }
    return out;
}

z_stream& zs(void* stream) {
    return *static_cast<z_stream*>(stream);
}

// Writes each file beside its final name first, then renames them all into place (the .ifo, last
// of `files`, last of all), so that a failure leaves the dictionary that was there before. Each
// is first written as a file made anew under a name of its own: a file or link that another user
// put in the folder under a name this writes to is replaced, never followed.
void writeFiles(const fs::path& folder, const std::string& name,
                const std::vector<std::pair<std::string, std::string>>& files, bool hasSynonyms) {
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec)
        throw std::runtime_error("Cannot make the folder '" + folder.string() +
                                 "': " + ec.message());
    std::vector<fs::path> temporaries;
    auto removeTemporaries = [&](size_t from) {
        for (size_t i = from; i < temporaries.size(); ++i)
            ::unlink(temporaries[i].c_str());
    };
    try {
        for (const auto& [file, bytes] : files)
            temporaries.push_back(fileutil::writeTemporary(folder / file, bytes));
    } catch (...) {
        removeTemporaries(0);
        throw;
    }
    // A .syn from before would lead to the wrong articles.
    if (!hasSynonyms && fs::exists(folder / (name + ".syn"), ec) &&
        !fs::remove(folder / (name + ".syn"), ec)) {
        removeTemporaries(0);
        throw std::runtime_error("Cannot remove the old '" + (folder / (name + ".syn")).string() +
                                 "': " + ec.message());
    }
    for (size_t i = 0; i < files.size(); ++i) {
        try {
            fileutil::moveIntoPlace(temporaries[i], folder / files[i].first);
        } catch (...) {
            removeTemporaries(i + 1);
            throw;
        }
    }
    // Readers such as sdcv keep offset caches beside the files, trusted while they are not older
    // than the index: one left from an export in the same second would point into the old one.
    for (const char* cache : {".idx.oft", ".syn.oft"})
        fs::remove(folder / (name + cache), ec);
}

} // namespace

int stardictCompare(std::string_view a, std::string_view b) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const int ca = static_cast<unsigned char>(wk::engine::asciiLower(a[i]));
        const int cb = static_cast<unsigned char>(wk::engine::asciiLower(b[i]));
        if (ca != cb)
            return ca - cb;
    }
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    const int plain = a.compare(b);
    return plain < 0 ? -1 : (plain > 0 ? 1 : 0);
}

StarDictWord stardictWord(std::string_view word) {
    StarDictWord w;
    w.text.reserve(word.size());
    for (char c : word) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            w.replaced = true;
            w.text += ' ';
        } else {
            w.text += c;
        }
    }
    const size_t first = w.text.find_first_not_of(' ');
    if (first == std::string::npos) {
        w.text.clear();
        return w;
    }
    w.text.erase(w.text.find_last_not_of(' ') + 1);
    w.text.erase(0, first);
    if (w.text.size() > kStarDictMaxWord) {
        w.shortened = true;
        w.text.resize(characterBoundary(w.text, kStarDictMaxWord));
        w.text.erase(w.text.find_last_not_of(' ') + 1);
    }
    return w;
}

// ---- DictZip ----

DictZip::DictZip(size_t chunkLength)
    : chunkLength_(chunkLength), crc_(static_cast<std::uint32_t>(crc32(0, nullptr, 0))) {
    if (chunkLength_ == 0 || chunkLength_ > kChunkLength)
        throw std::invalid_argument("dictzip chunks hold 1 to 58315 bytes");
    auto* z = new z_stream{};
    // Raw deflate: the gzip header and trailer are written here, around the chunks.
    if (deflateInit2(z, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 9, Z_DEFAULT_STRATEGY) !=
        Z_OK) {
        delete z;
        throw std::runtime_error("Cannot start the compression of the articles");
    }
    stream_ = z;
}

DictZip::~DictZip() {
    deflateEnd(&zs(stream_));
    delete &zs(stream_);
}

void DictZip::append(std::string_view data) {
    crc_ = static_cast<std::uint32_t>(
        crc32_z(crc_, reinterpret_cast<const Bytef*>(data.data()), data.size()));
    size_ += data.size();
    pending_.append(data);
    // A full chunk is compressed once more data follows it, so that the last chunk, which ends
    // the stream, is never empty unless everything is.
    size_t done = 0;
    while (pending_.size() - done > chunkLength_) {
        z_stream& z = zs(stream_);
        z.next_in = reinterpret_cast<Bytef*>(pending_.data() + done);
        z.avail_in = static_cast<uInt>(chunkLength_);
        compressChunk(false);
        done += chunkLength_;
    }
    pending_.erase(0, done);
}

void DictZip::compressChunk(bool last) {
    // A full flush ends each chunk on a byte boundary with nothing referring back into it, so
    // that a reader can start unpacking at any chunk.
    z_stream& z = zs(stream_);
    std::string out;
    char buffer[16384];
    for (;;) {
        z.next_out = reinterpret_cast<Bytef*>(buffer);
        z.avail_out = sizeof buffer;
        const int rc = deflate(&z, last ? Z_FINISH : Z_FULL_FLUSH);
        if (rc == Z_STREAM_ERROR)
            throw std::runtime_error("Compressing the articles failed");
        out.append(buffer, sizeof buffer - z.avail_out);
        if (last ? rc == Z_STREAM_END : z.avail_out != 0)
            break;
    }
    if (out.size() > 0xFFFF)
        throw std::runtime_error("A compressed chunk of the articles exceeds 64 KB");
    chunks_.push_back(std::move(out));
}

std::string DictZip::finish() {
    z_stream& z = zs(stream_);
    z.next_in = reinterpret_cast<Bytef*>(pending_.data());
    z.avail_in = static_cast<uInt>(pending_.size());
    compressChunk(true);
    pending_.clear();

    // The extra field's length is 16 bits: 10 bytes of its own and two per chunk.
    constexpr size_t kMostChunks = (0xFFFF - 10) / 2;
    if (chunks_.size() > kMostChunks)
        throw std::runtime_error("The articles are too large for a dictzip file (at most " +
                                 std::to_string(kMostChunks * chunkLength_) + " bytes)");
    const auto count = static_cast<std::uint32_t>(chunks_.size());
    std::string file;
    file += "\x1f\x8b\x08";          // gzip, deflate
    file += static_cast<char>(0x04); // FEXTRA
    putLittleEndian32(file, 0);      // no modification time
    file += static_cast<char>(2);    // best compression
    file += static_cast<char>(3);    // Unix
    putLittleEndian16(file, 10 + 2 * count);
    file += "RA"; // the random-access subfield
    putLittleEndian16(file, 6 + 2 * count);
    putLittleEndian16(file, 1); // its version
    putLittleEndian16(file, static_cast<std::uint32_t>(chunkLength_));
    putLittleEndian16(file, count);
    for (const std::string& c : chunks_)
        putLittleEndian16(file, static_cast<std::uint32_t>(c.size()));
    for (const std::string& c : chunks_)
        file += c;
    putLittleEndian32(file, crc_);
    putLittleEndian32(file, static_cast<std::uint32_t>(size_ & 0xFFFFFFFFu));
    chunks_.clear();
    return file;
}

// ---- StarDictWriter ----

size_t StarDictWriter::addEntry(const std::string& headword, std::string_view article) {
    const std::uint64_t offset = dict_.size();
    if (offset + article.size() > std::numeric_limits<std::uint32_t>::max())
        throw std::runtime_error("The articles exceed the 4 GB that a StarDict index can address");
    dict_.append(article);
    entries_.push_back({headword, offset, static_cast<std::uint32_t>(article.size())});
    return entries_.size() - 1;
}

void StarDictWriter::addSynonym(std::string_view word, size_t entry) {
    if (entry >= entries_.size())
        throw std::out_of_range("a synonym of an entry that does not exist");
    StarDictWord w = stardictWord(word);
    if (w.text.empty() || w.shortened || w.text == entries_[entry].headword)
        return;
    synonyms_.push_back({std::move(w.text), static_cast<std::uint32_t>(entry)});
}

StarDictCounts StarDictWriter::write(const fs::path& folder, const std::string& name,
                                     const StarDictInfo& info) {
    if (written_)
        throw std::logic_error("a StarDict dictionary is written once");
    written_ = true;
    // The headwords in order; entries with equal headwords keep the order they came in.
    std::vector<std::uint32_t> order(entries_.size());
    std::iota(order.begin(), order.end(), 0u);
    std::stable_sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
        return stardictCompare(entries_[a].headword, entries_[b].headword) < 0;
    });
    std::vector<std::uint32_t> position(entries_.size());
    std::string idx;
    for (std::uint32_t p = 0; p < order.size(); ++p) {
        const Entry& e = entries_[order[p]];
        position[order[p]] = p;
        idx += e.headword;
        idx += '\0';
        putBigEndian32(idx, static_cast<std::uint32_t>(e.offset));
        putBigEndian32(idx, e.size);
    }

    for (Synonym& s : synonyms_)
        s.entry = position[s.entry];
    std::sort(synonyms_.begin(), synonyms_.end(), [](const Synonym& a, const Synonym& b) {
        const int c = stardictCompare(a.word, b.word);
        return c != 0 ? c < 0 : a.entry < b.entry;
    });
    synonyms_.erase(std::unique(synonyms_.begin(), synonyms_.end(),
                                [](const Synonym& a, const Synonym& b) {
                                    return a.entry == b.entry && a.word == b.word;
                                }),
                    synonyms_.end());
    std::string syn;
    for (const Synonym& s : synonyms_) {
        syn += s.word;
        syn += '\0';
        putBigEndian32(syn, s.entry);
    }

    StarDictCounts counts{entries_.size(), synonyms_.size(), idx.size()};
    std::string ifo = "StarDict's dict ifo file\nversion=2.4.2\n";
    ifo += "bookname=" + ifoValue(info.bookName, " ") + "\n";
    ifo += "wordcount=" + std::to_string(counts.words) + "\n";
    if (counts.synonyms > 0)
        ifo += "synwordcount=" + std::to_string(counts.synonyms) + "\n";
    ifo += "idxfilesize=" + std::to_string(counts.idxBytes) + "\n";
    ifo += "sametypesequence=h\n";
    if (!info.description.empty())
        ifo += "description=" + ifoValue(info.description, "<br>") + "\n";

    std::vector<std::pair<std::string, std::string>> files = {{name + ".idx", std::move(idx)},
                                                              {name + ".dict.dz", dict_.finish()}};
    if (counts.synonyms > 0)
        files.emplace_back(name + ".syn", std::move(syn));
    // The .ifo last: a reader that finds it finds the rest.
    files.emplace_back(name + ".ifo", std::move(ifo));

    writeFiles(folder, name, files, counts.synonyms > 0);
    return counts;
}

} // namespace wk::tools
