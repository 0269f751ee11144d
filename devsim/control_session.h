// The device side of one control connection: login by key exchange,
// configuration reads, logout. Pure logic: bytes in, frames out, so that it
// can be driven by the event loop and by tests and fuzzers alike.
#pragma once

#include <span>
#include <vector>

#include "devsim/device_state.h"
#include "netsdk/wire/frame_assembler.h"

namespace devsim {

class ControlSession {
public:
    // `peer`: the client's IPv4 address (host order), for the per-source
    // back-off of failed logins.
    ControlSession(DeviceState& device, std::uint32_t peer) : device_(device), peer_(peer) {}
    ~ControlSession();
    ControlSession(const ControlSession&) = delete;
    ControlSession& operator=(const ControlSession&) = delete;

    struct Output {
        std::vector<wire::Bytes> frames;
        bool close = false;       // close after sending the frames
        bool deviceGone = false;  // the device vanishes from the network
    };

    void OnBytes(std::span<const std::uint8_t> bytes, SimClock::time_point now, Output& out);

private:
    enum class Stage { AwaitStart, AwaitShare, AwaitFinish, LoggedIn, Silent, Closed };

    void OnFrame(const wire::Header& header, std::span<const std::uint8_t> body,
                 SimClock::time_point now, Output& out);
    void OnStart(std::span<const std::uint8_t> body, Output& out);
    void OnShare(std::span<const std::uint8_t> body, SimClock::time_point now, Output& out);
    void OnFinish(std::span<const std::uint8_t> body, SimClock::time_point now, Output& out);
    void OnConfig(std::span<const std::uint8_t> body, Output& out);
    void Refuse(Output& out, wire::Status status);
    void Close(Output& out);

    DeviceState& device_;
    std::uint32_t peer_;
    wire::FrameAssembler assembler_;
    Stage stage_ = Stage::AwaitStart;
    bool knownUser_ = false;
    bool open_ = false;  // an exchange counted by the limiter, not yet ended
    wire::spake2::PbkdfParams params_;
    wire::spake2::Share shareV_{};
    wire::spake2::Keys keys_;
};

// The configuration block answer for a command, as a device gives it.
wire::ConfigResult ConfigAnswer(const DeviceProfile& device, std::uint32_t command, std::int32_t channel);

}  // namespace devsim
