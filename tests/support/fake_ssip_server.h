// A small SSIP server on a Unix socket that answers as speech-dispatcher does and
// records what it receives: each command line as sent, each spoken text as "TEXT:" and
// the text (lines joined by LF).
#pragma once

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class TFakeSsipServer {
 public:
  explicit TFakeSsipServer(std::string socketPath);
  ~TFakeSsipServer();
  TFakeSsipServer(const TFakeSsipServer&) = delete;
  TFakeSsipServer& operator=(const TFakeSsipServer&) = delete;

  bool Listening() const { return listen_fd_ >= 0; }
  std::vector<std::string> Log() const;
  // Closes the client connection and the socket: the server is gone.
  void Stop();

 private:
  void Run();
  void HandleLine(const std::string& line);
  void Reply(const std::string& text);
  void CloseClient();

  std::string path_;
  int listen_fd_ = -1;
  int client_fd_ = -1;  // touched only by the server thread
  int stop_pipe_[2] = {-1, -1};
  bool in_data_ = false;
  std::vector<std::string> data_;
  int messages_ = 0;
  mutable std::mutex mutex_;
  std::vector<std::string> log_;
  std::thread thread_;
};
