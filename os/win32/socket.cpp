#include "os/socket.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <cstring>
#include <utility>

namespace os {
namespace {

// Windows Sockets is reached only through these pointers, looked up in the
// ws2_32.dll loaded by StartSockets: the library imports nothing from it.
struct Winsock {
  HMODULE ws2_32 = nullptr;
  HMODULE wship6 = nullptr;
  int users = 0;

  int(WSAAPI* WSAStartup)(WORD, LPWSADATA) = nullptr;
  int(WSAAPI* WSACleanup)() = nullptr;
  int(WSAAPI* WSAGetLastError)() = nullptr;
  SOCKET(WSAAPI* socket)(int, int, int) = nullptr;
  int(WSAAPI* connect)(SOCKET, const sockaddr*, int) = nullptr;
  int(WSAAPI* send)(SOCKET, const char*, int, int) = nullptr;
  int(WSAAPI* recv)(SOCKET, char*, int, int) = nullptr;
  int(WSAAPI* select)(int, fd_set*, fd_set*, fd_set*, const timeval*) = nullptr;
  int(WSAAPI* shutdown)(SOCKET, int) = nullptr;
  int(WSAAPI* closesocket)(SOCKET) = nullptr;
  int(WSAAPI* setsockopt)(SOCKET, int, int, const char*, int) = nullptr;
  int(WSAAPI* bind)(SOCKET, const sockaddr*, int) = nullptr;
  int(WSAAPI* listen)(SOCKET, int) = nullptr;
  SOCKET(WSAAPI* accept)(SOCKET, sockaddr*, int*) = nullptr;
  int(WSAAPI* getsockname)(SOCKET, sockaddr*, int*) = nullptr;
  hostent*(WSAAPI* gethostbyname)(const char*) = nullptr;
  unsigned long(WSAAPI* inet_addr)(const char*) = nullptr;
  INT(WSAAPI* WSAStringToAddressA)(LPSTR, INT, LPWSAPROTOCOL_INFOA, LPSOCKADDR, LPINT) = nullptr;
  int(WSAAPI* getaddrinfo)(const char*, const char*, const addrinfo*, addrinfo**) = nullptr;
  void(WSAAPI* freeaddrinfo)(addrinfo*) = nullptr;
  int(WSAAPI* getnameinfo)(const sockaddr*, socklen_t, char*, DWORD, char*, DWORD, int) = nullptr;

