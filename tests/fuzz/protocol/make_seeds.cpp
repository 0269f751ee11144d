// Writes the seed corpus: one valid instance of every message each parser
// sees, plus the sample settings and fleet files. Run once; the output is
// committed under corpus/.
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "devsim/fleet_generator.h"
#include "devsim/fleet_xml.h"
#include "devsim/onvif/http_digest.h"
#include "fuzz_bodies.h"
#include "netsdk/onvif/requests.h"
#include "netsdk/wire/auth.h"
#include "netsdk/wire/messages.h"

namespace {

namespace fs = std::filesystem;

void Write(const fs::path& dir, const std::string& name, const std::vector<std::uint8_t>& bytes) {
    fs::create_directories(dir);
    std::ofstream(dir / name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                      static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::uint8_t> Text(const std::string& text) { return {text.begin(), text.end()}; }

// A two-byte length before each datagram, as the device_datagram body reads them.
std::vector<std::uint8_t> Chain(const std::vector<std::vector<std::uint8_t>>& parts) {
    std::vector<std::uint8_t> out;
    for (const auto& part : parts) {
        out.push_back(static_cast<std::uint8_t>(part.size() & 0xFF));
        out.push_back(static_cast<std::uint8_t>(part.size() >> 8));
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

// An Authorization header the fuzzed device accepts once (nonce count 1).
std::string DigestHeader(const std::string& algorithm) {
    const std::string realm = "device@SN1";
    const std::string ha1 = devsim::DigestHex(algorithm, std::string(fuzz::kOnvifUser) + ":" + realm + ":" +
                                                             fuzz::kOnvifPassword);
    const std::string ha2 = devsim::DigestHex(algorithm, std::string("POST:") + fuzz::kOnvifPath);
    const std::string response =
        devsim::DigestHex(algorithm, ha1 + ":" + fuzz::kOnvifDigestNonce + ":00000001:c0ffee:auth:" + ha2);
    return std::string("Digest username=\"") + fuzz::kOnvifUser + "\", realm=\"" + realm + "\", nonce=\"" +
           fuzz::kOnvifDigestNonce + "\", uri=\"" + fuzz::kOnvifPath + "\", algorithm=" + algorithm +
           ", qop=auth, nc=00000001, cnonce=\"c0ffee\", response=\"" + response + "\"";
}

void WriteDeviceRequests(const fs::path& dir) {
    onvif::UsernameToken token{fuzz::kOnvifUser, fuzz::kOnvifPassword, {}, onvif::CreatedTime(fuzz::kOnvifNow, 0)};
    for (std::uint8_t i = 0; i < 16; ++i) token.nonce.push_back(i);
    using R = onvif::DeviceRequest;
    Write(dir, "clock", Text("\n" + onvif::BuildRequest(R::GetSystemDateAndTime, nullptr)));
    Write(dir, "no_credentials", Text("\n" + onvif::BuildRequest(R::GetDNS, nullptr)));
    Write(dir, "token_info", Text("\n" + onvif::BuildRequest(R::GetDeviceInformation, &token)));
    Write(dir, "token_set_interfaces",
          Text("\n" + onvif::BuildSetNetworkInterfaces("eth0", "127.0.0.10", 24, &token)));
    Write(dir, "token_set_gateway", Text("\n" + onvif::BuildSetNetworkDefaultGateway("127.0.0.1", &token)));
    Write(dir, "digest_sha256_interfaces",
          Text(DigestHeader("SHA-256") + "\n" + onvif::BuildRequest(R::GetNetworkInterfaces, nullptr)));
    Write(dir, "digest_md5_reboot", Text(DigestHeader("MD5") + "\n" + onvif::BuildRequest(R::SystemReboot, nullptr)));
}

void Append(std::vector<std::uint8_t>& stream, const std::vector<std::uint8_t>& frame) {
    stream.insert(stream.end(), frame.begin(), frame.end());
}

}  // namespace

int main(int argc, char** argv) {
    const fs::path root = argc > 1 ? argv[1] : "corpus";
    devsim::GeneratorOptions options;
    options.count = 2;
    const devsim::Fleet fleet = devsim::GenerateFleet(options);

    wire::Answer answer;
    answer.record = fleet.devices[0].record;
    Write(root / "sdk_datagram", "answer", wire::Encode(answer));
    wire::ModifyParams params;
    std::memcpy(params.id.sn, answer.record.sn, sizeof params.id.sn);
    Write(root / "sdk_datagram", "modify_params", wire::Encode(params));
    wire::ModifyConfirm confirm;
    confirm.status = wire::Status::Ok;
    confirm.id = params.id;
    wire::spake2::RandomShare(confirm.shareV);
    Write(root / "sdk_datagram", "modify_confirm", wire::Encode(confirm));
    wire::ModifyResult result;
    result.status = wire::Status::Ok;
    Write(root / "sdk_datagram", "modify_result", wire::Encode(result));

    Write(root / "sdk_frame", "login_params", wire::Encode(wire::LoginParams{}));
    wire::LoginConfirm loginConfirm;
    loginConfirm.status = wire::Status::Ok;
    loginConfirm.shareV = confirm.shareV;
    Write(root / "sdk_frame", "login_confirm", wire::Encode(loginConfirm));
    wire::LoginResult login;
    login.status = wire::Status::Ok;
    std::memcpy(login.sn, answer.record.sn, sizeof login.sn);
    Write(root / "sdk_frame", "login_result", wire::Encode(login));
    wire::ConfigResult config;
    config.status = wire::Status::Ok;
    config.count = 10;
    for (std::size_t i = 0; i < 10; ++i) std::snprintf(config.entries[i].name, 48, "Entry%zu", i);
    std::snprintf(config.entries[3].name, 48, "SensorModel");
    std::snprintf(config.entries[3].value, 256, "IMX291");
    Write(root / "sdk_frame", "config_result", wire::Encode(config));

    Write(root / "sdk_settings", "loopback", Text("discovery_port = 39300\ntargets = 127.0.0.1, 127.0.0.2:40000\n"
                                                  "window_ms = 1500\nprobe_repeats = 3\nuser = admin\n"
                                                  "password = tarnwick\nconnect_timeout_ms = 1000\n"
                                                  "io_timeout_ms = 1500\nmodify_timeout_ms = 1500\n"
                                                  "bind_address = 127.0.0.1\nreceive_buffer_bytes = 4194304\n"));
    Write(root / "sdk_settings", "auto", Text("# LAN default\ntargets = auto\n"));

    Write(root / "device_datagram", "probe", wire::Encode(wire::Probe{}));
    wire::ModifyHello hello;
    std::memcpy(hello.id.sn, answer.record.sn, sizeof hello.id.sn);
    std::memcpy(hello.id.mac, answer.record.eth0.mac, 6);
    std::memcpy(hello.user, "admin", 6);
    Write(root / "device_datagram", "modify_hello", wire::Encode(hello));
    // A share on the curve, so that the device's side of the exchange runs.
    wire::spake2::ProverSecret secret;
    wire::spake2::Prover prover;
    wire::spake2::Share shareP{};
    wire::spake2::DeriveProverSecret("tarnwick", "admin", "", {}, secret);
    prover.Start(secret, shareP);
    wire::ModifyShare share;
    share.id = hello.id;
    share.shareP = shareP;
    Write(root / "device_datagram", "modify_share", wire::Encode(share));
    wire::ModifyRequest request;
    request.id = hello.id;
    std::snprintf(request.ip, 16, "127.1.2.3");
    std::snprintf(request.mask, 16, "255.0.0.0");
    std::snprintf(request.gw, 16, "127.0.0.1");
    Write(root / "device_datagram", "modify_request", wire::Encode(request));
    Write(root / "device_datagram", "hello_share_request",
          Chain({wire::Encode(hello), wire::Encode(share), wire::Encode(request)}));

    wire::LoginStart start;
    std::memcpy(start.user, "admin", 6);
    wire::LoginShare loginShare;
    loginShare.shareP = shareP;
    auto stream = wire::Encode(start);
    Append(stream, wire::Encode(loginShare));
    Append(stream, wire::Encode(wire::LoginFinish{}));
    Append(stream, wire::Encode(wire::ConfigRequest{533, 0}));
    Append(stream, wire::EncodeLogout());
    Write(root / "device_stream", "login_read_logout", stream);
    Write(root / "device_stream", "login_start", wire::Encode(start));

    Write(root / "key_exchange", "share", {shareP.begin(), shareP.end()});

    Write(root / "fleet_xml", "generated", Text(devsim::FleetToXml(fleet)));
    WriteDeviceRequests(root / "onvif_device_request");
    const std::string probe = onvif::BuildProbe("urn:uuid:6d2f3a10-0000-4000-8000-000000000001",
                                                onvif::ProbeType::NetworkVideoTransmitter);
    Write(root / "onvif_probe", "transmitter", Text(probe));
    Write(root / "onvif_probe", "device",
          Text(onvif::BuildProbe("urn:uuid:6d2f3a10-0000-4000-8000-000000000002", onvif::ProbeType::Device)));
    std::string untyped = probe;
    untyped.erase(untyped.find("<d:Types>"), untyped.find("</d:Probe>") - untyped.find("<d:Types>"));
    Write(root / "onvif_probe", "untyped", Text(untyped));
    return 0;
}
