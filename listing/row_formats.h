// Rows of the device list as text: tab-separated for the clipboard, CSV and
// JSON for files and scripts, an aligned table for a terminal. Shared by the
// window and tarnwick-cli so that both write the same texts.
#pragma once

#include <string>
#include <vector>

namespace listing {

using Row = std::vector<std::string>;  // the column texts as the list shows them, in column order

// No header; fields joined by '\t', every row ends in '\n'. A tab, CR or LF
// inside a field becomes a space, so every row stays one line.
std::string Tsv(const std::vector<Row>& rows);
// RFC 4180: the header line first, every line ends in CRLF, a field is
// quoted (its quotes doubled) when it holds a comma, a quote, CR or LF.
std::string Csv(const Row& header, const std::vector<Row>& rows);
// An array with one object per row, keyed by the header texts. Always valid
// UTF-8: a byte that does not belong to a UTF-8 sequence becomes U+FFFD.
// A row shorter than the header has no member for the missing columns;
// fields past the header's width are left out.
std::string Json(const Row& header, const std::vector<Row>& rows);
// The header and the rows in columns padded to their widest text (counted
// in characters), two spaces apart, no blanks at a line's end. Tabs and line
// breaks inside a field become spaces.
std::string Table(const Row& header, const std::vector<Row>& rows);

}  // namespace listing
