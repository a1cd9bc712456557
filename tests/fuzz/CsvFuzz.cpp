// The CSV reader on any bytes: it gives records or raises CsvError, nothing else. Records that
// read without an error, written back with writeCsvRecord, read back the same, field for field.

#include "Csv.h"
#include "FuzzCheck.h"

#include <sstream>
#include <string>
#include <vector>

namespace {

using Records = std::vector<std::vector<std::string>>;

// Every record of `bytes`; raises CsvError.
Records readAll(const std::string& bytes, const std::string& source) {
    std::istringstream in(bytes);
    wk::tools::CsvReader reader(in, source);
    Records records;
    std::vector<std::string> fields;
    long long lastLine = 0;
    while (reader.next(fields)) {
        if (fields.empty())
            wk::fuzz::failure("a record without fields");
        if (reader.line() <= lastLine)
            wk::fuzz::failure("a record does not begin after the one before");
        lastLine = reader.line();
        for (const std::string& f : fields)
            if (!wk::tools::isValidUtf8(f))
                wk::fuzz::failure("a field read is not valid UTF-8: " + wk::fuzz::shown(f));
        records.push_back(fields);
    }
    return records;
}

std::string describe(const Records& records) {
    std::string out;
    for (const auto& r : records) {
        out += "\n  [";
        for (size_t i = 0; i < r.size(); ++i)
            out += (i ? ", " : "") + wk::fuzz::shown(r[i]);
        out += "]";
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Records records;
    try {
        records = readAll(wk::fuzz::text(data, size), "input.csv");
    } catch (const wk::tools::CsvError&) {
        return 0;
    }

    std::ostringstream out;
    for (const auto& r : records)
        wk::tools::writeCsvRecord(out, r);
    Records again;
    try {
        again = readAll(out.str(), "written.csv");
    } catch (const wk::tools::CsvError& e) {
        wk::fuzz::failure(std::string("records written back cannot be read: ") + e.what() +
                          "\nwritten: " + wk::fuzz::shown(out.str()));
    }
    if (again != records)
        wk::fuzz::failure("records written back read differently\nread:" + describe(records) +
                          "\nwritten: " + wk::fuzz::shown(out.str()) +
                          "\nread back:" + describe(again));
    return 0;
}
