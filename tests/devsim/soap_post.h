// One SOAP POST with libcurl for the simulated ONVIF device's tests: no
// proxy, bounded in time; with credentials, curl answers the device's
// Digest challenge. Status 0 when curl itself failed.
#pragma once

#include <curl/curl.h>

#include <string>

namespace soap_test {

struct Reply {
    long status = 0;  // 0: no connection
    std::string body;
};

struct DigestLogin {
    std::string user;
    std::string password;
};

inline std::size_t Collect(char* data, std::size_t size, std::size_t count, void* out) {
    static_cast<std::string*>(out)->append(data, size * count);
    return size * count;
}

inline Reply Post(const std::string& url, const std::string& body, const DigestLogin* digest = nullptr) {
    Reply reply;
    CURL* curl = curl_easy_init();
    if (curl == nullptr) return reply;
    curl_slist* headers = curl_slist_append(nullptr, "Content-Type: application/soap+xml; charset=utf-8");
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.c_str());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE, static_cast<long>(body.size()));
    if (digest != nullptr) {
        curl_easy_setopt(curl, CURLOPT_HTTPAUTH, CURLAUTH_DIGEST);
        curl_easy_setopt(curl, CURLOPT_USERNAME, digest->user.c_str());
        curl_easy_setopt(curl, CURLOPT_PASSWORD, digest->password.c_str());
    }
    curl_easy_setopt(curl, CURLOPT_NOPROXY, "*");
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, 5L);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, 20L);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Collect);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &reply.body);
    if (curl_easy_perform(curl) == CURLE_OK) curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &reply.status);
    curl_slist_free_all(headers);
    curl_easy_cleanup(curl);
    return reply;
}

}  // namespace soap_test
