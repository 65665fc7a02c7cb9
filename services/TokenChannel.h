// The token channel: a synchronous WinINet POST that exchanges a download URL for
// a token-bearing one at the service host's "/v1/token".
//
// Threads: no shared state; blocking; callable from any thread (the
// user-interface thread and download workers use it).
#pragma once

#include <string>

namespace stubframework::core {

// POSTs `body` to a complete http or https URL (its query is part of the request
// path) with the browser's user agent and the system's proxy settings, and reads
// the whole answer. The HTTP status is not examined: any readable answer is a
// success. On failure `response` is empty.
[[nodiscard]] bool PostToUrl(const std::wstring& url, const std::string& body, std::string& response);

// Exchanges `url` for the tokenized URL the service answers with. On success the
// URL is replaced; on any failure (no answer, no "tokenizedUrl" value, an answer
// that is not UTF-8) it stays as it was and the result is false.
[[nodiscard]] bool TokenizeUrl(std::wstring& url);

// The token endpoint of this build.
std::wstring TokenEndpoint();

}  // namespace stubframework::core
