#include "htmlui/JsonValue.h"
#include "htmlui/PageRoute.h"
#include "htmlui/PageServer.h"

#include <gtest/gtest.h>

namespace {

using stubframework::htmlui::JsonValue;
using stubframework::htmlui::PageRoute;
using stubframework::htmlui::routePageRequest;
using stubframework::htmlui::safeRelativePath;

TEST(JsonValueTest, ParsesAndWritesTheMessageShapes) {
  const auto value = JsonValue::parse(
      R"({"op":"method","name":"getProperty","flags":3,"args":[{"t":"s","v":"a\"b\\c\u00e9\ud83d\ude00"},)"
      R"({"t":"r","v":-1.5e2},{"t":"b","v":true},{"t":"n"}],"x":null})");
  ASSERT_TRUE(value);
  EXPECT_EQ(value->find("op")->asString(), "method");
  EXPECT_EQ(value->find("flags")->asNumber(), 3);
  const auto& args = value->find("args")->asArray();
  ASSERT_EQ(args.size(), 4u);
  EXPECT_EQ(args[0].find("v")->asString(), "a\"b\\c\xc3\xa9\xf0\x9f\x98\x80");
  EXPECT_EQ(args[1].find("v")->asNumber(), -150.0);
  EXPECT_TRUE(args[2].find("v")->asBool());
  EXPECT_TRUE(value->find("x")->isNull());
  EXPECT_EQ(JsonValue::parse(value->serialize())->serialize(), value->serialize());

  JsonValue out = JsonValue::makeObject();
  out.mutableObject()["error"] = JsonValue::makeNumber(-2147352571);
  out.mutableObject()["s"] = JsonValue::makeString("line\nbreak\x01");
  EXPECT_EQ(out.serialize(), R"({"error":-2147352571,"s":"line\nbreak\u0001"})");
}

TEST(JsonValueTest, RefusesMalformedDocuments) {
  for (const char* text : {"", "{", "[1,]", "{\"a\":}", "\"unterminated", "01x", "[1] 2", "{\"a\" 1}", "\"\\ud800\"",
                           "\"\\uZZZZ\"", "nul", "\"tab\there\"", "1e999"}) {
    EXPECT_FALSE(JsonValue::parse(text)) << text;
  }
  std::string deep(100, '[');
  deep += std::string(100, ']');
  EXPECT_FALSE(JsonValue::parse(deep));
  EXPECT_TRUE(JsonValue::parse(deep, 200));
}

TEST(PageRouteTest, TokenAndHostDecideAccess) {
  const std::string host = "127.0.0.1:4321", token = "abc123";
  struct Case {
    const char* host;
    const char* path;
    PageRoute::Kind kind;
    const char* file;
  };
  const Case cases[] = {
      {"127.0.0.1:4321", "/abc123/Load.html", PageRoute::Kind::File, "Load.html"},
      {"127.0.0.1:4321", "/abc123/pages/a%20b.html?x=1", PageRoute::Kind::File, "pages/a b.html"},
      {"127.0.0.1:4321", "/Load.html", PageRoute::Kind::Forbidden, ""},
      {"127.0.0.1:4321", "/abc12/Load.html", PageRoute::Kind::Forbidden, ""},
      {"127.0.0.1:4321", "/abc1234/Load.html", PageRoute::Kind::Forbidden, ""},
      {"evil.example", "/abc123/Load.html", PageRoute::Kind::Forbidden, ""},
      {"127.0.0.1:4322", "/abc123/Load.html", PageRoute::Kind::Forbidden, ""},
      {"", "/abc123/Load.html", PageRoute::Kind::Forbidden, ""},
      {"127.0.0.1:4321", "/abc123/", PageRoute::Kind::NotFound, ""},
      {"127.0.0.1:4321", "/abc123/../secret.txt", PageRoute::Kind::NotFound, ""},
      {"127.0.0.1:4321", "/abc123/%2e%2e/secret.txt", PageRoute::Kind::NotFound, ""},
      {"127.0.0.1:4321", "/abc123/a/..%2f..%2fsecret", PageRoute::Kind::NotFound, ""},
      {"127.0.0.1:4321", "/abc123/C:%5cWindows%5cwin.ini", PageRoute::Kind::NotFound, ""},
      {"127.0.0.1:4321", "/abc123/a//b", PageRoute::Kind::NotFound, ""},
      {"127.0.0.1:4321", "/abc123/pages/", PageRoute::Kind::NotFound, ""},
      {"127.0.0.1:4321", "/abc123/%zz", PageRoute::Kind::NotFound, ""},
      {"127.0.0.1:4321", "/abc123/__external/call", PageRoute::Kind::Call, ""},
      {"127.0.0.1:4321", "/abc123/__external/events?n=1", PageRoute::Kind::Events, ""},
      {"127.0.0.1:4321", "/abc123/__external/shim.js", PageRoute::Kind::ShimScript, ""},
      {"127.0.0.1:4321", "/abc123/__external/other", PageRoute::Kind::NotFound, ""},
  };
  for (const Case& c : cases) {
    const PageRoute route = routePageRequest(c.host, c.path, host, token);
    EXPECT_EQ(route.kind, c.kind) << c.host << " " << c.path;
    EXPECT_EQ(route.path, c.file) << c.path;
  }
  EXPECT_EQ(routePageRequest(host, "/abc123/Load.html", host, "").kind, PageRoute::Kind::Forbidden);
  EXPECT_EQ(safeRelativePath("a/b%00c"), "");
}

TEST(PageRouteTest, ShimGoesInFrontOfThePageScripts) {
  const std::string tag = "<script src=\"s\"></script>";
  using stubframework::htmlui::PageServer;
  EXPECT_EQ(PageServer::injectShim("<!DOCTYPE html><HTML><Head lang=en><script>x</script>", tag),
            "<!DOCTYPE html><HTML><Head lang=en>" + tag + "<script>x</script>");
  EXPECT_EQ(PageServer::injectShim("<!doctype html><body><script>x</script>", tag),
            "<!doctype html>" + tag + "<body><script>x</script>");
  EXPECT_EQ(PageServer::injectShim("<script>x</script>", tag), tag + "<script>x</script>");
}

}  // namespace
