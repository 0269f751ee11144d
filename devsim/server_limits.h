// What one simulator process lets a client use up: connections, time
// before a login, unsent output, delayed answers and answers per source
// address. The defaults leave room for a benchmark of hundreds of
// concurrent logins and thousands of devices answering one client.
#pragma once

#include <chrono>
#include <cstddef>

namespace devsim {

struct AnswerBudget {
    double burst = 16384;        // datagrams a quiet source address may draw at once
    double perSecond = 4096;     // and then per second
    std::size_t sources = 4096;  // source addresses tracked at once
};

struct ServerLimits {
    std::size_t connectionsPerDevice = 32;
    std::size_t connections = 0;  // in total; 0: from the descriptor limit, at most 4096
    std::chrono::milliseconds loginTimeout{10000};  // from accept to a successful login
    std::chrono::milliseconds idleTimeout{300000};  // a logged-in session that sends nothing
    std::size_t unsentBytes = 64 * 1024;  // per connection; its input waits beyond this
    std::chrono::milliseconds acceptPause{100};  // listeners rest after running out of descriptors
    std::size_t delayedDatagrams = 32768;           // waiting for their send time, in total
    std::size_t delayedDatagramsPerAddress = 8192;  // and per destination address
    std::size_t unsentDatagrams = 4096;  // waiting for room in the discovery socket
    AnswerBudget answers;
};

}  // namespace devsim
