#include "catalogue/json.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace kumoya::json {

Value Value::Boolean(bool b) {
    Value v;
    v.kind_ = Kind::Bool;
    v.bool_ = b;
    return v;
}
Value Value::Number(double d) {
    Value v;
    v.kind_ = Kind::Number;
    v.number_ = d;
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.17g", d);
    v.text_ = buffer;
    return v;
}
Value Value::Integer(std::int64_t i) {
    Value v;
    v.kind_ = Kind::Number;
    v.number_ = static_cast<double>(i);
    v.text_ = std::to_string(i);
    return v;
}
Value Value::Str(std::string s) {
    Value v;
    v.kind_ = Kind::String;
    v.text_ = std::move(s);
    return v;
}
Value Value::MakeArray() {
    Value v;
    v.kind_ = Kind::Array;
    return v;
}
Value Value::MakeObject() {
    Value v;
    v.kind_ = Kind::Object;
    return v;
}

const Value* Value::Get(std::string_view key) const {
    for (const auto& [k, v] : members_)
        if (k == key) return &v;
    return nullptr;
}

Value& Value::Push(Value v) {
    items_.push_back(std::move(v));
    return items_.back();
}

Value& Value::Set(std::string key, Value v) {
    members_.emplace_back(std::move(key), std::move(v));
    return members_.back().second;
}

