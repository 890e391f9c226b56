#include "exif_test_util.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace rkexif {
namespace {

class Parser {
 public:
  explicit Parser(const std::string& s) : s_(s) {}

  Json Value() {
    Space();
    Json v;
    if (pos_ >= s_.size()) return Fail();
    const char c = s_[pos_];
    if (c == '{') {
      v.kind = Json::kObject;
      ++pos_;
      while (Space(), pos_ < s_.size() && s_[pos_] != '}') {
        const std::string key = String();
        Space();
        if (!Eat(':')) return Fail();
        v.members[key] = Value();
        Space();
        Eat(',');
      }
      if (!Eat('}')) return Fail();
    } else if (c == '[') {
      v.kind = Json::kArray;
      ++pos_;
      while (Space(), pos_ < s_.size() && s_[pos_] != ']') {
        v.items.push_back(Value());
        Space();
        Eat(',');
      }
      if (!Eat(']')) return Fail();
    } else if (c == '"') {
      v.kind = Json::kString;
      v.text = String();
    } else if (s_.compare(pos_, 4, "null") == 0) {
      pos_ += 4;
    } else if (s_.compare(pos_, 4, "true") == 0 || s_.compare(pos_, 5, "false") == 0) {
      v.kind = Json::kBool;
      v.number = s_[pos_] == 't';
      pos_ += s_[pos_] == 't' ? 4 : 5;
    } else {
      v.kind = Json::kNumber;
      size_t used = 0;
      v.number = std::stod(s_.substr(pos_, 40), &used);
      pos_ += used;
    }
    return v;
  }

 private:
  void Space() {
    while (pos_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[pos_]))) ++pos_;
  }
  bool Eat(char c) {
    if (pos_ < s_.size() && s_[pos_] == c) {
      ++pos_;
      return true;
    }
    return false;
  }
  std::string String() {
    std::string out;
    if (!Eat('"')) return out;
    while (pos_ < s_.size() && s_[pos_] != '"') {
      char c = s_[pos_++];
      if (c == '\\' && pos_ < s_.size()) {
        c = s_[pos_++];
        if (c == 'u') {  // \uXXXX: kept as UTF-8 for the code points below 0x800
          const auto cp = static_cast<unsigned>(std::stoul(s_.substr(pos_, 4), nullptr, 16));
          pos_ += 4;
          if (cp < 0x80) {
            out += static_cast<char>(cp);
          } else {
            out += static_cast<char>(0xC0 | cp >> 6);
            out += static_cast<char>(0x80 | (cp & 0x3F));
          }
          continue;
        }
        c = c == 'n' ? '\n' : c == 't' ? '\t' : c == 'r' ? '\r' : c;
      }
      out += c;
    }
    Eat('"');
    return out;
  }
  Json Fail() {
    ADD_FAILURE() << "bad JSON at " << pos_;
    pos_ = s_.size();
    return {};
  }

  const std::string& s_;
  size_t pos_ = 0;
};

}  // namespace

const Json& Json::operator[](const std::string& key) const {
  static const Json kNone;
  const auto it = members.find(key);
  return it == members.end() ? kNone : it->second;
}

Json ParseJson(const std::string& text) { return Parser(text).Value(); }

Json LoadJson(const std::string& path) {
  std::ifstream in(path);
  if (!in) ADD_FAILURE() << "cannot read " << path;
  std::stringstream ss;
  ss << in.rdbuf();
  return ParseJson(ss.str());
}

std::vector<uint8_t> FromHex(const std::string& hex) {
  std::vector<uint8_t> out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) out.push_back(static_cast<uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
  return out;
}

std::string Capture(const std::string& command) {
  std::string out;
  FILE* p = popen(command.c_str(), "r");
  if (p == nullptr) {
    ADD_FAILURE() << "cannot run " << command;
    return out;
  }
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  pclose(p);
  return out;
}

std::string WriteTemp(const std::string& name, const std::vector<uint8_t>& bytes) {
  const std::string path = testing::TempDir() + name;
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return path;
}

Json ExiftoolJson(const std::string& path, const std::string& options) {
  const Json all = ParseJson(Capture("exiftool -j -n " + options + " '" + path + "' 2>/dev/null"));
  if (all.kind != Json::kArray || all.items.empty()) {
    ADD_FAILURE() << "exiftool gave no JSON for " << path;
    return {};
  }
  return all.items[0];
}

}  // namespace rkexif
