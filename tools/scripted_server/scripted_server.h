// A fake update server for the tests: listens on 127.0.0.1 and plays a fixed
// script on each connection it accepts, recording what the client sent.
// Every wait it makes is bounded, and its destructor ends everything.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "os/socket.h"

// One step of what the server does on a connection, in order.
struct ServerStep {
  enum Kind { kReadRequest, kSend, kPause, kClose, kReset, kHang };
  Kind kind;
  std::string bytes;  // kSend: sent in one send() call (one packet)
  int ms = 0;         // kPause: sleep; kHang: keep the connection open and silent this long
};
using ServerScript = std::vector<ServerStep>;

// Reads until the empty line that ends a request header block (CR LF CR LF),
// recording the raw bytes; gives up when the client closes or after
// kReadRequestLimitMs.
ServerStep ReadRequest();
ServerStep Send(std::string bytes);
ServerStep Pause(int ms);
// Orderly close: FIN, then what the client still sends is recorded until it
// closes too (bounded), then the socket is closed.
ServerStep Close();
// Abortive close: the client sees a reset.
ServerStep Reset();
ServerStep Hang(int ms);
// One kSend step per `piece` bytes (the last may be shorter); `piece` 0 is 1.
std::vector<ServerStep> SendSplit(const std::string& bytes, size_t piece);
// A script that reads a request and answers `reply` then closes.
ServerScript Reply(const std::string& reply);

// The longest a kReadRequest step, or the wait for the client's close after
// kClose, lasts.
constexpr int kReadRequestLimitMs = 10000;
constexpr int kCloseWaitLimitMs = 2000;

class ScriptedServer {
 public:
  // Listens on 127.0.0.1:port (0 picks a free port) on a thread of its own. The i-th
  // connection accepted plays scripts[i]; connections past the end play the last script
  // (an empty list: read the request, then close).
  explicit ScriptedServer(std::vector<ServerScript> scripts, uint16_t port = 0);
  ~ScriptedServer();  // stops listening, ends every connection, joins its threads
  ScriptedServer(const ScriptedServer&) = delete;
  ScriptedServer& operator=(const ScriptedServer&) = delete;

  uint16_t port() const { return port_; }
  bool listening() const { return listening_; }
  // The raw bytes each connection sent before the server's first send, by connection
  // order (everything read by kReadRequest steps and anything received before close).
  std::vector<std::string> Requests() const;
  int connections() const;
  // "http://127.0.0.1:<port>" followed by `path`.
  std::string Url(const std::string& path) const;

 private:
  void AcceptLoop();
  void Play(os::Socket connection, const ServerScript& script, size_t index);
  void Record(size_t index, const char* data, size_t size);
  // Sleeps `ms` in short slices; false when the server is stopping.
  bool Wait(int ms) const;

  std::vector<ServerScript> scripts_;
  bool sockets_started_ = false;
  bool listening_ = false;
  uint16_t port_ = 0;
  os::Socket listener_;
  std::atomic<bool> stopping_{false};
  mutable std::mutex mutex_;
  std::vector<std::string> requests_;
  std::vector<std::thread> workers_;
  std::thread acceptor_;
};
