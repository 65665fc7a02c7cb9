#include "htmlui/PageRoute.h"

#include <cctype>
#include <cstring>

namespace stubframework::htmlui {

namespace {

constexpr char kApiPrefix[] = "__external/";

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool segmentAllowed(const std::string& segment) {
  if (segment.empty() || segment == "." || segment == "..") return false;
  for (const char c : segment) {
    if (c == '\\' || c == ':' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
  }
  return true;
}

bool equalsIgnoreCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (tolower(static_cast<unsigned char>(a[i])) != tolower(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}

bool endsWithIgnoreCase(const std::string& text, const char* suffix) {
  const size_t n = strlen(suffix);
  return text.size() >= n && equalsIgnoreCase(text.substr(text.size() - n), suffix);
}

}  // namespace

std::string safeRelativePath(const std::string& encoded) {
  std::string decoded;
  for (size_t i = 0; i < encoded.size(); ++i) {
    if (encoded[i] == '%') {
      if (i + 2 >= encoded.size()) return {};
      const int high = hexValue(encoded[i + 1]), low = hexValue(encoded[i + 2]);
      if (high < 0 || low < 0) return {};
      decoded += static_cast<char>(high * 16 + low);
      i += 2;
    } else {
      decoded += encoded[i];
    }
  }
  if (decoded.empty()) return {};
  size_t start = 0;
  for (;;) {
    const size_t slash = decoded.find('/', start);
    const std::string segment = decoded.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
    if (!segmentAllowed(segment)) return {};
    if (slash == std::string::npos) break;
    start = slash + 1;
  }
  return decoded;
}

PageRoute routePageRequest(const std::string& host, const std::string& absPath, const std::string& expectedHost,
                           const std::string& token) {
  PageRoute route;
  if (token.empty() || !equalsIgnoreCase(host, expectedHost)) return route;
  const std::string path = absPath.substr(0, absPath.find_first_of("?#"));
  const std::string prefix = "/" + token + "/";
  if (path.compare(0, prefix.size(), prefix) != 0) return route;
  const std::string rest = path.substr(prefix.size());

  route.kind = PageRoute::Kind::NotFound;
  if (rest.compare(0, strlen(kApiPrefix), kApiPrefix) == 0) {
    const std::string api = rest.substr(strlen(kApiPrefix));
    if (api == "shim.js") route.kind = PageRoute::Kind::ShimScript;
    else if (api == "call") route.kind = PageRoute::Kind::Call;
    else if (api == "resume") route.kind = PageRoute::Kind::Resume;
    else if (api == "events") route.kind = PageRoute::Kind::Events;
    else if (api == "done") route.kind = PageRoute::Kind::Done;
    return route;
  }
  route.path = safeRelativePath(rest);
  if (!route.path.empty()) route.kind = PageRoute::Kind::File;
  return route;
}

const char* contentTypeFor(const std::string& path) {
  struct Type {
    const char* suffix;
    const char* type;
  };
  static const Type kTypes[] = {
      {".html", "text/html; charset=utf-8"}, {".htm", "text/html; charset=utf-8"},
      {".js", "text/javascript; charset=utf-8"}, {".css", "text/css; charset=utf-8"},
      {".json", "application/json"}, {".png", "image/png"}, {".jpg", "image/jpeg"}, {".jpeg", "image/jpeg"},
      {".gif", "image/gif"}, {".svg", "image/svg+xml"}, {".ico", "image/x-icon"}, {".woff", "font/woff"},
      {".woff2", "font/woff2"}, {".ttf", "font/ttf"}, {".txt", "text/plain; charset=utf-8"},
  };
  for (const Type& t : kTypes) {
    if (endsWithIgnoreCase(path, t.suffix)) return t.type;
  }
  return "application/octet-stream";
}

}  // namespace stubframework::htmlui
