// One compact JSON object on one line (JSON Lines), for corvid-convert's
// --info --json: keys in the order they are added, texts escaped as JSON
// requires (quote, backslash and control characters; everything else as
// UTF-8), reals in the shortest form that reads back as the same float.
#pragma once

#include <QString>
#include <cstdint>

namespace corvid {

class JsonObject {
 public:
  JsonObject& Add(const char* key, const QString& text);
  JsonObject& Add(const char* key, int64_t number);
  JsonObject& AddReal(const char* key, float number);
  // A value that is JSON already (a nested object).
  JsonObject& AddJson(const char* key, const QString& json);
  bool Empty() const { return body_.isEmpty(); }
  QString Text() const { return QLatin1Char('{') + body_ + QLatin1Char('}'); }

 private:
  void Key(const char* key);
  QString body_;
};

// A JSON string literal: "a\"b" for a"b, "\u0001" for the byte 1.
QString JsonString(const QString& text);
// 0.002f gives "0.002", 24.0f "24"; NaN and infinities (which JSON cannot
// hold) give null.
QString JsonReal(float number);

}  // namespace corvid
