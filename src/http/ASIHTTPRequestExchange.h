#pragma once
// Inside ASIHTTPRequest only: one message exchange with the server or proxy,
// filled in by libcurl's callbacks as the answer comes in.
#include <array>
#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "http/ASIHTTPRequest.h"
#include "http/CurlLibrary.h"

namespace brim {

// One message exchange with the server or proxy: what was sent and received
// before it ended.
struct ASIHTTPRequest::Exchange {
  CURLcode result = CURLE_FAILED_INIT;
  bool timedOut = false;
  bool tooLarge = false;
  long responseCode = 0;
  long connectCode = 0;
  bool isHTTP10 = false;
  bool headersComplete = false;
  std::string statusLine;
  HeaderFields headers;
  std::string body;
  std::optional<std::string> redirectURL;
  std::string connectionKey;
  std::array<char, CURL_ERROR_SIZE> errorText{};
  std::chrono::steady_clock::time_point lastActivity = std::chrono::steady_clock::now();
  curl_off_t uploaded = 0;

  bool tunnelRefused() const { return connectCode != 0 && connectCode / 100 != 2; }

  // A challenge or a redirect is acted on once its headers are in, whatever
  // becomes of its body: a proxy that refuses a post often resets the
  // connection while the body is still going out.
  bool decidedByHeaders() const {
    const long status = tunnelRefused() ? connectCode : responseCode;
    return headersComplete && (status == 401 || status == 407 ||
                               (redirectURL && (status == 301 || status == 302 || status == 303 || status == 307)));
  }

  static size_t onHeader(char* data, size_t size, size_t count, void* user) {
    auto& exchange = *static_cast<Exchange*>(user);
    const size_t length = size * count;
    exchange.lastActivity = std::chrono::steady_clock::now();
    std::string_view line(data, length);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
    if (line.starts_with("HTTP/")) {
      // A new header block: a proxy's answer to CONNECT or to a challenge came first.
      exchange.headers.clear();
      exchange.headersComplete = false;
      exchange.statusLine = std::string(line);
      exchange.isHTTP10 = line.starts_with("HTTP/1.0");
    } else if (line.empty()) {
      exchange.headersComplete = true;
    } else if (!line.empty() && (line.front() == ' ' || line.front() == '\t') && !exchange.headers.empty()) {
      exchange.headers.back().second += ' ';
      exchange.headers.back().second += line.substr(line.find_first_not_of(" \t"));
    } else if (const size_t colon = line.find(':'); colon != std::string_view::npos) {
      std::string_view value = line.substr(colon + 1);
      while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) value.remove_prefix(1);
      exchange.headers.emplace_back(std::string(line.substr(0, colon)), std::string(value));
    }
    return length;
  }

  static size_t onBody(char* data, size_t size, size_t count, void* user) {
    auto& exchange = *static_cast<Exchange*>(user);
    exchange.lastActivity = std::chrono::steady_clock::now();
    exchange.tooLarge = !appendToAnswer(exchange.body, data, size * count);
    return exchange.tooLarge ? 0 : size * count;
  }

  static int onProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t uploadedNow) {
    auto& exchange = *static_cast<Exchange*>(user);
    if (uploadedNow != exchange.uploaded) {
      exchange.uploaded = uploadedNow;
      exchange.lastActivity = std::chrono::steady_clock::now();
    }
    return 0;
  }
};

}  // namespace brim
