#include "setrig/ZubUrl.h"

#include "quillog/Quillog.h"

#include <curl/curl.h>

#include <charconv>
#include <memory>

namespace {

struct CurlUrlFree {
  void operator()(CURLU* url) const { curl_url_cleanup(url); }
};
struct CurlTextFree {
  void operator()(char* text) const { curl_free(text); }
};
using CurlText = std::unique_ptr<char, CurlTextFree>;

bool GetPart(CURLU* url, CURLUPart part, unsigned flags, std::string* out) {
  char* text = nullptr;
  const CURLUcode rc = curl_url_get(url, part, &text, flags);
  CurlText owned(text);
  if (rc != CURLUE_OK || !owned) return false;
  *out = owned.get();
  return true;
}

}  // namespace

bool CZubUrl::Split(const char* url) {
  m_scheme.clear();
  m_host.clear();
  m_port = 0;
  if (url != nullptr && _split(url)) return true;
  QuillogW(QUILLOG_ERROR, QLF_NONE, L"An error in WinHttpCrackUrl()");
  m_scheme.clear();
  m_host.clear();
  m_port = 0;
  return false;
}

bool CZubUrl::_split(const char* url) {
  std::unique_ptr<CURLU, CurlUrlFree> handle(curl_url());
  if (!handle) return false;
  if (curl_url_set(handle.get(), CURLUPART_URL, url, 0) != CURLUE_OK) return false;
  std::string port;
  if (!GetPart(handle.get(), CURLUPART_SCHEME, 0, &m_scheme)) return false;
  if (!GetPart(handle.get(), CURLUPART_HOST, 0, &m_host) || m_host.empty()) return false;
  if (!GetPart(handle.get(), CURLUPART_PORT, CURLU_DEFAULT_PORT, &port)) return false;
  unsigned value = 0;
  const auto [end, ec] = std::from_chars(port.data(), port.data() + port.size(), value);
  if (ec != std::errc() || end != port.data() + port.size() || value == 0 || value > 65535) return false;
  m_port = static_cast<uint16_t>(value);
  return true;
}
