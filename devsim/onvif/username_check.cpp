#include "devsim/onvif/username_check.h"

#include <openssl/evp.h>

#include <cstdio>
#include <span>

#include "netsdk/onvif/namespaces.h"
#include "netsdk/onvif/responses.h"
#include "netsdk/onvif/username_token.h"

namespace devsim {

namespace ns = onvif::ns;

bool NonceCache::Insert(const std::string& nonce, std::int64_t created) {
    if (held_.count(nonce) != 0) return false;
    if (capacity_ == 0) return true;
    if (order_.size() == capacity_) {
        held_.erase(order_.front().second);
        order_.pop_front();
    }
    order_.emplace_back(created, nonce);
    held_.insert(nonce);
    return true;
}

void NonceCache::Expire(std::int64_t oldest) {
    // Tokens arrive roughly in creation order; a late one simply stays a bit longer.
    while (!order_.empty() && order_.front().first < oldest) {
        held_.erase(order_.front().second);
        order_.pop_front();
    }
}

bool ParseUtcTime(std::string_view text, std::int64_t& seconds) {
    if (text.size() < 20 || text.size() > 40 || text.back() != 'Z') return false;
    const std::string copy(text);
    onvif::DateTime t;
    int used = 0;
    if (std::sscanf(copy.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%n", &t.year, &t.month, &t.day, &t.hour, &t.minute,
                    &t.second, &used) != 6 || used != 19) {
        return false;
    }
    std::string_view rest = text.substr(19, text.size() - 20);
    if (!rest.empty()) {
        if (rest.front() != '.' || rest.size() < 2) return false;
        for (char c : rest.substr(1)) {
            if (c < '0' || c > '9') return false;
        }
    }
    if (t.year < 1970 || t.month < 1 || t.month > 12 || t.day < 1 || t.day > 31 || t.hour > 23 ||
        t.minute > 59 || t.second > 60) {
        return false;
    }
    seconds = onvif::UnixSeconds(t);
    return true;
}

bool DecodeBase64(std::string_view text, std::string& bytes) {
    if (text.empty() || text.size() % 4 != 0 || text.size() > 256) return false;
    std::size_t padding = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const bool alphabet = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                              c == '+' || c == '/';
        if (c == '=' && i + 2 >= text.size()) ++padding;
        else if (!alphabet || padding != 0) return false;
    }
    bytes.assign(text.size() / 4 * 3, '\0');
    const int n = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(bytes.data()),
                                  reinterpret_cast<const unsigned char*>(text.data()), static_cast<int>(text.size()));
    if (n < 0) return false;
    bytes.resize(static_cast<std::size_t>(n) - padding);
    return true;
}

namespace {

// Constant-time comparison of two texts of possibly different lengths.
bool SameText(std::string_view a, std::string_view b) {
    unsigned char diff = a.size() == b.size() ? 0 : 1;
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) diff |= static_cast<unsigned char>(a[i] ^ b[i]);
    return diff == 0;
}

}  // namespace

TokenCheck CheckUsernameToken(const onvif::XmlNode* header, const std::string& user,
                              const std::string& password, std::int64_t deviceNow, NonceCache& nonces) {
    const onvif::XmlNode* token =
        onvif::Child(onvif::Child(header, ns::kSecurity, "Security"), ns::kSecurity, "UsernameToken");
    if (token == nullptr) return TokenCheck::Absent;
    const onvif::XmlNode* passwordNode = onvif::Child(token, ns::kSecurity, "Password");
    const std::string type = onvif::Attribute(passwordNode, "Type");
    std::string nonce;
    std::int64_t created = 0;
    if (type != ns::kPasswordDigest ||
        !DecodeBase64(onvif::Text(onvif::Child(token, ns::kSecurity, "Nonce")), nonce) || nonce.size() < 8 ||
        !ParseUtcTime(onvif::Text(onvif::Child(token, ns::kUtility, "Created")), created)) {
        return TokenCheck::Refused;
    }
    const std::string createdText = onvif::Text(onvif::Child(token, ns::kUtility, "Created"));
    const auto nonceBytes = std::span(reinterpret_cast<const std::uint8_t*>(nonce.data()), nonce.size());
    const std::string expected = onvif::PasswordDigest(nonceBytes, createdText, password);
    const bool matches = !expected.empty() &&
                         SameText(onvif::Text(onvif::Child(token, ns::kSecurity, "Username")), user) &&
                         SameText(onvif::Text(passwordNode), expected);
    if (!matches || created < deviceNow - kTokenWindow || created > deviceNow + kTokenWindow) {
        return TokenCheck::Refused;
    }
    nonces.Expire(deviceNow - kTokenWindow);
    return nonces.Insert(nonce, created) ? TokenCheck::Ok : TokenCheck::Refused;
}

}  // namespace devsim
