#include "gui/SmartText.h"

#include "asn1/Asn1Object.h"
#include "asn1/Asn1Type.h"
#include "oidatlas/OidAtlas.h"

namespace {

// Length of the UTF-8 sequence at octets[i] (1 to 4), 0 when there is none.
size_t SequenceLength(const std::string& octets, size_t i) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(octets[k]); };
  const unsigned char first = byte(i);
  if (first < 0x80) return 1;
  size_t n = 0;
  uint32_t code = 0;
  if (first >= 0xC2 && first <= 0xDF) {
    n = 2;
    code = first & 0x1F;
  } else if (first >= 0xE0 && first <= 0xEF) {
    n = 3;
    code = first & 0x0F;
  } else if (first >= 0xF0 && first <= 0xF4) {
    n = 4;
    code = first & 0x07;
  } else {
    return 0;
  }
  if (i + n > octets.size()) return 0;
  for (size_t k = 1; k < n; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    code = (code << 6) | (byte(i + k) & 0x3F);
  }
  constexpr uint32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
  if (code < kLeast[n] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  // C1 controls (U+0080 to U+009F).
  if (code < 0xA0) return 0;
  return n;
}

}  // namespace

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

bool IsReadableUtf8(const std::string& octets) {
  for (size_t i = 0; i < octets.size();) {
    const unsigned char b = static_cast<unsigned char>(octets[i]);
    if ((b < 0x20 && b != '\t' && b != '\n' && b != '\r') || b == 0x7F) return false;
    const size_t n = SequenceLength(octets, i);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

QString ValueText(const CAsn1Object& object) {
  if (object.GetType().GetCode() == ASN1_OCTET_STRING) {
    const std::string octets = object.GetValue().GetOctets();
    if (!octets.empty() && IsReadableUtf8(octets)) return QString::fromUtf8(octets.data(), static_cast<qsizetype>(octets.size()));
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
