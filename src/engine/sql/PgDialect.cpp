#include "engine/sql/PgDialect.h"

#include "engine/base/AsciiText.h"
#include "engine/base/EngineError.h"
#include "engine/server/PgText.h"
#include "engine/sql/SqlScan.h"

#include <array>
#include <cstdint>
#include <optional>

namespace wk::engine {
namespace {

using namespace sqlscan;

// Words where an operand of like ends, and words that never name a field.
bool isBoundaryWord(const Token& t) {
    static const std::array<const char*, 37> words = {
        "AND",    "OR",     "NOT",      "WHERE",     "ON",      "WHEN",  "THEN",  "ELSE",
        "CASE",   "END",    "SELECT",   "HAVING",    "BY",      "IS",    "IN",    "LIKE",
        "GLOB",   "REGEXP", "MATCH",    "ESCAPE",    "BETWEEN", "FROM",  "ORDER", "GROUP",
        "LIMIT",  "OFFSET", "AS",       "ASC",       "DESC",    "UNION", "ALL",   "EXCEPT",
        "ISNULL", "NULLS",  "DISTINCT", "INTERSECT", "NOTNULL"};
    if (t.kind != Kind::Word)
        return false;
    for (const char* w : words)
        if (is(t, w))
            return true;
    return false;
}

bool isBoundaryPunct(const Token& t) {
    static const std::array<const char*, 6> puncts = {",", "=", "==", "!=", "<>", ";"};
    if (t.kind != Kind::Punct)
        return false;
    for (const char* p : puncts)
        if (t.text == p)
            return true;
    return false;
}

class PgTranslator {
public:
    PgTranslator(std::vector<Token> tokens, const PgTableResolver& resolve)
        : t_(std::move(tokens)), resolve_(resolve) {}

    PgSelect run();

private:
    size_t next(size_t i) const { return nextSignificant(t_, i); }
    std::string join(size_t from, size_t to) const {
        std::string s;
        for (size_t i = from; i < to && i < out_.size(); ++i)
            s += out_[i];
        return s;
    }
    void addRowIdStatements(const TableRef& ref, PgSelect& result) const;
    void useUpperColumns();
    std::string fieldList(const std::vector<const std::pair<TableRef, PgTableRef>*>& of) const;
    // The significant token before `i`, or none.
    std::optional<size_t> previous(size_t i) const {
        while (i > 0)
            if (t_[--i].kind != Kind::Space)
                return i;
        return std::nullopt;
    }
    bool isPunct(size_t i, const char* text) const {
        return i < t_.size() && t_[i].kind == Kind::Punct && t_[i].text == text;
    }
    std::optional<std::string> field(const std::string& name) const {
        for (const std::string& f : fields_)
            if (equalsIgnoreCase(f, name))
                return f;
        return std::nullopt;
    }
    std::optional<std::string> alias(const std::string& name) const {
        for (const std::string& a : aliases_)
            if (equalsIgnoreCase(a, name))
                return a;
        return std::nullopt;
    }
    void translateNames(const std::vector<bool>& inReference);
    void sortNullsAsLocally();
    void nameColumnsAsLocally();
    void matchLikeLocally();

