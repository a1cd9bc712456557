#include "engine/sql/LocalSql.h"

#include "engine/EngineError.h"
#include "engine/config/ConfigTree.h"
#include "engine/storage/Sqlite.h"
#include "engine/storage/TableFile.h"

#include <array>
#include <cctype>
#include <optional>

namespace wk::engine {
namespace {

enum class Kind { Space, Word, Number, Literal, Identifier, Punct };

struct Token {
    Kind kind;
    std::string text;  // as written
    std::string value; // the literal's or quoted identifier's value
};

EngineError sqlError(const std::string& why) {
    return EngineError(ErrorCode::InvalidSql, "Invalid SQL statement: " + why);
}

bool isWordStart(char c) {
    return std::isalpha(static_cast<unsigned char>(c)) || c == '_' ||
           static_cast<unsigned char>(c) >= 0x80;
}

bool isWordChar(char c) {
    return isWordStart(c) || std::isdigit(static_cast<unsigned char>(c)) || c == '$';
}

// Reads a quoted run starting at s[i] (the opening quote); a doubled closing quote stands for
// one quote character.
std::string readQuoted(const std::string& s, size_t& i, char close, const char* what) {
    std::string value;
    size_t j = i + 1;
    for (;;) {
        if (j >= s.size())
            throw sqlError(std::string("unterminated ") + what + " starting at character " +
                           std::to_string(i + 1));
        if (s[j] == close) {
            if (j + 1 < s.size() && s[j + 1] == close && close != ']') {
                value += close;
                j += 2;
                continue;
            }
            break;
        }
        value += s[j++];
    }
    i = j + 1;
    return value;
}

std::vector<Token> tokenize(const std::string& s) {
    std::vector<Token> out;
    size_t i = 0;
    while (i < s.size()) {
        const size_t start = i;
        const char c = s[i];
        if (std::isspace(static_cast<unsigned char>(c))) {
            while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i])))
                ++i;
            out.push_back({Kind::Space, " ", {}});
        } else if (c == '-' && i + 1 < s.size() && s[i + 1] == '-') {
            while (i < s.size() && s[i] != '\n')
                ++i;
            out.push_back({Kind::Space, " ", {}});
        } else if (c == '/' && i + 1 < s.size() && s[i + 1] == '*') {
            size_t end = s.find("*/", i + 2);
            if (end == std::string::npos)
                throw sqlError("unterminated comment");
            i = end + 2;
            out.push_back({Kind::Space, " ", {}});
        } else if (c == '\'' || c == '"') {
            std::string v = readQuoted(s, i, c, "text");
            out.push_back({Kind::Literal, s.substr(start, i - start), v});
        } else if (c == '[' || c == '`') {
            std::string v = readQuoted(s, i, c == '[' ? ']' : '`', "name");
            out.push_back({Kind::Identifier, s.substr(start, i - start), v});
        } else if (isWordStart(c)) {
            while (i < s.size() && isWordChar(s[i]))
                ++i;
            out.push_back({Kind::Word, s.substr(start, i - start), {}});
        } else if (std::isdigit(static_cast<unsigned char>(c)) ||
                   (c == '.' && i + 1 < s.size() &&
                    std::isdigit(static_cast<unsigned char>(s[i + 1])))) {
            while (i < s.size() && (std::isalnum(static_cast<unsigned char>(s[i])) || s[i] == '.'))
                ++i;
            out.push_back({Kind::Number, s.substr(start, i - start), {}});
        } else if (c == '%') {
            // Local SQL has no '%' operator; outside a text it means a quote inside the text
            // before it was not doubled.
            throw sqlError("'%' at character " + std::to_string(i + 1) +
                           " stands outside a text; a quote inside a text must be doubled");
        } else {
            static const std::array<const char*, 7> twoChar = {
                "<=", ">=", "<>", "!=", "==", "||", "<<"};
            size_t len = 1;
            for (const char* op : twoChar)
                if (s.compare(i, 2, op) == 0)
                    len = 2;
            i += len;
            out.push_back({Kind::Punct, s.substr(start, len), {}});
        }
    }
    return out;
}

bool is(const Token& t, const char* word) {
    return t.kind == Kind::Word && equalsIgnoreCase(t.text, word);
}

bool isClauseWord(const Token& t) {
    static const std::array<const char*, 19> words = {
        "WHERE",     "GROUP", "ORDER", "HAVING", "LIMIT", "UNION", "EXCEPT",
        "INTERSECT", "JOIN",  "INNER", "LEFT",   "RIGHT", "FULL",  "CROSS",
        "NATURAL",   "ON",    "USING", "WINDOW", "OFFSET"};
    for (const char* w : words)
        if (is(t, w))
            return true;
    return false;
}

std::string literal(const std::string& value) {
    std::string out = "'";
    for (char c : value) {
        if (c == '\'')
            out += '\'';
        out += c;
    }
    return out + "'";
}

