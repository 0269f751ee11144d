// libcrypto backend of SPAKE2+: all group and big-number arithmetic is
// OpenSSL's (EC_POINT_mul, BN_nnmod); this file only wires it together.
#include <openssl/bn.h>
#include <openssl/crypto.h>
#include <openssl/ec.h>
#include <openssl/evp.h>
#include <openssl/kdf.h>
#include <openssl/obj_mac.h>

#include <cstring>
#include <memory>
#include <vector>

#include "netsdk/wire/crypto.h"
#include "netsdk/wire/spake2plus.h"

namespace wire::spake2 {
namespace {

// RFC 9383's fixed points for P-256, compressed.
constexpr std::uint8_t kM[33] = {0x02, 0x88, 0x6e, 0x2f, 0x97, 0xac, 0xe4, 0x6e, 0x55, 0xba, 0x9d,
                                 0xd7, 0x24, 0x25, 0x79, 0xf2, 0x99, 0x3b, 0x64, 0xe1, 0x6e, 0xf3,
                                 0xdc, 0xab, 0x95, 0xaf, 0xd4, 0x97, 0x33, 0x3d, 0x8f, 0xa1, 0x2f};
constexpr std::uint8_t kN[33] = {0x03, 0xd8, 0xbb, 0xd6, 0xc6, 0x39, 0xc6, 0x29, 0x37, 0xb0, 0x4d,
                                 0x99, 0x7f, 0x38, 0xc3, 0x77, 0x07, 0x19, 0xc6, 0x29, 0xd7, 0x01,
                                 0x4d, 0x49, 0xa2, 0x4b, 0x4f, 0x98, 0xba, 0xa1, 0x29, 0x2b, 0x49};

struct GroupFree { void operator()(EC_GROUP* g) const { EC_GROUP_free(g); } };
struct PointFree { void operator()(EC_POINT* p) const { EC_POINT_free(p); } };
struct BnFree { void operator()(BIGNUM* b) const { BN_clear_free(b); } };
struct CtxFree { void operator()(BN_CTX* c) const { BN_CTX_free(c); } };
struct PkeyCtxFree { void operator()(EVP_PKEY_CTX* c) const { EVP_PKEY_CTX_free(c); } };

using GroupPtr = std::unique_ptr<EC_GROUP, GroupFree>;
using PointPtr = std::unique_ptr<EC_POINT, PointFree>;
using BnPtr = std::unique_ptr<BIGNUM, BnFree>;
using CtxPtr = std::unique_ptr<BN_CTX, CtxFree>;

// One group, its fixed points and a scratch context per computation; the
// objects are not shared between threads.
struct Curve {
    GroupPtr group{EC_GROUP_new_by_curve_name(NID_X9_62_prime256v1)};
    CtxPtr ctx{BN_CTX_new()};
    PointPtr M, N;

    Curve() {
        if (!group || !ctx) return;
        M = Decode(kM, sizeof kM);
        N = Decode(kN, sizeof kN);
    }
    bool ok() const { return group && ctx && M && N; }

    PointPtr NewPoint() const { return PointPtr(EC_POINT_new(group.get())); }

    // A point on the curve other than the identity, or null.
    PointPtr Decode(const std::uint8_t* bytes, std::size_t size) const {
        PointPtr p = NewPoint();
        if (!p || EC_POINT_oct2point(group.get(), p.get(), bytes, size, ctx.get()) != 1 ||
            EC_POINT_is_at_infinity(group.get(), p.get()) == 1) {
            return nullptr;
        }
        return p;
    }

    bool Encode(const EC_POINT* p, Share& out) const {
        return EC_POINT_point2oct(group.get(), p, POINT_CONVERSION_UNCOMPRESSED, out.data(), out.size(),
                                  ctx.get()) == out.size();
    }
    bool Encode(const EC_POINT* p, std::uint8_t (&out)[kShareSize]) const {
        return EC_POINT_point2oct(group.get(), p, POINT_CONVERSION_UNCOMPRESSED, out, kShareSize,
                                  ctx.get()) == kShareSize;
    }

