// The server's wk_upper and wk_lower against the engine's Upper and Lower over every character,
// and the plan of a window search on a table with a trigram index.

#include "server/PgDialectFixture.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

namespace wk::engine::test {
namespace {

std::string utf8(UChar32 cp) {
    char buf[4];
    int32_t n = 0;
    U8_APPEND_UNSAFE(buf, n, cp);
    return std::string(buf, static_cast<size_t>(n));
}

// One record per run of `perRecord` code points, from U+0001 to U+10FFFF without surrogates;
// `piece` makes each code point's part of the text.
template <typename Piece> Rows codePointRecords(UChar32 perRecord, Piece piece) {
    Rows rows;
    for (UChar32 first = 1; first <= 0x10FFFF; first += perRecord) {
        std::string text;
        for (UChar32 cp = first; cp < first + perRecord && cp <= 0x10FFFF; ++cp)
            if (cp < 0xD800 || cp > 0xDFFF)
                text += piece(cp);
        rows.push_back({std::to_string(first), text});
    }
    return rows;
}

TEST_F(PgDialectTest, UpperAndLowerEqualTheEnginesForEveryCharacter) {
    makeBoth("Chars", {"First", "V"},
             codePointRecords(0x4000, [](UChar32 cp) { return utf8(cp); }));
    expectSameRows("SELECT First, Upper(V), Lower(V) FROM Chars", false);
}

TEST_F(PgDialectTest, FinalSigmaDependsOnTheSameNeighboursAsLocally) {
    // Each cased or case-ignorable character, and every 61st other one, before and after a
    // capital sigma, with a cased letter or a space beyond.
    Rows rows;
    std::string text;
    for (UChar32 cp = 1; cp <= 0x10FFFF; ++cp) {
        if ((cp >= 0xD800 && cp <= 0xDFFF) ||
            !(u_hasBinaryProperty(cp, UCHAR_CASED) ||
              u_hasBinaryProperty(cp, UCHAR_CASE_IGNORABLE) || cp % 61 == 0))
            continue;
        const std::string c = utf8(cp);
        text += "A\u03A3" + c + " " + c + "\u03A3b " + c + "\u03A3 \u03A3" + c + "x ";
        if (text.size() > 4000) {
            rows.push_back({std::to_string(rows.size()), text});
            text.clear();
        }
    }
    rows.push_back({std::to_string(rows.size()), text});
    makeBoth("Sigma", {"Nr", "V"}, rows);
    expectSameRows("SELECT Nr, Lower(V) FROM Sigma", false);
    makeBoth("Words", {"V"},
             {{"ΣΟΦΌΣ"}, {"ΣΑΣ."}, {"Σ"}, {"ΑΣ'Σ"}, {"Α\u0301Σ"}, {"İΣ"}, {"ΣΣΣ Σ Σa"}});
    expectSameRows("SELECT V, Lower(V) FROM Words", false);
}

TEST_F(PgDialectTest, WindowSearchCanUseATrigramIndexOnTheServer) {
    Rows rows;
    const std::vector<std::string> words = {"bahay", "araw", "niño", "straße", "σοφία", "ang"};
    for (size_t r = 0; r < 4000; ++r)
        rows.push_back({std::to_string(r), words[r % words.size()] + " " + std::to_string(r * 7919),
                        words[(r / 6) % words.size()]});
    makeBoth("Big", {"Nr", "English", "Tagalo"}, rows);
    db.exec("CREATE EXTENSION IF NOT EXISTS pg_trgm");
    db.exec("CREATE INDEX big_english ON \"Big\" USING gin (wk_upper(\"English\") gin_trgm_ops)");
    db.exec("ANALYZE \"Big\"");
    const std::string statement = "SELECT Nr FROM Big WHERE Upper(English) like \"%Ño 4%\"";
    const std::string sql = translate(statement);
    EXPECT_NE(sql.find("wk_upper(\"English\") like '%ÑO 4%' ESCAPE ''"), std::string::npos) << sql;
    db.exec("SET enable_seqscan = off");
    PgResult plan = db.exec("EXPLAIN " + sql);
    std::string text;
    for (int r = 0; r < plan.rows(); ++r)
        text += std::string(plan.text(r, 0)) + "\n";
    EXPECT_NE(text.find("big_english"), std::string::npos) << text;
    expectSameRows(statement, false);
    EXPECT_FALSE(queryRows(statement).empty());
}

} // namespace
} // namespace wk::engine::test
