#pragma once

// Writes dictionaries in the StarDict 2.4.2 format that GoldenDict-ng, sdcv and KOReader read:
// NAME.ifo (what the dictionary is), NAME.idx (the headwords in order, each with where its
// article is), NAME.dict.dz (the articles, compressed so that a reader can reach any one of them
// without unpacking the rest) and NAME.syn (further words that lead to an article). Every
// article is of type `h` (HTML). No Qt here.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace wk::tools {

/// The order of StarDict's word lists: bytes compared with ASCII letters folded to lower case,
/// and words that are equal so compared ordered by their plain bytes. Negative, zero or positive.
int stardictCompare(std::string_view a, std::string_view b);

/// A word as StarDict can hold it: a tab, line break or other control character (which the
/// format forbids in a word) becomes a space, spaces around it go, and a word of 256 bytes or
/// more is shortened at a character boundary to fit.
struct StarDictWord {
    std::string text;
    bool replaced = false;  ///< a control character was replaced by a space
    bool shortened = false; ///< the word was too long and lost its end
};
StarDictWord stardictWord(std::string_view word);

/// The longest word the format allows, in bytes.
constexpr size_t kStarDictMaxWord = 255;

/// Compresses data into the dictzip format: a gzip file (so gunzip reads it) whose header holds
/// a table of independently compressed chunks of at most `chunkLength` bytes, by which a
/// reader finds and unpacks only the chunk that holds what it wants.
class DictZip {
public:
    /// The chunk length that dictzip itself uses: any chunk, however badly it compresses, fits
    /// the 16-bit sizes of the chunk table.
    static constexpr size_t kChunkLength = 58315;

    explicit DictZip(size_t chunkLength = kChunkLength);
    ~DictZip();
    DictZip(const DictZip&) = delete;
    DictZip& operator=(const DictZip&) = delete;

    /// Appends data; compresses each chunk as it fills.
    void append(std::string_view data);
    /// The number of bytes appended so far.
    std::uint64_t size() const { return size_; }
    /// The whole file. Raises std::runtime_error when the data needs more chunks than the
    /// header's table can count. Call once.
    std::string finish();

private:
    void compressChunk(bool last);

    size_t chunkLength_;
    std::string pending_;             // appended, not yet compressed
    std::vector<std::string> chunks_; // compressed chunks
    std::uint64_t size_ = 0;
    std::uint32_t crc_;
    void* stream_; // z_stream, kept out of this header
};

/// What a dictionary says about itself in its .ifo file.
struct StarDictInfo {
    std::string bookName;    ///< the name readers list it under
    std::string description; ///< shown in a reader's dictionary information
};

/// What a written dictionary holds.
struct StarDictCounts {
    size_t words = 0;    ///< headwords in .idx
    size_t synonyms = 0; ///< entries in .syn
    std::uint64_t idxBytes = 0;
};

/// Collects articles and synonyms, then writes the dictionary's files.
class StarDictWriter {
public:
    /// Adds an article under `headword` (already made a StarDict word and not empty); returns
    /// the number by which synonyms refer to it. Entries may share a headword.
    size_t addEntry(const std::string& headword, std::string_view article);
    /// Makes `word` lead to entry `entry` as well. The word is made a StarDict word; an empty
    /// one, one too long to be found as written, or the entry's own headword is left out, and
    /// so is a repeat.
    void addSynonym(std::string_view word, size_t entry);

    size_t entryCount() const { return entries_.size(); }

    /// Writes NAME.ifo, NAME.idx, NAME.dict.dz and, when there are synonyms, NAME.syn into
    /// `folder` (made when missing). Each file is written beside its place, as a file made anew
    /// under a name of its own, and then moved there, so that a failed export leaves what was
    /// there before and a link that another user put in the folder is replaced, never written
    /// through; a NAME.syn from before is
    /// removed when there are no synonyms now, and so are readers' offset caches of the old
    /// files. Raises std::runtime_error naming the file. Call once.
    StarDictCounts write(const std::filesystem::path& folder, const std::string& name,
                         const StarDictInfo& info);

private:
    struct Entry {
        std::string headword;
        std::uint64_t offset;
        std::uint32_t size;
    };
    struct Synonym {
        std::string word;
        std::uint32_t entry;
    };

    std::vector<Entry> entries_;
    std::vector<Synonym> synonyms_;
    DictZip dict_;
    bool written_ = false;
};

} // namespace wk::tools
