#include "framework/ResultCodes.h"

#include <gtest/gtest.h>

namespace {

TEST(StatusFixUpTest, MapsStatusAndUninstallOption) {
  struct Case {
    int status;
    const wchar_t* option;
    int expected;
  };
  const Case cases[] = {
      {0, L"", 3},         {0, L"Remove", 93},  {1, L"Repair", 81},  {2, L"Modify", 72}, {3, L"Remove", 93},
      {1, L"", 1},         {2, L"", 2},         {0, L"remove", 3},   {1, L"Repair ", 1}, {5, L"Remove", 5},
      {4, L"Modify", 4},   {6, L"Repair", 6},   {1, nullptr, 1},     {3, L"Modify", 73},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(stubframework::fixUpStatus(c.status, c.option), c.expected)
        << "status " << c.status << " option " << (c.option ? c.option : L"(null)");
  }
}

}  // namespace