class Translator {
public:
    Translator(std::vector<Token> tokens, const TableResolver& resolve)
        : t_(std::move(tokens)), resolve_(resolve), out_(t_.size()) {}

    TranslatedSelect run();

private:
    size_t nextSignificant(size_t i) const {
        while (i < t_.size() && t_[i].kind == Kind::Space)
            ++i;
        return i;
    }
    std::string join(size_t from, size_t to) const {
        std::string s;
        for (size_t i = from; i < to && i < out_.size(); ++i)
            s += out_[i];
        return s;
    }
    void analyseSingleTable(TranslatedSelect& result) const;
    bool isPunct(size_t i, const char* text) const {
        return i < t_.size() && t_[i].kind == Kind::Punct && t_[i].text == text;
    }
    void findLikeTerms(size_t where, TranslatedSelect& result) const;

    std::vector<Token> t_;
    const TableResolver& resolve_;
    std::vector<std::string> out_;
    // Where the first table reference of the outermost FROM stands, and its alias.
    std::optional<size_t> firstTable_;
    std::string firstAlias_;
    size_t firstTableEnd_ = 0;
};

TranslatedSelect Translator::run() {
    const size_t first = nextSignificant(0);
    if (first == t_.size())
        throw sqlError("the statement is empty");
    if (!is(t_[first], "SELECT"))
        throw sqlError("only SELECT statements can be run, and this one begins with '" +
                       t_[first].text + "'");
    // A semicolon may only end the statement.
    for (size_t i = 0; i < t_.size(); ++i) {
        if (t_[i].kind == Kind::Punct && t_[i].text == ";") {
            for (size_t j = i + 1; j < t_.size(); ++j)
                if (t_[j].kind != Kind::Space && !(t_[j].kind == Kind::Punct && t_[j].text == ";"))
                    throw sqlError("only one statement can be run at a time");
            t_.resize(i);
            out_.resize(i);
            break;
        }
    }

    std::vector<bool> inFromList{false}; // per parenthesis depth
    bool expectTable = false;
    for (size_t i = 0; i < t_.size(); ++i) {
        const Token& tok = t_[i];
        out_[i] = tok.text;
        if (tok.kind == Kind::Space)
            continue;
        if (tok.kind == Kind::Punct && tok.text == "(") {
            inFromList.push_back(false);
            expectTable = false;
            continue;
        }
        if (tok.kind == Kind::Punct && tok.text == ")") {
            if (inFromList.size() == 1)
                throw sqlError("a closing parenthesis has no opening one");
            inFromList.pop_back();
            continue;
        }
        if (expectTable &&
            (tok.kind == Kind::Word || tok.kind == Kind::Literal || tok.kind == Kind::Identifier)) {
            expectTable = false;
            const std::string name = tok.kind == Kind::Word ? tok.text : tok.value;
            const std::string qualified = resolve_(name);
            // The table's alias, after AS or not: a name, or a quoted text (a text can stand
            // nowhere else there, so it is the alias's name here).
            const size_t n = nextSignificant(i + 1);
            const bool as = n < t_.size() && is(t_[n], "AS");
            const size_t a = as ? nextSignificant(n + 1) : n;
            const bool userAlias =
                a < t_.size() && ((t_[a].kind == Kind::Word && !isClauseWord(t_[a])) ||
                                  t_[a].kind == Kind::Identifier || t_[a].kind == Kind::Literal);
            std::string alias = tablefile::baseName(name);
            if (userAlias) {
                alias = t_[a].kind == Kind::Word ? t_[a].text : t_[a].value;
                out_[i] = qualified;
                for (size_t j = i + 1; j < a; ++j)
                    out_[j] = t_[j].text;
                out_[a] = t_[a].kind == Kind::Word ? alias : quoteIdentifier(alias);
            } else {
                out_[i] = qualified + " AS " + quoteIdentifier(alias);
            }
            if (inFromList.size() == 1 && !firstTable_) {
                firstTable_ = i;
                firstAlias_ = alias;
                firstTableEnd_ = userAlias ? a + 1 : i + 1;
            }
            if (userAlias)
                i = a;
            continue;
        }
        expectTable = false;
        if (is(tok, "FROM")) {
            inFromList.back() = true;
            expectTable = true;
        } else if (is(tok, "JOIN")) {
            expectTable = true;
        } else if (tok.kind == Kind::Punct && tok.text == "," && inFromList.back()) {
            expectTable = true;
        } else if (isClauseWord(tok) && !is(tok, "JOIN") && !is(tok, "INNER") && !is(tok, "LEFT") &&
                   !is(tok, "RIGHT") && !is(tok, "FULL") && !is(tok, "CROSS") &&
                   !is(tok, "NATURAL")) {
            inFromList.back() = false;
        } else if (tok.kind == Kind::Literal) {
            out_[i] = literal(tok.value);
        } else if (tok.kind == Kind::Identifier) {
            out_[i] = quoteIdentifier(tok.value);
        }
    }
    if (inFromList.size() != 1)
        throw sqlError("an opening parenthesis is not closed");

    TranslatedSelect result;
    result.sql = join(0, out_.size());
    analyseSingleTable(result);
    return result;
}

