// Socket start-up, name resolution and the base socket holder (POSIX IPv4).
// Addresses and ports cross this interface in host byte order.
//
// Closing from another thread: SocketClose swaps the descriptor out, shuts
// it down (which wakes a thread blocked in recvfrom or poll on it) and
// closes it. Every operation that uses the descriptor holds a use count for
// the whole system call; while the count is not zero the close is deferred
// to the last user, so the descriptor number cannot be re-used by another
// socket while a receive or wait is still about to use it. Never call
// select()/poll() on GetSocket() from outside: use SocketWaitRead.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

inline constexpr int ZUB_INVALID_SOCKET = -1;

class CZubTcpStaticFunction {
 public:
  // Starts the socket interface once (nothing to start here but the flag).
  static bool InitLow();
  static bool TerminateLow();
  static bool IsStarted();
  // 2.2 as major | minor << 8.
  static uint16_t GetVersion();
};

class CZubLowSocket {
 public:
  CZubLowSocket();
  virtual ~CZubLowSocket();
  CZubLowSocket(const CZubLowSocket&) = delete;
  CZubLowSocket& operator=(const CZubLowSocket&) = delete;

  bool IsOpen() const;
  int GetSocket() const { return m_socket.load(); }
  // Stores a socket; an open one is lost (logged), not closed.
  void SetSocket(int socket);
  bool SocketClose();

  // Dotted address or host name -> IPv4 address in host order, 0 on failure.
  static uint32_t ResolvIp(const char* host);
  static uint32_t ResolvIp(const wchar_t* host);

  // Waits until a datagram can be read: 1 ready, 0 timed out, -1 closed or
  // error. timeout_ms 0xFFFFFFFF waits forever.
  int SocketWaitRead(uint32_t timeout_ms);

 protected:
  static bool IsOpenValue(int socket) { return socket != 0 && socket != ZUB_INVALID_SOCKET; }

  // Holds the use count of the current descriptor for one system call.
  class CUse {
   public:
    explicit CUse(CZubLowSocket& owner);
    ~CUse();
    CUse(const CUse&) = delete;
    CUse& operator=(const CUse&) = delete;
    int Socket() const { return m_socket; }
    // True when the socket was closed since the use began.
    bool Closed() const;

   private:
    CZubLowSocket& m_owner;
    int m_socket;
    uint64_t m_generation;
  };

  // A new IPv4 UDP socket (close-on-exec, never descriptor 0), or -1.
  static int CreateUdpSocket();

 private:
  std::atomic<int> m_socket{ZUB_INVALID_SOCKET};
  std::mutex m_use_lock;
  int m_users = 0;
  uint64_t m_close_generation = 0;
  std::vector<int> m_deferred_close;
};
