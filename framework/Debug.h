// Log writers that take the framework: every script method and worker thread
// logs through these. Both do nothing when the framework (or its log) is absent.
#pragma once

namespace stubframework {
class StubFramework;

namespace debug {

void debug(StubFramework* framework, const wchar_t* format, ...);
void error(StubFramework* framework, const wchar_t* format, ...);

}  // namespace debug
}  // namespace stubframework
