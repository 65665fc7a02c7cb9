#include "tests/services/ServiceHostRecord.h"

#include "base/Platform.h"
#include "tests/support/TestSupport.h"

#include <cctype>
#include <cstdlib>
#include <sstream>

namespace servicetest {

namespace {

class Parser {
 public:
  explicit Parser(const std::string& text) : text_(text) {}

  bool document(Json& out) {
    if (!value(out)) return false;
    skipSpace();
    return pos_ == text_.size();
  }

 private:
  void skipSpace() {
    while (pos_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[pos_]))) ++pos_;
  }
  bool literal(const char* word) {
    const std::string w(word);
    if (text_.compare(pos_, w.size(), w) != 0) return false;
    pos_ += w.size();
    return true;
  }
  static void appendUtf8(std::string& out, unsigned code) {
    if (code < 0x80) {
      out += static_cast<char>(code);
    } else if (code < 0x800) {
      out += static_cast<char>(0xC0 | (code >> 6));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      out += static_cast<char>(0xE0 | (code >> 12));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (code >> 18));
      out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    }
  }
  bool hex4(unsigned& code) {
    if (pos_ + 4 > text_.size()) return false;
    code = static_cast<unsigned>(std::strtoul(text_.substr(pos_, 4).c_str(), nullptr, 16));
    pos_ += 4;
    return true;
  }
  bool string(std::string& out) {
    if (pos_ >= text_.size() || text_[pos_] != '"') return false;
    ++pos_;
    while (pos_ < text_.size()) {
      const char c = text_[pos_++];
      if (c == '"') return true;
      if (c != '\\') {
        out += c;
        continue;
      }
      if (pos_ >= text_.size()) return false;
      const char e = text_[pos_++];
      switch (e) {
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'u': {
          unsigned code = 0;
          if (!hex4(code)) return false;
          if (code >= 0xD800 && code < 0xDC00 && literal("\\u")) {
            unsigned low = 0;
            if (!hex4(low)) return false;
            code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
          }
          appendUtf8(out, code);
          break;
        }
        default: out += e;
      }
    }
    return false;
  }
  bool value(Json& out) {
    skipSpace();
    if (pos_ >= text_.size()) return false;
    const char c = text_[pos_];
    if (c == '{') {
      out.kind = Json::kObject;
      ++pos_;
      skipSpace();
      if (pos_ < text_.size() && text_[pos_] == '}') return ++pos_, true;
      for (;;) {
        skipSpace();
        std::string name;
        if (!string(name)) return false;
        skipSpace();
        if (!literal(":")) return false;
        Json member;
        if (!value(member)) return false;
        out.members.emplace_back(std::move(name), std::move(member));
        skipSpace();
        if (literal(",")) continue;
        return literal("}");
      }
    }
    if (c == '[') {
      out.kind = Json::kArray;
      ++pos_;
      skipSpace();
      if (pos_ < text_.size() && text_[pos_] == ']') return ++pos_, true;
      for (;;) {
        Json item;
        if (!value(item)) return false;
        out.items.push_back(std::move(item));
        skipSpace();
        if (literal(",")) continue;
        return literal("]");
      }
    }
    if (c == '"') {
      out.kind = Json::kString;
      return string(out.text);
    }
    if (literal("true")) return out.kind = Json::kBool, out.boolean = true, true;
    if (literal("false")) return out.kind = Json::kBool, true;
    if (literal("null")) return out.kind = Json::kNull, true;
    char* end = nullptr;
    out.number = std::strtod(text_.c_str() + pos_, &end);
    if (end == text_.c_str() + pos_) return false;
    out.kind = Json::kNumber;
    pos_ = static_cast<size_t>(end - text_.c_str());
    return true;
  }

  const std::string& text_;
  size_t pos_ = 0;
};

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

const Json* Json::find(const std::string& name) const {
  for (const auto& [key, value] : members) {
    if (key == name) return &value;
  }
  return nullptr;
}

std::string Json::str(const std::string& name) const {
  const Json* member = find(name);
  return member && member->kind == kString ? member->text : std::string();
}

bool ParseJson(const std::string& text, Json& out) { return Parser(text).document(out); }

std::string RecordedRequest::header(const std::string& name) const {
  for (const auto& [key, value] : headers) {
    if (Lower(key) == Lower(name)) return value;
  }
  return {};
}

ServiceHostRecord::ServiceHostRecord()
    : record_(testsupport::EnvironmentValue(L"SERVICE_HOST_RECORD")),
      config_(testsupport::EnvironmentValue(L"SERVICE_HOST_CONFIG")),
      uploads_(testsupport::EnvironmentValue(L"SERVICE_HOST_UPLOADS")) {}

std::vector<RecordedRequest> ServiceHostRecord::all() const {
  std::vector<RecordedRequest> requests;
  std::istringstream lines(testsupport::ReadFileBytes(record_));
  std::string line;
  while (std::getline(lines, line)) {
    RecordedRequest request;
    if (!ParseJson(line, request.raw)) continue;  // a line still being written
    request.method = request.raw.str("method");
    request.path = request.raw.str("path");
    request.query = request.raw.str("query");
    request.body = request.raw.str("body");
    if (const Json* headers = request.raw.find("headers")) {
      for (const auto& [name, value] : headers->members) request.headers[name] = value.text;
    }
    requests.push_back(std::move(request));
  }
  return requests;
}

std::vector<RecordedRequest> ServiceHostRecord::matching(const std::string& path, const std::string& marker) const {
  std::vector<RecordedRequest> found;
  for (RecordedRequest& request : all()) {
    if (request.path != path) continue;
    if (request.body.find(marker) == std::string::npos && request.query.find(marker) == std::string::npos) continue;
    found.push_back(std::move(request));
  }
  return found;
}

bool ServiceHostRecord::waitFor(const std::string& path, const std::string& marker, RecordedRequest& out) const {
  for (int attempt = 0; attempt < 200; ++attempt) {
    std::vector<RecordedRequest> found = matching(path, marker);
    if (!found.empty()) {
      out = std::move(found.back());
      return true;
    }
    ::Sleep(50);
  }
  return false;
}

std::vector<RecordedRequest> ServiceHostRecord::waitForCount(const std::string& path, const std::string& marker,
                                                             size_t count) const {
  std::vector<RecordedRequest> found;
  for (int attempt = 0; attempt < 200; ++attempt) {
    found = matching(path, marker);
    if (found.size() >= count) break;
    ::Sleep(50);
  }
  return found;
}

bool ServiceHostRecord::configure(const std::string& json) const {
  return !config_.empty() && testsupport::WriteFileBytes(config_, json);
}

}  // namespace servicetest
