#include "Csv.h"

namespace wk::tools {

bool isValidUtf8(const std::string& text) {
    size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        size_t extra;
        unsigned int cp;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            extra = 1;
            cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2;
            cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + extra >= text.size())
            return false;
        for (size_t k = 1; k <= extra; ++k) {
            const auto d = static_cast<unsigned char>(text[i + k]);
            if ((d & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (d & 0x3F);
        }
        const unsigned int minimum[] = {0, 0x80, 0x800, 0x10000};
        if (cp < minimum[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += extra + 1;
    }
    return true;
}

CsvReader::CsvReader(std::istream& in, std::string source) : in_(in), source_(std::move(source)) {
}

void CsvReader::fail(const std::string& why) const {
    throw CsvError(source_ + ", line " + std::to_string(recordLine_) + ": " + why);
}

int CsvReader::get() {
    int c = pendingAt_ < pending_.size() ? static_cast<unsigned char>(pending_[pendingAt_++])
                                         : in_.get();
    if (c == '\n')
        ++lineNo_;
    return c;
}

int CsvReader::peek() {
    return pendingAt_ < pending_.size() ? static_cast<unsigned char>(pending_[pendingAt_])
                                        : in_.peek();
}

// Reads the mark byte by byte without going back in the input: the bytes of a text that only
// begins like the mark are kept and read again as text.
void CsvReader::skipByteOrderMark() {
    static constexpr char kMark[] = "\xEF\xBB\xBF";
    for (size_t i = 0; i + 1 < sizeof kMark; ++i) {
        if (in_.peek() != static_cast<unsigned char>(kMark[i]))
            return;
        pending_ += static_cast<char>(in_.get());
    }
    pending_.clear();
}

bool CsvReader::next(std::vector<std::string>& fields) {
    if (first_) {
        first_ = false;
        skipByteOrderMark();
    }
    for (;;) {
        fields.clear();
        quoted_.clear();
        recordLine_ = lineNo_;
        int c = get();
        if (c == EOF)
            return false;
        if (c == '\n' || (c == '\r' && peek() == '\n')) {
            if (c == '\r')
                get();
            continue; // an empty line
        }
        std::string field;
        bool quoted = false;
        for (;;) {
            if (c == '"' && field.empty() && !quoted) {
                quoted = true;
                for (;;) {
                    c = get();
                    if (c == EOF)
                        fail("a quoted field is not closed");
                    if (c == '"') {
                        if (peek() == '"') {
                            get();
                            field += '"';
                            continue;
                        }
                        break;
                    }
                    field += static_cast<char>(c);
                }
                c = get();
                if (c != ',' && c != '\n' && c != '\r' && c != EOF)
                    fail("unexpected text after a closing quote");
            }
            if (c == ',' || c == '\n' || c == EOF || (c == '\r' && peek() == '\n')) {
                if (!isValidUtf8(field))
                    fail("field " + std::to_string(fields.size() + 1) + " is not valid UTF-8");
                fields.push_back(std::move(field));
                quoted_.push_back(quoted);
                field.clear();
                quoted = false;
                if (c == ',') {
                    c = get();
                    continue;
                }
                if (c == '\r')
                    get();
                return true;
            }
            if (c == '"' && !quoted)
                fail("a double quote inside an unquoted field (quote the whole field)");
            field += static_cast<char>(c);
            c = get();
        }
    }
}

void writeCsvRecord(std::ostream& out, const std::vector<std::string>& fields) {
    // A record of one empty field would be an empty line, which a reader passes over.
    if (fields.size() == 1 && fields[0].empty()) {
        out << "\"\"\n";
        return;
    }
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i)
            out << ',';
        const std::string& f = fields[i];
        // A field that begins with U+FEFF is quoted: at the start of a file, a reader would take
        // the character for the file's byte order mark and drop it.
        if (f.find_first_of(",\"\r\n") == std::string::npos && !f.starts_with("\xEF\xBB\xBF")) {
            out << f;
            continue;
        }
        out << '"';
        for (char c : f) {
            if (c == '"')
                out << '"';
            out << c;
        }
        out << '"';
    }
    out << '\n';
}

} // namespace wk::tools
