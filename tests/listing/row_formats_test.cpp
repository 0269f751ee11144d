// The four row formats with fields that break naive writers: separators,
// quotes, line breaks, control bytes, non-ASCII and bytes that are not UTF-8.
#include <gtest/gtest.h>

#include "listing/row_formats.h"
#include "tests/listing/format_readers.h"

namespace {

using listing::Row;

// Awkward fields, each with what a one-line format makes of it.
struct Field {
    const char* text;
    const char* oneLine;  // Tsv and Table: tabs and line breaks as spaces
};
const Field kFields[] = {
    {"plain", "plain"},
    {"", ""},
    {"a,b", "a,b"},
    {"say \"hi\"", "say \"hi\""},
    {"\"", "\""},
    {"tab\there", "tab here"},
    {"line\nbreak", "line break"},
    {"cr\rlf\r\n", "cr lf  "},
    {"back\\slash/", "back\\slash/"},
    {"ctl\x01\x1f", "ctl\x01\x1f"},
    {"Камера 8МП", "Камера 8МП"},
    {"日本", "日本"},
    {"emoji \xF0\x9F\x93\xB7", "emoji \xF0\x9F\x93\xB7"},
    {" lead and trail ", " lead and trail "},
};

const Row kHeader = {"SN", "Model, name", "Quote\"d"};

// Every field in every column, one row per field.
std::vector<Row> AwkwardRows() {
    std::vector<Row> rows;
    const std::size_t n = std::size(kFields);
    for (std::size_t i = 0; i < n; ++i)
        rows.push_back({kFields[i].text, kFields[(i + 1) % n].text, kFields[(i + 2) % n].text});
    return rows;
}

std::string OneLine(const std::string& text) {
    for (const Field& f : kFields)
        if (text == f.text) return f.oneLine;
    return text;
}

TEST(RowFormats, CsvAndJsonGiveBackEveryFieldByteForByte) {
    const std::vector<Row> rows = AwkwardRows();

    std::vector<format_readers::Record> records;
    ASSERT_TRUE(format_readers::ReadCsv(listing::Csv(kHeader, rows), records)) << listing::Csv(kHeader, rows);
    ASSERT_EQ(records.size(), rows.size() + 1);
    EXPECT_EQ(records[0], kHeader);
    for (std::size_t r = 0; r < rows.size(); ++r) EXPECT_EQ(records[r + 1], rows[r]) << r;

    std::vector<format_readers::Object> objects;
    const std::string json = listing::Json(kHeader, rows);
    ASSERT_TRUE(format_readers::ReadJson(json, objects)) << json;
    ASSERT_EQ(objects.size(), rows.size());
    for (std::size_t r = 0; r < rows.size(); ++r) {
        ASSERT_EQ(objects[r].size(), kHeader.size()) << r;
        for (std::size_t c = 0; c < kHeader.size(); ++c) {
            EXPECT_EQ(objects[r][c].first, kHeader[c]);
            EXPECT_EQ(objects[r][c].second, rows[r][c]) << r << ' ' << c;
        }
    }
}

TEST(RowFormats, TsvAndTableKeepEveryRowOnOneLine) {
    const std::vector<Row> rows = AwkwardRows();

    const std::string tsv = listing::Tsv(rows);
    std::vector<std::string> lines;
    for (std::size_t start = 0; start < tsv.size();) {
        const std::size_t end = tsv.find('\n', start);
        ASSERT_NE(end, std::string::npos) << "the last row must end in a line feed";
        lines.push_back(tsv.substr(start, end - start));
        start = end + 1;
    }
    ASSERT_EQ(lines.size(), rows.size());
    for (std::size_t r = 0; r < rows.size(); ++r) {
        EXPECT_EQ(lines[r].find('\r'), std::string::npos);
        EXPECT_EQ(lines[r], OneLine(rows[r][0]) + "\t" + OneLine(rows[r][1]) + "\t" + OneLine(rows[r][2])) << r;
    }

    const std::string table = listing::Table(kHeader, rows);
    std::size_t lineCount = 0;
    for (char c : table) lineCount += c == '\n';
    EXPECT_EQ(lineCount, rows.size() + 1);
    EXPECT_EQ(table.find('\t'), std::string::npos);
    EXPECT_EQ(table.find('\r'), std::string::npos);
    EXPECT_EQ(table.find(" \n"), std::string::npos) << "no blanks at a line's end";
}

// Exact texts of the line ends, quoting and alignment.
TEST(RowFormats, ExactTexts) {
    struct Case {
        const char* name;
        std::string actual;
        std::string expected;
    };
    const Case cases[] = {
        {"csv quotes only where needed",
         listing::Csv({"A", "B,C"}, {{"1", "x\"y"}, {"", "l\nm"}}),
         "A,\"B,C\"\r\n1,\"x\"\"y\"\r\n,\"l\nm\"\r\n"},
        {"csv without rows", listing::Csv({"A"}, {}), "A\r\n"},
        {"tsv", listing::Tsv({{"a", "b\tc"}, {"", ""}}), "a\tb c\n\t\n"},
        {"json escapes", listing::Json({"k"}, {{"\"\\\n\x01/"}}), "[\n  {\"k\": \"\\\"\\\\\\n\\u0001/\"}\n]\n"},
        {"json without rows", listing::Json({"k"}, {}), "[]\n"},
        // Characters, not bytes, set the widths: "Ж" is two bytes.
        {"table", listing::Table({"SN", "Model", "MAC"}, {{"ЖЖЖЖ", "x", "m"}, {"a", "", "m2"}}),
         "SN    Model  MAC\nЖЖЖЖ  x      m\na            m2\n"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.actual, c.expected) << c.name;
}

// Bytes that are not UTF-8 (a legacy code page, a cut sequence) never make
// the JSON invalid: each becomes U+FFFD and the rest is kept.
TEST(RowFormats, JsonReplacesBytesThatAreNotUtf8) {
    struct Case {
        const char* in;
        const char* out;
    };
    const Case cases[] = {
        {"\xC1\xE5\xEB", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},  // windows-1251
        {"a\xFF" "b", "a\xEF\xBF\xBD" "b"},
        {"\xC0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD"},                   // overlong NUL
        {"\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},   // a surrogate
        {"\xF4\x90\x80\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},  // past U+10FFFF
        {"cut \xE2\x82", "cut \xEF\xBF\xBD\xEF\xBF\xBD"},
        {"ok \xE2\x82\xAC", "ok \xE2\x82\xAC"},
    };
    for (const Case& c : cases) {
        std::vector<format_readers::Object> objects;
        const std::string json = listing::Json({"k\xFF"}, {{c.in}});
        ASSERT_TRUE(format_readers::ReadJson(json, objects)) << json;
        ASSERT_EQ(objects.size(), 1u);
        EXPECT_EQ(objects[0][0].first, "k\xEF\xBF\xBD");
        EXPECT_EQ(objects[0][0].second, c.out) << c.in;
    }
}

}  // namespace
