#include "tests/services/ServiceHostRecord.h"

#include "base/Platform.h"
#include "htmlui/JsonValue.h"
#include "tests/support/TestSupport.h"

#include <cctype>
#include <cstdlib>
#include <sstream>

namespace servicetest {

namespace {

// The record's JSON is read with the host's own parser, then turned into the
// plain structure the tests look at.
Json FromValue(const stubframework::htmlui::JsonValue& value) {
  using Type = stubframework::htmlui::JsonValue::Type;
  Json out;
  switch (value.type()) {
    case Type::Null: out.kind = Json::kNull; break;
    case Type::Bool: out.kind = Json::kBool; out.boolean = value.asBool(); break;
    case Type::Number: out.kind = Json::kNumber; out.number = value.asNumber(); break;
    case Type::String: out.kind = Json::kString; out.text = value.asString(); break;
    case Type::Array:
      out.kind = Json::kArray;
      for (const auto& item : value.asArray()) out.items.push_back(FromValue(item));
      break;
    case Type::Object:
      out.kind = Json::kObject;
      for (const auto& [name, member] : value.asObject()) out.members.emplace_back(name, FromValue(member));
      break;
  }
  return out;
}

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

bool ParseJson(const std::string& text, Json& out) {
  const auto value = stubframework::htmlui::JsonValue::parse(text);
  if (!value) return false;
  out = FromValue(*value);
  return true;
}

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
