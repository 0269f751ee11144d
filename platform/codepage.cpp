#include "platform/codepage.h"

#include <iconv.h>
#include <langinfo.h>
#include <locale.h>

#include <cerrno>
#include <cstdint>
#include <mutex>
#include <vector>

namespace platform {
namespace {

std::mutex g_mutex;
std::string g_codePage;  // empty: the locale's

std::string LocaleCodeSet() {
    locale_t loc = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(nullptr));
    if (loc == static_cast<locale_t>(nullptr)) return "ANSI_X3.4-1968";
    std::string codeset = nl_langinfo_l(CODESET, loc);
    freelocale(loc);
    return codeset.empty() ? std::string("ANSI_X3.4-1968") : codeset;
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

    // Converts the whole input; false when a byte sequence does not convert.
    bool Convert(const char* in, std::size_t inSize, std::string& out) {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        char buffer[64];
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
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    const std::size_t n = s.size();
    std::size_t i = 0;
    while (i < n) {
        const unsigned char b = p[i];
        char32_t cp = 0;
        std::size_t len = 0;
        char32_t min = 0;
        if (b < 0x80) {
            cp = b;
            len = 1;
        } else if (b >= 0xC2 && b <= 0xDF) {
            cp = b & 0x1F;
            len = 2;
            min = 0x80;
        } else if (b >= 0xE0 && b <= 0xEF) {
            cp = b & 0x0F;
            len = 3;
            min = 0x800;
        } else if (b >= 0xF0 && b <= 0xF4) {
            cp = b & 0x07;
            len = 4;
            min = 0x10000;
        }
        bool valid = len > 0 && i + len <= n;
        for (std::size_t k = 1; valid && k < len; ++k) {
            if ((p[i + k] & 0xC0) != 0x80) valid = false;
            else cp = (cp << 6) | (p[i + k] & 0x3F);
        }
        if (valid && len > 1 && (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)))
            valid = false;
        if (!valid) {
            out.push_back(u'\uFFFD');
            ++i;
            continue;
        }
        AppendUtf16(out, cp);
        i += len;
    }
    return out;
}

std::string WideToAnsi(std::u16string_view wide) {
    const std::string target = AnsiCodePage();
    Converter cv(target, "UTF-16LE");
    std::string out;
    if (!cv.ok()) return out;
    std::string defaultChar;
    {
        Converter probe(target, "UTF-16LE");
        const char16_t q = u'?';
        if (!probe.ok() || !probe.Convert(reinterpret_cast<const char*>(&q), 2, defaultChar))
            defaultChar = "?";
    }
    // One character at a time, so that a character the code page lacks is
    // replaced on its own.
    std::size_t i = 0;
    while (i < wide.size()) {
        std::size_t units = 1;
        if (wide[i] >= 0xD800 && wide[i] <= 0xDBFF && i + 1 < wide.size() &&
            wide[i + 1] >= 0xDC00 && wide[i + 1] <= 0xDFFF)
            units = 2;
        std::string piece;
        if (cv.Convert(reinterpret_cast<const char*>(wide.data() + i), units * 2, piece))
            out += piece;
        else
            out += defaultChar;
        i += units;
    }
    return out;
}

std::u16string AnsiToWide(std::string_view ansi) {
    const std::string source = AnsiCodePage();
    Converter cv("UTF-16LE", source);
    std::u16string out;
    if (!cv.ok()) {
        for (unsigned char c : ansi) out.push_back(c < 0x80 ? c : u'\uFFFD');
        return out;
    }
    // Decode byte runs; a byte that does not decode becomes U+FFFD.
    std::size_t i = 0;
    while (i < ansi.size()) {
        std::size_t bestLen = 0;
        std::string bytes;
        for (std::size_t len = 1; len <= 4 && i + len <= ansi.size(); ++len) {
            bytes.clear();
            if (cv.Convert(ansi.data() + i, len, bytes) && !bytes.empty()) {
                bestLen = len;
                break;
            }
        }
        if (bestLen == 0) {
            out.push_back(u'\uFFFD');
            ++i;
            continue;
        }
        for (std::size_t k = 0; k + 1 < bytes.size(); k += 2)
            out.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[k]) |
                                                (static_cast<unsigned char>(bytes[k + 1]) << 8)));
        i += bestLen;
    }
    return out;
}

}  // namespace platform
