// The key exchange: both sides agree only when every input agrees, and a
// share that would cancel the password's mask or is not on the curve is
// refused.
#include <gtest/gtest.h>

#include <openssl/bn.h>
#include <openssl/ec.h>
#include <openssl/obj_mac.h>

#include <string>

#include "netsdk/wire/spake2plus.h"

namespace {

namespace sp = wire::spake2;

const std::uint8_t kContext[] = {'t', 'e', 's', 't'};
const std::uint8_t kOtherContext[] = {'t', 'e', 's', 'T'};

sp::ProverSecret SecretOf(const std::string& password, const std::string& user = "admin",
                          const sp::PbkdfParams& params = {}) {
    sp::ProverSecret secret;
    EXPECT_TRUE(sp::DeriveProverSecret(password, user, "", params, secret));
    return secret;
}

struct Outcome {
    bool responded = false;
    bool finished = false;
    bool deviceConfirmed = false;  // the client accepts the device's confirmation
    bool clientConfirmed = false;  // the device accepts the client's
    bool sameSharedKey = false;
};

// One whole exchange, with what each side holds given separately.
Outcome RunExchange(const sp::ProverSecret& client, const sp::Verifier& device, const sp::Binding& clientBinding,
            const sp::Binding& deviceBinding) {
    Outcome o;
    sp::Prover prover;
    sp::Share shareP, shareV;
    sp::Keys deviceKeys, clientKeys;
    if (!prover.Start(client, shareP)) return o;
    o.responded = sp::Respond(device, deviceBinding, shareP, shareV, deviceKeys);
    if (!o.responded) return o;
    o.finished = prover.Finish(clientBinding, shareV, clientKeys);
    o.deviceConfirmed = sp::ConfirmV(clientKeys, shareP) == sp::ConfirmV(deviceKeys, shareP);
    o.clientConfirmed = sp::ConfirmP(clientKeys, shareV) == sp::ConfirmP(deviceKeys, shareV);
    o.sameSharedKey = clientKeys.shared == deviceKeys.shared;
    return o;
}

TEST(Spake2Plus, TheSidesAgreeOnlyWhenEveryInputAgrees) {
    sp::PbkdfParams otherSalt;
    otherSalt.salt[0] = 1;
    sp::Verifier device;
    ASSERT_TRUE(sp::MakeVerifier(SecretOf("tarnwick"), device));
    const sp::Binding binding{kContext, "admin", ""};
    struct Case {
        const char* what;
        sp::ProverSecret client;
        sp::Binding clientBinding;
        bool agree;
    };
    const Case cases[] = {
        {"the right password", SecretOf("tarnwick"), binding, true},
        {"a wrong password", SecretOf("tarnwicK"), binding, false},
        {"the password under another user", SecretOf("tarnwick", "admin2"), binding, false},
        {"the password with another salt", SecretOf("tarnwick", "admin", otherSalt), binding, false},
        {"another context", SecretOf("tarnwick"), {kOtherContext, "admin", ""}, false},
        {"another prover identity", SecretOf("tarnwick"), {kContext, "root", ""}, false},
        {"another verifier identity", SecretOf("tarnwick"), {kContext, "admin", "x"}, false},
    };
    for (const Case& c : cases) {
        const Outcome o = RunExchange(c.client, device, c.clientBinding, binding);
        ASSERT_TRUE(o.responded && o.finished) << c.what;
        EXPECT_EQ(o.deviceConfirmed, c.agree) << c.what;
        EXPECT_EQ(o.clientConfirmed, c.agree) << c.what;
        EXPECT_EQ(o.sameSharedKey, c.agree) << c.what;
    }
}

TEST(Spake2Plus, EveryExchangeIsFresh) {
    const sp::ProverSecret secret = SecretOf("tarnwick");
    sp::Prover a, b;
    sp::Share shareA, shareB;
    ASSERT_TRUE(a.Start(secret, shareA));
    ASSERT_TRUE(b.Start(secret, shareB));
    EXPECT_NE(shareA, shareB);
    EXPECT_EQ(shareA[0], 0x04);  // uncompressed point
}

TEST(Spake2Plus, SharesThatAreNoPointOrCancelTheMaskAreRefused) {
    const sp::ProverSecret secret = SecretOf("tarnwick");
    sp::Verifier device;
    ASSERT_TRUE(sp::MakeVerifier(secret, device));
    const sp::Binding binding{kContext, "admin", ""};

    // w0 * M and w0 * N: the shares whose x or y is zero, which would
    // leave Z the identity. The fixed points are RFC 9383's, compressed.
    const std::uint8_t mCompressed[33] = {0x02, 0x88, 0x6e, 0x2f, 0x97, 0xac, 0xe4, 0x6e, 0x55, 0xba, 0x9d,
                                          0xd7, 0x24, 0x25, 0x79, 0xf2, 0x99, 0x3b, 0x64, 0xe1, 0x6e, 0xf3,
                                          0xdc, 0xab, 0x95, 0xaf, 0xd4, 0x97, 0x33, 0x3d, 0x8f, 0xa1, 0x2f};
    const std::uint8_t nCompressed[33] = {0x03, 0xd8, 0xbb, 0xd6, 0xc6, 0x39, 0xc6, 0x29, 0x37, 0xb0, 0x4d,
                                          0x99, 0x7f, 0x38, 0xc3, 0x77, 0x07, 0x19, 0xc6, 0x29, 0xd7, 0x01,
                                          0x4d, 0x49, 0xa2, 0x4b, 0x4f, 0x98, 0xba, 0xa1, 0x29, 0x2b, 0x49};
    auto masked = [&](const std::uint8_t (&fixed)[33]) {
        EC_GROUP* group = EC_GROUP_new_by_curve_name(NID_X9_62_prime256v1);
        EC_POINT* point = EC_POINT_new(group);
        BIGNUM* w0 = BN_bin2bn(secret.w0.data(), 32, nullptr);
        sp::Share out{};
        EXPECT_EQ(EC_POINT_oct2point(group, point, fixed, sizeof fixed, nullptr), 1);
        EXPECT_EQ(EC_POINT_mul(group, point, nullptr, point, w0, nullptr), 1);
        EXPECT_EQ(EC_POINT_point2oct(group, point, POINT_CONVERSION_UNCOMPRESSED, out.data(), out.size(), nullptr),
                  out.size());
        BN_free(w0);
        EC_POINT_free(point);
        EC_GROUP_free(group);
        return out;
    };
    const sp::Share cancelsM = masked(mCompressed);
    const sp::Share cancelsN = masked(nCompressed);

    sp::Share offCurve{};
    sp::Prover prover;
    ASSERT_TRUE(prover.Start(secret, offCurve));
    offCurve[64] ^= 1;
    sp::Share zeros{};
    sp::Share compressedForm{};
    compressedForm[0] = 0x02;

    for (const sp::Share& bad : {cancelsM, offCurve, zeros, compressedForm}) {
        sp::Share shareV;
        sp::Keys keys;
        EXPECT_FALSE(sp::Respond(device, binding, bad, shareV, keys));
    }
    for (const sp::Share& bad : {cancelsN, offCurve, zeros, compressedForm}) {
        sp::Keys clientKeys;
        EXPECT_FALSE(prover.Finish(binding, bad, clientKeys));
    }
}

TEST(Spake2Plus, IterationCountsOutsideTheBoundsAreRefused) {
    for (const std::uint32_t iterations : {0u, sp::kMinIterations - 1, sp::kMaxIterations + 1}) {
        sp::PbkdfParams params;
        params.iterations = iterations;
        sp::ProverSecret secret;
        EXPECT_FALSE(sp::DeriveProverSecret("pw", "admin", "", params, secret)) << iterations;
    }
}

}  // namespace
