// What the product extension remembers during a run.
// Threads: user-interface thread (the exit hook runs on the main thread too).
#pragma once

namespace myexternalmethods {

struct ExtensionState {
  // The product-analytics client has been initialised (whatever the outcome).
  bool analyticsStarted = false;
  // An "install.completed" event has been handed to the product-analytics client.
  bool completionTracked = false;
};

}  // namespace myexternalmethods
