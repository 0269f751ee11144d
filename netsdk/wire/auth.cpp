#include "netsdk/wire/auth.h"

#include "netsdk/wire/byte_writer.h"

namespace wire {
namespace {

std::span<const std::uint8_t> AsBytes(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

void PutLabel(ByteWriter& w, std::string_view label) { w.Bytes(AsBytes(label)); }

}  // namespace

Proof MakeLoginProof(std::string_view password, const Nonce& deviceNonce, const Token& clientNonce,
                     std::string_view user) {
    ByteWriter w;
    PutLabel(w, "login");
    w.Bytes(deviceNonce);
    w.Bytes(clientNonce);
    w.U8(static_cast<std::uint8_t>(user.size() > 255 ? 255 : user.size()));
    w.Bytes(AsBytes(user.substr(0, 255)));
    return crypto::HmacSha256(AsBytes(password), w.bytes());
}

Proof MakeLoginAcceptProof(std::string_view password, const Nonce& deviceNonce,
                           const Token& clientNonce) {
    ByteWriter w;
    PutLabel(w, "login-ok");
    w.Bytes(deviceNonce);
    w.Bytes(clientNonce);
    return crypto::HmacSha256(AsBytes(password), w.bytes());
}

Proof MakeModifyRequestProof(std::string_view password, const ModifyRequest& request) {
    return crypto::HmacSha256(AsBytes(password), ModifyRequestSignedBytes(request));
}

Proof MakeModifyResultProof(std::string_view password, const ModifyResult& result,
                            const Nonce& nonce) {
    return crypto::HmacSha256(AsBytes(password), ModifyResultSignedBytes(result, nonce));
}

bool ProofMatches(const Proof& expected, const Proof& received) {
    return crypto::EqualConstantTime(expected, received);
}

}  // namespace wire
