#include "htmlui/JsonValue.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace stubframework::htmlui {

namespace {

const std::string kEmptyString;
const JsonValue::Array kEmptyArray;
const JsonValue::Object kEmptyObject;

class Parser {
 public:
  Parser(const std::string& text, int maxDepth) : text_(text), maxDepth_(maxDepth) {}

  std::optional<JsonValue> document() {
    auto value = parseValue(0);
    skipSpace();
    if (!value || pos_ != text_.size()) return std::nullopt;
    return value;
  }

 private:
  void skipSpace() {
    while (pos_ < text_.size() &&
           (text_[pos_] == ' ' || text_[pos_] == '\t' || text_[pos_] == '\n' || text_[pos_] == '\r')) {
      ++pos_;
    }
  }
  bool consume(char c) {
    if (pos_ < text_.size() && text_[pos_] == c) {
      ++pos_;
      return true;
    }
    return false;
  }
  bool literal(const char* word) {
    const std::string w(word);
    if (text_.compare(pos_, w.size(), w) != 0) return false;
    pos_ += w.size();
    return true;
  }

  std::optional<JsonValue> parseValue(int depth) {
    if (depth > maxDepth_) return std::nullopt;
    skipSpace();
    if (pos_ >= text_.size()) return std::nullopt;
    const char c = text_[pos_];
    if (c == '{') return parseObject(depth);
    if (c == '[') return parseArray(depth);
    if (c == '"') {
      std::string s;
      if (!parseString(s)) return std::nullopt;
      return JsonValue::makeString(std::move(s));
    }
    if (literal("true")) return JsonValue::makeBool(true);
    if (literal("false")) return JsonValue::makeBool(false);
    if (literal("null")) return JsonValue();
    return parseNumber();
  }

  std::optional<JsonValue> parseNumber() {
    const size_t start = pos_;
    consume('-');
    if (!digits()) return std::nullopt;
    if (consume('.') && !digits()) return std::nullopt;
    if (pos_ < text_.size() && (text_[pos_] == 'e' || text_[pos_] == 'E')) {
      ++pos_;
      if (!consume('+')) consume('-');
      if (!digits()) return std::nullopt;
    }
    const std::string number = text_.substr(start, pos_ - start);
    const double value = strtod(number.c_str(), nullptr);
    if (!std::isfinite(value)) return std::nullopt;
    return JsonValue::makeNumber(value);
  }

  bool digits() {
    const size_t start = pos_;
    while (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9') ++pos_;
    return pos_ > start;
  }

  bool hex4(unsigned& out) {
    if (pos_ + 4 > text_.size()) return false;
    out = 0;
    for (int i = 0; i < 4; ++i) {
      const char c = text_[pos_++];
      out <<= 4;
      if (c >= '0' && c <= '9') out |= static_cast<unsigned>(c - '0');
      else if (c >= 'a' && c <= 'f') out |= static_cast<unsigned>(c - 'a' + 10);
      else if (c >= 'A' && c <= 'F') out |= static_cast<unsigned>(c - 'A' + 10);
      else return false;
    }
    return true;
  }

  static void appendUtf8(std::string& out, unsigned cp) {
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }

  bool parseString(std::string& out) {
    if (!consume('"')) return false;
    while (pos_ < text_.size()) {
      const char c = text_[pos_++];
      if (c == '"') return true;
      if (static_cast<unsigned char>(c) < 0x20) return false;
      if (c != '\\') {
        out += c;
        continue;
      }
      if (pos_ >= text_.size()) return false;
      const char e = text_[pos_++];
      switch (e) {
        case '"': out += '"'; break;
        case '\\': out += '\\'; break;
        case '/': out += '/'; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'u': {
          unsigned cp = 0;
          if (!hex4(cp)) return false;
          if (cp >= 0xD800 && cp < 0xDC00) {
            unsigned low = 0;
            if (!consume('\\') || !consume('u') || !hex4(low) || low < 0xDC00 || low >= 0xE000) return false;
            cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
          } else if (cp >= 0xDC00 && cp < 0xE000) {
            return false;
          }
          appendUtf8(out, cp);
          break;
        }
        default: return false;
      }
    }
    return false;
  }

  std::optional<JsonValue> parseArray(int depth) {
    consume('[');
    JsonValue array = JsonValue::makeArray();
    skipSpace();
    if (consume(']')) return array;
    for (;;) {
      auto item = parseValue(depth + 1);
      if (!item) return std::nullopt;
      array.mutableArray().push_back(std::move(*item));
      skipSpace();
      if (consume(']')) return array;
      if (!consume(',')) return std::nullopt;
    }
  }

  std::optional<JsonValue> parseObject(int depth) {
    consume('{');
    JsonValue object = JsonValue::makeObject();
    skipSpace();
    if (consume('}')) return object;
    for (;;) {
      skipSpace();
      std::string name;
      if (!parseString(name)) return std::nullopt;
      skipSpace();
      if (!consume(':')) return std::nullopt;
      auto value = parseValue(depth + 1);
      if (!value) return std::nullopt;
      object.mutableObject()[name] = std::move(*value);
      skipSpace();
      if (consume('}')) return object;
      if (!consume(',')) return std::nullopt;
    }
  }

  const std::string& text_;
  const int maxDepth_;
  size_t pos_ = 0;
};

void writeString(std::string& out, const std::string& s) {
  out += '"';
  for (const char c : s) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char escaped[8];
          snprintf(escaped, sizeof(escaped), "\\u%04x", static_cast<unsigned>(static_cast<unsigned char>(c)));
          out += escaped;
        } else {
          out += c;
        }
    }
  }
  out += '"';
}

