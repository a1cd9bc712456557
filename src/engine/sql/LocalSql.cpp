#include "engine/sql/LocalSql.h"

#include "engine/base/EngineError.h"
#include "engine/base/Sqlite.h"
#include "engine/sql/SqlScan.h"
#include "engine/storage/TableFile.h"

#include <array>
#include <cctype>
#include <optional>

namespace wk::engine {
namespace {

using namespace sqlscan;

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
        : t_(std::move(tokens)), resolve_(resolve) {
        for (const Token& t : t_)
            out_.push_back(t.text);
    }

    TranslatedSelect run();

private:
    size_t nextSignificant(size_t i) const { return sqlscan::nextSignificant(t_, i); }
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
    std::vector<bool> inReference(t_.size(), false);
    scanSelect(t_, [&](const TableRef& ref) {
        const std::string qualified = resolve_(ref.name);
        for (size_t j = ref.at; j < ref.end; ++j)
            inReference[j] = true;
        if (ref.aliasAt) {
            const Token& a = t_[*ref.aliasAt];
            out_[ref.at] = qualified;
            out_[*ref.aliasAt] = a.kind == Kind::Word ? ref.alias : quoteIdentifier(ref.alias);
        } else {
            out_[ref.at] = qualified + " AS " + quoteIdentifier(ref.alias);
        }
        if (ref.outermost) {
            firstTable_ = ref.at;
            firstAlias_ = ref.alias;
            firstTableEnd_ = ref.end;
        }
    });
    out_.resize(t_.size());
    for (size_t i = 0; i < t_.size(); ++i) {
        if (inReference[i])
            continue;
        if (t_[i].kind == Kind::Literal)
            out_[i] = literal(t_[i].value);
        else if (t_[i].kind == Kind::Identifier)
            out_[i] = quoteIdentifier(t_[i].value);
    }

    TranslatedSelect result;
    result.sql = join(0, out_.size());
    analyseSingleTable(result);
    return result;
}

void Translator::analyseSingleTable(TranslatedSelect& result) const {
    if (!firstTable_)
        return;
    const std::optional<SingleTableShape> shape = singleTableShape(t_, firstTableEnd_);
    if (!shape)
        return;
    const size_t listStart = shape->listStart;
    const size_t from = shape->from;
    const std::optional<size_t> orderAt = shape->orderAt;
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
