// A real script engine for the bridge tests: Wine's JScript with `external` as
// a named item backed by the object under test. Runs on the thread that made
// it (an initialised single-threaded apartment).
#pragma once

#include "base/ComOwners.h"
#include "base/Platform.h"

#include <activscp.h>
#include <dispex.h>
#include <wrl/client.h>

#include <string>

namespace testsupport {

class ScriptHost {
 public:
  explicit ScriptHost(IDispatchEx* external);
  ~ScriptHost();
  ScriptHost(const ScriptHost&) = delete;
  ScriptHost& operator=(const ScriptHost&) = delete;

  bool ready() const { return ready_; }
  // Runs statements; the status of an uncaught script error is returned.
  HRESULT run(const std::wstring& code);
  // Evaluates one expression.
  HRESULT eval(const std::wstring& expression, VARIANT* value);
  std::wstring evalText(const std::wstring& expression);
  long evalNumber(const std::wstring& expression);
  bool evalBool(const std::wstring& expression);
  // The status a statement raises when run inside try/catch in the script
  // (e.number as unsigned), 0 when it raises nothing.
  unsigned long errorOf(const std::wstring& statement);

 private:
  class Site;
  Microsoft::WRL::ComPtr<IActiveScript> engine_;
  Microsoft::WRL::ComPtr<IActiveScriptParse> parser_;
  Site* site_ = nullptr;
  bool ready_ = false;
};

}  // namespace testsupport
