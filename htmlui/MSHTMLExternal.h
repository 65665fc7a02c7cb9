// The script-facing object behind window.external as the window host sees it:
// IDispatchEx plus the few operations the window and the workflows call on it.
//
// Threads: the COM operations and setWindow/ensureDefaultSize run on the
// user-interface thread; setSizeProbe and setStopRequested may be called from
// any thread (plain one-byte stores).
#pragma once

#include "base/Platform.h"

#include <dispex.h>

#include <string>

namespace stubframework {
class ExternalMethods;
}

namespace stubframework::htmlui {

// A catalogue handler: a member operation of the catalogue taking the call's
// flags, its arguments (in reverse script order) and the optional result slot.
using MethodHandler = HRESULT (ExternalMethods::*)(WORD flags, DISPPARAMS* params, VARIANT* result);

// One method of the dispatch table; its dispatch id is its position + 1.
struct DispatchEntry {
  std::wstring name;
  MethodHandler handler = nullptr;
};

class MSHTMLExternal : public IDispatchEx {
 public:
  virtual ~MSHTMLExternal() = default;
  // Stores the host window and hands it to the catalogue when it changes.
  virtual void setWindow(HWND window) = 0;
  // Gives the window the default client size when it has none yet.
  virtual void ensureDefaultSize() = 0;
  // The dispatch table in name order; `entries` may be null.
  virtual int getMethods(const DispatchEntry** entries) = 0;
  virtual void setSizeProbe(bool probing) = 0;
  virtual void setStopRequested(bool stop) = 0;
};

}  // namespace stubframework::htmlui
