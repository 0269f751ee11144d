#include "devsim/onvif/http_digest.h"

#include <openssl/evp.h>
#include <openssl/rand.h>

#include <cctype>
#include <cstdlib>

namespace devsim {

namespace {

std::string Hex(const unsigned char* bytes, std::size_t size) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    for (std::size_t i = 0; i < size; ++i) {
        out += kDigits[bytes[i] >> 4];
        out += kDigits[bytes[i] & 15];
    }
    return out;
}

std::string RandomNonce() {
    unsigned char bytes[16];
    if (RAND_bytes(bytes, sizeof bytes) != 1) return {};
    return Hex(bytes, sizeof bytes);
}

void SkipSpaces(std::string_view text, std::size_t& at) {
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) ++at;
}

// One name=value field at `at`; a quoted value may hold \-escapes.
bool ReadField(std::string_view text, std::size_t& at, std::string& name, std::string& value) {
    const std::size_t start = at;
    while (at < text.size() && (std::isalnum(static_cast<unsigned char>(text[at])) || text[at] == '-')) ++at;
    name.assign(text.substr(start, at - start));
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    SkipSpaces(text, at);
    if (name.empty() || at >= text.size() || text[at] != '=') return false;
    ++at;
    SkipSpaces(text, at);
    value.clear();
    if (at < text.size() && text[at] == '"') {
        for (++at; at < text.size() && text[at] != '"'; ++at) {
            if (text[at] == '\\' && at + 1 < text.size()) ++at;
            value += text[at];
        }
        if (at >= text.size()) return false;
        ++at;
        return true;
    }
    while (at < text.size() && text[at] != ',' && text[at] != ' ' && text[at] != '\t') value += text[at++];
    return !value.empty();
}

bool SameText(std::string_view a, std::string_view b) {
    unsigned char diff = a.size() == b.size() ? 0 : 1;
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) diff |= static_cast<unsigned char>(a[i] ^ b[i]);
    return diff == 0;
}

}  // namespace

bool ParseDigestFields(std::string_view header, std::map<std::string, std::string>& fields) {
    fields.clear();
    if (header.size() > 4096 || header.size() < 7) return false;
    std::string scheme(header.substr(0, 6));
    for (char& c : scheme) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (scheme != "digest" || (header[6] != ' ' && header[6] != '\t')) return false;
    std::size_t at = 7;
    while (true) {
        SkipSpaces(header, at);
        std::string name, value;
        if (!ReadField(header, at, name, value) || fields.count(name) != 0 || fields.size() >= 16) return false;
        fields.emplace(std::move(name), std::move(value));
        SkipSpaces(header, at);
        if (at == header.size()) return true;
        if (header[at] != ',') return false;
        ++at;
    }
}

std::string DigestHex(std::string_view algorithm, std::string_view text) {
    const EVP_MD* md = algorithm == "MD5" ? EVP_md5() : algorithm == "SHA-256" ? EVP_sha256() : nullptr;
    if (md == nullptr) return {};
    unsigned char out[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (EVP_Digest(text.data(), text.size(), out, &size, md, nullptr) != 1) return {};
    return Hex(out, size);
}

HttpDigest::HttpDigest(std::string realm, NonceSource nonces)
    : realm_(std::move(realm)), source_(nonces ? std::move(nonces) : NonceSource(RandomNonce)) {}

void HttpDigest::Forget(std::int64_t now) {
    for (auto it = issued_.begin(); it != issued_.end();) {
        it = now - it->second.at > kNonceLifetime ? issued_.erase(it) : std::next(it);
    }
    while (issued_.size() >= kNonceLimit) {
        auto oldest = issued_.begin();
        for (auto it = issued_.begin(); it != issued_.end(); ++it) {
            if (it->second.at < oldest->second.at) oldest = it;
        }
        issued_.erase(oldest);
    }
}

std::vector<std::string> HttpDigest::Challenge(std::int64_t now, bool stale) {
    Forget(now);
    const std::string nonce = source_();
    if (nonce.empty()) return {};
    issued_[nonce] = Issued{now, 0};
    std::vector<std::string> out;
    for (const char* algorithm : {"SHA-256", "MD5"}) {
        out.push_back("Digest realm=\"" + realm_ + "\", qop=\"auth\", algorithm=" + algorithm + ", nonce=\"" +
                      nonce + "\"" + (stale ? ", stale=true" : ""));
    }
    return out;
}

DigestCheck HttpDigest::Check(std::string_view method, std::string_view uri, std::string_view authorization,
                              const std::string& user, const std::string& password, std::int64_t now) {
    if (authorization.empty()) return DigestCheck::Absent;
    std::map<std::string, std::string> f;
    if (!ParseDigestFields(authorization, f)) return DigestCheck::Refused;
    const std::string algorithm = f.count("algorithm") ? f["algorithm"] : "MD5";
    if (f["qop"] != "auth" || f["realm"] != realm_ || f["uri"] != uri || f["cnonce"].empty() ||
        f["nc"].size() != 8 || f["nc"].find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
        return DigestCheck::Refused;
    }
    const std::string ha1 = DigestHex(algorithm, user + ":" + realm_ + ":" + password);
    const std::string ha2 = DigestHex(algorithm, std::string(method) + ":" + std::string(uri));
    if (ha1.empty() || ha2.empty()) return DigestCheck::Refused;
    const std::string expected =
        DigestHex(algorithm, ha1 + ":" + f["nonce"] + ":" + f["nc"] + ":" + f["cnonce"] + ":auth:" + ha2);
    if (!SameText(f["username"], user) || !SameText(f["response"], expected)) return DigestCheck::Refused;
    const auto issued = issued_.find(f["nonce"]);
    if (issued == issued_.end() || now - issued->second.at > kNonceLifetime) return DigestCheck::Stale;
    const unsigned long count = std::strtoul(f["nc"].c_str(), nullptr, 16);
    if (count <= issued->second.lastCount) return DigestCheck::Refused;
    issued->second.lastCount = count;
    return DigestCheck::Ok;
}

}  // namespace devsim
