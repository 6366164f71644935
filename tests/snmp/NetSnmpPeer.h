// Loopback peers for the conformance tests: a UDP socket of the test's own,
// Net-SNMP programs run as child processes, and a temporary folder.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

using ByteVector = std::vector<uint8_t>;

class TestUdpSocket {
 public:
  // Binds 127.0.0.1 on the given port (0: the system picks one).
  explicit TestUdpSocket(uint16_t port = 0);
  ~TestUdpSocket();
  TestUdpSocket(const TestUdpSocket&) = delete;
  TestUdpSocket& operator=(const TestUdpSocket&) = delete;

  bool IsOpen() const { return m_fd >= 0; }
  uint16_t Port() const { return m_port; }
  // Waits up to timeout_ms for one datagram; false on timeout.
  bool Receive(ByteVector* data, int timeout_ms, uint32_t* from_address = nullptr, uint16_t* from_port = nullptr);
  bool SendTo(uint16_t port, const uint8_t* data, size_t length);

 private:
  int m_fd = -1;
  uint16_t m_port = 0;
};

// A port that was free a moment ago on 127.0.0.1 (UDP).
uint16_t FreeUdpPort();

class ChildProcess {
 public:
  // Starts argv[0] from PATH with extra environment entries ("NAME=value");
  // standard output goes to output_file when given, else to /dev/null.
  ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env,
               const std::string& output_file = std::string());
  ~ChildProcess();  // terminates and reaps the child if still running
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool Started() const { return m_pid > 0; }
  // Waits up to timeout_ms; the exit status, or -1 when still running.
  int Wait(int timeout_ms);

 private:
  pid_t m_pid = -1;
  int m_status = -1;
};

class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::string& Path() const { return m_path; }
  std::string Write(const std::string& name, const std::string& text) const;
  std::string Read(const std::string& name) const;

 private:
  std::string m_path;
};

// The environment the Net-SNMP programs run with: no MIB loading, files in
// the test's own folder.
std::vector<std::string> NetSnmpEnvironment(const TempFolder& folder);
