#include "netsdk/frame_io.h"

namespace netsdk {

bool SendFrame(const net::Socket& socket, const wire::Bytes& frame, net::Deadline deadline) {
    return net::SendAll(socket, frame, deadline);
}

bool ReadFrameBody(const net::Socket& socket, wire::MsgType expected, std::vector<std::uint8_t>& body,
                   net::Deadline deadline) {
    std::uint8_t headerBytes[wire::kHeaderSize];
    wire::Header header;
    if (!net::RecvExact(socket, headerBytes, deadline) || !wire::DecodeHeader(headerBytes, header) ||
        header.type != expected) {
        return false;
    }
    body.assign(header.bodyLength, 0);
    return net::RecvExact(socket, body, deadline);
}

}  // namespace netsdk