void writeValue(std::string& out, const JsonValue& value) {
  switch (value.type()) {
    case JsonValue::Type::Null: out += "null"; break;
    case JsonValue::Type::Bool: out += value.asBool() ? "true" : "false"; break;
    case JsonValue::Type::Number: {
      const double n = value.asNumber();
      char text[40];
      if (n == std::floor(n) && std::fabs(n) < 9007199254740992.0) {
        snprintf(text, sizeof(text), "%.0f", n);
      } else {
        snprintf(text, sizeof(text), "%.17g", n);
      }
      out += text;
      break;
    }
    case JsonValue::Type::String: writeString(out, value.asString()); break;
    case JsonValue::Type::Array: {
      out += '[';
      bool first = true;
      for (const JsonValue& item : value.asArray()) {
        if (!first) out += ',';
        first = false;
        writeValue(out, item);
      }
      out += ']';
      break;
    }
    case JsonValue::Type::Object: {
      out += '{';
      bool first = true;
      for (const auto& [name, member] : value.asObject()) {
        if (!first) out += ',';
        first = false;
        writeString(out, name);
        out += ':';
        writeValue(out, member);
      }
      out += '}';
      break;
    }
  }
}

}  // namespace

JsonValue JsonValue::makeBool(bool value) {
  JsonValue v;
  v.type_ = Type::Bool;
  v.bool_ = value;
  return v;
}
JsonValue JsonValue::makeNumber(double value) {
  JsonValue v;
  v.type_ = Type::Number;
  v.number_ = value;
  return v;
}
JsonValue JsonValue::makeString(std::string value) {
  JsonValue v;
  v.type_ = Type::String;
  v.string_ = std::move(value);
  return v;
}
JsonValue JsonValue::makeArray(Array items) {
  JsonValue v;
  v.type_ = Type::Array;
  v.array_ = std::make_shared<Array>(std::move(items));
  return v;
}
JsonValue JsonValue::makeObject(Object members) {
  JsonValue v;
  v.type_ = Type::Object;
  v.object_ = std::make_shared<Object>(std::move(members));
  return v;
}

const std::string& JsonValue::asString() const { return type_ == Type::String ? string_ : kEmptyString; }
const JsonValue::Array& JsonValue::asArray() const { return type_ == Type::Array ? *array_ : kEmptyArray; }
const JsonValue::Object& JsonValue::asObject() const { return type_ == Type::Object ? *object_ : kEmptyObject; }

const JsonValue* JsonValue::find(const std::string& name) const {
  if (type_ != Type::Object) return nullptr;
  auto it = object_->find(name);
  return it == object_->end() ? nullptr : &it->second;
}

JsonValue::Array& JsonValue::mutableArray() {
  if (type_ != Type::Array) *this = makeArray();
  if (array_.use_count() > 1) array_ = std::make_shared<Array>(*array_);
  return *array_;
}

JsonValue::Object& JsonValue::mutableObject() {
  if (type_ != Type::Object) *this = makeObject();
  if (object_.use_count() > 1) object_ = std::make_shared<Object>(*object_);
  return *object_;
}

std::string JsonValue::serialize() const {
  std::string out;
  writeValue(out, *this);
  return out;
}

std::optional<JsonValue> JsonValue::parse(const std::string& text, int maxDepth) {
  return Parser(text, maxDepth).document();
}

}  // namespace stubframework::htmlui
