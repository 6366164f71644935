// Service creation and control (systemd units).
#include "setrig/Setrig.h"
#include "setrig/SetrigExport.h"
#include "setrig/ZubService.h"

#include <initializer_list>

namespace {

// Every argument non-null and non-empty (else a silent failure), and a
// name systemd accepts.
bool ArgumentsOk(std::initializer_list<const char*> args) {
  for (const char* arg : args) {
    if (setrig::IsNullOrEmpty(arg)) return false;
  }
  const std::wstring name = setrig::Wide(*args.begin());
  if (CZubService::IsValidName(name)) return true;
  QuillogW(QUILLOG_ERROR, QLF_NONE, L"The service name [%s] is not a valid unit name", name);
  return false;
}

}  // namespace

extern "C" {

int Setrig_ServiceCreate(const char* name, const char* executable, const char* display_name, const char* description) {
  return setrig::Export(L"Setrig_ServiceCreate", [&] {
    if (!ArgumentsOk({name, executable, display_name, description})) return false;
    CZubService service(setrig::Wide(name));
    return service.Create(setrig::Wide(executable), setrig::Wide(display_name), setrig::Wide(description));
  });
}

int Setrig_ServiceStart(const char* name) {
  return setrig::Export(L"Setrig_ServiceStart", [&] {
    if (!ArgumentsOk({name})) return false;
    return CZubService(setrig::Wide(name)).Start();
  });
}

int Setrig_ServiceStop(const char* name) {
  return setrig::Export(L"Setrig_ServiceStop", [&] {
    if (!ArgumentsOk({name})) return false;
    return CZubService(setrig::Wide(name)).Stop();
  });
}

int Setrig_ServiceDelete(const char* name) {
  return setrig::Export(L"Setrig_ServiceDelete", [&] {
    if (!ArgumentsOk({name})) return false;
    return CZubService(setrig::Wide(name)).Delete();
  });
}

}  // extern "C"