namespace {

void WriteString(std::string& out, const std::string& s) {
    out += '"';
    for (unsigned char c : s) {
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (c < 0x20) {
                    char buffer[8];
                    std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
                    out += buffer;
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    out += '"';
}

void NewLine(std::string& out, int indent, int depth) {
    if (indent <= 0) return;
    out += '\n';
    out.append(static_cast<std::size_t>(indent * depth), ' ');
}

}  // namespace

void Value::WriteTo(std::string& out, int indent, int depth) const {
    switch (kind_) {
        case Kind::Null: out += "null"; break;
        case Kind::Bool: out += bool_ ? "true" : "false"; break;
        case Kind::Number: out += text_; break;
        case Kind::String: WriteString(out, text_); break;
        case Kind::Array: {
            out += '[';
            bool simple = true;
            for (const auto& v : items_) simple = simple && !v.IsArray() && !v.IsObject();
            for (std::size_t i = 0; i < items_.size(); ++i) {
                if (i) out += simple ? ", " : ",";
                if (!simple) NewLine(out, indent, depth + 1);
                items_[i].WriteTo(out, indent, depth + 1);
            }
            if (!simple && !items_.empty()) NewLine(out, indent, depth);
            out += ']';
            break;
        }
        case Kind::Object: {
            out += '{';
            for (std::size_t i = 0; i < members_.size(); ++i) {
                if (i) out += ',';
                NewLine(out, indent, depth + 1);
                WriteString(out, members_[i].first);
                out += indent > 0 ? ": " : ":";
                members_[i].second.WriteTo(out, indent, depth + 1);
            }
            if (!members_.empty()) NewLine(out, indent, depth);
            out += '}';
            break;
        }
    }
}

std::string Value::Write(int indent) const {
    std::string out;
    WriteTo(out, indent, 0);
    if (indent > 0) out += '\n';
    return out;
}

class Parser {
public:
    Parser(std::string_view text, std::string& error) : t_(text), error_(error) {}

    std::optional<Value> Document() {
        Value v;
        if (!ParseValue(v, 0)) return std::nullopt;
        SkipSpace();
        if (p_ != t_.size()) return Fail("text after the value"), std::nullopt;
        return v;
    }

private:
    bool Fail(const std::string& what) {
        int line = 1;
        for (std::size_t i = 0; i < p_ && i < t_.size(); ++i) line += t_[i] == '\n';
        error_ = "line " + std::to_string(line) + ": " + what;
        return false;
    }
    void SkipSpace() {
        while (p_ < t_.size() && (t_[p_] == ' ' || t_[p_] == '\t' || t_[p_] == '\n' || t_[p_] == '\r')) ++p_;
    }
    bool Literal(std::string_view word) {
        if (t_.substr(p_, word.size()) != word) return false;
        p_ += word.size();
        return true;
    }
    bool ParseValue(Value& v, int depth) {
        if (depth > 64) return Fail("nested too deeply");
        SkipSpace();
        if (p_ >= t_.size()) return Fail("unexpected end");
        char c = t_[p_];
        if (c == '{') return ParseObject(v, depth);
        if (c == '[') return ParseArray(v, depth);
        if (c == '"') {
            v.kind_ = Value::Kind::String;
            return ParseString(v.text_);
        }
        if (Literal("true")) return v = Value::Boolean(true), true;
        if (Literal("false")) return v = Value::Boolean(false), true;
        if (Literal("null")) return v = Value(), true;
        return ParseNumber(v);
    }
    bool ParseNumber(Value& v) {
        std::size_t start = p_;
        if (p_ < t_.size() && t_[p_] == '-') ++p_;
        while (p_ < t_.size() && ((t_[p_] >= '0' && t_[p_] <= '9') || t_[p_] == '.' || t_[p_] == 'e' ||
                                  t_[p_] == 'E' || t_[p_] == '+' || t_[p_] == '-'))
            ++p_;
        std::string text(t_.substr(start, p_ - start));
        if (text.empty() || text == "-") return Fail("expected a value");
        char* end = nullptr;
        double d = std::strtod(text.c_str(), &end);
        if (end != text.c_str() + text.size()) return Fail("bad number " + text);
        v.kind_ = Value::Kind::Number;
        v.number_ = d;
        v.text_ = text;
        return true;
    }
    static void AppendUtf8(std::string& out, unsigned cp) {
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | cp >> 6);
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | cp >> 12);
            out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | cp >> 18);
            out += static_cast<char>(0x80 | (cp >> 12 & 0x3F));
            out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    bool Hex4(unsigned& cp) {
        if (p_ + 4 > t_.size()) return Fail("short \\u escape");
        cp = 0;
        for (int i = 0; i < 4; ++i) {
            char h = t_[p_++];
            cp <<= 4;
            if (h >= '0' && h <= '9') cp |= static_cast<unsigned>(h - '0');
            else if (h >= 'a' && h <= 'f') cp |= static_cast<unsigned>(h - 'a' + 10);
            else if (h >= 'A' && h <= 'F') cp |= static_cast<unsigned>(h - 'A' + 10);
            else return Fail("bad \\u escape");
        }
        return true;
    }
    bool ParseString(std::string& out) {
        ++p_;  // opening quote
        while (p_ < t_.size()) {
            char c = t_[p_++];
            if (c == '"') return true;
            if (c != '\\') {
                out += c;
                continue;
            }
            if (p_ >= t_.size()) break;
            char e = t_[p_++];
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
                    if (!Hex4(cp)) return false;
                    if (cp >= 0xD800 && cp < 0xDC00 && t_.substr(p_, 2) == "\\u") {
                        p_ += 2;
                        unsigned low = 0;
                        if (!Hex4(low)) return false;
                        cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                    }
                    AppendUtf8(out, cp);
                    break;
                }
                default: return Fail("bad escape");
            }
        }
        return Fail("unterminated string");
    }
    bool ParseArray(Value& v, int depth) {
        v = Value::MakeArray();
        ++p_;
        SkipSpace();
        if (p_ < t_.size() && t_[p_] == ']') return ++p_, true;
        for (;;) {
            Value item;
            if (!ParseValue(item, depth + 1)) return false;
            v.items_.push_back(std::move(item));
            SkipSpace();
            if (p_ < t_.size() && t_[p_] == ',') { ++p_; continue; }
            if (p_ < t_.size() && t_[p_] == ']') return ++p_, true;
            return Fail("expected , or ]");
        }
    }
    bool ParseObject(Value& v, int depth) {
        v = Value::MakeObject();
        ++p_;
        SkipSpace();
        if (p_ < t_.size() && t_[p_] == '}') return ++p_, true;
        for (;;) {
            SkipSpace();
            if (p_ >= t_.size() || t_[p_] != '"') return Fail("expected a member name");
            std::string key;
            if (!ParseString(key)) return false;
            SkipSpace();
            if (p_ >= t_.size() || t_[p_] != ':') return Fail("expected :");
            ++p_;
            Value item;
            if (!ParseValue(item, depth + 1)) return false;
            v.members_.emplace_back(std::move(key), std::move(item));
            SkipSpace();
            if (p_ < t_.size() && t_[p_] == ',') { ++p_; continue; }
            if (p_ < t_.size() && t_[p_] == '}') return ++p_, true;
            return Fail("expected , or }");
        }
    }

    std::string_view t_;
    std::size_t p_ = 0;
    std::string& error_;
};

std::optional<Value> Parse(std::string_view text, std::string& error) { return Parser(text, error).Document(); }

}  // namespace kumoya::json
