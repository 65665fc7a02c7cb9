// The stub's process entry with one extra script method, countTo(n, callback),
// a long method whose worker calls the page back n times with (10, n, i) and
// then once with (0, n, n). Lets the browser tests drive worker callbacks, which
// the stub's own catalogue only offers through downloads and installs.
#include "base/Platform.h"
#include "framework/StubFramework.h"
#include "htmlui/DispatchArgs.h"
#include "htmlui/ScriptCallback.h"
#include "methods/ExternalMethods.h"

namespace {

using namespace stubframework;

class ProbeMethods : public ExternalMethods {
 public:
  explicit ProbeMethods(StubFramework* framework) : ExternalMethods(framework) {
    registerMethod(L"countTo", &ProbeMethods::countTo, kCallM);
  }

  HRESULT countTo(WORD flags, DISPPARAMS* params, VARIANT*) {
    const HRESULT checked = checkCall(flags, kCallM, params, {VT_I4, VT_DISPATCH});
    if (FAILED(checked)) return checked;
    const int count = htmlui::IntArg(params, 0);
    static const htmlui::CallbackMessages kMessages = {L"EMCountTo: CoMarshalInterThreadInterfaceInStream failed with %x",
                                                       true, L"CountToThreadFunc CoGetInterfaceAndReleaseStream  failed with: %x"};
    return htmlui::StartScriptWorker(framework(), params->rgvarg[0].pdispVal, kMessages,
                                     htmlui::MakeScriptWorkerJob([count](htmlui::ScriptCallback& callback) {
                                       for (int i = 1; i <= count; ++i) callback.callWithIntegers({10, count, i});
                                       callback.callWithIntegers({0, count, count});
                                     }));
  }
};

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  StubFramework* framework = StubFramework::create();
  if (!framework) return 0;
  {
    ProbeMethods methods(framework);
    StubFramework::run(framework, &methods);
    const int exitCode = StubFramework::release(framework);
    return exitCode;
  }
}