    const BIGNUM* order() const { return EC_GROUP_get0_order(group.get()); }

    // A uniformly random scalar in [1, order).
    BnPtr RandomScalar() const {
        BnPtr k(BN_new());
        for (int attempt = 0; k && attempt < 8; ++attempt) {
            if (BN_priv_rand_range(k.get(), order()) != 1) return nullptr;
            if (!BN_is_zero(k.get())) return k;
        }
        return nullptr;
    }

    // peer - w * fixed, refused when it is the identity: such a share
    // would cancel the password's mask and leave nothing secret.
    PointPtr Unmask(const EC_POINT* peer, const BIGNUM* w, const EC_POINT* fixed) const {
        PointPtr masked = NewPoint();
        PointPtr out = NewPoint();
        if (!masked || !out || EC_POINT_mul(group.get(), masked.get(), nullptr, fixed, w, ctx.get()) != 1 ||
            EC_POINT_invert(group.get(), masked.get(), ctx.get()) != 1 ||
            EC_POINT_add(group.get(), out.get(), peer, masked.get(), ctx.get()) != 1 ||
            EC_POINT_is_at_infinity(group.get(), out.get()) == 1) {
            return nullptr;
        }
        return out;
    }

    // s * p, refused when it is the identity.
    PointPtr Mul(const EC_POINT* p, const BIGNUM* s) const {
        PointPtr out = NewPoint();
        if (!out || EC_POINT_mul(group.get(), out.get(), nullptr, p, s, ctx.get()) != 1 ||
            EC_POINT_is_at_infinity(group.get(), out.get()) == 1) {
            return nullptr;
        }
        return out;
    }

