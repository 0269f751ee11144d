// tarnwick-secret-scan: looks for a password in a packet capture, in every
// form the project ever gives a password on the wire or in a file (plain,
// UTF-16, hex, Base64 at any alignment, URL-encoded, XML-escaped).
//
//   tarnwick-secret-scan --password P --pcap FILE [--marker TEXT]...
//   tarnwick-secret-scan --password P --print-encodings
//
// The capture is searched per UDP datagram, per TCP stream (each direction
// of a connection reassembled by sequence number, so a password split over
// two segments is still found) and, for frames that are not IPv4 TCP or UDP,
// per whole frame. A marker is a text that must be seen (proof that the
// capture holds the traffic it should); its occurrences are printed.
//
// Exit status: 0 no occurrence, 1 the password was found, 2 bad command
// line or unreadable capture.
#include <openssl/evp.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

namespace {

struct Encoding {
    std::string name;
    std::string bytes;
};

std::string Hex(std::string_view text, const char* digits) {
    std::string out;
    for (unsigned char c : text) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

std::string Utf16(std::string_view ascii, bool bigEndian) {
    std::string out;
    for (char c : ascii) {
        if (bigEndian) out += '\0';
        out += c;
        if (!bigEndian) out += '\0';
    }
    return out;
}

// The Base64 characters that depend on the password alone when it starts
// `offset` bytes into a 3-byte group: the characters that straddle the
// bytes before or after it are left out.
std::string Base64Middle(std::string_view text, std::size_t offset) {
    std::string input(offset, '\0');
    input += text;
    std::string encoded(4 * ((input.size() + 2) / 3) + 1, '\0');
    const int length = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(encoded.data()),
                                       reinterpret_cast<const unsigned char*>(input.data()),
                                       static_cast<int>(input.size()));
    encoded.resize(static_cast<std::size_t>(length));
    const std::size_t first = (8 * offset + 5) / 6;
    const std::size_t end = 8 * (offset + text.size()) / 6;
    return encoded.substr(first, end - first);
}

std::string UrlEncoded(std::string_view text, const char* digits) {
    std::string out;
    for (unsigned char c : text) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
            c == '_' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += digits[c >> 4];
            out += digits[c & 15];
        }
    }
    return out;
}

std::string XmlEscaped(std::string_view text, bool numeric) {
    std::string out;
    for (char c : text) {
        const char* named = nullptr;
        switch (c) {
            case '&': named = "&amp;"; break;
            case '<': named = "&lt;"; break;
            case '>': named = "&gt;"; break;
            case '"': named = "&quot;"; break;
            case '\'': named = "&apos;"; break;
            default: break;
        }
        if (named == nullptr) {
            out += c;
        } else if (numeric) {
            out += "&#" + std::to_string(static_cast<unsigned char>(c)) + ";";
        } else {
            out += named;
        }
    }
    return out;
}

std::vector<Encoding> EncodingsOf(const std::string& password) {
    static const char kLower[] = "0123456789abcdef";
    static const char kUpper[] = "0123456789ABCDEF";
    return {
        {"plain", password},
        {"UTF-16LE", Utf16(password, false)},
        {"UTF-16BE", Utf16(password, true)},
        {"hex (lower case)", Hex(password, kLower)},
        {"hex (upper case)", Hex(password, kUpper)},
        {"Base64, offset 0", Base64Middle(password, 0)},
        {"Base64, offset 1", Base64Middle(password, 1)},
        {"Base64, offset 2", Base64Middle(password, 2)},
        {"URL-encoded (%XX)", UrlEncoded(password, kUpper)},
        {"URL-encoded (%xx)", UrlEncoded(password, kLower)},
        {"XML-escaped (named)", XmlEscaped(password, false)},
        {"XML-escaped (numeric)", XmlEscaped(password, true)},
    };
}

std::size_t Occurrences(std::string_view haystack, std::string_view needle) {
    std::size_t count = 0;
    if (needle.empty()) return 0;
    for (std::size_t at = haystack.find(needle); at != std::string_view::npos;
         at = haystack.find(needle, at + needle.size())) {
        ++count;
    }
    return count;
}

// ---- the capture ----

