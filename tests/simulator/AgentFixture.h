// A started simulator on a loopback port, with a view window that saves the
// simulator when the engine reports a change, and helpers to run Net-SNMP's
// command-line managers against it.
#pragma once

#include "app/MessageCenter.h"
#include "app/PlainDispatcher.h"
#include "simulator/SimulatorEntry.h"
#include "simulator/SimulatorFile.h"
#include "tests/simulator/TestSupport.h"
#include "workers/ThreadActionSimuler.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <sstream>

namespace simtest {

inline uint16_t FreeUdpPort() {
  int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof(address);
  ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address));
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
  ::close(fd);
  return ntohs(address.sin_port);
}

// Runs a command line and returns what it printed (stdout and stderr).
inline std::string RunCommand(const std::string& command) {
  std::string output;
  FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return output;
  char chunk[4096];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof(chunk), pipe)) > 0) output.append(chunk, n);
  ::pclose(pipe);
  return output;
}

inline std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The simulator value view's part that matters here: save on refresh.
class SavingView : public CViewWindow {
 public:
  SavingView(CViewDispatcher* dispatcher, CSimulatorEntry* simulator) : CViewWindow(dispatcher), simulator_(simulator) {
    CMessageCenter::Subscribe(L"CViewSimulerValue", this, MSG_VIEW_SIMULATOR, 0);
  }
  intptr_t OnViewMessage(uint32_t message, uintptr_t sub_code, uintptr_t) override {
    if (message != MSG_VIEW_SIMULATOR) return 0;
    if (sub_code == MSG_VIEW_SIMULATOR_DATA_RECV) ++received;
    if (sub_code == MSG_VIEW_SIMULATOR_STARTED) ++started;
    if (sub_code == MSG_VIEW_SIMULATOR_FINISHED) ++finished;
    if (sub_code == MSG_VIEW_SIMULATOR_REFRESH) {
      CSimulatorFile::Save(simulator_);
      ++refreshed;
    }
    return 0;
  }
  std::atomic<int> received{0};
  std::atomic<int> started{0};
  std::atomic<int> finished{0};
  std::atomic<int> refreshed{0};

 private:
  CSimulatorEntry* simulator_;
};

}  // namespace simtest
