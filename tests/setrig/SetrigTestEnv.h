// Every test of libsetrig runs with HOME, XDG_* and the store and unit
// roots in a temporary folder, and systemctl replaced by a recorder.
#pragma once

#include <string>

namespace setrig::test {

// The temporary root of this test run.
const std::string& Root();
// Folders the exports see through SETRIG_CERT_ROOT and SETRIG_UNIT_DIR.
std::string CertRoot();
std::string UnitDir();

}  // namespace setrig::test