  bool HasAddrInfo() const { return getaddrinfo && freeaddrinfo && getnameinfo; }
};

Winsock g_ws;

template <typename Fn>
void Look(HMODULE module, const char* name, Fn*& fn) {
  fn = reinterpret_cast<Fn*>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// Every call below needs these; a ws2_32.dll without them is treated as absent.
bool HasCoreFunctions() {
  return g_ws.WSAStartup && g_ws.WSACleanup && g_ws.WSAGetLastError && g_ws.socket &&
         g_ws.connect && g_ws.send && g_ws.recv && g_ws.select && g_ws.shutdown &&
         g_ws.closesocket && g_ws.setsockopt && g_ws.bind && g_ws.listen && g_ws.accept &&
         g_ws.getsockname && g_ws.gethostbyname && g_ws.inet_addr;
}

SOCKET S(intptr_t handle) { return static_cast<SOCKET>(handle); }

uint16_t HostToNet(uint16_t v) { return static_cast<uint16_t>((v >> 8) | (v << 8)); }
uint32_t HostToNet32(uint32_t v) {
  return (v >> 24) | ((v >> 8) & 0xFF00u) | ((v << 8) & 0xFF0000u) | (v << 24);
}

// Waits until `s` is readable; 1 ready, 0 timed out, -1 failed. The set is
// filled by hand: FD_ISSET would call into ws2_32 directly.
int WaitReadable(SOCKET s, int timeout_ms) {
  if (timeout_ms < 0) timeout_ms = 0;
  fd_set readable;
  readable.fd_count = 1;
  readable.fd_array[0] = s;
  timeval limit;
  limit.tv_sec = timeout_ms / 1000;
  limit.tv_usec = (timeout_ms % 1000) * 1000;
  const int n = g_ws.select(0, &readable, nullptr, nullptr, &limit);
  if (n == SOCKET_ERROR) return -1;
  return n > 0 ? 1 : 0;
}

bool CopyAddress(const sockaddr* addr, size_t length, SocketAddress* out) {
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
  if (g_ws.getaddrinfo(host.c_str(), service.c_str(), &hints, &found) != 0 || found == nullptr) {
    return false;
  }
  const bool ok = CopyAddress(found->ai_addr, found->ai_addrlen, out);
  g_ws.freeaddrinfo(found);
  return ok;
}

// Dotted IPv4 only: four decimal parts of at most 255.
bool ParseIpv4(const std::string& host, uint32_t* host_order) {
  uint32_t value = 0;
  int parts = 0;
  size_t i = 0;
  while (parts < 4) {
    size_t digits = 0;
    uint32_t part = 0;
    while (i < host.size() && host[i] >= '0' && host[i] <= '9' && digits < 4) {
      part = part * 10 + static_cast<uint32_t>(host[i] - '0');
      ++i;
      ++digits;
    }
    if (digits == 0 || digits > 3 || part > 255) return false;
    value = (value << 8) | part;
    ++parts;
    if (parts < 4) {
      if (i >= host.size() || host[i] != '.') return false;
      ++i;
    }
  }
  if (i != host.size()) return false;
  *host_order = value;
  return true;
}

bool ResolveWithoutAddrInfo(const std::string& host, uint16_t port, SocketAddress* out) {
  if (host.find(':') != std::string::npos) {
    // An IPv6 literal: the wship6.dll provider parses it where installed.
    sockaddr_in6 addr{};
    INT length = sizeof addr;
    std::string text = host;
    if (g_ws.WSAStringToAddressA == nullptr ||
        g_ws.WSAStringToAddressA(text.data(), AF_INET6, nullptr,
                                 reinterpret_cast<sockaddr*>(&addr), &length) != 0) {
      return false;
    }
    addr.sin6_port = HostToNet(port);
    return CopyAddress(reinterpret_cast<sockaddr*>(&addr), sizeof addr, out);
  }
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = HostToNet(port);
  uint32_t literal = 0;
  if (ParseIpv4(host, &literal)) {
    addr.sin_addr.s_addr = HostToNet32(literal);
  } else {
    const hostent* entry = g_ws.gethostbyname(host.c_str());
    if (entry == nullptr || entry->h_addrtype != AF_INET || entry->h_length != 4 ||
        entry->h_addr_list == nullptr || entry->h_addr_list[0] == nullptr) {
      return false;
    }
    std::memcpy(&addr.sin_addr, entry->h_addr_list[0], 4);
  }
  return CopyAddress(reinterpret_cast<sockaddr*>(&addr), sizeof addr, out);
}

}  // namespace

bool StartSockets() {
  if (g_ws.users > 0) {
    ++g_ws.users;
    return true;
  }
  HMODULE ws2 = LoadLibraryA("ws2_32.dll");
  if (ws2 == nullptr) return false;
  Winsock ws;
  ws.ws2_32 = ws2;
  Look(ws2, "WSAStartup", ws.WSAStartup);
  Look(ws2, "WSACleanup", ws.WSACleanup);
  Look(ws2, "WSAGetLastError", ws.WSAGetLastError);
  Look(ws2, "socket", ws.socket);
  Look(ws2, "connect", ws.connect);
  Look(ws2, "send", ws.send);
  Look(ws2, "recv", ws.recv);
  Look(ws2, "select", ws.select);
  Look(ws2, "shutdown", ws.shutdown);
  Look(ws2, "closesocket", ws.closesocket);
  Look(ws2, "setsockopt", ws.setsockopt);
  Look(ws2, "bind", ws.bind);
  Look(ws2, "listen", ws.listen);
  Look(ws2, "accept", ws.accept);
  Look(ws2, "getsockname", ws.getsockname);
  Look(ws2, "gethostbyname", ws.gethostbyname);
  Look(ws2, "inet_addr", ws.inet_addr);
  Look(ws2, "WSAStringToAddressA", ws.WSAStringToAddressA);
  Look(ws2, "getaddrinfo", ws.getaddrinfo);
  Look(ws2, "freeaddrinfo", ws.freeaddrinfo);
  Look(ws2, "getnameinfo", ws.getnameinfo);
  g_ws = ws;
  if (!HasCoreFunctions()) {
    FreeLibrary(ws2);
    g_ws = Winsock();
    return false;
  }
  if (!g_ws.HasAddrInfo()) {
    g_ws.getaddrinfo = nullptr;
    g_ws.freeaddrinfo = nullptr;
    g_ws.getnameinfo = nullptr;
    g_ws.wship6 = LoadLibraryA("wship6.dll");
  }
  WSADATA data;
  g_ws.WSAStartup(MAKEWORD(2, 2), &data);
  g_ws.users = 1;
  return true;
}

void StopSockets() {
  if (g_ws.users == 0 || --g_ws.users > 0) return;
  g_ws.WSACleanup();
  if (g_ws.wship6 != nullptr) FreeLibrary(g_ws.wship6);
  FreeLibrary(g_ws.ws2_32);
  g_ws = Winsock();
}

bool ResolveHost(const std::string& host, uint16_t port, SocketAddress* out) {
  if (g_ws.users == 0 || host.empty() || host.find('\0') != std::string::npos) return false;
  if (!g_ws.HasAddrInfo()) return ResolveWithoutAddrInfo(host, port, out);
  if (host.find(':') != std::string::npos) {
    return ResolveFamily(host, port, AF_INET6, AI_NUMERICHOST, out);
  }
  uint32_t literal = 0;
  if (ParseIpv4(host, &literal)) return ResolveFamily(host, port, AF_INET, AI_NUMERICHOST, out);
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
  if (g_ws.users == 0 || address.family == 0) return false;
  const SOCKET s = g_ws.socket(address.family, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) return false;
  handle_ = static_cast<intptr_t>(s);
  if (g_ws.connect(s, reinterpret_cast<const sockaddr*>(address.storage), address.length) != 0) {
    Close();
    return false;
  }
  return true;
}

bool Socket::SendAll(const char* data, size_t size) {
  if (!IsOpen()) return false;
  while (size > 0) {
    const int want = size > 0x40000000 ? 0x40000000 : static_cast<int>(size);
    const int put = g_ws.send(S(handle_), data, want, 0);
    if (put == SOCKET_ERROR || put <= 0) return false;
    data += put;
    size -= static_cast<size_t>(put);
  }
  return true;
}

ReceiveStatus Socket::Receive(char* buffer, size_t size, int timeout_ms, size_t* got) {
  *got = 0;
  if (!IsOpen()) return ReceiveStatus::kReset;
  const int ready = WaitReadable(S(handle_), timeout_ms);
  if (ready == 0) return ReceiveStatus::kTimedOut;
  if (ready < 0) return ReceiveStatus::kReset;
  const int want = size > 0x40000000 ? 0x40000000 : static_cast<int>(size);
  const int n = g_ws.recv(S(handle_), buffer, want, 0);
  if (n > 0) {
    *got = static_cast<size_t>(n);
    return ReceiveStatus::kData;
  }
  if (n == 0) return size == 0 ? ReceiveStatus::kData : ReceiveStatus::kClosed;
  return g_ws.WSAGetLastError() == WSAEWOULDBLOCK ? ReceiveStatus::kTimedOut
                                                  : ReceiveStatus::kReset;
}

void Socket::ShutdownSend() {
  if (IsOpen()) g_ws.shutdown(S(handle_), SD_SEND);
}

void Socket::Close() {
  if (IsOpen()) g_ws.closesocket(S(std::exchange(handle_, kInvalid)));
}

void Socket::CloseAbortively() {
  if (!IsOpen()) return;
  linger l{};
  l.l_onoff = 1;
  l.l_linger = 0;
  g_ws.setsockopt(S(handle_), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&l), sizeof l);
  Close();
}

void Socket::SetNoDelay() {
  if (!IsOpen()) return;
  const BOOL on = TRUE;
  g_ws.setsockopt(S(handle_), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on),
                  sizeof on);
}

