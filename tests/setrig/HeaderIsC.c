/* Setrig.h as a C installer includes it. */
#include "setrig/Setrig.h"

#include <stddef.h>

int SetrigHeaderIsC(void) {
  char scheme[8];
  char host[32];
  return Setrig_SockParseUrl("https://c.test/", scheme, sizeof scheme, host, sizeof host) == 443 &&
         Setrig_XmlGetTagValue(NULL, "", host, sizeof host) == 0 && host[0] == '\0';
}
