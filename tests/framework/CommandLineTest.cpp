#include "framework/CommandLine.h"
#include "framework/ProcessCommandLine.h"

#include <gtest/gtest.h>

namespace {

using namespace stubframework;
using namespace stubframework::cmdline;

TEST(CommandLineTest, GetArgValueTakesTheFirstCaseSensitiveMatchFromArgumentOne) {
  struct Case {
    ArgumentList args;
    const wchar_t* key;
    const wchar_t* expected;
  };
  const Case cases[] = {
      {{L"stub.exe", L"shortcut=C:\\a.exe", L"shortcut=C:\\b.exe"}, L"shortcut", L"C:\\a.exe"},
      {{L"stub.exe", L"Shortcut=C:\\a.exe"}, L"shortcut", L""},
      {{L"shortcut=C:\\zero.exe", L"x"}, L"shortcut", L""},  // argument 0 is the program
      {{L"stub.exe", L"newVersionExitCode=5"}, L"newVersionExitCode", L"5"},
      {{L"stub.exe", L"parentProcessID="}, L"parentProcessID", L""},
      {{L"stub.exe", L"parentProcessIDs=4"}, L"parentProcessID", L""},
      {{}, L"shortcut", L""},
  };
  for (const Case& c : cases) EXPECT_EQ(getArgValue(c.args, c.key), c.expected) << c.key;
}

TEST(CommandLineTest, QuotedValuesAndPassthrough) {
  struct Case {
    const wchar_t* commandLine;
    const wchar_t* passthrough;
  };
  const Case cases[] = {
      {L"stub.exe passthrough=\"/q TARGETDIR=x\" passthro=\"LOG=1\"", L"/q TARGETDIR=x LOG=1"},
      {L"stub.exe passthro=\"a\"", L" a"},
      {L"stub.exe passthrough=\"only\"", L"only"},
      {L"stub.exe passthrough=\"unterminated", L""},
      {L"stub.exe passthrough=\"\" passthro=\"\"", L""},
      {L"stub.exe", L""},
  };
  for (const Case& c : cases) EXPECT_EQ(passthroughFrom(c.commandLine), c.passthrough) << c.commandLine;
  EXPECT_EQ(getQuotedValue(L"k=\"v\"", L"k"), L"v");
  EXPECT_EQ(getQuotedValue(L"k=v", L"k"), L"");
}

TEST(CommandLineTest, WholeArgumentKeysIgnoreCase) {
  const ArgumentList args = {L"C:\\dir\\stub.exe", L"RUN=1", L"/qn", L"resume=installing", L"resume=downloading"};
  EXPECT_TRUE(hasArgument(args, L"run=1"));
  EXPECT_FALSE(hasArgument(args, L"update=0"));
  EXPECT_TRUE(isSilentLaunch(args));
  EXPECT_EQ(resumeMode(args), ResumeMode::INSTALLING);  // the first found wins
  EXPECT_FALSE(isSilentLaunch({L"stub.exe", L"/QNX"}));
  EXPECT_TRUE(isSilentLaunch({L"/QN"}));  // argument 0 counts for /QN
  EXPECT_EQ(resumeMode({L"stub.exe", L"RESUME=LATER"}), ResumeMode::NONE);
  EXPECT_EQ(shortcutPath({L"shortcut=C:\\x.exe"}), L"C:\\x.exe");
}

TEST(CommandLineTest, MaintenanceModeIsContainedInAnArgument) {
  EXPECT_EQ(maintenanceMode({L"stub.exe", L"x/UNINSTALLy"}), L"uninstall");
  EXPECT_EQ(maintenanceMode({L"stub.exe", L"/Modify", L"/uninstall"}), L"modify");
  EXPECT_EQ(maintenanceMode({L"stub.exe", L"uninstall"}), L"");
}

TEST(CommandLineTest, SystemSplitterHandlesQuotesAndUnterminatedQuotes) {
  const ArgumentList quoted = splitCommandLine(L"\"C:\\my dir\\stub.exe\" /QN shortcut=\"C:\\a b.exe\"");
  ASSERT_EQ(quoted.size(), 3u);
  EXPECT_EQ(quoted[0], L"C:\\my dir\\stub.exe");
  EXPECT_EQ(quoted[2], L"shortcut=C:\\a b.exe");
  const ArgumentList open = splitCommandLine(L"stub.exe \"run=1");
  ASSERT_EQ(open.size(), 2u);
  EXPECT_EQ(open[1], L"run=1");
  EXPECT_TRUE(splitCommandLine(L"").empty());
}

}  // namespace
