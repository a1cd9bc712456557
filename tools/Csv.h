#pragma once

#include <istream>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

namespace wk::tools {

/// A CSV file that cannot be read; the message names the file and line.
class CsvError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// Reads RFC 4180 CSV: fields separated by commas, records by LF or CRLF; a quoted field may hold
/// commas, doubled quotes and line breaks. A UTF-8 byte order mark at the start is skipped (also
/// when the input is a pipe, which cannot go back) and completely empty lines are passed over.
/// Text must be valid UTF-8.
class CsvReader {
public:
    CsvReader(std::istream& in, std::string source);

    /// Reads the next record; false at the end of the input. Raises CsvError.
    bool next(std::vector<std::string>& fields);

    /// The line on which the record read last began.
    long long line() const { return recordLine_; }

    /// Whether field `field` of the record read last was written in quotes.
    bool quoted(size_t field) const { return field < quoted_.size() && quoted_[field]; }

private:
    [[noreturn]] void fail(const std::string& why) const;
    void skipByteOrderMark();
    int get();
    int peek();

    std::istream& in_;
    std::string source_;
    std::string pending_; // bytes read ahead at the start that are text after all
    size_t pendingAt_ = 0;
    long long lineNo_ = 1;
    long long recordLine_ = 0;
    bool first_ = true;
    std::vector<bool> quoted_; // of each field of the record read last
};

/// Writes one record as RFC 4180 CSV ending in LF; a field is quoted only when it holds a comma,
/// a double quote or a line break, or when it is the only field of the record and is empty.
void writeCsvRecord(std::ostream& out, const std::vector<std::string>& fields);

/// True when `text` is valid UTF-8.
bool isValidUtf8(const std::string& text);

} // namespace wk::tools
