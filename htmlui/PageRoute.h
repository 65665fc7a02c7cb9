// Decides what a request to the browser page host asks for. Pure: works on the
// request's Host header and absolute path, so it builds natively and is fuzzed.
//
// Every URL carries the run's token as its first path segment
// ("/<token>/Load.html"); a request without it, or with any Host other than
// the loopback address and port the host listens on, is forbidden.
#pragma once

#include <string>

namespace stubframework::htmlui {

struct PageRoute {
  enum class Kind {
    Forbidden,   // 403
    NotFound,    // 404: a malformed or unsafe path
    File,        // a file of the page folder: `path` is relative, "/"-separated, decoded
    ShimScript,  // the script that stands in for window.external
    Call,        // POST: a call from the page to the host
    Resume,      // POST: the page has run a function the host asked for during a call
    Events,      // GET: long poll for function calls and window operations
    Done,        // POST: the page has run a function delivered through the events
  };
  Kind kind = Kind::Forbidden;
  std::string path;
};

// `host` is the Host header, `absPath` the path with its query, as received.
PageRoute routePageRequest(const std::string& host, const std::string& absPath, const std::string& expectedHost,
                           const std::string& token);

// Percent-decodes a path and checks each "/"-separated segment: no "." or "..",
// no empty segment, no backslash, colon or control character. Empty on refusal.
std::string safeRelativePath(const std::string& encoded);

// The content type served for a file name.
const char* contentTypeFor(const std::string& path);

}  // namespace stubframework::htmlui
