// The one way a long script method hands a script function to a worker thread
// and calls it back: the function is marshalled on the user-interface thread,
// unmarshalled on the worker (multithreaded apartment), called with DISPID_VALUE
// and positional arguments, and released at the end of the worker.
//
// Threads: StartScriptWorker runs on the user-interface thread (inside a
// handler); the job and its ScriptCallback live on the worker only. A call back
// is carried by COM to the user-interface thread and runs there when that
// thread pumps messages; the worker waits for it to return.
#pragma once

#include "base/Platform.h"

#include <oaidl.h>
#include <wrl/client.h>

#include <initializer_list>
#include <memory>
#include <utility>

namespace stubframework {
class StubFramework;
}

namespace stubframework::htmlui {

// The log texts of one long method (each takes the HRESULT as "%x").
struct CallbackMessages {
  const wchar_t* marshalFailure;    // logged by the handler when marshalling fails
  bool marshalFailureIsError;       // ERROR level, else DEBUG
  const wchar_t* unmarshalFailure;  // logged (ERROR) by the worker when unmarshalling fails; may be null
};

// The script function as the worker holds it.
class ScriptCallback {
 public:
  explicit ScriptCallback(Microsoft::WRL::ComPtr<IDispatch> function) : function_(std::move(function)) {}
  // Calls the function with the arguments in script order; returns its status,
  // which the long methods ignore.
  HRESULT call(const VARIANT* argumentsInScriptOrder, unsigned count) noexcept;
  // The common shape of the download, install and update callbacks: integers.
  HRESULT callWithIntegers(std::initializer_list<int> arguments) noexcept;

 private:
  Microsoft::WRL::ComPtr<IDispatch> function_;
};

// What a worker does between unmarshalling and release. Owned by the worker,
// which destroys it (and with it the method's parameter record) at the end.
class ScriptWorkerJob {
 public:
  virtual ~ScriptWorkerJob() = default;
  virtual void run(ScriptCallback& callback) noexcept = 0;
};

// Marshals `function`, starts one worker thread for `job` and returns at once.
// On failure the job is destroyed and the status returned (marshalling failures
// are logged with the method's message); the worker is never joined.
[[nodiscard]] HRESULT StartScriptWorker(StubFramework* framework, IDispatch* function, const CallbackMessages& messages,
                                        std::unique_ptr<ScriptWorkerJob> job);

// Wraps a callable `void(ScriptCallback&)` (it may own move-only state) as a job.
template <typename Work>
std::unique_ptr<ScriptWorkerJob> MakeScriptWorkerJob(Work work) {
  class Job final : public ScriptWorkerJob {
   public:
    explicit Job(Work&& w) : work_(std::move(w)) {}
    void run(ScriptCallback& callback) noexcept override {
      try {
        work_(callback);
      } catch (...) {
        // A job's failure ends its worker quietly; nothing crosses the thread.
      }
    }

   private:
    Work work_;
  };
  return std::unique_ptr<ScriptWorkerJob>(new (std::nothrow) Job(std::move(work)));
}

}  // namespace stubframework::htmlui
