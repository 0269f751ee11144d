#include "netsdk/onvif/username_token.h"

#include <openssl/evp.h>
#include <openssl/rand.h>
#include <openssl/sha.h>

#include <cstdio>

#include "netsdk/onvif/namespaces.h"
#include "netsdk/onvif/xml_escape.h"

namespace onvif {

std::string Base64(std::span<const std::uint8_t> bytes) {
    if (bytes.size() > 3 * 64 * 1024) return {};  // far beyond any nonce or digest
    std::string out(4 * ((bytes.size() + 2) / 3) + 1, '\0');
    const int written = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()), bytes.data(),
                                        static_cast<int>(bytes.size()));
    out.resize(written < 0 ? 0 : static_cast<std::size_t>(written));
    return out;
}

std::string PasswordDigest(std::span<const std::uint8_t> nonce, std::string_view created,
                           std::string_view password) {
    EVP_MD_CTX* ctx = EVP_MD_CTX_new();
    if (ctx == nullptr) return {};
    unsigned char hash[SHA_DIGEST_LENGTH];
    unsigned int length = 0;
    const bool ok = EVP_DigestInit_ex(ctx, EVP_sha1(), nullptr) == 1 &&
                    EVP_DigestUpdate(ctx, nonce.data(), nonce.size()) == 1 &&
                    EVP_DigestUpdate(ctx, created.data(), created.size()) == 1 &&
                    EVP_DigestUpdate(ctx, password.data(), password.size()) == 1 &&
                    EVP_DigestFinal_ex(ctx, hash, &length) == 1 && length == SHA_DIGEST_LENGTH;
    EVP_MD_CTX_free(ctx);
    return ok ? Base64(std::span<const std::uint8_t>(hash, length)) : std::string{};
}

bool FreshNonce(std::vector<std::uint8_t>& nonce) {
    nonce.assign(16, 0);
    return RAND_bytes(nonce.data(), static_cast<int>(nonce.size())) == 1;
}

std::string CreatedTime(std::time_t localUtc, std::int64_t deviceOffset) {
    const std::time_t when = static_cast<std::time_t>(localUtc + deviceOffset);
    std::tm utc{};
    if (gmtime_r(&when, &utc) == nullptr) return {};
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02dZ", utc.tm_year + 1900, utc.tm_mon + 1,
                  utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec);
    return text;
}

std::string SecurityHeader(const UsernameToken& token) {
    const std::string digest = PasswordDigest(token.nonce, token.created, token.password);
    if (digest.empty()) return {};
    std::string out;
    out += "<wsse:Security s:mustUnderstand=\"1\" xmlns:wsse=\"";
    out += ns::kSecurity;
    out += "\" xmlns:wsu=\"";
    out += ns::kUtility;
    out += "\"><wsse:UsernameToken><wsse:Username>" + XmlEscape(token.user) + "</wsse:Username>";
    out += "<wsse:Password Type=\"" + std::string(ns::kPasswordDigest) + "\">" + digest + "</wsse:Password>";
    out += "<wsse:Nonce EncodingType=\"" + std::string(ns::kBase64Binary) + "\">" + Base64(token.nonce) +
           "</wsse:Nonce>";
    out += "<wsu:Created>" + XmlEscape(token.created) + "</wsu:Created></wsse:UsernameToken></wsse:Security>";
    return out;
}

}  // namespace onvif
