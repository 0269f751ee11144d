// SPAKE2+ (RFC 9383) over P-256 with SHA-256, HKDF-SHA-256 and HMAC-SHA-256:
// the password-authenticated key exchange behind login and modify.
//
// The client (prover) knows the password and derives w0 and w1 from it; the
// device (verifier) stores only w0 and L = w1*P. Each side sends one share,
// and each proves the shared key with a confirmation MAC. Neither share nor
// confirmation lets an eavesdropper, a rogue device or a rogue client test a
// password guess offline: every exchange is worth one online guess.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace wire::spake2 {

inline constexpr std::size_t kShareSize = 65;  // uncompressed P-256 point
inline constexpr std::size_t kScalarSize = 32;
inline constexpr std::size_t kSaltSize = 16;
inline constexpr std::size_t kKeySize = 32;

using Share = std::array<std::uint8_t, kShareSize>;
using Scalar = std::array<std::uint8_t, kScalarSize>;
using Salt = std::array<std::uint8_t, kSaltSize>;
using Key = std::array<std::uint8_t, kKeySize>;

// PBKDF2-HMAC-SHA-256 parameters of one device. A device chooses them, so
// a client accepts only iteration counts within these bounds: below, the
// verifier would be cheap to attack if stolen; above, a rogue device could
// make the client burn its CPU.
inline constexpr std::uint32_t kMinIterations = 1000;
inline constexpr std::uint32_t kMaxIterations = 100000;
inline constexpr std::uint32_t kDefaultIterations = 1000;

struct PbkdfParams {
    std::uint32_t iterations = kDefaultIterations;
    Salt salt{};
};

// What the password gives the client: w0 and w1, scalars modulo the order.
struct ProverSecret {
    Scalar w0{};
    Scalar w1{};
};

// What a device stores instead of the password.
struct Verifier {
    Scalar w0{};
    Share L{};
};

// What binds an exchange to its purpose: the context label and the two
// parties' identities enter the transcript.
struct Binding {
    std::span<const std::uint8_t> context;
    std::string_view proverId;
    std::string_view verifierId;
};

struct Keys {
    Key confirmP{};
    Key confirmV{};
    Key shared{};
};

// w0s || w1s = PBKDF2(len(pw) || pw || len(idProver) || idProver ||
// len(idVerifier) || idVerifier); each reduced modulo the group order.
bool DeriveProverSecret(std::string_view password, std::string_view proverId, std::string_view verifierId,
                        const PbkdfParams& params, ProverSecret& out);
bool MakeVerifier(const ProverSecret& secret, Verifier& out);

// The client's side: Start draws x and gives shareP = x*P + w0*M; Finish
// takes the device's shareV and computes the keys. One object, one exchange.
class Prover {
public:
    Prover();
    ~Prover();
    Prover(const Prover&) = delete;
    Prover& operator=(const Prover&) = delete;

    bool Start(const ProverSecret& secret, Share& shareP);
    bool Finish(const Binding& binding, const Share& shareV, Keys& keys) const;

private:
    struct State;
    State* state_;
    ProverSecret secret_{};
    Share shareP_{};
};

// The device's side, in one step: checks shareP, draws y, gives
// shareV = y*P + w0*N and the keys.
bool Respond(const Verifier& verifier, const Binding& binding, const Share& shareP, Share& shareV, Keys& keys);

// confirmV = MAC(K_confirmV, shareP) and confirmP = MAC(K_confirmP, shareV).
Key ConfirmV(const Keys& keys, const Share& shareP);
Key ConfirmP(const Keys& keys, const Share& shareV);

// A key that matches nothing: for answering an unknown user as if it were
// known, without revealing which users exist.
bool RandomShare(Share& out);

}  // namespace wire::spake2
