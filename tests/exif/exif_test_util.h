// Helpers of the Exif tests: a small JSON reader (fixtures, exiftool's -j
// output), running the command-line oracles, and a module table with an
// output buffer.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "rastkit.h"

namespace rkexif {

struct Json {
  enum Kind { kNull, kBool, kNumber, kString, kArray, kObject } kind = kNull;
  double number = 0;
  std::string text;
  std::vector<Json> items;
  std::map<std::string, Json> members;

  // Member access; a missing member is null.
  const Json& operator[](const std::string& key) const;
  [[nodiscard]] bool Has(const std::string& key) const { return members.count(key) != 0; }
  [[nodiscard]] bool IsNull() const { return kind == kNull; }
  [[nodiscard]] int Int() const { return static_cast<int>(number); }
  [[nodiscard]] float Float() const { return static_cast<float>(number); }
};

// Parses a whole JSON text; fails the test (ADD_FAILURE) on bad input.
Json ParseJson(const std::string& text);
Json LoadJson(const std::string& path);

std::vector<uint8_t> FromHex(const std::string& hex);

// Runs a shell command and returns its standard output.
std::string Capture(const std::string& command);
// Writes bytes to a file under the test temporary folder; returns its path.
std::string WriteTemp(const std::string& name, const std::vector<uint8_t>& bytes);

// exiftool's -j -n output for one file (the first object of the array).
Json ExiftoolJson(const std::string& path, const std::string& options = "");

}  // namespace rkexif
