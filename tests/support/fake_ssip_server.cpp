#include "tests/support/fake_ssip_server.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstring>

namespace {

bool StartsWith(const std::string& line, const char* prefix) {
  std::string upper = line;
  std::transform(upper.begin(), upper.end(), upper.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return upper.rfind(prefix, 0) == 0;
}

}  // namespace

TFakeSsipServer::TFakeSsipServer(std::string socketPath) : path_(std::move(socketPath)) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path_.c_str(), sizeof(address.sun_path) - 1);
  listen_fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (::bind(listen_fd_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
      ::listen(listen_fd_, 4) != 0 || ::pipe(stop_pipe_) != 0) {
    ::close(listen_fd_);
    listen_fd_ = -1;
    return;
  }
  thread_ = std::thread([this] { Run(); });
}

TFakeSsipServer::~TFakeSsipServer() {
  Stop();
}

void TFakeSsipServer::Stop() {
  if (!thread_.joinable()) {
    return;
  }
  const char quit = 'q';
  (void)!::write(stop_pipe_[1], &quit, 1);
  thread_.join();
  ::close(stop_pipe_[0]);
  ::close(stop_pipe_[1]);
  ::close(listen_fd_);
  ::unlink(path_.c_str());
}

std::vector<std::string> TFakeSsipServer::Log() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return log_;
}

// Serves one client at a time until told to stop.
void TFakeSsipServer::Run() {
  std::string buffer;
  while (true) {
    pollfd fds[3] = {{stop_pipe_[0], POLLIN, 0}, {listen_fd_, POLLIN, 0}, {client_fd_, POLLIN, 0}};
    if (::poll(fds, client_fd_ >= 0 ? 3 : 2, -1) < 0) {
      continue;
    }
    if (fds[0].revents != 0) {
      break;
    }
    if (fds[1].revents & POLLIN) {
      CloseClient();
      client_fd_ = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
      buffer.clear();
      in_data_ = false;
    }
    if (client_fd_ >= 0 && fds[2].revents != 0) {
      char chunk[4096];
      const ssize_t n = ::read(client_fd_, chunk, sizeof(chunk));
      if (n <= 0) {
        CloseClient();
        continue;
      }
      buffer.append(chunk, static_cast<size_t>(n));
      size_t end;
      while (client_fd_ >= 0 && (end = buffer.find("\r\n")) != std::string::npos) {
        const std::string line = buffer.substr(0, end);
        buffer.erase(0, end + 2);
        HandleLine(line);
      }
    }
  }
  CloseClient();
}

void TFakeSsipServer::HandleLine(const std::string& line) {
  if (in_data_) {
    if (line == ".") {
      std::string text;
      for (size_t i = 0; i < data_.size(); ++i) {
        text += (i == 0 ? "" : "\n") + data_[i];
      }
      data_.clear();
      in_data_ = false;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        log_.push_back("TEXT:" + text);
      }
      const std::string id = std::to_string(++messages_);
      Reply("225-" + id + "\r\n225 OK MESSAGE QUEUED");
    } else {
      data_.push_back(line.rfind("..", 0) == 0 ? line.substr(1) : line);
    }
    return;
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    log_.push_back(line);
  }
  if (StartsWith(line, "SPEAK")) {
    in_data_ = true;
    Reply("230 OK RECEIVING DATA");
  } else if (StartsWith(line, "CANCEL")) {
    Reply("210 OK CANCELED");
  } else if (StartsWith(line, "STOP")) {
    Reply("210 OK STOPPED");
  } else if (StartsWith(line, "QUIT")) {
    Reply("231 HAPPY HACKING");
    CloseClient();
  } else if (StartsWith(line, "SET SELF CLIENT_NAME")) {
    Reply("208 OK CLIENT NAME SET");
  } else if (StartsWith(line, "SET SELF PRIORITY")) {
    Reply("202 OK PRIORITY SET");
  } else {
    Reply("200 OK");
  }
}

void TFakeSsipServer::Reply(const std::string& text) {
  const std::string bytes = text + "\r\n";
  (void)!::send(client_fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
}

void TFakeSsipServer::CloseClient() {
  if (client_fd_ >= 0) {
    ::close(client_fd_);
    client_fd_ = -1;
  }
}
