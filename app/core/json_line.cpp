#include "json_line.h"

#include <charconv>
#include <cmath>

namespace corvid {

QString JsonString(const QString& text) {
  QString out;
  out.reserve(text.size() + 2);
  out += QLatin1Char('"');
  for (const QChar c : text) {
    const char16_t u = c.unicode();
    switch (u) {
      case u'"': out += QStringLiteral("\\\""); break;
      case u'\\': out += QStringLiteral("\\\\"); break;
      case u'\n': out += QStringLiteral("\\n"); break;
      case u'\r': out += QStringLiteral("\\r"); break;
      case u'\t': out += QStringLiteral("\\t"); break;
      default:
        if (u < 0x20) {
          out += QStringLiteral("\\u%1").arg(static_cast<int>(u), 4, 16, QLatin1Char('0'));
        } else {
          out += c;
        }
    }
  }
  out += QLatin1Char('"');
  return out;
}

QString JsonReal(float number) {
  if (!std::isfinite(number)) return QStringLiteral("null");
  char text[32];
  const auto [end, ec] = std::to_chars(text, text + sizeof text, number);
  if (ec != std::errc()) return QStringLiteral("null");
  return QString::fromLatin1(text, end - text);
}

void JsonObject::Key(const char* key) {
  if (!body_.isEmpty()) body_ += QLatin1Char(',');
  body_ += JsonString(QString::fromLatin1(key));
  body_ += QLatin1Char(':');
}

JsonObject& JsonObject::Add(const char* key, const QString& text) {
  Key(key);
  body_ += JsonString(text);
  return *this;
}

JsonObject& JsonObject::Add(const char* key, int64_t number) {
  Key(key);
  body_ += QString::number(number);
  return *this;
}

JsonObject& JsonObject::AddReal(const char* key, float number) {
  Key(key);
  body_ += JsonReal(number);
  return *this;
}

JsonObject& JsonObject::AddJson(const char* key, const QString& json) {
  Key(key);
  body_ += json;
  return *this;
}

}  // namespace corvid
