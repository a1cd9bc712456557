#pragma once

// The reading of local SQL that its translators share: tokens, the statement's checks and the
// table references of its FROM lists.

#include "engine/base/EngineError.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace wk::engine::sqlscan {

enum class Kind { Space, Word, Number, Literal, Identifier, Punct };

struct Token {
    Kind kind;
    std::string text;  // as written
    std::string value; // the literal's or quoted identifier's value
};

EngineError sqlError(const std::string& why);

/// The tokens of a statement; a comment or a run of white space is one Space token. Raises
/// InvalidSql for an unterminated text, name or comment, and for '%' outside a text.
std::vector<Token> tokenize(const std::string& s);

bool is(const Token& t, const char* word);
bool isClauseWord(const Token& t);

/// One table named after FROM or JOIN (or a comma of a FROM list).
struct TableRef {
    size_t at = 0;                 ///< the table name's token
    std::string name;              ///< the name as meant (a quoted one without its quotes)
    std::optional<size_t> aliasAt; ///< the alias's token, when the statement gives one
    std::string alias;             ///< the alias, or the table's base name
    size_t end = 0;                ///< one past the reference's last token
    bool outermost = false;        ///< the first table of the outermost statement's FROM list
    bool topLevel = false;         ///< in a FROM list of the outermost statement (not in
                                   ///< parentheses)
};

/// Checks that `tokens` are one SELECT statement with balanced parentheses, drops a closing
/// semicolon, and calls `onTable` for each table reference in the order they are written.
/// Raises InvalidSql saying what is wrong.
void scanSelect(std::vector<Token>& tokens, const std::function<void(const TableRef&)>& onTable);

/// The index of the first token at or after `i` that is not a Space.
size_t nextSignificant(const std::vector<Token>& tokens, size_t i);

/// Where the parts of a statement that reads one table with a plain select list stand.
struct SingleTableShape {
    size_t listStart = 0;          ///< the select list's first token
    size_t from = 0;               ///< the outermost FROM, which ends the select list
    std::optional<size_t> orderAt; ///< the outermost ORDER BY, if any
};

/// The shape of a statement whose select list is `*`, `alias.*` or plain field names, that reads
/// the one table whose reference ends at token `tableEnd`, and has nothing after it but WHERE and
/// ORDER BY (nothing that groups, joins or limits); nothing for any other statement.
std::optional<SingleTableShape> singleTableShape(const std::vector<Token>& t, size_t tableEnd);

} // namespace wk::engine::sqlscan
