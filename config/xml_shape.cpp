#include "config/xml_shape.h"

#include <tinyxml.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <string>
#include <vector>

// Each member function below mirrors the parser function of the same role
// and makes the same decisions in the same order; positions stand for the
// parser's pointers, kNull for its null pointer. Only what decides structure
// is kept: no nodes are built, and text values are collected only where the
// parser itself looks at them (the encoding named by a declaration).

namespace {

constexpr std::size_t kNull = std::string::npos;
constexpr std::size_t kPadding = 4;  // NULs after the text: lookahead never leaves the buffer

enum class Encoding { kUnknown, kUtf8, kLegacy };
enum class NodeKind { kNone, kDeclaration, kComment, kCdata, kUnknown, kElement };

struct NamedEntity {
    std::string_view text;
    char value;
};
constexpr NamedEntity kEntities[] = {
    {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};

// The bytes the parser works on: TiXmlDocument::LoadFile stops at the first
// NUL and turns CR LF and lone CR into LF.
std::string NormalizeLineEnds(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + kPadding);
    for (std::size_t i = 0; i < bytes.size() && bytes[i] != '\0'; ++i) {
        if (bytes[i] == '\r') {
            out.push_back('\n');
            if (i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
        } else {
            out.push_back(bytes[i]);
        }
    }
    return out;
}

bool IsWhite(char c) { return std::isspace(static_cast<unsigned char>(c)) || c == '\n' || c == '\r'; }
bool IsAlpha(unsigned char b) { return b < 127 ? std::isalpha(b) != 0 : true; }
bool IsAlphaNum(unsigned char b) { return b < 127 ? std::isalnum(b) != 0 : true; }
// The parser lower-cases the plain (signed) char value, high bytes included.
int Lower(char c) { return std::tolower(static_cast<int>(c)); }

// The parser's conversion of a character reference in UTF-8 mode; nothing
// for values of 0x200000 and above.
void AppendUtf8(std::string& out, std::uint64_t ucs) {
    if (ucs < 0x80) {
        out.push_back(static_cast<char>(ucs));
    } else if (ucs < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (ucs >> 6)));
        out.push_back(static_cast<char>(0x80 | (ucs & 0x3F)));
    } else if (ucs < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (ucs >> 12)));
        out.push_back(static_cast<char>(0x80 | ((ucs >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (ucs & 0x3F)));
    } else if (ucs < 0x200000) {
        out.push_back(static_cast<char>(0xF0 | (ucs >> 18)));
        out.push_back(static_cast<char>(0x80 | ((ucs >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((ucs >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (ucs & 0x3F)));
    }
}

// Prefix comparison of a NUL-terminated text, ignoring case as the parser does.
bool StartsWithNoCase(const char* text, std::string_view tag) {
    std::size_t k = 0;
    while (text[k] != '\0' && k < tag.size() && Lower(text[k]) == Lower(tag[k])) ++k;
    return k == tag.size();
}

Encoding DeclaredEncoding(const std::string& value) {
    const char* name = value.c_str();  // the parser reads it as a C string
    if (*name == '\0') return Encoding::kUtf8;
    if (StartsWithNoCase(name, "UTF-8") || StartsWithNoCase(name, "UTF8")) return Encoding::kUtf8;
    return Encoding::kLegacy;
}

class ShapeScanner {
public:
    ShapeScanner(std::string text, const XmlShapeCaps& caps)
        : s_(std::move(text)), n_(s_.size()), caps_(caps) {
        s_.append(kPadding, '\0');
    }

    XmlShape Run() {
        Document();
        XmlShape shape;
        shape.unsafe = unsafe_ || (encoding_ == Encoding::kUtf8 && EndsInsideCharacter());
        shape.overCaps = overCaps_;
        shape.parses = !error_ && !shape.unsafe && !overCaps_;
        shape.depth = depth_;
        shape.attributes = attributes_;
        return shape;
    }

private:
    unsigned char U(std::size_t i) const { return static_cast<unsigned char>(s_[i]); }
    // The parser's "p && *p".
    bool Live(std::size_t i) const { return i != kNull && s_[i] != '\0'; }
    bool Stopped() const { return unsafe_ || overCaps_; }
    void Fail() { error_ = true; }
    std::size_t Unsafe() {
        unsafe_ = true;
        return kNull;
    }

    // A multi-byte lead among the last bytes whose sequence runs past the
    // end: the parser's character step (and its position counting) would
    // leave the buffer there.
    bool EndsInsideCharacter() const {
        for (std::size_t d = 1; d <= 3 && d <= n_; ++d)
            if (static_cast<std::size_t>(TiXmlBase::utf8ByteTable[U(n_ - d)]) > d) return true;
        return false;
    }

    std::size_t SkipWhiteSpace(std::size_t i) const {
        if (!Live(i)) return kNull;
        if (encoding_ != Encoding::kUtf8) {
            while (s_[i] != '\0' && IsWhite(s_[i])) ++i;
            return i;
        }
        while (s_[i] != '\0') {
            if (U(i) == 0xEF && ((U(i + 1) == 0xBB && U(i + 2) == 0xBF) ||
                                 (U(i + 1) == 0xBF && (U(i + 2) == 0xBE || U(i + 2) == 0xBF)))) {
                i += 3;  // byte-order marks count as white space
            } else if (IsWhite(s_[i])) {
                ++i;
            } else {
                break;
            }
        }
        return i;
    }

    // The parser asserts when asked to compare at the end of its text.
    bool StringEqual(std::size_t i, std::string_view tag, bool ignoreCase) {
        if (!Live(i)) {
            Unsafe();
            return false;
        }
        std::size_t k = 0;
        while (s_[i + k] != '\0' && k < tag.size() &&
               (ignoreCase ? Lower(s_[i + k]) == Lower(tag[k]) : s_[i + k] == tag[k]))
            ++k;
        return k == tag.size();
    }

    std::size_t ReadName(std::size_t i) {
        if (i == kNull) return Unsafe();  // the parser asserts on a null position
        if (!Live(i) || !(IsAlpha(U(i)) || s_[i] == '_')) return kNull;
        while (Live(i) && (IsAlphaNum(U(i)) || s_[i] == '_' || s_[i] == '-' || s_[i] == '.' || s_[i] == ':'))
            ++i;
        return i;
    }

    std::size_t Entity(std::size_t i, std::string* out) {
        if (s_[i + 1] == '#' && s_[i + 2] != '\0') return CharacterReference(i, out);
        for (const NamedEntity& e : kEntities) {
            if (s_.compare(i, e.text.size(), e.text) == 0) {
                if (out) out->push_back(e.value);
                return i + e.text.size();
            }
        }
        return i + 1;  // an unknown '&' is dropped from the text
    }

    std::size_t CharacterReference(std::size_t i, std::string* out) {
        const bool hex = s_[i + 2] == 'x';
        if (hex && s_[i + 3] == '\0') return kNull;
        const std::size_t semicolon = s_.find(';', i + (hex ? 3 : 2));
        if (semicolon == kNull || semicolon >= n_) return kNull;
        std::uint64_t ucs = 0;
        std::uint32_t mult = 1;  // the parser's multiplier is an unsigned int
        for (std::size_t q = semicolon - 1; s_[q] != (hex ? 'x' : '#'); --q) {
            const int digit = DigitValue(s_[q], hex);
            if (digit < 0) return kNull;
            ucs += static_cast<std::uint32_t>(mult * static_cast<std::uint32_t>(digit));
            mult *= hex ? 16u : 10u;
        }
        if (out) {
            if (encoding_ == Encoding::kUtf8) AppendUtf8(*out, ucs);
            else out->push_back(static_cast<char>(ucs));
        }
        return semicolon + 1;
    }

    static int DigitValue(char c, bool hex) {
        if (c >= '0' && c <= '9') return c - '0';
        if (hex && c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (hex && c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    }

    // One character: a whole UTF-8 sequence in UTF-8 mode, whatever follows
    // its lead byte, and an entity where a '&' stands.
    std::size_t GetChar(std::size_t i, std::string* out) {
        const int length = encoding_ == Encoding::kUtf8 ? TiXmlBase::utf8ByteTable[U(i)] : 1;
        if (length == 1) {
            if (s_[i] == '&') return Entity(i, out);
            if (out) out->push_back(s_[i]);
            return i + 1;
        }
        if (length <= 0) return kNull;
        const auto step = static_cast<std::size_t>(length);
        if (i + step > n_) return Unsafe();
        if (out) out->append(s_, i, step);
        return i + step;
    }

    std::size_t ReadText(std::size_t i, bool trimWhiteSpace, std::string_view endTag, std::string* out) {
        if (out) out->clear();
        if (!trimWhiteSpace || !TiXmlBase::IsWhiteSpaceCondensed()) {
            while (Live(i) && !StringEqual(i, endTag, false)) i = GetChar(i, out);
        } else {
            i = SkipWhiteSpace(i);
            bool white = false;
            while (Live(i) && !StringEqual(i, endTag, false)) {
                if (IsWhite(s_[i])) {
                    white = true;
                    ++i;
                    continue;
                }
                if (white && out) out->push_back(' ');
                white = false;
                i = GetChar(i, out);
            }
        }
        if (Live(i)) i += endTag.size();
        return Live(i) ? i : kNull;
    }

    NodeKind Identify(std::size_t i) {
        i = SkipWhiteSpace(i);
        if (!Live(i) || s_[i] != '<') return NodeKind::kNone;
        if (StringEqual(i, "<?xml", true)) return NodeKind::kDeclaration;
        if (StringEqual(i, "<!--", false)) return NodeKind::kComment;
        if (StringEqual(i, "<![CDATA[", false)) return NodeKind::kCdata;
        if (StringEqual(i, "<!", false)) return NodeKind::kUnknown;
        if (IsAlpha(U(i + 1)) || s_[i + 1] == '_') return NodeKind::kElement;
        return NodeKind::kUnknown;
    }

    std::size_t Node(NodeKind kind, std::size_t i, int depth) {
        switch (kind) {
            case NodeKind::kDeclaration: {
                std::string ignored;
                return Declaration(i, ignored);
            }
            case NodeKind::kComment: return Comment(i);
            case NodeKind::kCdata: return Text(i, true);
            case NodeKind::kUnknown: return Unknown(i);
            case NodeKind::kElement: return Element(i, depth);
            case NodeKind::kNone: break;
        }
        return kNull;
    }

    void Document() {
        if (s_[0] == '\0') return Fail();
        if (U(0) == 0xEF && U(1) == 0xBB && U(2) == 0xBF) encoding_ = Encoding::kUtf8;
        std::size_t i = SkipWhiteSpace(0);
        bool anyNode = false;
        while (Live(i) && !Stopped()) {
            const NodeKind kind = Identify(i);
            if (kind == NodeKind::kNone) break;
            anyNode = true;
            if (kind == NodeKind::kDeclaration) {
                std::string declared;
                i = Declaration(i, declared);
                if (encoding_ == Encoding::kUnknown) encoding_ = DeclaredEncoding(declared);
            } else {
                i = Node(kind, i, 1);
            }
            i = SkipWhiteSpace(i);
        }
        if (!anyNode) Fail();
    }

    std::size_t Declaration(std::size_t i, std::string& declaredEncoding) {
        i = SkipWhiteSpace(i);
        if (!Live(i) || !StringEqual(i, "<?xml", true)) {
            Fail();
            return kNull;
        }
        i += 5;
        while (Live(i)) {
            if (s_[i] == '>') return i + 1;
            i = SkipWhiteSpace(i);
            // Unpatched parsers assert here; patched ones give up.
            if (!Live(i)) return Unsafe();
            std::string value;
            if (StringEqual(i, "version", true) || StringEqual(i, "standalone", true)) {
                i = Attribute(i, false, nullptr, &value);
            } else if (StringEqual(i, "encoding", true)) {
                i = Attribute(i, false, nullptr, &value);
                declaredEncoding = value;
            } else {
                while (Live(i) && s_[i] != '>' && !IsWhite(s_[i])) ++i;
            }
        }
        return kNull;
    }

    std::size_t Comment(std::size_t i) {
        i = SkipWhiteSpace(i);
        if (!StringEqual(i, "<!--", false)) {
            Fail();
            return kNull;
        }
        i += 4;
        while (Live(i) && !StringEqual(i, "-->", false)) ++i;
        if (Live(i)) i += 3;
        return i;
    }

    std::size_t Unknown(std::size_t i) {
        i = SkipWhiteSpace(i);
        if (!Live(i) || s_[i] != '<') {
            Fail();
            return kNull;
        }
        ++i;
        while (Live(i) && s_[i] != '>') ++i;
        return s_[i] == '>' ? i + 1 : i;
    }

    std::size_t Text(std::size_t i, bool cdata) {
        constexpr std::string_view kCdataStart = "<![CDATA[";
        if (cdata || StringEqual(i, kCdataStart, false)) {
            if (!StringEqual(i, kCdataStart, false)) {
                Fail();
                return kNull;
            }
            i += kCdataStart.size();
            while (Live(i) && !StringEqual(i, "]]>", false)) ++i;
            return ReadText(i, false, "]]>", nullptr);
        }
        i = ReadText(i, true, "<", nullptr);
        return Live(i) ? i - 1 : kNull;
    }

    // `report`: whether a failure here sets the document's error (it does
    // for an element's attributes, not for a declaration's).
    std::size_t Attribute(std::size_t i, bool report, std::string_view* name, std::string* value) {
        i = SkipWhiteSpace(i);
        if (!Live(i)) return kNull;
        const std::size_t nameStart = i;
        i = ReadName(i);
        if (!Live(i)) return AttributeFailed(report);
        if (name) *name = std::string_view(s_).substr(nameStart, i - nameStart);
        i = SkipWhiteSpace(i);
        if (!Live(i) || s_[i] != '=') return AttributeFailed(report);
        i = SkipWhiteSpace(i + 1);
        if (!Live(i)) return AttributeFailed(report);
        if (s_[i] == '\'') return ReadText(i + 1, false, "'", value);
        if (s_[i] == '"') return ReadText(i + 1, false, "\"", value);
        while (Live(i) && !IsWhite(s_[i]) && s_[i] != '/' && s_[i] != '>') {
            if (s_[i] == '\'' || s_[i] == '"') return AttributeFailed(report);
            if (value) value->push_back(s_[i]);
            ++i;
        }
        return i;
    }

    std::size_t AttributeFailed(bool report) {
        if (report) Fail();
        return kNull;
    }

    std::size_t Element(std::size_t i, int depth) {
        if (depth > caps_.depth) {
            overCaps_ = true;
            return kNull;
        }
        depth_ = std::max(depth_, depth);
        i = SkipWhiteSpace(i);
        if (!Live(i) || s_[i] != '<') return Failed();
        i = SkipWhiteSpace(i + 1);
        const std::size_t nameStart = i;
        i = ReadName(i);
        if (!Live(i)) return Failed();
        const std::string endTag = "</" + s_.substr(nameStart, i - nameStart);
        std::vector<std::string_view> names;
        while (Live(i)) {
            i = SkipWhiteSpace(i);
            if (!Live(i)) return Failed();
            if (s_[i] == '/') return s_[i + 1] == '>' ? i + 2 : Failed();
            if (s_[i] == '>') return Content(i + 1, depth, endTag);
            if (!NextAttribute(i, names)) return Failed();
        }
        return i;
    }

    // Reads one attribute of an element; false where the parser gives up on
    // the element (a bad attribute, or one named twice).
    bool NextAttribute(std::size_t& i, std::vector<std::string_view>& names) {
        std::string_view name;
        i = Attribute(i, true, &name, nullptr);
        if (!Live(i)) return false;
        if (std::find(names.begin(), names.end(), name) != names.end()) return false;
        names.push_back(name);
        attributes_ = std::max(attributes_, static_cast<int>(names.size()));
        if (attributes_ > caps_.attributes) {
            overCaps_ = true;
            return false;
        }
        return true;
    }

    std::size_t Content(std::size_t i, int depth, const std::string& endTag) {
        i = ReadValue(i, depth);
        if (!Live(i) || !StringEqual(i, endTag, false)) return Failed();
        i = SkipWhiteSpace(i + endTag.size());
        return Live(i) && s_[i] == '>' ? i + 1 : Failed();
    }

    std::size_t ReadValue(std::size_t i, int depth) {
        std::size_t withWhiteSpace = i;
        i = SkipWhiteSpace(i);
        while (Live(i)) {
            if (s_[i] != '<') {
                i = Text(TiXmlBase::IsWhiteSpaceCondensed() ? i : withWhiteSpace, false);
            } else if (StringEqual(i, "</", false)) {
                return i;
            } else {
                const NodeKind kind = Identify(i);
                if (kind == NodeKind::kNone) return kNull;
                i = Node(kind, i, depth + 1);
            }
            withWhiteSpace = i;
            i = SkipWhiteSpace(i);
        }
        if (i == kNull) Fail();
        return i;
    }

    std::size_t Failed() {
        Fail();
        return kNull;
    }

    std::string s_;
    std::size_t n_;
    XmlShapeCaps caps_;
    Encoding encoding_ = Encoding::kUnknown;
    bool error_ = false;
    bool unsafe_ = false;
    bool overCaps_ = false;
    int depth_ = 0;
    int attributes_ = 0;
};

}  // namespace

XmlShape ScanXmlShape(std::string_view fileBytes, const XmlShapeCaps& caps) {
    return ShapeScanner(NormalizeLineEnds(fileBytes), caps).Run();
}
