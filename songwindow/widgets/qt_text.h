// Texts between code page 1251 and Qt.
#pragma once

#include <QString>

#include <string>

#include "platform/codec1251.h"

inline QString ToQt(const std::string& cp1251) {
  return QString::fromStdString(Cp1251ToUtf8(cp1251));
}

// "description|*.ext" as a Qt file dialog filter: "description (*.ext)".
inline QString DialogFilter(const std::string& cp1251) {
  const QString filter = ToQt(cp1251);
  const qsizetype bar = filter.indexOf('|');
  return bar < 0 ? filter : filter.left(bar) + " (" + filter.mid(bar + 1) + ")";
}
