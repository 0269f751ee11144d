#include "netsdk/wire/frame_assembler.h"

namespace wire {

void FrameAssembler::Append(std::span<const std::uint8_t> bytes) {
    if (bad_) return;
    if (consumed_ != 0) {
        buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(consumed_));
        consumed_ = 0;
    }
    buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
}

FrameAssembler::Result FrameAssembler::Next(Header& header, std::span<const std::uint8_t>& body) {
    if (bad_) return Result::Bad;
    const std::span<const std::uint8_t> pending(buffer_.data() + consumed_, Buffered());
    if (pending.size() < kHeaderSize) {
        // Check a partial header as far as it goes, so garbage is refused
        // without waiting for more of it.
        for (std::size_t i = 0; i < pending.size() && i < sizeof kMagic; ++i) {
            if (pending[i] != kMagic[i]) {
                bad_ = true;
                return Result::Bad;
            }
        }
        return Result::NeedMore;
    }
    Header decoded;
    if (!DecodeHeader(pending, decoded) || !IsFrameType(decoded.type)) {
        bad_ = true;
        return Result::Bad;
    }
    if (pending.size() - kHeaderSize < decoded.bodyLength) return Result::NeedMore;
    header = decoded;
    body = pending.subspan(kHeaderSize, decoded.bodyLength);
    consumed_ += kHeaderSize + decoded.bodyLength;
    return Result::Frame;
}

}  // namespace wire
