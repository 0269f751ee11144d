#include "netsdk/prover_secrets.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <condition_variable>
#include <map>
#include <vector>
#include <mutex>
#include <semaphore>
#include <set>
#include <thread>

#include "netsdk/wire/crypto.h"

namespace netsdk {
namespace {

using CacheKey = wire::crypto::MacBytes;

// Bounded: a flood of devices with fresh parameters cannot grow it without
// limit. Past the bound the table starts afresh.
constexpr std::size_t kMaxKept = 4096;

std::mutex g_mutex;
std::condition_variable g_derived;  // a derivation in progress has ended
std::map<CacheKey, wire::spake2::ProverSecret> g_kept;
std::set<CacheKey> g_deriving;  // keys being derived now, by one thread each
std::atomic<long> g_derivations{0};

// The derivation is the costly step of a login (about 1.5 ms of CPU). A run
// logs in to hundreds of cameras at once: with at most one derivation per
// core but one, a core always stays free for the caller's other work, such
// as a window's thread.
std::counting_semaphore<64>& DerivationSlots() {
    static std::counting_semaphore<64> slots(
        static_cast<std::ptrdiff_t>(std::clamp(std::thread::hardware_concurrency(), 2u, 65u) - 1));
    return slots;
}

// The table is keyed by a hash of everything the secret depends on, so it
// holds no password text.
CacheKey KeyOf(std::string_view user, std::string_view password, const wire::spake2::PbkdfParams& params) {
    std::vector<std::uint8_t> bytes;
    auto put = [&](std::string_view text) {
        bytes.push_back(static_cast<std::uint8_t>(text.size()));
        bytes.insert(bytes.end(), text.begin(), text.end());
    };
    put(user);
    put(password);
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<std::uint8_t>(params.iterations >> (8 * i)));
    bytes.insert(bytes.end(), params.salt.begin(), params.salt.end());
    static const std::uint8_t kLabel[] = {'p', 'r', 'o', 'v', 'e', 'r'};
    const CacheKey key = wire::crypto::HmacSha256(kLabel, bytes);
    wire::crypto::CleanseBytes(bytes.data(), bytes.size());
    return key;
}

void WipeLocked() {
    for (auto& entry : g_kept) wire::crypto::Cleanse(entry.second);
    g_kept.clear();
}

}  // namespace

bool ProverSecretFor(std::string_view user, std::string_view password, const wire::spake2::PbkdfParams& params,
                     wire::spake2::ProverSecret& out) {
    if (params.iterations < wire::spake2::kMinIterations || params.iterations > wire::spake2::kMaxIterations) {
        return false;
    }
    const CacheKey key = KeyOf(user, password, params);
    {
        // Logins to the same device at once wait for one derivation.
        std::unique_lock lock(g_mutex);
        g_derived.wait(lock, [&] { return g_deriving.count(key) == 0; });
        const auto it = g_kept.find(key);
        if (it != g_kept.end()) {
            out = it->second;
            return true;
        }
        g_deriving.insert(key);
    }
    // Derived outside the lock: other logins go on meanwhile.
    wire::spake2::ProverSecret secret;
    DerivationSlots().acquire();
    const bool derived = wire::spake2::DeriveProverSecret(password, user, "", params, secret);
    DerivationSlots().release();
    std::lock_guard lock(g_mutex);
    g_deriving.erase(key);
    g_derived.notify_all();
    if (!derived) return false;
    ++g_derivations;
    if (g_kept.size() >= kMaxKept) WipeLocked();
    g_kept.emplace(key, secret);
    out = secret;
    wire::crypto::Cleanse(secret);
    return true;
}

void ForgetProverSecrets() {
    std::lock_guard lock(g_mutex);
    WipeLocked();
}

long ProverSecretDerivations() { return g_derivations.load(); }

}  // namespace netsdk
