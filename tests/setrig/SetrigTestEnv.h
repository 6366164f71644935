// Every test of libsetrig runs with HOME, XDG_* and the certificate and
// unit roots (SETRIG_CERT_ROOT, SETRIG_UNIT_DIR) in a temporary folder.
#pragma once

#include <string>

namespace setrig::test {

const std::string& Root();
std::string CertRoot();
std::string UnitDir();

}  // namespace setrig::test
