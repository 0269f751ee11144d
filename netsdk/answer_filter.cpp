#include "netsdk/answer_filter.h"

#include "netsdk/wire/header.h"

namespace netsdk {

bool ParseRunAnswer(std::span<const std::uint8_t> datagram, const wire::Token& token, DeviceRecord& record) {
    wire::Header header;
    std::span<const std::uint8_t> body;
    wire::Answer answer;
    if (!wire::OpenDatagram(datagram, header, body) || header.type != wire::MsgType::Answer ||
        !wire::Decode(body, answer) || answer.token != token || answer.record.sn[0] == '\0') {
        return false;
    }
    record = answer.record;
    return true;
}

}  // namespace netsdk
