// The device's check of a WS-Security UsernameToken with a password digest:
// the user, Base64(SHA-1(nonce + created + password)), a creation time within
// a window around the device's clock, and a nonce not seen before.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <set>
#include <string>

#include "netsdk/onvif/xml_document.h"

namespace devsim {

enum class TokenCheck { Absent, Ok, Refused };

// The nonces of accepted tokens, kept while their creation time is still
// within the window, and never more than `capacity` of them: when full, the
// oldest is forgotten (its token is stale soon after anyway).
class NonceCache {
public:
    explicit NonceCache(std::size_t capacity) : capacity_(capacity) {}
    // False if the nonce is already held; otherwise keeps it.
    bool Insert(const std::string& nonce, std::int64_t created);
    // Forgets nonces created before `oldest`.
    void Expire(std::int64_t oldest);
    std::size_t size() const { return order_.size(); }

private:
    std::size_t capacity_;
    std::deque<std::pair<std::int64_t, std::string>> order_;
    std::set<std::string> held_;
};

inline constexpr std::int64_t kTokenWindow = 300;  // seconds either side of the device clock

// "YYYY-MM-DDThh:mm:ss[.fraction]Z" as seconds since 1970; false otherwise.
bool ParseUtcTime(std::string_view text, std::int64_t& seconds);
// Strict Base64 (padding required); false on any other character.
bool DecodeBase64(std::string_view text, std::string& bytes);

// Checks the UsernameToken of an envelope's Header (nullptr: no header).
TokenCheck CheckUsernameToken(const onvif::XmlNode* header, const std::string& user,
                              const std::string& password, std::int64_t deviceNow, NonceCache& nonces);

}  // namespace devsim
