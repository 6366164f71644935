// Certificate import and deletion.
#include "setrig/Setrig.h"
#include "setrig/SetrigExport.h"
#include "setrig/ZubCertificate.h"

extern "C" {

int Setrig_CertificateImport(const char* file, const char* password, const char* store) {
  return setrig::Export(L"Setrig_CertificateImport", [&] {
    CZubCertificate certificate;
    return certificate.Import(setrig::Wide(file), password, setrig::Wide(store));
  });
}

int Setrig_CertificateDelete(const char* subject, const char* store) {
  return setrig::Export(L"Setrig_CertificateDelete", [&] {
    CZubCertificate certificate;
    return certificate.Delete(setrig::Wide(subject), setrig::Wide(store));
  });
}

}  // extern "C"
