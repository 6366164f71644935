#include "gui/SmartText.h"

#include "oidatlas/OidAtlas.h"

QString FormatTimeTicks(uint64_t hundredths) {
  const uint64_t milliseconds = (hundredths % 100) * 10;
  uint64_t seconds = hundredths / 100;
  const uint64_t days = seconds / 86400;
  seconds %= 86400;
  const QString clock = QStringLiteral("%1:%2:%3.%4")
                            .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
                            .arg((seconds / 60) % 60, 2, 10, QLatin1Char('0'))
                            .arg(seconds % 60, 2, 10, QLatin1Char('0'))
                            .arg(milliseconds, 3, 10, QLatin1Char('0'));
  if (days == 0) return clock;
  return QStringLiteral("%1d ").arg(days) + clock;
}

QString SmartOid(const std::wstring& dotted) {
  const std::u16string text(dotted.begin(), dotted.end());
  const char16_t* name = OidAtlas_Translate(text.c_str());
  if (name == nullptr) return QString::fromStdWString(dotted);
  return QString::fromUtf16(name);
}
