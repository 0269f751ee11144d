#include "listing/row_formats.h"

#include <algorithm>
#include <cstdint>
#include <string_view>

#include "listing/utf8_text.h"

namespace listing {
namespace {

// The field on one line: tabs and line breaks become spaces.
std::string Flattened(std::string_view field) {
    std::string out(field);
    std::replace_if(out.begin(), out.end(), [](char c) { return c == '\t' || c == '\n' || c == '\r'; }, ' ');
    return out;
}

void AppendCsvField(std::string& out, std::string_view field) {
    if (field.find_first_of(",\"\r\n") == std::string_view::npos) {
        out += field;
        return;
    }
    out += '"';
    for (char c : field) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

void AppendCsvLine(std::string& out, const Row& row) {
    for (std::size_t i = 0; i < row.size(); ++i) {
        if (i > 0) out += ',';
        AppendCsvField(out, row[i]);
    }
    out += "\r\n";
}

void AppendJsonString(std::string& out, std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    out += '"';
    for (char c : ValidUtf8(text)) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            case '\b': out += "\\b"; break;
            case '\f': out += "\\f"; break;
            default:
                if (byte < 0x20) {
                    out += "\\u00";
                    out += kHex[byte >> 4];
                    out += kHex[byte & 0xF];
                } else {
                    out += c;
                }
        }
    }
    out += '"';
}

void AppendPadded(std::string& out, const std::string& text, std::size_t width) {
    out += text;
    out.append(width - std::min(width, CharacterCount(text)), ' ');
}

void AppendTableLine(std::string& out, const Row& row, const std::vector<std::size_t>& widths) {
    std::string line;
    for (std::size_t i = 0; i < row.size(); ++i) {
        if (i > 0) line += "  ";
        AppendPadded(line, Flattened(row[i]), i < widths.size() ? widths[i] : 0);
    }
    line.erase(line.find_last_not_of(' ') + 1);
    out += line;
    out += '\n';
}

}  // namespace

std::string Tsv(const std::vector<Row>& rows) {
    std::string out;
    for (const Row& row : rows) {
        for (std::size_t i = 0; i < row.size(); ++i) {
            if (i > 0) out += '\t';
            out += Flattened(row[i]);
        }
        out += '\n';
    }
    return out;
}

std::string Csv(const Row& header, const std::vector<Row>& rows) {
    std::string out;
    AppendCsvLine(out, header);
    for (const Row& row : rows) AppendCsvLine(out, row);
    return out;
}

std::string Json(const Row& header, const std::vector<Row>& rows) {
    if (rows.empty()) return "[]\n";
    std::string out = "[\n";
    for (std::size_t r = 0; r < rows.size(); ++r) {
        out += "  {";
        const std::size_t fields = std::min(header.size(), rows[r].size());
        for (std::size_t i = 0; i < fields; ++i) {
            if (i > 0) out += ", ";
            AppendJsonString(out, header[i]);
            out += ": ";
            AppendJsonString(out, rows[r][i]);
        }
        out += r + 1 < rows.size() ? "},\n" : "}\n";
    }
    out += "]\n";
    return out;
}

std::string Table(const Row& header, const std::vector<Row>& rows) {
    std::vector<std::size_t> widths;
    const auto widen = [&widths](const Row& row) {
        if (widths.size() < row.size()) widths.resize(row.size(), 0);
        for (std::size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], CharacterCount(Flattened(row[i])));
    };
    widen(header);
    for (const Row& row : rows) widen(row);

    std::string out;
    AppendTableLine(out, header, widths);
    for (const Row& row : rows) AppendTableLine(out, row, widths);
    return out;
}

}  // namespace listing
