// The device side of one control connection: login by challenge-response,
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
    explicit ControlSession(DeviceState& device) : device_(device) {}

    struct Output {
        std::vector<wire::Bytes> frames;
        bool close = false;       // close after sending the frames
        bool deviceGone = false;  // the device vanishes from the network
    };

    void OnBytes(std::span<const std::uint8_t> bytes, SimClock::time_point now, Output& out);

private:
    enum class Stage { AwaitStart, AwaitProof, LoggedIn, Silent, Closed };

    void OnFrame(const wire::Header& header, std::span<const std::uint8_t> body,
                 SimClock::time_point now, Output& out);
    void OnStart(std::span<const std::uint8_t> body, Output& out);
    void OnProof(std::span<const std::uint8_t> body, SimClock::time_point now, Output& out);
    void OnConfig(std::span<const std::uint8_t> body, Output& out);
    void Finish(Output& out, wire::Status status);

    DeviceState& device_;
    wire::FrameAssembler assembler_;
    Stage stage_ = Stage::AwaitStart;
    wire::LoginStart start_;
    wire::Nonce nonce_{};
};

// The configuration block answer for a command, as a device gives it.
wire::ConfigResult ConfigAnswer(const DeviceProfile& device, std::uint32_t command, std::int32_t channel);

}  // namespace devsim