std::uint32_t Get32(const unsigned char* p, bool swapped) {
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return swapped ? __builtin_bswap32(v) : v;
}
std::uint16_t Be16(const unsigned char* p) { return static_cast<std::uint16_t>(p[0] << 8 | p[1]); }
std::uint32_t Be32(const unsigned char* p) {
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

struct Segment {
    std::uint32_t seq;
    std::string bytes;
};

struct TcpStream {
    std::uint32_t base = 0;
    std::vector<Segment> segments;
};

// The searchable pieces of a capture.
struct Capture {
    std::vector<std::string> units;
    std::size_t frames = 0;
    std::size_t udpDatagrams = 0;
    std::size_t tcpStreams = 0;
    std::size_t otherFrames = 0;
    std::size_t truncatedFrames = 0;
    std::size_t streamGaps = 0;
    std::size_t payloadBytes = 0;
};

using FlowKey = std::tuple<std::uint32_t, std::uint16_t, std::uint32_t, std::uint16_t>;

class Reader {
public:
    bool Read(const std::string& path, Capture& capture, std::string& why) {
        std::ifstream in(path, std::ios::binary);
        if (!in) return Fail(why, "cannot open " + path);
        const std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (data.size() < 24) return Fail(why, path + ": not a pcap file");
        const auto* bytes = reinterpret_cast<const unsigned char*>(data.data());
        std::uint32_t magic;
        std::memcpy(&magic, bytes, 4);
        bool swapped;
        if (magic == 0xa1b2c3d4 || magic == 0xa1b23c4d) {
            swapped = false;
        } else if (magic == 0xd4c3b2a1 || magic == 0x4d3cb2a1) {
            swapped = true;
        } else {
            return Fail(why, path + ": not a pcap file (pcapng is not read)");
        }
        link_ = Get32(bytes + 20, swapped);
        std::size_t at = 24;
        while (at + 16 <= data.size()) {
            const std::uint32_t included = Get32(bytes + at + 8, swapped);
            const std::uint32_t original = Get32(bytes + at + 12, swapped);
            at += 16;
            if (included > data.size() - at) return Fail(why, path + ": cut short");
            ++capture.frames;
            if (included < original) ++capture.truncatedFrames;
            Frame(std::string_view(data.data() + at, included), capture);
            at += included;
        }
        for (auto& [key, streams] : streams_) {
            for (TcpStream& stream : streams) capture.units.push_back(Assemble(stream, capture));
        }
        return true;
    }

private:
    static bool Fail(std::string& why, std::string text) {
        why = std::move(text);
        return false;
    }

    // The IPv4 packet inside a frame of the capture's link type, or an empty view.
    std::string_view Network(std::string_view frame) const {
        const auto* p = reinterpret_cast<const unsigned char*>(frame.data());
        std::size_t header = 0;
        std::uint16_t protocol = 0;
        switch (link_) {
            case 1:  // Ethernet (what tcpdump writes for lo)
                if (frame.size() < 14) return {};
                header = 14;
                protocol = Be16(p + 12);
                break;
            case 113:  // Linux cooked
                if (frame.size() < 16) return {};
                header = 16;
                protocol = Be16(p + 14);
                break;
            case 276:  // Linux cooked v2
                if (frame.size() < 20) return {};
                header = 20;
                protocol = Be16(p);
                break;
            case 101:
            case 228:  // raw IPv4
                protocol = 0x0800;
                break;
            default: return {};
        }
        if (protocol != 0x0800) return {};
        return frame.substr(header);
    }

    void Frame(std::string_view frame, Capture& capture) {
        const std::string_view ip = Network(frame);
        const auto* p = reinterpret_cast<const unsigned char*>(ip.data());
        const std::size_t ihl = ip.size() >= 20 ? std::size_t{p[0]} % 16 * 4 : 0;
        const bool plain = ip.size() >= 20 && (p[0] >> 4) == 4 && ihl >= 20 && Be16(p + 2) >= ihl &&
                           Be16(p + 2) <= ip.size() && (Be16(p + 6) & 0x3fff) == 0;  // no fragment
        if (!plain || (p[9] != 6 && p[9] != 17)) {
            ++capture.otherFrames;
            capture.units.emplace_back(frame);
            return;
        }
        const std::string_view body = ip.substr(ihl, Be16(p + 2) - ihl);
        const auto* b = reinterpret_cast<const unsigned char*>(body.data());
        if (p[9] == 17) {
            if (body.size() < 8) return;
            ++capture.udpDatagrams;
            capture.payloadBytes += body.size() - 8;
            capture.units.emplace_back(body.substr(8));
            return;
        }
        const std::size_t tcpHeader = body.size() >= 20 ? std::size_t{b[12]} / 16 * 4 : 0;
        if (tcpHeader < 20 || tcpHeader > body.size()) return;
        const std::string_view payload = body.substr(tcpHeader);
        const FlowKey key{Be32(p + 12), Be16(b), Be32(p + 16), Be16(b + 2)};
        const std::uint32_t seq = Be32(b + 4);
        const bool syn = (b[13] & 0x02) != 0;
        auto& streams = streams_[key];
        // A SYN starts a new connection on these addresses and ports.
        if (syn || streams.empty()) streams.push_back(TcpStream{syn ? seq + 1 : seq, {}});
        if (!payload.empty()) {
            capture.payloadBytes += payload.size();
            streams.back().segments.push_back({seq, std::string(payload)});
        }
    }

    // The stream's bytes in sequence order, each byte once.
    static std::string Assemble(TcpStream& stream, Capture& capture) {
        ++capture.tcpStreams;
        std::stable_sort(stream.segments.begin(), stream.segments.end(), [&](const Segment& a, const Segment& b) {
            return a.seq - stream.base < b.seq - stream.base;
        });
        std::string out;
        for (const Segment& segment : stream.segments) {
            const std::uint32_t offset = segment.seq - stream.base;
            if (offset > out.size()) {
                ++capture.streamGaps;
                out += segment.bytes;
            } else if (offset + segment.bytes.size() > out.size()) {
                out += segment.bytes.substr(out.size() - offset);
            }
        }
        return out;
    }

    std::uint32_t link_ = 0;
    std::map<FlowKey, std::vector<TcpStream>> streams_;
};

int Usage() {
    std::fputs(
        "usage: tarnwick-secret-scan --password P --pcap FILE [--marker TEXT]...\n"
        "       tarnwick-secret-scan --password P --print-encodings\n",
        stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::string password;
    std::string pcap;
    std::vector<std::string> markers;
    bool printEncodings = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view option = argv[i];
        if (option == "--print-encodings") {
            printEncodings = true;
        } else if (i + 1 < argc && option == "--password") {
            password = argv[++i];
        } else if (i + 1 < argc && option == "--pcap") {
            pcap = argv[++i];
        } else if (i + 1 < argc && option == "--marker") {
            markers.emplace_back(argv[++i]);
        } else {
            return Usage();
        }
    }
    // Printable ASCII without blanks: every encoding above is then exact.
    if (password.size() < 6 || !std::all_of(password.begin(), password.end(), [](char c) { return c > ' ' && c < 127; })) {
        std::fputs("tarnwick-secret-scan: the password must be 6 or more printable ASCII characters, no blank\n", stderr);
        return 2;
    }
    const std::vector<Encoding> encodings = EncodingsOf(password);
    if (printEncodings) {
        for (const Encoding& encoding : encodings) {
            std::printf("%s\t%s\n", Hex(encoding.bytes, "0123456789abcdef").c_str(), encoding.name.c_str());
        }
        return 0;
    }
    if (pcap.empty()) return Usage();

    Capture capture;
    std::string why;
    if (!Reader().Read(pcap, capture, why)) {
        std::fprintf(stderr, "tarnwick-secret-scan: %s\n", why.c_str());
        return 2;
    }
    std::printf("%-24s %12s\n", "capture", "count");
    std::printf("%-24s %12zu\n", "frames", capture.frames);
    std::printf("%-24s %12zu\n", "UDP datagrams", capture.udpDatagrams);
    std::printf("%-24s %12zu\n", "TCP streams", capture.tcpStreams);
    std::printf("%-24s %12zu\n", "payload bytes", capture.payloadBytes);
    std::printf("%-24s %12zu\n", "other frames", capture.otherFrames);
    std::printf("%-24s %12zu\n", "truncated frames", capture.truncatedFrames);
    std::printf("%-24s %12zu\n", "TCP stream gaps", capture.streamGaps);
    std::printf("\n%-24s %12s\n", "marker", "occurrences");
    for (const std::string& marker : markers) {
        std::size_t count = 0;
        for (const std::string& unit : capture.units) count += Occurrences(unit, marker);
        std::printf("%-24s %12zu\n", marker.c_str(), count);
    }
    std::printf("\n%-24s %12s\n", "encoding of the password", "occurrences");
    std::size_t total = 0;
    for (const Encoding& encoding : encodings) {
        std::size_t count = 0;
        for (const std::string& unit : capture.units) count += Occurrences(unit, encoding.bytes);
        total += count;
        std::printf("%-24s %12zu%s\n", encoding.name.c_str(), count,
                    encoding.name != "plain" && encoding.bytes == password ? "  (same bytes as plain)" : "");
    }
    return total == 0 ? 0 : 1;
}
