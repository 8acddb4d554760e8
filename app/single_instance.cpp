#include "app/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QLocalServer>
#include <QLocalSocket>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <thread>

#include "model/file_identity.h"

namespace {

constexpr int kConnectMs = 500;
constexpr int kAnswerMs = 10000;
constexpr int kSliceMs = 100;  // a wait for the running copy is looked at this often
// The running copy's answers, and the later copy's confirmation that it ends.
constexpr const char* kAccepted = "ok\n";
constexpr const char* kClosing = "closing\n";
constexpr const char* kConfirmed = "go\n";

using TClock = std::chrono::steady_clock;

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

// Leads the list of songs that are only opened. Never a song: the paths sent are absolute,
// and a song's name never begins with "-" on the command line.
constexpr const char* kOpenOnly = "--open";

// The songs as the socket carries them: kOpenOnly when they are only opened, one UTF-8
// path a line, then an empty line.
QByteArray EncodeSongs(const THandedOverSongs& songs) {
  QByteArray bytes;
  if (songs.OpenOnly) {
    bytes += kOpenOnly;
    bytes += '\n';
  }
  for (const std::string& song : songs.Songs) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(song, error);
    bytes += QByteArray::fromStdString((error ? std::filesystem::path(song) : absolute).string());
    bytes += '\n';
  }
  bytes += '\n';
  return bytes;
}

// Where the list ends (after its empty line), or nothing while it is not whole.
std::optional<qsizetype> ListEnd(const QByteArray& bytes) {
  if (bytes.startsWith('\n')) {
    return 1;
  }
  const qsizetype at = bytes.indexOf("\n\n");
  return at < 0 ? std::nullopt : std::optional<qsizetype>(at + 2);
}

THandedOverSongs DecodeSongs(const QByteArray& bytes) {
  THandedOverSongs songs;
  const QList<QByteArray> lines = bytes.split('\n');
  for (qsizetype i = 0; i < lines.size(); ++i) {
    if (i == 0 && lines[i] == kOpenOnly) {
      songs.OpenOnly = true;
    } else if (!lines[i].isEmpty()) {
      songs.Songs.push_back(lines[i].toStdString());
    }
  }
  return songs;
}

enum class TSent { Taken, NoAnswer, Closing };

// One later copy's connection, as the running copy reads it.
struct THandOverState {
  QByteArray Received;
  bool Answered = false;  // "ok" or "closing" was written
  bool Done = false;      // taken or refused: nothing more is read
};

// Sends the songs to the running copy and, when it accepts them, confirms: only then does it
// open them. Gives up at `deadline`; `tick` is called while it waits.
TSent Send(const QString& name, const QByteArray& songs, TClock::time_point deadline,
           const std::function<void()>& tick) {
  QLocalSocket socket;
  socket.connectToServer(name);
  if (!socket.waitForConnected(kConnectMs)) {
    return TSent::NoAnswer;
  }
  socket.write(songs);
  QByteArray answer;
  while (!answer.contains('\n')) {
    if (TClock::now() >= deadline || socket.state() != QLocalSocket::ConnectedState) {
      return TSent::NoAnswer;  // a copy that answers later finds nobody to confirm
    }
    tick();
    if (socket.bytesToWrite() > 0) {
      socket.waitForBytesWritten(kSliceMs);
    } else if (socket.waitForReadyRead(kSliceMs)) {
      answer += socket.readAll();
    }
  }
  if (answer == kClosing) {
    return TSent::Closing;
  }
  if (answer != kAccepted) {
    return TSent::NoAnswer;
  }
  socket.write(kConfirmed);
  return socket.waitForBytesWritten(kAnswerMs) ? TSent::Taken : TSent::NoAnswer;
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

THandOver HandOverToRunningCopy(const std::string& programDir, const THandedOverSongs& songs,
                                std::string* problem,
                                const std::function<void()>& waiting,
                                const THandOverPatience& patience) {
  if (TakeFolder(programDir)) {
    return THandOver::First;
  }
  const QString name = QString::fromStdString(InstanceSocketName(programDir));
  const QByteArray bytes = EncodeSongs(songs);
  const TClock::time_point start = TClock::now();
  const TClock::time_point deadline = start + patience.Total;
  bool said = false;
  const auto tick = [&] {
    if (!said && waiting && TClock::now() - start >= patience.BeforeWaitingIsSaid) {
      said = true;
      waiting();
    }
  };
  TSent last = TSent::NoAnswer;
  while (TClock::now() < deadline) {
    last = Send(name, bytes, deadline, tick);
    if (last == TSent::Taken) {
      return THandOver::HandedOver;
    }
    if (TakeFolder(programDir)) {
      return THandOver::First;  // the other copy ended meanwhile
    }
    tick();
    std::this_thread::sleep_for(std::chrono::milliseconds(kSliceMs));
  }
  if (problem != nullptr) {
    *problem = "another copy of the program runs on " + programDir +
               (last == TSent::Closing ? " and is closing" : " but does not answer") +
               "; this copy runs beside it";
  }
  return THandOver::NoAnswer;
}

std::unique_ptr<QLocalServer> ListenForLaterCopies(
    const std::string& programDir,
    std::function<void(const THandedOverSongs& songs)> open,
    std::function<bool()> refuse) {
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
  QObject::connect(listening, &QLocalServer::newConnection, listening, [listening, open, refuse] {
    while (QLocalSocket* socket = listening->nextPendingConnection()) {
      QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
      auto state = std::make_shared<THandOverState>();
      QObject::connect(socket, &QLocalSocket::readyRead, socket,
                       [listening, socket, state, open, refuse] {
        state->Received += socket->readAll();
        const std::optional<qsizetype> end = ListEnd(state->Received);
        if (!end || state->Done) {
          return;
        }
        if (!state->Answered) {
          state->Answered = true;
          const bool closing = refuse && refuse();
          socket->write(closing ? kClosing : kAccepted);
          socket->flush();
          if (closing) {
            state->Done = true;  // nothing is taken from this copy: it tries again
            socket->disconnectFromServer();
            return;
          }
        }
        // Opened only once the later copy confirms: one that gave up meanwhile has
        // opened the songs itself.
        if (state->Received.mid(*end) != kConfirmed) {
          return;
        }
        state->Done = true;
        const THandedOverSongs songs = DecodeSongs(state->Received.left(*end));
        socket->disconnectFromServer();
        // Opened from the event loop: opening may ask questions in loops of its own.
        QMetaObject::invokeMethod(
            listening, [open, songs] { open(songs); }, Qt::QueuedConnection);
      });
    }
  });
  return server;
}
