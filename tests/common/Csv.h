#pragma once

// Reading CSV (RFC 4180) in the tests, without the program's own reader: quoted fields may hold
// commas, doubled quotes and line breaks; a line may end with CR LF.

#include "common/FileBytes.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace wk::testing {

using CsvRecords = std::vector<std::vector<std::string>>;

/// The records of `text`. Anything malformed fails the test, naming `name`, and ends the reading
/// with the records read so far.
inline CsvRecords readCsv(const std::string& text, const std::string& name) {
    CsvRecords records;
    size_t i = 0;
    const size_t n = text.size();
    while (i < n) {
        std::vector<std::string> record;
        for (;;) {
            std::string field;
            if (i < n && text[i] == '"') {
                for (++i;; ++i) {
                    if (i >= n) {
                        ADD_FAILURE() << name << ": a quoted field is not closed";
                        return records;
                    }
                    if (text[i] == '"' && (i + 1 >= n || text[i + 1] != '"'))
                        break;
                    if (text[i] == '"')
                        ++i;
                    field += text[i];
                }
                ++i;
            } else {
                for (; i < n && text[i] != ',' && text[i] != '\n' && text[i] != '\r'; ++i)
                    field += text[i];
            }
            record.push_back(std::move(field));
            if (i < n && text[i] == ',') {
                ++i;
                continue;
            }
            if (i + 1 < n && text[i] == '\r' && text[i + 1] == '\n')
                ++i;
            if (i < n && text[i] != '\n') {
                ADD_FAILURE() << name << ", record " << records.size() + 1
                              << ": unexpected text after a field";
                return records;
            }
            ++i;
            break;
        }
        records.push_back(std::move(record));
    }
    return records;
}

/// The records of the CSV file `file`; a file that cannot be read has none.
inline CsvRecords readCsvFile(const std::filesystem::path& file) {
    return readCsv(readBytes(file), file.string());
}

} // namespace wk::testing
