// Cuts a byte stream into frames. Bytes arrive in any pieces; a frame is
// handed out once its header has been checked and its whole body is in.
// A bad header poisons the stream: the connection must be dropped.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "netsdk/wire/header.h"

namespace wire {

class FrameAssembler {
public:
    enum class Result { Frame, NeedMore, Bad };

    void Append(std::span<const std::uint8_t> bytes);
    // On Frame, `header` and `body` describe the next frame; the body stays
    // valid until the next call of Append or Next.
    Result Next(Header& header, std::span<const std::uint8_t>& body);
    // Bytes held but not yet handed out.
    std::size_t Buffered() const { return buffer_.size() - consumed_; }

private:
    std::vector<std::uint8_t> buffer_;
    std::size_t consumed_ = 0;
    bool bad_ = false;
};

}  // namespace wire
