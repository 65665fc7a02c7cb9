// Reads the reference service host's JSON-lines record and sets its answers, for
// tests that talk to it. The host runs on the Linux side (a CTest fixture); its
// files are reached through the Windows paths given in the environment:
// SERVICE_HOST_RECORD, SERVICE_HOST_CONFIG and SERVICE_HOST_UPLOADS.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace servicetest {

// A parsed JSON value (enough for the record: objects, arrays, strings, numbers).
struct Json {
  enum Kind { kNull, kBool, kNumber, kString, kArray, kObject } kind = kNull;
  bool boolean = false;
  double number = 0;
  std::string text;  // UTF-8
  std::vector<Json> items;
  std::vector<std::pair<std::string, Json>> members;

  const Json* find(const std::string& name) const;
  // The string member `name`, or "" when absent.
  std::string str(const std::string& name) const;
};

// Parses one JSON document; false on malformed text.
bool ParseJson(const std::string& text, Json& out);

struct RecordedRequest {
  std::string method, path, query, body;  // body: UTF-8 text as received
  std::map<std::string, std::string> headers;
  Json raw;
  std::string header(const std::string& name) const;  // case-insensitive name
};

class ServiceHostRecord {
 public:
  ServiceHostRecord();
  // Every request recorded so far.
  std::vector<RecordedRequest> all() const;
  // Waits (bounded, about 10 s) until a request on `path` whose body or query
  // contains `marker` is recorded; false if none came.
  bool waitFor(const std::string& path, const std::string& marker, RecordedRequest& out) const;
  // Waits (bounded) until `count` such requests are recorded and returns them
  // in arrival order (fewer if they did not come).
  std::vector<RecordedRequest> waitForCount(const std::string& path, const std::string& marker, size_t count) const;
  std::vector<RecordedRequest> matching(const std::string& path, const std::string& marker) const;

  // Replaces the host's answers (JSON object text); "{}" restores the defaults.
  bool configure(const std::string& json) const;

  std::wstring uploadsFolder() const { return uploads_; }

 private:
  std::wstring record_;
  std::wstring config_;
  std::wstring uploads_;
};

}  // namespace servicetest
