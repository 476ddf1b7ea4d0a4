#include "tools/scripted_server/scripted_server.h"

#include <algorithm>
#include <chrono>

namespace {

// Every wait is cut into slices this long so that a stopping server is
// noticed quickly.
constexpr int kSliceMs = 20;
// The server never blocks inside a socket call: it looks for what is ready
// now and sleeps between looks, so a stopping server never waits on a peer.
constexpr int kPollMs = 2;

using Clock = std::chrono::steady_clock;

int MsSince(Clock::time_point start) {
  return static_cast<int>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

}  // namespace

ServerStep ReadRequest() { return ServerStep{ServerStep::kReadRequest, {}, 0}; }
ServerStep Send(std::string bytes) { return ServerStep{ServerStep::kSend, std::move(bytes), 0}; }
ServerStep Pause(int ms) { return ServerStep{ServerStep::kPause, {}, ms}; }
ServerStep Close() { return ServerStep{ServerStep::kClose, {}, 0}; }
ServerStep Reset() { return ServerStep{ServerStep::kReset, {}, 0}; }
ServerStep Hang(int ms) { return ServerStep{ServerStep::kHang, {}, ms}; }

std::vector<ServerStep> SendSplit(const std::string& bytes, size_t piece) {
  if (piece == 0) piece = 1;
  std::vector<ServerStep> steps;
  for (size_t at = 0; at < bytes.size(); at += piece) steps.push_back(Send(bytes.substr(at, piece)));
  return steps;
}

ServerScript Reply(const std::string& reply) { return {ReadRequest(), Send(reply), Close()}; }

ScriptedServer::ScriptedServer(std::vector<ServerScript> scripts, uint16_t port)
    : scripts_(std::move(scripts)) {
  sockets_started_ = os::StartSockets();
  if (!sockets_started_) return;
  listening_ = listener_.ListenOnLoopback(port, &port_);
  if (listening_) acceptor_ = std::thread(&ScriptedServer::AcceptLoop, this);
}

ScriptedServer::~ScriptedServer() {
  stopping_ = true;
  if (acceptor_.joinable()) acceptor_.join();
  // The acceptor has stopped, so no worker is added any more.
  for (std::thread& worker : workers_) worker.join();
  listener_.Close();
  if (sockets_started_) os::StopSockets();
}

std::vector<std::string> ScriptedServer::Requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

int ScriptedServer::connections() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return static_cast<int>(requests_.size());
}

std::string ScriptedServer::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

void ScriptedServer::AcceptLoop() {
  while (!stopping_) {
    os::Socket connection;
    const os::AcceptStatus status = listener_.Accept(0, &connection);
    if (status != os::AcceptStatus::kAccepted) {
      Wait(status == os::AcceptStatus::kFailed ? kSliceMs : kPollMs);
      continue;
    }
    connection.SetNoDelay();
    size_t index;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      index = requests_.size();
      requests_.emplace_back();
    }
    static const ServerScript kDefault;
    const ServerScript& script =
        scripts_.empty() ? kDefault : scripts_[std::min(index, scripts_.size() - 1)];
    workers_.emplace_back(&ScriptedServer::Play, this, std::move(connection), std::cref(script),
                          index);
  }
}

void ScriptedServer::Record(size_t index, const char* data, size_t size) {
  std::lock_guard<std::mutex> lock(mutex_);
  requests_[index].append(data, size);
}

bool ScriptedServer::Wait(int ms) const {
  const Clock::time_point start = Clock::now();
  for (;;) {
    if (stopping_) return false;
    const int left = ms - MsSince(start);
    if (left <= 0) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(std::min(left, kSliceMs)));
  }
}

void ScriptedServer::Play(os::Socket connection, const ServerScript& script, size_t index) {
  std::string buffer(65536, '\0');
  std::string seen;  // what this request step has read so far

  // Reads in slices until `done` says so, the peer stops, the limit passes or
  // the server stops. Everything read is recorded.
  const auto read_until = [&](int limit_ms, auto done) {
    const Clock::time_point start = Clock::now();
    while (!stopping_ && MsSince(start) < limit_ms) {
      size_t got = 0;
      const os::ReceiveStatus status = connection.Receive(&buffer[0], buffer.size(), 0, &got);
      if (status == os::ReceiveStatus::kTimedOut) {
        Wait(kPollMs);
        continue;
      }
      if (status != os::ReceiveStatus::kData) return;
      Record(index, buffer.data(), got);
      seen.append(buffer, 0, got);
      if (done()) return;
    }
  };
  const auto close_gracefully = [&]() {
    connection.ShutdownSend();
    read_until(kCloseWaitLimitMs, [] { return false; });
    connection.Close();
  };

  const ServerScript read_then_close = {ReadRequest(), Close()};
  const ServerScript& steps = script.empty() ? read_then_close : script;
  for (const ServerStep& step : steps) {
    if (stopping_ || !connection.IsOpen()) break;
    switch (step.kind) {
      case ServerStep::kReadRequest:
        seen.clear();
        read_until(kReadRequestLimitMs, [&] { return seen.find("\r\n\r\n") != std::string::npos; });
        break;
      case ServerStep::kSend:
        if (!connection.SendAll(step.bytes.data(), step.bytes.size())) connection.Close();
        break;
      case ServerStep::kPause:
      case ServerStep::kHang:
        Wait(step.ms);
        break;
      case ServerStep::kClose:
        close_gracefully();
        break;
      case ServerStep::kReset:
        connection.CloseAbortively();
        break;
    }
  }
  if (connection.IsOpen()) {
    if (stopping_) {
      connection.Close();
    } else {
      close_gracefully();
    }
  }
}
