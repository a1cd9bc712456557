#include "engine/sql/SqlScan.h"

#include "engine/base/AsciiText.h"
#include "engine/storage/TableFile.h"

#include <array>
#include <cctype>

namespace wk::engine::sqlscan {
namespace {

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

} // namespace

EngineError sqlError(const std::string& why) {
    return EngineError(ErrorCode::InvalidSql, "Invalid SQL statement: " + why);
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

size_t nextSignificant(const std::vector<Token>& tokens, size_t i) {
    while (i < tokens.size() && tokens[i].kind == Kind::Space)
        ++i;
    return i;
}

void scanSelect(std::vector<Token>& t, const std::function<void(const TableRef&)>& onTable) {
    const size_t first = nextSignificant(t, 0);
    if (first == t.size())
        throw sqlError("the statement is empty");
    if (!is(t[first], "SELECT"))
        throw sqlError("only SELECT statements can be run, and this one begins with '" +
                       t[first].text + "'");
    // A semicolon may only end the statement.
    for (size_t i = 0; i < t.size(); ++i) {
        if (t[i].kind == Kind::Punct && t[i].text == ";") {
            for (size_t j = i + 1; j < t.size(); ++j)
                if (t[j].kind != Kind::Space && !(t[j].kind == Kind::Punct && t[j].text == ";"))
                    throw sqlError("only one statement can be run at a time");
            t.resize(i);
            break;
        }
    }

    std::vector<bool> inFromList{false}; // per parenthesis depth
    bool expectTable = false;
    bool firstSeen = false;
    for (size_t i = 0; i < t.size(); ++i) {
        const Token& tok = t[i];
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
            TableRef ref;
            ref.at = i;
            ref.name = tok.kind == Kind::Word ? tok.text : tok.value;
            // The table's alias, after AS or not: a name, or a quoted text (a text can stand
            // nowhere else there, so it is the alias's name here).
            const size_t n = nextSignificant(t, i + 1);
            const bool as = n < t.size() && is(t[n], "AS");
            const size_t a = as ? nextSignificant(t, n + 1) : n;
            const bool userAlias =
                a < t.size() && ((t[a].kind == Kind::Word && !isClauseWord(t[a])) ||
                                 t[a].kind == Kind::Identifier || t[a].kind == Kind::Literal);
            ref.alias = tablefile::baseName(ref.name);
            if (userAlias) {
                ref.aliasAt = a;
                ref.alias = t[a].kind == Kind::Word ? t[a].text : t[a].value;
            }
            ref.end = userAlias ? a + 1 : i + 1;
            ref.outermost = inFromList.size() == 1 && !firstSeen;
            ref.topLevel = inFromList.size() == 1;
            if (inFromList.size() == 1)
                firstSeen = true;
            onTable(ref);
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
        }
    }
    if (inFromList.size() != 1)
        throw sqlError("an opening parenthesis is not closed");
}

std::optional<SingleTableShape> singleTableShape(const std::vector<Token>& t, size_t tableEnd) {
    // Select list: `*`, `alias.*` or plain field names separated by commas.
    size_t i = nextSignificant(t, nextSignificant(t, 0) + 1);
    if (i < t.size() && is(t[i], "ALL"))
        i = nextSignificant(t, i + 1);
    const size_t listStart = i;
    size_t from = listStart;
    bool expectName = true;
    for (; from < t.size() && !is(t[from], "FROM"); from = nextSignificant(t, from + 1)) {
        const Token& tok = t[from];
        const bool name = tok.kind == Kind::Word || tok.kind == Kind::Identifier ||
                          (tok.kind == Kind::Punct && tok.text == "*");
        if (expectName && name && !is(tok, "DISTINCT")) {
            expectName = false;
        } else if (!expectName && tok.kind == Kind::Punct && (tok.text == "," || tok.text == ".")) {
            expectName = true;
        } else {
            return std::nullopt;
        }
    }
    if (from == t.size() || expectName)
        return std::nullopt;
    // After the one table: WHERE and ORDER BY only, nothing that groups, joins or limits.
    std::optional<size_t> orderAt;
    int depth = 0;
    for (size_t j = tableEnd; j < t.size(); ++j) {
        const Token& tok = t[j];
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
            return std::nullopt;
    }
    return SingleTableShape{listStart, from, orderAt};
}

} // namespace wk::engine::sqlscan
