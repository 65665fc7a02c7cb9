// Process entry of the stub.
#include "base/Platform.h"
#include "framework/StubConfig.h"
#include "framework/StubFramework.h"

using stubframework::StubFramework;

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  StubFramework* framework = StubFramework::create();
  if (!framework) return 0;
  if (stubframework::StubConfig* config = framework->config()) {
    config->externalProperties()[L"propertyName1"] = L"propertyValue1";
  }
  bool runFailed = false;
  try {
    StubFramework::run(framework, nullptr);
  } catch (...) {
    runFailed = true;
  }
  (void)runFailed;  // handed to the product extension's exit hook once it exists
  return StubFramework::release(framework);
}
