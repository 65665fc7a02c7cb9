// A small JSON value with a parser and a writer, for the messages between the
// browser page host and its pages. Pure: no Windows headers, so it also builds
// natively and can be fuzzed. Strings are UTF-8.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace stubframework::htmlui {

class JsonValue {
 public:
  enum class Type { Null, Bool, Number, String, Array, Object };
  using Array = std::vector<JsonValue>;
  using Object = std::map<std::string, JsonValue>;

  JsonValue() = default;
  static JsonValue makeBool(bool value);
  static JsonValue makeNumber(double value);
  static JsonValue makeString(std::string value);
  static JsonValue makeArray(Array items = {});
  static JsonValue makeObject(Object members = {});

  Type type() const { return type_; }
  bool isNull() const { return type_ == Type::Null; }
  bool asBool() const { return type_ == Type::Bool && bool_; }
  double asNumber() const { return type_ == Type::Number ? number_ : 0.0; }
  const std::string& asString() const;
  const Array& asArray() const;
  const Object& asObject() const;
  // The member of an object, or null when absent (or not an object).
  const JsonValue* find(const std::string& name) const;

  Array& mutableArray();
  Object& mutableObject();

  std::string serialize() const;

  // Parses a whole document; nothing but white space may follow the value.
  // Nesting deeper than `maxDepth` is refused.
  static std::optional<JsonValue> parse(const std::string& text, int maxDepth = 64);

 private:
  Type type_ = Type::Null;
  bool bool_ = false;
  double number_ = 0.0;
  std::string string_;
  std::shared_ptr<Array> array_;
  std::shared_ptr<Object> object_;
};

}  // namespace stubframework::htmlui
