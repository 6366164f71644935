#include "gui/SmartText.h"

#include "asn1/Asn1Object.h"
#include "asn1/Asn1Type.h"
#include "kit/ZubConvertor.h"
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

QString ValueText(const CAsn1Object& object) {
  if (object.GetType().GetCode() == ASN1_OCTET_STRING) {
    const std::string octets = object.GetValue().GetOctets();
    if (!octets.empty() && IsReadableUtf8(octets))
      return QString::fromUtf8(octets.data(), static_cast<qsizetype>(octets.size()));
  }
  return QString::fromStdWString(object.GetText());
}

std::wstring TypedOctets(const QString& typed) {
  const QByteArray utf8 = typed.toUtf8();
  std::wstring octets;
  octets.reserve(static_cast<size_t>(utf8.size()));
  for (char c : utf8) octets.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
  return octets;
}