    std::vector<Token> t_;
    const PgTableResolver& resolve_;
    std::vector<std::string> out_;
    std::vector<std::string> fields_;
    std::vector<std::string> aliases_;
    std::vector<std::pair<TableRef, PgTableRef>> sources_; // the tables as the statement names them
};

PgSelect PgTranslator::run() {
    std::vector<bool> inReference(t_.size(), false);
    scanSelect(t_, [&](const TableRef& ref) {
        PgTableRef table = resolve_(ref.name);
        for (const std::string& f : table.fields)
            if (!field(f))
                fields_.push_back(f);
        if (!alias(ref.alias))
            aliases_.push_back(ref.alias);
        sources_.emplace_back(ref, std::move(table));
    });
    for (const Token& t : t_)
        out_.push_back(t.text);
    inReference.resize(t_.size());
    for (const auto& [ref, table] : sources_) {
        const std::string& qualified = table.qualified;
        for (size_t j = ref.at; j < ref.end; ++j)
            inReference[j] = true;
        const std::string quotedAlias = pgIdentifier(*alias(ref.alias));
        if (ref.aliasAt) {
            out_[ref.at] = qualified;
            out_[*ref.aliasAt] = quotedAlias;
        } else {
            out_[ref.at] = qualified + " AS " + quotedAlias;
        }
    }
    translateNames(inReference);
    useUpperColumns();
    sortNullsAsLocally();
    matchLikeLocally();
    nameColumnsAsLocally();
    PgSelect result;
    result.sql = join(0, out_.size());
    for (const auto& source : sources_)
        if (source.first.outermost)
            addRowIdStatements(source.first, result);
    return result;
}

// The statements that read a one-table result as row ids and fetch its rows by them, as the
// local engine does.
void PgTranslator::addRowIdStatements(const TableRef& ref, PgSelect& result) const {
    const std::optional<SingleTableShape> shape = singleTableShape(t_, ref.end);
    if (!shape)
        return;
    const std::string alias = pgIdentifier(*this->alias(ref.alias));
    // The select list as nameColumnsAsLocally left it, a `*` made the table's fields.
    std::string list = join(shape->listStart, shape->from);
    while (!list.empty() && (list.back() == ' ' || list.back() == '\n' || list.back() == '\t'))
        list.pop_back();
    const std::string rowId = alias + ".wk_rowid";
    const std::string table = join(ref.at, ref.end);
    const size_t whereEnd = shape->orderAt ? *shape->orderAt : t_.size();
    std::string order = " ORDER BY ";
    if (shape->orderAt)
        order += join(next(next(*shape->orderAt + 1) + 1), t_.size()) + ", ";
    result.singleTable = true;
    result.rowIdSql = "SELECT " + (shape->orderAt ? list + ", " : "") + rowId + " FROM " + table +
                      join(ref.end, whereEnd) + order + rowId;
    result.fetchSql = "SELECT " + rowId + ", " + list + " FROM " + table + " WHERE " + rowId +
                      " = ANY($1::bigint[])";
}

// A column of the outermost select list that is neither a field nor named with an alias is
// named by its text as written, as the local engine names it ("count(*)", "Lower(Tagalo)");
// the server would call it "count" or "?column?".
void PgTranslator::nameColumnsAsLocally() {
    // The tables of the first select's FROM list come before any UNION, EXCEPT or INTERSECT.
    size_t compound = t_.size();
    for (size_t j = 0, d = 0; j < t_.size() && compound == t_.size(); ++j) {
        if (isPunct(j, "("))
            ++d;
        else if (isPunct(j, ")"))
            --d;
        else if (d == 0 && (is(t_[j], "UNION") || is(t_[j], "EXCEPT") || is(t_[j], "INTERSECT")))
            compound = j;
    }
    size_t i = next(next(0) + 1);
    if (i < t_.size() && (is(t_[i], "DISTINCT") || is(t_[i], "ALL")))
        i = next(i + 1);
    size_t itemStart = i;
    int depth = 0;
    for (; i <= t_.size(); ++i) {
        const bool end = i == t_.size() || (depth == 0 && t_[i].kind == Kind::Word &&
                                            (is(t_[i], "FROM") || isClauseWord(t_[i])));
        if (!end) {
            if (isPunct(i, "("))
                ++depth;
            else if (isPunct(i, ")"))
                --depth;
            if (depth > 0 || !isPunct(i, ","))
                continue;
        }
        std::vector<size_t> item;
        bool named = false;
        for (size_t j = itemStart; j < i; ++j) {
            if (t_[j].kind == Kind::Space)
                continue;
            item.push_back(j);
            named = named || is(t_[j], "AS");
        }
        const auto isName = [&](size_t j) {
            return t_[j].kind == Kind::Word || t_[j].kind == Kind::Identifier;
        };
        const size_t n = item.size();
        const bool plain = n == 1 || (n == 3 && isPunct(item[1], ".") &&
                                      (isName(item[2]) || isPunct(item[2], "*")));
        if (n == 1 && isPunct(item[0], "*")) {
            std::vector<const std::pair<TableRef, PgTableRef>*> all;
            for (const auto& source : sources_)
                if (source.first.topLevel && source.first.at < compound)
                    all.push_back(&source);
            out_[item[0]] = fieldList(all);
        } else if (n == 3 && isPunct(item[2], "*")) {
            const std::string& name =
                t_[item[0]].kind == Kind::Identifier ? t_[item[0]].value : t_[item[0]].text;
            for (const auto& source : sources_)
                if (source.first.topLevel && source.first.at < compound &&
                    equalsIgnoreCase(source.first.alias, name)) {
                    out_[item[0]].clear();
                    out_[item[1]].clear();
                    out_[item[2]] = fieldList({&source});
                    break;
                }
        }
        // `expression alias`: two names in a row, or a name after a closing parenthesis.
        const bool aliased =
            n >= 2 && isName(item[n - 1]) && (isName(item[n - 2]) || isPunct(item[n - 2], ")"));
        if (n > 0 && !plain && !named && !aliased) {
            std::string text;
            for (size_t j = item.front(); j <= item.back(); ++j)
                text += t_[j].text;
            out_[item.back()] += " AS " + pgIdentifier(text);
        }
        if (end)
            break;
        itemStart = i + 1;
    }
}

// The fields of `of`, each named through its table's alias.
std::string
PgTranslator::fieldList(const std::vector<const std::pair<TableRef, PgTableRef>*>& of) const {
    std::string list;
    for (const auto* source : of)
        for (const std::string& f : source->second.fields)
            list += (list.empty() ? "" : ", ") + pgIdentifier(*alias(source->first.alias)) + "." +
                    pgIdentifier(f);
    return list;
}

// `Upper(field)` of a field its table keeps in capitals reads that column: nothing is
// upper-cased while searching, and the column's trigram index serves like.
void PgTranslator::useUpperColumns() {
    auto nameOf = [&](size_t j) -> std::optional<std::string> {
        if (j >= t_.size())
            return std::nullopt;
        if (t_[j].kind == Kind::Word)
            return t_[j].text;
        if (t_[j].kind == Kind::Identifier)
            return t_[j].value;
        return std::nullopt;
    };
    for (size_t i = 0; i < t_.size(); ++i) {
        if (!is(t_[i], "UPPER") || !isPunct(next(i + 1), "("))
            continue;
        const size_t open = next(i + 1);
        size_t at = next(open + 1);
        std::optional<std::string> qualifier;
        std::optional<std::string> name = nameOf(at);
        if (name && isPunct(next(at + 1), ".")) {
            qualifier = name;
            at = next(next(at + 1) + 1);
            name = nameOf(at);
        }
        const size_t close = next(at + 1);
        if (!name || !isPunct(close, ")"))
            continue;
        // The one table the field can belong to.
        const std::pair<TableRef, PgTableRef>* owner = nullptr;
        size_t field = 0;
        int owners = 0;
        for (const auto& source : sources_) {
            if (qualifier && !equalsIgnoreCase(source.first.alias, *qualifier))
                continue;
            for (size_t f = 0; f < source.second.fields.size(); ++f)
                if (equalsIgnoreCase(source.second.fields[f], *name)) {
                    owner = &source;
                    field = f;
                    ++owners;
                }
        }
        if (owners != 1 || field >= owner->second.upperColumns.size() ||
            owner->second.upperColumns[field].empty())
            continue;
        out_[i] = pgIdentifier(*alias(owner->first.alias)) + "." +
                  pgIdentifier(owner->second.upperColumns[field]);
        for (size_t j = i + 1; j <= close; ++j)
            out_[j].clear();
    }
}

void PgTranslator::translateNames(const std::vector<bool>& inReference) {
    for (size_t i = 0; i < t_.size(); ++i) {
        const Token& tok = t_[i];
        if (inReference[i])
            continue;
        if (tok.kind == Kind::Literal) {
            out_[i] = pgLiteral(tok.value);
        } else if (tok.kind == Kind::Identifier) {
            if (const auto f = field(tok.value))
                out_[i] = pgIdentifier(*f);
            else if (const auto a = alias(tok.value))
                out_[i] = pgIdentifier(*a);
            else
                out_[i] = pgIdentifier(tok.value);
        } else if (tok.kind == Kind::Word) {
            const size_t n = next(i + 1);
            if (isPunct(n, "(")) {
                if (is(tok, "UPPER"))
                    out_[i] = "wk_upper";
                else if (is(tok, "LOWER"))
                    out_[i] = "wk_lower";
            } else if (isPunct(n, ".") && alias(tok.text)) {
                out_[i] = pgIdentifier(*alias(tok.text));
            } else if (!isBoundaryWord(tok)) {
                if (const auto f = field(tok.text))
                    out_[i] = pgIdentifier(*f);
            }
        } else if (tok.kind == Kind::Punct && tok.text == "==") {
            out_[i].assign(1, '='); // (assigning the literal trips a false -Wrestrict in GCC 12)
        }
    }
}

// Locally NULL sorts before every value; on the server after, unless told.
void PgTranslator::sortNullsAsLocally() {
    for (size_t i = 0; i < t_.size(); ++i) {
        if (!is(t_[i], "ORDER"))
            continue;
        const size_t by = next(i + 1);
        if (by == t_.size() || !is(t_[by], "BY"))
            continue;
        int depth = 0;
        bool nullsGiven = false;
        size_t last = t_.size(); // none yet
        auto endTerm = [&] {
            if (last < t_.size() && !nullsGiven)
                out_[last] += is(t_[last], "DESC") ? " NULLS LAST" : " NULLS FIRST";
            last = t_.size();
            nullsGiven = false;
        };
        size_t j = next(by + 1);
        for (; j < t_.size(); j = next(j + 1)) {
            const Token& tok = t_[j];
            if (isPunct(j, "("))
                ++depth;
            else if (isPunct(j, ")") && depth-- == 0)
                break;
            if (depth == 0 && (is(tok, "LIMIT") || is(tok, "OFFSET") || isPunct(j, ";")))
                break;
            if (depth == 0 && isPunct(j, ",")) {
                endTerm();
                continue;
            }
            if (depth == 0 && is(tok, "NULLS"))
                nullsGiven = true;
            last = j;
        }
        endTerm();
        i = by;
    }
}

// `x like p` as the local like matches: ASCII letters in capitals on both sides, no escape
// character unless the statement names one.
void PgTranslator::matchLikeLocally() {
    for (size_t k = 0; k < t_.size(); ++k) {
        if (!is(t_[k], "LIKE"))
            continue;
        std::optional<size_t> le = previous(k);
        if (le && is(t_[*le], "NOT"))
            le = previous(*le);
        // The left operand: back to a word or sign that binds no tighter than like.
        std::optional<size_t> ls;
        int depth = 0;
        for (std::optional<size_t> j = le; j; j = previous(*j)) {
            if (isPunct(*j, ")"))
                ++depth;
            else if (isPunct(*j, "(") && depth-- == 0)
                break;
            if (depth == 0 && (isBoundaryWord(t_[*j]) || isBoundaryPunct(t_[*j])))
                break;
            ls = j;
        }
        // The right operand: on to such a word or sign.
        const size_t rs = next(k + 1);
        std::optional<size_t> re;
        depth = 0;
        for (size_t j = rs; j < t_.size(); j = next(j + 1)) {
            if (isPunct(j, "("))
                ++depth;
            else if (isPunct(j, ")") && depth-- == 0)
                break;
            if (depth == 0 && (isBoundaryWord(t_[j]) || isBoundaryPunct(t_[j])))
                break;
            re = j;
        }
        if (!ls || !le || !re)
            continue; // not an expression the server would take either; it says why
        // Upper(...) has its ASCII letters in capitals already.
        bool upperCall = false;
        if (is(t_[*ls], "UPPER") && isPunct(next(*ls + 1), "(")) {
            int d = 0;
            size_t j = next(*ls + 1);
            for (; j < t_.size(); j = next(j + 1)) {
                if (isPunct(j, "("))
                    ++d;
                else if (isPunct(j, ")") && --d == 0)
                    break;
            }
            upperCall = j == *le;
        }
        if (!upperCall) {
            out_[*ls] = "wk_ascii_upper((" + out_[*ls];
            out_[*le] += "))";
        }
        if (*re == rs && t_[rs].kind == Kind::Literal) {
            out_[rs] = pgLiteral(asciiUpper(t_[rs].value));
        } else {
            out_[rs] = "wk_ascii_upper((" + out_[rs];
            out_[*re] += "))";
        }
        const size_t after = next(*re + 1);
        if (after == t_.size() || !is(t_[after], "ESCAPE"))
            out_[*re] += " ESCAPE ''";
    }
}

} // namespace

PgSelect translateSelectForPostgres(const std::string& statement, const PgTableResolver& resolve) {
    if (statement.find('\0') != std::string::npos)
        throw sqlError("it holds a NUL character, which no text on a PostgreSQL server can");
    PgTranslator tr(tokenize(statement), resolve);
    return tr.run();
}

std::string translateForPostgres(const std::string& statement, const PgTableResolver& resolve) {
    return translateSelectForPostgres(statement, resolve).sql;
}

} // namespace wk::engine
