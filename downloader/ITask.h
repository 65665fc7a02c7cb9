// The engine's task and callback interfaces.
//
// A task is created with a callback and a logger (count 1, owned by the
// creator), started once, and reports exactly one OnComplete through its
// callback, on an engine thread or, for failures found inside Start, on the
// thread that called Start. Cancel may be called from any thread at any time
// and never waits. Other callback methods are called on the same threads as
// OnComplete, never concurrently with each other for one task.
#pragma once

#include "downloader/EngineResults.h"
#include "downloader/IObject.h"

#include <cstdint>

namespace downloader {

class ITask : public IObject {
 public:
  virtual void Start() = 0;
  virtual void Cancel() = 0;
};

template <typename T>
class ITaskCallback : public IObject {
 public:
  virtual void OnComplete(T result) = 0;
};

class IHttpCallback : public ITaskCallback<long> {
 public:
  virtual void OnHttpHeader(const HttpHeaderInfo& header) = 0;
  // The buffer belongs to the task and is reused or freed after the call returns.
  virtual void OnData(const Buffer& data) = 0;
};

class IHttpToFileCallback : public ITaskCallback<long> {
 public:
  // `length` bytes were written to the file starting at `offset`.
  virtual void OnProgress(int64_t offset, int64_t length) = 0;
};

class IHashCallback : public ITaskCallback<HashResult> {
 public:
  // SHA-1 of the next block.
  virtual void OnHash(const uint8_t digest[20]) = 0;
};

class IDownloadCallback : public ITaskCallback<long> {
 public:
  // Bytes verified or received so far, and the file size.
  virtual void OnProgress(int64_t current, int64_t total) = 0;
};

}  // namespace downloader
