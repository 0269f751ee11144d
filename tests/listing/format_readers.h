// Strict readers of the CSV and JSON that the row formats write, for tests:
// they accept RFC 4180 (CRLF after every record) and RFC 8259 restricted to
// an array of objects whose members are strings, and refuse anything else.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace format_readers {

using Record = std::vector<std::string>;
using Object = std::vector<std::pair<std::string, std::string>>;  // members in order

// False for any departure from RFC 4180 with CRLF line ends.
inline bool ReadCsv(std::string_view text, std::vector<Record>& records) {
    records.clear();
    std::size_t i = 0;
    while (i < text.size()) {
        Record record;
        while (true) {
            std::string field;
            if (i < text.size() && text[i] == '"') {
                for (++i;; ++i) {
                    if (i >= text.size()) return false;
                    if (text[i] == '"') {
                        if (i + 1 < text.size() && text[i + 1] == '"') {
                            field += '"';
                            ++i;
                        } else {
                            ++i;
                            break;
                        }
                    } else {
                        field += text[i];
                    }
                }
            } else {
                while (i < text.size() && text[i] != ',' && text[i] != '\r') {
                    if (text[i] == '"' || text[i] == '\n') return false;
                    field += text[i++];
                }
            }
            record.push_back(std::move(field));
            if (i < text.size() && text[i] == ',') {
                ++i;
                continue;
            }
            if (text.substr(i, 2) != "\r\n") return false;
            i += 2;
            break;
        }
        records.push_back(std::move(record));
    }
    return true;
}

class JsonReader {
public:
    explicit JsonReader(std::string_view text) : text_(text) {}

    bool ReadArrayOfObjects(std::vector<Object>& objects) {
        objects.clear();
        if (!Take('[')) return false;
        if (Peek() == ']') return Take(']') && AtEnd();
        do {
            Object object;
            if (!ReadObject(object)) return false;
            objects.push_back(std::move(object));
        } while (Take(','));
        return Take(']') && AtEnd();
    }

private:
    void SkipSpace() {
        while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\n' || text_[at_] == '\r' || text_[at_] == '\t'))
            ++at_;
    }
    char Peek() {
        SkipSpace();
        return at_ < text_.size() ? text_[at_] : '\0';
    }
    bool Take(char c) {
        if (Peek() != c) return false;
        ++at_;
        return true;
    }
    bool AtEnd() {
        SkipSpace();
        return at_ == text_.size();
    }
    bool ReadObject(Object& object) {
        if (!Take('{')) return false;
        if (Peek() == '}') return Take('}');
        do {
            std::string name, value;
            if (!ReadString(name) || !Take(':') || !ReadString(value)) return false;
            object.emplace_back(std::move(name), std::move(value));
        } while (Take(','));
        return Take('}');
    }
    static void AppendUtf8(std::string& out, std::uint32_t cp) {
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    bool ReadHex4(std::uint32_t& value) {
        if (at_ + 4 > text_.size()) return false;
        value = 0;
        for (int k = 0; k < 4; ++k) {
            const char c = text_[at_++];
            const int digit = c >= '0' && c <= '9' ? c - '0'
                              : c >= 'a' && c <= 'f' ? c - 'a' + 10
                              : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                     : -1;
            if (digit < 0) return false;
            value = value * 16 + static_cast<std::uint32_t>(digit);
        }
        return true;
    }
    bool ReadEscape(std::string& out) {
        if (at_ >= text_.size()) return false;
        const char c = text_[at_++];
        const std::string_view simple = "\"\\/bfnrt";
        const std::string_view meaning = "\"\\/\b\f\n\r\t";
        if (const std::size_t k = simple.find(c); k != std::string_view::npos) {
            out += meaning[k];
            return true;
        }
        std::uint32_t cp = 0;
        if (c != 'u' || !ReadHex4(cp)) return false;
        if (cp >= 0xDC00 && cp <= 0xDFFF) return false;
        if (cp >= 0xD800 && cp <= 0xDBFF) {
            std::uint32_t low = 0;
            if (text_.substr(at_, 2) != "\\u") return false;
            at_ += 2;
            if (!ReadHex4(low) || low < 0xDC00 || low > 0xDFFF) return false;
            cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
        }
        AppendUtf8(out, cp);
        return true;
    }
    // One well-formed UTF-8 character, decoded and range-checked.
    bool ReadRawCharacter(std::string& out) {
        const auto b0 = static_cast<unsigned char>(text_[at_]);
        const int length = b0 < 0x80 ? 1 : (b0 >> 5) == 0x6 ? 2 : (b0 >> 4) == 0xE ? 3 : (b0 >> 3) == 0x1E ? 4 : 0;
        if (length == 0 || at_ + static_cast<std::size_t>(length) > text_.size()) return false;
        std::uint32_t cp = length == 1 ? b0 : b0 & (0x7Fu >> length);
        for (int k = 1; k < length; ++k) {
            const auto b = static_cast<unsigned char>(text_[at_ + static_cast<std::size_t>(k)]);
            if ((b & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (b & 0x3Fu);
        }
        static constexpr std::uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (cp < kSmallest[length] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF) || cp < 0x20) return false;
        out.append(text_.substr(at_, static_cast<std::size_t>(length)));
        at_ += static_cast<std::size_t>(length);
        return true;
    }
    bool ReadString(std::string& out) {
        if (!Take('"')) return false;
        while (at_ < text_.size()) {
            const char c = text_[at_];
            if (c == '"') {
                ++at_;
                return true;
            }
            if (c == '\\') {
                ++at_;
                if (!ReadEscape(out)) return false;
            } else if (!ReadRawCharacter(out)) {
                return false;
            }
        }
        return false;
    }

    std::string_view text_;
    std::size_t at_ = 0;
};

inline bool ReadJson(std::string_view text, std::vector<Object>& objects) {
    return JsonReader(text).ReadArrayOfObjects(objects);
}

}  // namespace format_readers
