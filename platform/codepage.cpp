#include "platform/codepage.h"

#include <iconv.h>
#include <langinfo.h>
#include <locale.h>

#include <cerrno>
#include <cstdint>
#include <limits>
#include <mutex>

namespace platform {
namespace {

constexpr char16_t kReplacement = u'\uFFFD';

std::mutex g_mutex;
std::string g_codePage;  // empty: the locale's

std::string LocaleCodeSet() {
    locale_t loc = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(nullptr));
    if (loc == static_cast<locale_t>(nullptr)) return "ANSI_X3.4-1968";
    std::string codeset = nl_langinfo_l(CODESET, loc);
    freelocale(loc);
    return codeset.empty() ? std::string("ANSI_X3.4-1968") : codeset;
}

bool IsUtf8Name(std::string_view name) {
    std::string folded;
    for (char c : name)
        if (c != '-' && c != '_') folded.push_back(static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c));
    return folded == "UTF8";
}

// Appends one code point as UTF-16.
void AppendUtf16(std::u16string& out, char32_t cp) {
    if (cp < 0x10000) {
        out.push_back(static_cast<char16_t>(cp));
    } else {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    }
}

// Bytes allowed after a lead byte: the range of the first continuation byte
// (narrower after E0, ED, F0 and F4, which excludes overlong forms,
// surrogates and values above U+10FFFF) and how many continuation bytes follow.
struct LeadRule {
    unsigned char low;
    unsigned char high;
    int continuations;  // 0: not a lead byte
};

LeadRule RuleFor(unsigned char b) {
    if (b >= 0xC2 && b <= 0xDF) return {0x80, 0xBF, 1};
    if (b == 0xE0) return {0xA0, 0xBF, 2};
    if (b == 0xED) return {0x80, 0x9F, 2};
    if (b >= 0xE1 && b <= 0xEF) return {0x80, 0xBF, 2};
    if (b == 0xF0) return {0x90, 0xBF, 3};
    if (b >= 0xF1 && b <= 0xF3) return {0x80, 0xBF, 3};
    if (b == 0xF4) return {0x80, 0x8F, 3};
    return {0, 0, 0};
}

// Decodes the sequence at `i`. An ill-formed one yields U+FFFD and the length
// of its longest well-formed start (at least one byte).
char32_t DecodeOne(std::string_view s, std::size_t& i) {
    const auto lead = static_cast<unsigned char>(s[i]);
    ++i;
    if (lead < 0x80) return lead;
    const LeadRule rule = RuleFor(lead);
    if (rule.continuations == 0) return kReplacement;
    char32_t cp = lead & (0x3F >> rule.continuations);
    for (int k = 0; k < rule.continuations; ++k) {
        if (i >= s.size()) return kReplacement;
        const auto b = static_cast<unsigned char>(s[i]);
        const unsigned char low = k == 0 ? rule.low : 0x80;
        const unsigned char high = k == 0 ? rule.high : 0xBF;
        if (b < low || b > high) return kReplacement;
        cp = (cp << 6) | (b & 0x3F);
        ++i;
    }
    return cp;
}

