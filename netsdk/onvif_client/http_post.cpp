#include "netsdk/onvif_client/http_post.h"

#include <curl/curl.h>

#include <algorithm>
#include <cstring>
#include <mutex>

namespace netsdk::onvif_client {
namespace {

void GlobalInit() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct Transfer {
    HttpAnswer* answer;
    bool overflow = false;
};

std::size_t OnBody(char* data, std::size_t size, std::size_t count, void* user) {
    auto* transfer = static_cast<Transfer*>(user);
    const std::size_t bytes = size * count;
    if (transfer->answer->body.size() + bytes > kMaxAnswerBytes) {
        transfer->overflow = true;
        return 0;  // aborts the transfer
    }
    transfer->answer->body.append(data, bytes);
    return bytes;
}

// `prefix` in lower case.
bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(),
                      [](char lower, char c) { return std::tolower(static_cast<unsigned char>(c)) == lower; });
}

std::size_t OnHeader(char* data, std::size_t size, std::size_t count, void* user) {
    auto* transfer = static_cast<Transfer*>(user);
    std::string_view line(data, size * count);
    // A new status line starts the headers of the next answer (after 100
    // Continue or a Digest round): only the last answer's headers count.
    if (StartsWithNoCase(line, "http/")) transfer->answer->digestChallenge = false;
    if (StartsWithNoCase(line, "www-authenticate:")) {
        line.remove_prefix(std::strlen("www-authenticate:"));
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
        if (StartsWithNoCase(line, "digest")) transfer->answer->digestChallenge = true;
    }
    return size * count;
}

int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    const auto* stop = static_cast<const std::atomic<bool>*>(user);
    return stop != nullptr && stop->load() ? 1 : 0;
}

}  // namespace

struct HttpPost::Handle {
    CURL* curl = nullptr;
    ~Handle() {
        if (curl != nullptr) curl_easy_cleanup(curl);
    }
};

HttpPost::HttpPost(std::string url, const std::atomic<bool>* stop)
    : url_(std::move(url)), stop_(stop), handle_(std::make_unique<Handle>()) {
    GlobalInit();
    handle_->curl = curl_easy_init();
}

HttpPost::~HttpPost() = default;

HttpAnswer HttpPost::Post(std::string_view envelope, std::string_view action,
                          std::chrono::steady_clock::time_point deadline, const DigestCredentials* digest) {
    HttpAnswer answer;
    CURL* curl = handle_->curl;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (curl == nullptr || left.count() <= 0) return answer;

    Transfer transfer{&answer};
    const std::string contentType = "Content-Type: application/soap+xml; charset=utf-8; action=\"" +
                                    std::string(action) + "\"";
    curl_slist* headers = curl_slist_append(nullptr, contentType.c_str());
    // No "Expect: 100-continue" pause before the body.
    if (headers != nullptr) headers = curl_slist_append(headers, "Expect:");
    if (headers == nullptr) return answer;

    curl_easy_setopt(curl, CURLOPT_URL, url_.c_str());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
    // Devices sit on the local network: an environment's proxy never sees them.
    curl_easy_setopt(curl, CURLOPT_PROXY, "");
    curl_easy_setopt(curl, CURLOPT_NOPROXY, "*");
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(left.count()));
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(left.count()));
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE, static_cast<long>(envelope.size()));
    curl_easy_setopt(curl, CURLOPT_COPYPOSTFIELDS, std::string(envelope).c_str());
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, OnBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, OnHeader);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, OnProgress);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, stop_);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, stop_ != nullptr ? 0L : 1L);
    curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(kMaxAnswerBytes));
    if (digest != nullptr) {
        curl_easy_setopt(curl, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_DIGEST));
        curl_easy_setopt(curl, CURLOPT_USERNAME, digest->user.c_str());
        curl_easy_setopt(curl, CURLOPT_PASSWORD, digest->password.c_str());
    } else {
        curl_easy_setopt(curl, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_NONE));
        curl_easy_setopt(curl, CURLOPT_USERNAME, nullptr);
        curl_easy_setopt(curl, CURLOPT_PASSWORD, nullptr);
    }

    const CURLcode result = curl_easy_perform(curl);
    curl_slist_free_all(headers);
    // The credentials do not stay in the handle past the request.
    curl_easy_setopt(curl, CURLOPT_USERNAME, nullptr);
    curl_easy_setopt(curl, CURLOPT_PASSWORD, nullptr);
    if (result != CURLE_OK || transfer.overflow) {
        answer.body.clear();
        return answer;
    }
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &answer.status);
    answer.transferred = true;
    return answer;
}

}  // namespace netsdk::onvif_client
