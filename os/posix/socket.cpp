#include "os/socket.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <utility>

namespace os {
namespace {

int Fd(intptr_t handle) { return static_cast<int>(handle); }

// Waits until `fd` is readable; 1 ready, 0 timed out, -1 failed.
int WaitReadable(int fd, int timeout_ms) {
  pollfd p{fd, POLLIN, 0};
  for (;;) {
    const int n = ::poll(&p, 1, timeout_ms < 0 ? 0 : timeout_ms);
    if (n >= 0) return n > 0 ? 1 : 0;
    if (errno != EINTR) return -1;
  }
}

bool CopyAddress(const sockaddr* addr, socklen_t length, SocketAddress* out) {
  if (length > sizeof(out->storage)) return false;
  std::memcpy(out->storage, addr, length);
  out->family = addr->sa_family;
  out->length = static_cast<int>(length);
  return true;
}

bool ResolveFamily(const std::string& host, uint16_t port, int family, int flags,
                   SocketAddress* out) {
  addrinfo hints{};
  hints.ai_family = family;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  hints.ai_flags = flags;
  addrinfo* found = nullptr;
  const std::string service = std::to_string(port);
  if (::getaddrinfo(host.c_str(), service.c_str(), &hints, &found) != 0 || found == nullptr) {
    return false;
  }
  const bool ok = CopyAddress(found->ai_addr, found->ai_addrlen, out);
  ::freeaddrinfo(found);
  return ok;
}

}  // namespace

bool StartSockets() { return true; }
void StopSockets() {}

bool ResolveHost(const std::string& host, uint16_t port, SocketAddress* out) {
  if (host.empty() || host.find('\0') != std::string::npos) return false;
  in_addr v4;
  if (::inet_pton(AF_INET, host.c_str(), &v4) == 1) {
    return ResolveFamily(host, port, AF_INET, AI_NUMERICHOST, out);
  }
  in6_addr v6;
  if (::inet_pton(AF_INET6, host.c_str(), &v6) == 1) {
    return ResolveFamily(host, port, AF_INET6, AI_NUMERICHOST, out);
  }
  return ResolveFamily(host, port, AF_INET, 0, out) || ResolveFamily(host, port, AF_INET6, 0, out);
}

Socket::Socket(Socket&& other) noexcept : handle_(std::exchange(other.handle_, kInvalid)) {}

Socket& Socket::operator=(Socket&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = std::exchange(other.handle_, kInvalid);
  }
  return *this;
}

Socket::~Socket() { Close(); }

bool Socket::Connect(const SocketAddress& address) {
  Close();
  if (address.family == 0) return false;
  const int fd = ::socket(address.family, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
  if (fd < 0) return false;
  handle_ = fd;
  const auto* addr = reinterpret_cast<const sockaddr*>(address.storage);
  int rc;
  do {
    rc = ::connect(fd, addr, static_cast<socklen_t>(address.length));
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) {
    Close();
    return false;
  }
  return true;
}

bool Socket::SendAll(const char* data, size_t size) {
  if (!IsOpen()) return false;
  while (size > 0) {
    const ssize_t put = ::send(Fd(handle_), data, size, MSG_NOSIGNAL);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    data += put;
    size -= static_cast<size_t>(put);
  }
  return true;
}

ReceiveStatus Socket::Receive(char* buffer, size_t size, int timeout_ms, size_t* got) {
  *got = 0;
  if (!IsOpen()) return ReceiveStatus::kReset;
  const int ready = WaitReadable(Fd(handle_), timeout_ms);
  if (ready == 0) return ReceiveStatus::kTimedOut;
  if (ready < 0) return ReceiveStatus::kReset;
  for (;;) {
    const ssize_t n = ::recv(Fd(handle_), buffer, size > INT_MAX ? INT_MAX : size, 0);
    if (n > 0) {
      *got = static_cast<size_t>(n);
      return ReceiveStatus::kData;
    }
    if (n == 0) return size == 0 ? ReceiveStatus::kData : ReceiveStatus::kClosed;
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) return ReceiveStatus::kTimedOut;
    return ReceiveStatus::kReset;
  }
}

void Socket::ShutdownSend() {
  if (IsOpen()) ::shutdown(Fd(handle_), SHUT_WR);
}

void Socket::Close() {
  if (IsOpen()) ::close(Fd(std::exchange(handle_, kInvalid)));
}

void Socket::CloseAbortively() {
  if (!IsOpen()) return;
  linger l{};
  l.l_onoff = 1;
  l.l_linger = 0;
  ::setsockopt(Fd(handle_), SOL_SOCKET, SO_LINGER, &l, sizeof l);
  Close();
}

void Socket::SetNoDelay() {
  if (!IsOpen()) return;
  const int on = 1;
  ::setsockopt(Fd(handle_), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

bool Socket::ListenOnLoopback(uint16_t port, uint16_t* bound_port) {
  Close();
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
  if (fd < 0) return false;
  handle_ = fd;
  const int on = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port);
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof addr;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 16) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &length) != 0) {
    Close();
    return false;
  }
  *bound_port = ntohs(addr.sin_port);
  return true;
}

AcceptStatus Socket::Accept(int timeout_ms, Socket* connection) {
  if (!IsOpen()) return AcceptStatus::kFailed;
  const int ready = WaitReadable(Fd(handle_), timeout_ms);
  if (ready == 0) return AcceptStatus::kTimedOut;
  if (ready < 0) return AcceptStatus::kFailed;
  const int fd = ::accept4(Fd(handle_), nullptr, nullptr, SOCK_CLOEXEC);
  if (fd < 0) {
    return errno == EINTR || errno == EAGAIN || errno == ECONNABORTED ? AcceptStatus::kTimedOut
                                                                      : AcceptStatus::kFailed;
  }
  *connection = Socket(fd);
  return AcceptStatus::kAccepted;
}

}  // namespace os
