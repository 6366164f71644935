// A URL split into scheme, host and port with libcurl's URL API. The path,
// query and user parts are read by nobody and not kept.
#pragma once

#include <cstdint>
#include <string>

class CZubUrl {
 public:
  // Splits an absolute URL of a scheme libcurl knows. The port is the URL's
  // own, or the scheme's default when it has none. On failure logs "An error
  // in WinHttpCrackUrl()" and leaves the parts empty.
  bool Split(const char* url);

  const std::string& GetScheme() const { return m_scheme; }
  const std::string& GetHost() const { return m_host; }
  uint16_t GetPort() const { return m_port; }

 private:
  bool _split(const char* url);

  std::string m_scheme;
  std::string m_host;
  uint16_t m_port = 0;
};
