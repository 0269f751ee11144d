#include "devsim/device_state.h"

#include <algorithm>
#include <cstring>

#include "netsdk/wire/crypto.h"

namespace devsim {

DeviceState::DeviceState(DeviceProfile s, LimiterPolicy policy) : profile(std::move(s)), limiter(policy) {
    if (!profile.verifier) {
        StoredVerifier made;
        if (MakeStoredVerifier(profile.user, profile.password, made)) profile.verifier = made;
    }
    std::fill(profile.password.begin(), profile.password.end(), '\0');
    profile.password.clear();
    usable = profile.verifier.has_value() && wire::crypto::RandomBytes(decoyKey_);
}

DeviceState::~DeviceState() {
    wire::crypto::Cleanse(decoyKey_);
    for (PendingModify& pending : pendingModifies) wire::crypto::Cleanse(pending.keys);
}

wire::DeviceId DeviceState::Id() const {
    wire::DeviceId id;
    std::memcpy(id.sn, profile.record.sn, sizeof id.sn);
    id.sn[sizeof id.sn - 1] = '\0';
    std::memcpy(id.mac, profile.record.eth0.mac, sizeof id.mac);
    return id;
}

wire::spake2::PbkdfParams DeviceState::ParamsFor(std::string_view user, bool& known) const {
    known = usable && user == profile.user;
    if (known) return profile.verifier->params;
    wire::spake2::PbkdfParams decoy;
    const wire::crypto::MacBytes mac = wire::crypto::HmacSha256(
        decoyKey_, {reinterpret_cast<const std::uint8_t*>(user.data()), user.size()});
    std::copy_n(mac.begin(), decoy.salt.size(), decoy.salt.begin());
    return decoy;
}

PendingModify* DeviceState::FindModify(const wire::Token& token) {
    for (PendingModify& pending : pendingModifies) {
        if (pending.token == token) return &pending;
    }
    return nullptr;
}

}  // namespace devsim
