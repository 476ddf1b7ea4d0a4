// TCP sockets, the OS layer's part that the HTTP client and the scripted test
// server use. Windows: Windows Sockets 2, loaded from ws2_32.dll at run time
// (the library imports nothing of it). POSIX: BSD sockets.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace os {

// Loads and starts the socket library. Windows: LoadLibraryA("ws2_32.dll"),
// every function looked up with GetProcAddress, WSAStartup(2.2) with its
// result not looked at. Where getaddrinfo, freeaddrinfo or getnameinfo is
// missing, names are resolved to IPv4 only with gethostbyname, and wship6.dll
// is loaded when present. False only when ws2_32.dll cannot be loaded; no
// socket call works then. POSIX: nothing to start, always true.
// Calls nest: each successful StartSockets wants one StopSockets. Call both
// from one thread at a time.
bool StartSockets();
// The last StopSockets runs WSACleanup and frees the libraries.
void StopSockets();

// A resolved endpoint: an IPv4 or IPv6 socket address.
struct SocketAddress {
  int family = 0;            // 0 when empty
  int length = 0;            // bytes used in `storage`
  alignas(8) unsigned char storage[128] = {};
};

// `host` as written in a URL without its brackets: an IPv4 literal is used as
// IPv4, an IPv6 literal as IPv6; a name is resolved for IPv4 first and only
// when that finds nothing for IPv6. Only the first address is kept. False
// when nothing was found.
bool ResolveHost(const std::string& host, uint16_t port, SocketAddress* out);

// What one Receive call saw.
enum class ReceiveStatus {
  kData,      // at least one byte
  kClosed,    // the peer shut down its sending direction (orderly close)
  kReset,     // the connection was reset, or receiving failed
  kTimedOut,  // nothing arrived within the time limit
};

enum class AcceptStatus { kAccepted, kTimedOut, kFailed };

// Owns one socket; move-only, closed (gracefully: shutdown and drain are the
// caller's) on destruction.
class Socket {
 public:
  Socket() = default;
  Socket(Socket&& other) noexcept;
  Socket& operator=(Socket&& other) noexcept;
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;
  ~Socket();

  bool IsOpen() const { return handle_ != kInvalid; }

  // Opens a TCP socket of the address's family and connects it, blocking for
  // as long as the system's connect does. False when either step fails; the
  // socket is then closed.
  bool Connect(const SocketAddress& address);

  // Sends all `size` bytes; false when the system refuses any of them.
  bool SendAll(const char* data, size_t size);

  // Waits up to `timeout_ms` (0: only what has arrived already) for data and
  // takes at most `size` bytes of it into `buffer`; `*got` is the count taken.
  ReceiveStatus Receive(char* buffer, size_t size, int timeout_ms, size_t* got);

  // No more sending: the peer sees an orderly close (FIN).
  void ShutdownSend();
  // Closes the socket; nothing more is sent or received.
  void Close();
  // Closes with SO_LINGER 0, so the peer sees a reset.
  void CloseAbortively();
  // Sends every write at once rather than coalescing small ones (TCP_NODELAY).
  void SetNoDelay();

  // Server side. Listens on 127.0.0.1:`port` (0 picks a free one) and stores
  // the bound port in `*bound_port`. False when binding or listening fails.
  bool ListenOnLoopback(uint16_t port, uint16_t* bound_port);
  // Waits up to `timeout_ms` for a connection on a listening socket.
  AcceptStatus Accept(int timeout_ms, Socket* connection);

 private:
  static constexpr intptr_t kInvalid = -1;
  explicit Socket(intptr_t handle) : handle_(handle) {}
  intptr_t handle_ = kInvalid;
};

}  // namespace os
