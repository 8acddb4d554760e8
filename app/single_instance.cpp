#include "app/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QLocalServer>
#include <QLocalSocket>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "model/file_identity.h"

namespace {

constexpr int kConnectMs = 500;
constexpr int kAnswerMs = 10000;
// How long a later copy tries to reach a first copy that is still starting.
constexpr auto kHandOverPatience = std::chrono::seconds(15);
constexpr const char* kAccepted = "ok\n";

// The program folder's lock, held from the start to the end of the first copy.
int gFolderLock = -1;

// Takes the folder's lock; true when this copy holds it now.
bool TakeFolder(const std::string& programDir) {
  if (gFolderLock >= 0) {
    return true;
  }
  const int fd = ::open(programDir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    return true;  // no folder to share: the start will say what is wrong with it
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return false;
  }
  gFolderLock = fd;
  return true;
}

// The songs as the socket carries them: one UTF-8 path a line, then an empty line.
QByteArray EncodeSongs(const std::vector<std::string>& songs) {
  QByteArray bytes;
  for (const std::string& song : songs) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(song, error);
    bytes += QByteArray::fromStdString((error ? std::filesystem::path(song) : absolute).string());
    bytes += '\n';
  }
  bytes += '\n';
  return bytes;
}

// True when bytes hold the whole list (ending in an empty line).
bool Complete(const QByteArray& bytes) {
  return bytes == "\n" || bytes.endsWith("\n\n");
}

std::vector<std::string> DecodeSongs(const QByteArray& bytes) {
  std::vector<std::string> songs;
  for (const QByteArray& line : bytes.split('\n')) {
    if (!line.isEmpty()) {
      songs.push_back(line.toStdString());
    }
  }
  return songs;
}

// Sends the songs to the running copy; true when it took them.
bool Send(const QString& name, const QByteArray& songs) {
  QLocalSocket socket;
  socket.connectToServer(name);
  if (!socket.waitForConnected(kConnectMs)) {
    return false;
  }
  socket.write(songs);
  if (!socket.waitForBytesWritten(kAnswerMs)) {
    return false;
  }
  QByteArray answer;
  while (!answer.contains('\n') && socket.waitForReadyRead(kAnswerMs)) {
    answer += socket.readAll();
  }
  return answer == kAccepted;
}

}  // namespace

std::string InstanceSocketName(const std::string& programDir) {
  std::error_code error;
  std::string folder = std::filesystem::weakly_canonical(programDir, error).string();
  if (error) {
    folder = programDir;
  }
  while (folder.size() > 1 && folder.back() == '/') {
    folder.pop_back();
  }
  char name[64];
  std::snprintf(name, sizeof name, "velto-%u-%016llx", static_cast<unsigned>(::getuid()),
                static_cast<unsigned long long>(HashBytes(folder)));
  return name;
}

THandOver HandOverToRunningCopy(const std::string& programDir,
                                const std::vector<std::string>& songs, std::string* problem) {
  if (TakeFolder(programDir)) {
    return THandOver::First;
  }
  const QString name = QString::fromStdString(InstanceSocketName(programDir));
  const QByteArray bytes = EncodeSongs(songs);
  const auto deadline = std::chrono::steady_clock::now() + kHandOverPatience;
  while (std::chrono::steady_clock::now() < deadline) {
    if (Send(name, bytes)) {
      return THandOver::HandedOver;
    }
    if (TakeFolder(programDir)) {
      return THandOver::First;  // the other copy ended meanwhile
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  if (problem != nullptr) {
    *problem = "another copy of the program runs on " + programDir +
               " but does not answer; this copy runs beside it";
  }
  return THandOver::NoAnswer;
}

std::unique_ptr<QLocalServer> ListenForLaterCopies(
    const std::string& programDir,
    std::function<void(const std::vector<std::string>& songs)> open) {
  if (gFolderLock < 0) {
    return nullptr;  // a copy beside the one that holds the folder: it hears nobody
  }
  auto server = std::make_unique<QLocalServer>();
  const QString name = QString::fromStdString(InstanceSocketName(programDir));
  server->setSocketOptions(QLocalServer::UserAccessOption);
  // This copy holds the folder: a socket left by one that ended is stale.
  QLocalServer::removeServer(name);
  if (!server->listen(name)) {
    return nullptr;
  }
  QLocalServer* listening = server.get();
  QObject::connect(listening, &QLocalServer::newConnection, listening, [listening, open] {
    while (QLocalSocket* socket = listening->nextPendingConnection()) {
      QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
      auto received = std::make_shared<QByteArray>();
      QObject::connect(socket, &QLocalSocket::readyRead, socket,
                       [listening, socket, received, open] {
        *received += socket->readAll();
        if (!Complete(*received)) {
          return;
        }
        socket->write(kAccepted);
        socket->flush();
        socket->disconnectFromServer();
        // Opened from the event loop: opening may ask questions in loops of its own.
        QMetaObject::invokeMethod(
            listening, [open, songs = DecodeSongs(*received)] { open(songs); },
            Qt::QueuedConnection);
      });
    }
  });
  return server;
}