bool Socket::ListenOnLoopback(uint16_t port, uint16_t* bound_port) {
  Close();
  if (g_ws.users == 0) return false;
  const SOCKET s = g_ws.socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) return false;
  handle_ = static_cast<intptr_t>(s);
  // Another listener on the same port must make this one fail, not share it.
  const BOOL on = TRUE;
  g_ws.setsockopt(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&on),
                  sizeof on);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = HostToNet(port);
  addr.sin_addr.s_addr = HostToNet32(0x7F000001u);  // 127.0.0.1
  int length = sizeof addr;
  if (g_ws.bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      g_ws.listen(s, 16) != 0 ||
      g_ws.getsockname(s, reinterpret_cast<sockaddr*>(&addr), &length) != 0) {
    Close();
    return false;
  }
  *bound_port = HostToNet(addr.sin_port);
  return true;
}

AcceptStatus Socket::Accept(int timeout_ms, Socket* connection) {
  if (!IsOpen()) return AcceptStatus::kFailed;
  const int ready = WaitReadable(S(handle_), timeout_ms);
  if (ready == 0) return AcceptStatus::kTimedOut;
  if (ready < 0) return AcceptStatus::kFailed;
  const SOCKET s = g_ws.accept(S(handle_), nullptr, nullptr);
  if (s == INVALID_SOCKET) {
    return g_ws.WSAGetLastError() == WSAEWOULDBLOCK ? AcceptStatus::kTimedOut
                                                    : AcceptStatus::kFailed;
  }
  *connection = Socket(static_cast<intptr_t>(s));
  return AcceptStatus::kAccepted;
}

}  // namespace os
