// A small JSON value with a reader and a writer, enough for the catalogue
// tool's dump format. Strings are UTF-8.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kumoya::json {

class Value {
public:
    enum class Kind { Null, Bool, Number, String, Array, Object };

    Value() = default;
    static Value Boolean(bool b);
    static Value Number(double d);
    static Value Integer(std::int64_t i);
    static Value Str(std::string s);
    static Value MakeArray();
    static Value MakeObject();

    Kind kind() const { return kind_; }
    bool IsNumber() const { return kind_ == Kind::Number; }
    bool IsString() const { return kind_ == Kind::String; }
    bool IsArray() const { return kind_ == Kind::Array; }
    bool IsObject() const { return kind_ == Kind::Object; }

    double AsDouble() const { return number_; }
    const std::string& AsString() const { return text_; }  // also the number's source text
    const std::vector<Value>& Items() const { return items_; }
    const std::vector<std::pair<std::string, Value>>& Members() const { return members_; }
    const Value* Get(std::string_view key) const;

    Value& Push(Value v);
    Value& Set(std::string key, Value v);  // keeps insertion order

    std::string Write(int indent = 0) const;

private:
    void WriteTo(std::string& out, int indent, int depth) const;
    Kind kind_ = Kind::Null;
    bool bool_ = false;
    double number_ = 0;
    std::string text_;
    std::vector<Value> items_;
    std::vector<std::pair<std::string, Value>> members_;
    friend class Parser;
};

// nullopt with `error` set ("line 3: ...") when the text is not JSON.
std::optional<Value> Parse(std::string_view text, std::string& error);

}  // namespace kumoya::json
