// One HTTP request and its answer, without a socket: what the device service
// reads and writes, whatever server carries it.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace devsim {

using HttpHeaders = std::vector<std::pair<std::string, std::string>>;

struct HttpRequest {
    std::string method;
    std::string path;  // the request target as sent, query included
    HttpHeaders headers;
    std::string body;
};

struct HttpResponse {
    int status = 200;
    HttpHeaders headers;  // a name may repeat (one WWW-Authenticate per algorithm)
    std::string body;
};

// The first header of this name (case-insensitive), or empty.
std::string_view HeaderValue(const HttpHeaders& headers, std::string_view name);

}  // namespace devsim
