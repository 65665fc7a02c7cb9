// The bridge fixture with the product catalogue bound to the script object.
#pragma once

#include "product/MyExternalMethods.h"
#include "tests/bridge/BridgeFixture.h"

namespace testsupport {

class ProductFixture : public BridgeFixture {
 protected:
  void SetUp() override {
    start([](stubframework::StubFramework* framework) {
      return std::make_unique<myexternalmethods::MyExternalMethods>(framework);
    });
  }
  myexternalmethods::MyExternalMethods& product() {
    return static_cast<myexternalmethods::MyExternalMethods&>(*methods_);
  }
};

}  // namespace testsupport
