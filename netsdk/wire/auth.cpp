#include "netsdk/wire/auth.h"

#include "netsdk/wire/byte_writer.h"

namespace wire {
namespace {

void PutLabel(ByteWriter& w, std::string_view label) {
    w.Bytes(reinterpret_cast<const std::uint8_t*>(label.data()), label.size());
}

void PutParams(ByteWriter& w, const spake2::PbkdfParams& params) {
    w.U32(params.iterations);
    w.Bytes(params.salt);
}

}  // namespace

Bytes LoginContext(const spake2::PbkdfParams& params) {
    ByteWriter w;
    PutLabel(w, "TNWK/2 login");
    PutParams(w, params);
    return w.Take();
}

Bytes ModifyContext(const spake2::PbkdfParams& params, const Token& token, const DeviceId& id) {
    ByteWriter w;
    PutLabel(w, "TNWK/2 modify");
    PutParams(w, params);
    w.Bytes(token);
    w.Text(id.sn, sizeof id.sn);
    w.Bytes(id.mac, sizeof id.mac);
    return w.Take();
}

Proof MacOf(const spake2::Key& key, const Bytes& bytes) { return crypto::HmacSha256(key, bytes); }

bool ProofMatches(const Proof& expected, const Proof& received) {
    return crypto::EqualConstantTime(expected, received);
}

}  // namespace wire