class Converter {
public:
    Converter(const std::string& to, const std::string& from)
        : cd_(iconv_open(to.c_str(), from.c_str())) {}
    ~Converter() {
        if (ok()) iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // Converts the whole input from the initial state; false when a byte
    // sequence does not convert or is incomplete.
    bool Convert(const char* in, std::size_t inSize, std::string& out) {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        char buffer[256];
        char* src = const_cast<char*>(in);
        std::size_t left = inSize;
        while (left > 0) {
            char* dst = buffer;
            std::size_t room = sizeof buffer;
            const std::size_t r = iconv(cd_, &src, &left, &dst, &room);
            out.append(buffer, static_cast<std::size_t>(dst - buffer));
            if (r == static_cast<std::size_t>(-1) && errno != E2BIG) return false;
        }
        char* dst = buffer;
        std::size_t room = sizeof buffer;
        iconv(cd_, nullptr, nullptr, &dst, &room);
        out.append(buffer, static_cast<std::size_t>(dst - buffer));
        return true;
    }

private:
    iconv_t cd_;
};

std::string DefaultCharacter(const std::string& codePage) {
    if (IsUtf8Name(codePage)) return "\xEF\xBF\xBD";
    Converter probe(codePage, "UTF-16LE");
    const char16_t question = u'?';
    std::string out;
    if (!probe.ok() || !probe.Convert(reinterpret_cast<const char*>(&question), 2, out) || out.empty())
        return "?";
    return out;
}

// Code units of the character starting at `i`: two for a surrogate pair.
std::size_t CharacterUnits(std::u16string_view wide, std::size_t i) {
    const bool pair = wide[i] >= 0xD800 && wide[i] <= 0xDBFF && i + 1 < wide.size() &&
                      wide[i + 1] >= 0xDC00 && wide[i + 1] <= 0xDFFF;
    return pair ? 2 : 1;
}

// One character into the code page; without a converter only ASCII passes.
bool ConvertCharacter(Converter& cv, std::u16string_view character, std::string& piece) {
    if (!cv.ok()) {
        if (character.size() != 1 || character[0] >= 0x80) return false;
        piece.assign(1, static_cast<char>(character[0]));
        return true;
    }
    return cv.Convert(reinterpret_cast<const char*>(character.data()), character.size() * sizeof(char16_t),
                      piece);
}

// One character at a time, so that a character the code page lacks is
// replaced on its own, and stopping before the result would pass maxBytes.
std::string WideToCodePage(std::u16string_view wide, std::size_t maxBytes) {
    const std::string target = AnsiCodePage();
    const std::string fallback = DefaultCharacter(target);
    Converter cv(target, "UTF-16LE");
    std::string out;
    for (std::size_t i = 0; i < wide.size();) {
        const std::size_t units = CharacterUnits(wide, i);
        std::string piece;
        if (!ConvertCharacter(cv, wide.substr(i, units), piece)) piece = fallback;
        if (piece.size() > maxBytes - out.size()) break;
        out += piece;
        i += units;
    }
    return out;
}

void AppendUtf16Le(std::u16string& out, const std::string& bytes) {
    for (std::size_t k = 0; k + 1 < bytes.size(); k += 2)
        out.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[k]) |
                                            (static_cast<unsigned char>(bytes[k + 1]) << 8)));
}

// Decodes byte by byte where the whole text does not convert: the shortest
// run of one to four bytes that converts is one character, and a byte that
// starts no such run becomes U+FFFD.
std::u16string DecodeByRuns(Converter& cv, std::string_view ansi) {
    std::u16string out;
    for (std::size_t i = 0; i < ansi.size();) {
        std::string bytes;
        std::size_t used = 0;
        for (std::size_t len = 1; len <= 4 && i + len <= ansi.size() && used == 0; ++len) {
            bytes.clear();
            if (cv.Convert(ansi.data() + i, len, bytes) && !bytes.empty()) used = len;
        }
        if (used == 0) {
            out.push_back(kReplacement);
            ++i;
            continue;
        }
        AppendUtf16Le(out, bytes);
        i += used;
    }
    return out;
}

}  // namespace

void SetAnsiCodePage(std::string_view iconvName) {
    std::lock_guard lock(g_mutex);
    g_codePage.assign(iconvName);
}

std::string AnsiCodePage() {
    {
        std::lock_guard lock(g_mutex);
        if (!g_codePage.empty()) return g_codePage;
    }
    return LocaleCodeSet();
}

std::u16string Utf8ToWide(std::string_view s) {
    std::u16string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) AppendUtf16(out, DecodeOne(s, i));
    return out;
}

std::string WideToAnsi(std::u16string_view wide) {
    return WideToCodePage(wide, std::numeric_limits<std::size_t>::max());
}

std::string WideToAnsiBounded(std::u16string_view wide, std::size_t maxBytes) {
    return WideToCodePage(wide, maxBytes);
}

std::u16string AnsiToWide(std::string_view ansi) {
    const std::string source = AnsiCodePage();
    if (IsUtf8Name(source)) return Utf8ToWide(ansi);
    Converter cv("UTF-16LE", source);
    std::u16string out;
    if (!cv.ok()) {
        for (unsigned char c : ansi) out.push_back(c < 0x80 ? c : kReplacement);
        return out;
    }
    std::string bytes;
    if (cv.Convert(ansi.data(), ansi.size(), bytes)) {
        AppendUtf16Le(out, bytes);
        return out;
    }
    return DecodeByRuns(cv, ansi);
}

}  // namespace platform
