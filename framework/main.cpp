// Process entry of the stub.
#include "base/Platform.h"
#include "framework/StubConfig.h"
#include "framework/StubFramework.h"
#include "product/MyExternalMethods.h"

#include <memory>
#include <new>

using stubframework::StubFramework;

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  StubFramework* framework = StubFramework::create();
  if (!framework) return 0;
  if (stubframework::StubConfig* config = framework->config()) {
    config->externalProperties()[L"propertyName1"] = L"propertyValue1";
  }
  // The catalogue outlives the framework: it is destroyed after release.
  std::unique_ptr<myexternalmethods::MyExternalMethods> methods(new (std::nothrow)
                                                                    myexternalmethods::MyExternalMethods(framework));
  bool runFailed = false;
  try {
    StubFramework::run(framework, methods.get());
  } catch (...) {
    runFailed = true;
  }
  (void)runFailed;  // handed to the product extension's exit hook once it exists
  const int exitCode = StubFramework::release(framework);
  methods.reset();
  return exitCode;
}
