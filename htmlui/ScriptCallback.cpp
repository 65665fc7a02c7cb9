#include "htmlui/ScriptCallback.h"

#include "framework/Debug.h"

#include <objbase.h>

#include <new>
#include <vector>

namespace stubframework::htmlui {

namespace {

// The worker's record: the marshalled function, the job and where to log.
struct WorkerRecord {
  StubFramework* framework = nullptr;
  IStream* stream = nullptr;  // owned until unmarshalled
  const wchar_t* unmarshalFailure = nullptr;
  std::unique_ptr<ScriptWorkerJob> job;

  ~WorkerRecord() {
    if (stream) {
      // Never unmarshalled: free the marshalled reference too.
      ::CoReleaseMarshalData(stream);
      stream->Release();
    }
  }
};

DWORD WINAPI ScriptWorkerThread(void* parameter) noexcept {
  std::unique_ptr<WorkerRecord> record(static_cast<WorkerRecord*>(parameter));
  const HRESULT com = ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  {
    Microsoft::WRL::ComPtr<IDispatch> function;
    IStream* stream = std::exchange(record->stream, nullptr);  // released by the call below
    const HRESULT unmarshalled =
        ::CoGetInterfaceAndReleaseStream(stream, IID_IDispatch, reinterpret_cast<void**>(function.GetAddressOf()));
    if (FAILED(unmarshalled)) {
      if (record->unmarshalFailure) {
        debug::error(record->framework, record->unmarshalFailure, static_cast<unsigned>(unmarshalled));
      }
    } else {
      ScriptCallback callback(std::move(function));
      record->job->run(callback);
    }
  }
  record.reset();
  if (SUCCEEDED(com)) ::CoUninitialize();
  return 0;
}

}  // namespace

HRESULT ScriptCallback::call(const VARIANT* argumentsInScriptOrder, unsigned count) noexcept {
  if (!function_) return E_POINTER;
  std::vector<VARIANT> reversed;
  try {
    reversed.assign(count, VARIANT{});
  } catch (...) {
    return E_OUTOFMEMORY;
  }
  for (unsigned i = 0; i < count; ++i) reversed[count - 1 - i] = argumentsInScriptOrder[i];  // shallow: not owned
  DISPPARAMS params = {count ? reversed.data() : nullptr, nullptr, count, 0};
  return function_->Invoke(DISPID_VALUE, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
}

HRESULT ScriptCallback::callWithIntegers(std::initializer_list<int> arguments) noexcept {
  std::vector<VARIANT> values;
  try {
    values.reserve(arguments.size());
    for (int value : arguments) {
      VARIANT v;
      ::VariantInit(&v);
      v.vt = VT_I4;
      v.lVal = value;
      values.push_back(v);
    }
  } catch (...) {
    return E_OUTOFMEMORY;
  }
  return call(values.data(), static_cast<unsigned>(values.size()));
}

HRESULT StartScriptWorker(StubFramework* framework, IDispatch* function, const CallbackMessages& messages,
                          std::unique_ptr<ScriptWorkerJob> job) {
  if (!job) return E_OUTOFMEMORY;
  std::unique_ptr<WorkerRecord> record(new (std::nothrow) WorkerRecord());
  if (!record) return E_OUTOFMEMORY;
  record->framework = framework;
  record->unmarshalFailure = messages.unmarshalFailure;
  record->job = std::move(job);

  const HRESULT marshalled =
      function ? ::CoMarshalInterThreadInterfaceInStream(IID_IDispatch, function, &record->stream) : E_POINTER;
  if (FAILED(marshalled)) {
    record->stream = nullptr;
    if (messages.marshalFailureIsError) {
      debug::error(framework, messages.marshalFailure, static_cast<unsigned>(marshalled));
    } else {
      debug::debug(framework, messages.marshalFailure, static_cast<unsigned>(marshalled));
    }
    return marshalled;
  }
  HANDLE thread = ::CreateThread(nullptr, 0, &ScriptWorkerThread, record.get(), 0, nullptr);
  if (!thread) {
    const DWORD error = ::GetLastError();
    return HRESULT_FROM_WIN32(error ? error : ERROR_NOT_ENOUGH_MEMORY);  // the record frees the stream
  }
  (void)record.release();  // the worker owns it now
  ::CloseHandle(thread);
  return S_OK;
}

}  // namespace stubframework::htmlui