void Translator::analyseSingleTable(TranslatedSelect& result) const {
    if (!firstTable_)
        return;
    // Select list: `*`, `alias.*` or plain field names separated by commas.
    size_t i = nextSignificant(nextSignificant(0) + 1);
    if (i < t_.size() && is(t_[i], "ALL"))
        i = nextSignificant(i + 1);
    const size_t listStart = i;
    size_t from = listStart;
    bool expectName = true;
    for (; from < t_.size() && !is(t_[from], "FROM"); from = nextSignificant(from + 1)) {
        const Token& tok = t_[from];
        const bool name = tok.kind == Kind::Word || tok.kind == Kind::Identifier ||
                          (tok.kind == Kind::Punct && tok.text == "*");
        if (expectName && name && !is(tok, "DISTINCT")) {
            expectName = false;
        } else if (!expectName && tok.kind == Kind::Punct && (tok.text == "," || tok.text == ".")) {
            expectName = true;
        } else {
            return;
        }
    }
    if (from == t_.size() || expectName)
        return;
    // After the one table: WHERE and ORDER BY only, nothing that groups, joins or limits.
    std::optional<size_t> orderAt;
    int depth = 0;
    for (size_t j = firstTableEnd_; j < t_.size(); ++j) {
        const Token& tok = t_[j];
        if (tok.kind == Kind::Punct && tok.text == "(")
            ++depth;
        else if (tok.kind == Kind::Punct && tok.text == ")")
            --depth;
        if (depth > 0)
            continue;
        if (is(tok, "ORDER") && !orderAt)
            orderAt = j;
        else if ((isClauseWord(tok) && !is(tok, "WHERE") && !is(tok, "ORDER")) ||
                 (tok.kind == Kind::Punct && tok.text == "," && !orderAt))
            return;
    }
    const std::string alias = quoteIdentifier(firstAlias_);
    const std::string tableRef = join(*firstTable_, firstTableEnd_);
    const size_t whereEnd = orderAt ? *orderAt : t_.size();
    const std::string whereText = join(firstTableEnd_, whereEnd);
    std::string order = " ORDER BY ";
    if (orderAt) {
        size_t by = nextSignificant(*orderAt + 1);
        order += join(by + 1, t_.size()) + ", ";
    }
    result.singleTable = true;
    // With ORDER BY the select list comes first, so that a column number in it ("ORDER BY 2")
    // means what it means in the statement; the row id is the last column.
    const std::string idList = (orderAt ? join(listStart, from) + ", " : "") + alias + ".rowid";
    result.rowIdSql =
        "SELECT " + idList + " FROM " + tableRef + whereText + order + alias + ".rowid";
    result.fetchSql =
        "SELECT " + join(listStart, from) + " FROM " + tableRef + " WHERE " + alias + ".rowid = ?1";
    if (!orderAt) {
        const size_t where = nextSignificant(firstTableEnd_);
        if (where == t_.size())
            result.indexable.wholeTable = true;
        else if (is(t_[where], "WHERE"))
            findLikeTerms(where, result);
    }
}

// Recognises a condition made of terms `Upper(field) like 'text'` joined by OR, and nothing else.
void Translator::findLikeTerms(size_t where, TranslatedSelect& result) const {
    std::vector<LikeTerm> terms;
    size_t i = nextSignificant(where + 1);
    for (;;) {
        if (i == t_.size() || !is(t_[i], "UPPER") || !isPunct(i = nextSignificant(i + 1), "("))
            return;
        i = nextSignificant(i + 1);
        if (i == t_.size() || (t_[i].kind != Kind::Word && t_[i].kind != Kind::Identifier))
            return;
        const Token& field = t_[i];
        if (!isPunct(i = nextSignificant(i + 1), ")"))
            return;
        i = nextSignificant(i + 1);
        if (i == t_.size() || !is(t_[i], "LIKE"))
            return;
        i = nextSignificant(i + 1);
        if (i == t_.size() || t_[i].kind != Kind::Literal)
            return;
        terms.push_back({field.kind == Kind::Word ? field.text : field.value, t_[i].value});
        i = nextSignificant(i + 1);
        if (i == t_.size())
            break;
        if (!is(t_[i], "OR"))
            return;
        i = nextSignificant(i + 1);
    }
    result.indexable.likeTerms = std::move(terms);
}

} // namespace

TranslatedSelect translateSelect(const std::string& statement, const TableResolver& resolve) {
    Translator tr(tokenize(statement), resolve);
    return tr.run();
}

} // namespace wk::engine