    // k * P + w * fixed: a share.
    PointPtr Share(const BIGNUM* k, const BIGNUM* w, const EC_POINT* fixed) const {
        PointPtr out = NewPoint();
        if (!out || EC_POINT_mul(group.get(), out.get(), k, fixed, w, ctx.get()) != 1 ||
            EC_POINT_is_at_infinity(group.get(), out.get()) == 1) {
            return nullptr;
        }
        return out;
    }
};

BnPtr ScalarToBn(const Scalar& s) { return BnPtr(BN_bin2bn(s.data(), static_cast<int>(s.size()), nullptr)); }

void PutLength(std::vector<std::uint8_t>& tt, std::size_t length) {
    for (int i = 0; i < 8; ++i) tt.push_back(static_cast<std::uint8_t>(static_cast<std::uint64_t>(length) >> (8 * i)));
}

void PutField(std::vector<std::uint8_t>& tt, const std::uint8_t* data, std::size_t size) {
    PutLength(tt, size);
    tt.insert(tt.end(), data, data + size);
}

void PutField(std::vector<std::uint8_t>& tt, std::string_view text) {
    PutField(tt, reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

bool Hkdf(const std::uint8_t* key, std::size_t keySize, std::string_view info, std::uint8_t* out,
          std::size_t outSize) {
    std::unique_ptr<EVP_PKEY_CTX, PkeyCtxFree> pctx(EVP_PKEY_CTX_new_id(EVP_PKEY_HKDF, nullptr));
    std::size_t length = outSize;
    return pctx && EVP_PKEY_derive_init(pctx.get()) == 1 &&
           EVP_PKEY_CTX_set_hkdf_md(pctx.get(), EVP_sha256()) == 1 &&
           EVP_PKEY_CTX_set1_hkdf_key(pctx.get(), key, static_cast<int>(keySize)) == 1 &&
           EVP_PKEY_CTX_add1_hkdf_info(pctx.get(), reinterpret_cast<const unsigned char*>(info.data()),
                                       static_cast<int>(info.size())) == 1 &&
           EVP_PKEY_derive(pctx.get(), out, &length) == 1 && length == outSize;
}

// TT, K_main = SHA-256(TT), then the confirmation and shared keys.
bool Schedule(const Curve& curve, const Binding& binding, const Share& shareP, const Share& shareV,
              const EC_POINT* Z, const EC_POINT* V, const Scalar& w0, Keys& keys) {
    std::uint8_t m[kShareSize], n[kShareSize], z[kShareSize], v[kShareSize];
    if (!curve.Encode(curve.M.get(), m) || !curve.Encode(curve.N.get(), n) || !curve.Encode(Z, z) ||
        !curve.Encode(V, v)) {
        return false;
    }
    std::vector<std::uint8_t> tt;
    tt.reserve(9 * 8 + binding.context.size() + binding.proverId.size() + binding.verifierId.size() +
               6 * kShareSize + kScalarSize);
    PutField(tt, binding.context.data(), binding.context.size());
    PutField(tt, binding.proverId);
    PutField(tt, binding.verifierId);
    PutField(tt, m, sizeof m);
    PutField(tt, n, sizeof n);
    PutField(tt, shareP.data(), shareP.size());
    PutField(tt, shareV.data(), shareV.size());
    PutField(tt, z, sizeof z);
    PutField(tt, v, sizeof v);
    PutField(tt, w0.data(), w0.size());
    std::uint8_t kMain[32];
    unsigned int mainSize = 0;
    const bool hashed = EVP_Digest(tt.data(), tt.size(), kMain, &mainSize, EVP_sha256(), nullptr) == 1 &&
                        mainSize == sizeof kMain;
    OPENSSL_cleanse(tt.data(), tt.size());
    OPENSSL_cleanse(z, sizeof z);
    OPENSSL_cleanse(v, sizeof v);
    std::uint8_t confirm[2 * kKeySize];
    const bool ok = hashed && Hkdf(kMain, sizeof kMain, "ConfirmationKeys", confirm, sizeof confirm) &&
                    Hkdf(kMain, sizeof kMain, "SharedKey", keys.shared.data(), keys.shared.size());
    std::memcpy(keys.confirmP.data(), confirm, kKeySize);
    std::memcpy(keys.confirmV.data(), confirm + kKeySize, kKeySize);
    OPENSSL_cleanse(kMain, sizeof kMain);
    OPENSSL_cleanse(confirm, sizeof confirm);
    return ok;
}

}  // namespace

bool DeriveProverSecret(std::string_view password, std::string_view proverId, std::string_view verifierId,
                        const PbkdfParams& params, ProverSecret& out) {
    if (params.iterations < kMinIterations || params.iterations > kMaxIterations) return false;
    std::vector<std::uint8_t> input;
    PutField(input, password);
    PutField(input, proverId);
    PutField(input, verifierId);
    // Each half is 64 bits longer than the order, so that its reduction is
    // all but uniform.
    std::uint8_t halves[2 * (kScalarSize + 8)];
    const bool derived =
        PKCS5_PBKDF2_HMAC(reinterpret_cast<const char*>(input.data()), static_cast<int>(input.size()),
                          params.salt.data(), static_cast<int>(params.salt.size()),
                          static_cast<int>(params.iterations), EVP_sha256(), sizeof halves, halves) == 1;
    OPENSSL_cleanse(input.data(), input.size());
    Curve curve;
    bool ok = derived && curve.group && curve.ctx;
    for (int half = 0; ok && half < 2; ++half) {
        BnPtr wide(BN_bin2bn(halves + half * (kScalarSize + 8), kScalarSize + 8, nullptr));
        BnPtr reduced(BN_new());
        Scalar& target = half == 0 ? out.w0 : out.w1;
        ok = wide && reduced && BN_nnmod(reduced.get(), wide.get(), curve.order(), curve.ctx.get()) == 1 &&
             !BN_is_zero(reduced.get()) &&
             BN_bn2binpad(reduced.get(), target.data(), static_cast<int>(target.size())) == kScalarSize;
    }
    OPENSSL_cleanse(halves, sizeof halves);
    return ok;
}

bool MakeVerifier(const ProverSecret& secret, Verifier& out) {
    Curve curve;
    if (!curve.group || !curve.ctx) return false;
    BnPtr w1 = ScalarToBn(secret.w1);
    PointPtr L = curve.NewPoint();
    if (!w1 || !L || EC_POINT_mul(curve.group.get(), L.get(), w1.get(), nullptr, nullptr, curve.ctx.get()) != 1 ||
        !curve.Encode(L.get(), out.L)) {
        return false;
    }
    out.w0 = secret.w0;
    return true;
}

struct Prover::State {
    BnPtr x;
};

Prover::Prover() : state_(new State) {}

Prover::~Prover() {
    delete state_;
    OPENSSL_cleanse(&secret_, sizeof secret_);
}

bool Prover::Start(const ProverSecret& secret, Share& shareP) {
    Curve curve;
    if (!curve.ok()) return false;
    secret_ = secret;
    state_->x = curve.RandomScalar();
    BnPtr w0 = ScalarToBn(secret.w0);
    if (!state_->x || !w0) return false;
    PointPtr X = curve.Share(state_->x.get(), w0.get(), curve.M.get());
    if (!X || !curve.Encode(X.get(), shareP)) return false;
    shareP_ = shareP;
    return true;
}

bool Prover::Finish(const Binding& binding, const Share& shareV, Keys& keys) const {
    Curve curve;
    if (!curve.ok() || !state_->x) return false;
    BnPtr w0 = ScalarToBn(secret_.w0);
    BnPtr w1 = ScalarToBn(secret_.w1);
    PointPtr Y = curve.Decode(shareV.data(), shareV.size());
    if (!w0 || !w1 || !Y) return false;
    PointPtr T = curve.Unmask(Y.get(), w0.get(), curve.N.get());
    if (!T) return false;
    PointPtr Z = curve.Mul(T.get(), state_->x.get());
    PointPtr V = curve.Mul(T.get(), w1.get());
    return Z && V && Schedule(curve, binding, shareP_, shareV, Z.get(), V.get(), secret_.w0, keys);
}

bool Respond(const Verifier& verifier, const Binding& binding, const Share& shareP, Share& shareV, Keys& keys) {
    Curve curve;
    if (!curve.ok()) return false;
    BnPtr w0 = ScalarToBn(verifier.w0);
    PointPtr X = curve.Decode(shareP.data(), shareP.size());
    PointPtr L = curve.Decode(verifier.L.data(), verifier.L.size());
    BnPtr y = curve.RandomScalar();
    if (!w0 || !X || !L || !y) return false;
    PointPtr T = curve.Unmask(X.get(), w0.get(), curve.M.get());
    PointPtr Y = curve.Share(y.get(), w0.get(), curve.N.get());
    if (!T || !Y || !curve.Encode(Y.get(), shareV)) return false;
    PointPtr Z = curve.Mul(T.get(), y.get());
    PointPtr V = curve.Mul(L.get(), y.get());
    return Z && V && Schedule(curve, binding, shareP, shareV, Z.get(), V.get(), verifier.w0, keys);
}

Key ConfirmV(const Keys& keys, const Share& shareP) { return crypto::HmacSha256(keys.confirmV, shareP); }

Key ConfirmP(const Keys& keys, const Share& shareV) { return crypto::HmacSha256(keys.confirmP, shareV); }

bool RandomShare(Share& out) {
    Curve curve;
    if (!curve.group || !curve.ctx) return false;
    BnPtr k = curve.RandomScalar();
    PointPtr p = curve.NewPoint();
    return k && p && EC_POINT_mul(curve.group.get(), p.get(), k.get(), nullptr, nullptr, curve.ctx.get()) == 1 &&
           curve.Encode(p.get(), out);
}

}  // namespace wire::spake2
