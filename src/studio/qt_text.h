// Text between the core (UTF-8 in std::string) and the window (QString).
#pragma once

#include <QByteArray>
#include <QString>

#include <string>
#include <string_view>

namespace romscriber::studio {

inline QString Utf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

inline std::string Std(const QString& text) {
  const QByteArray bytes = text.toUtf8();
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

}  // namespace romscriber::studio
