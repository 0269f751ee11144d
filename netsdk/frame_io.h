// Frames over a connected stream socket, each read bounded by a deadline.
#pragma once

#include <vector>

#include "netsdk/net/socket_io.h"
#include "netsdk/wire/header.h"
#include "netsdk/wire/messages.h"

namespace netsdk {

bool SendFrame(const net::Socket& socket, const wire::Bytes& frame, net::Deadline deadline);

// Reads one whole frame and checks that it is of `expected` type. Fails on
// a timeout, a closed stream, a bad header or an unexpected type.
bool ReadFrameBody(const net::Socket& socket, wire::MsgType expected, std::vector<std::uint8_t>& body,
                   net::Deadline deadline);

template <typename Message>
bool ReadFrame(const net::Socket& socket, wire::MsgType expected, Message& message,
               net::Deadline deadline) {
    std::vector<std::uint8_t> body;
    return ReadFrameBody(socket, expected, body, deadline) && wire::Decode(body, message);
}

}  // namespace netsdk
