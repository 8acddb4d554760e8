// One running copy of the program per program folder. A copy that finds the folder taken
// hands its song files to the copy that runs there (through a local socket named after
// the folder) and ends; the running copy opens them.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QLocalServer;

// The local socket's name for a program folder: its canonical path hashed, and the user.
std::string InstanceSocketName(const std::string& programDir);

// What a later copy hands over: its songs, and whether they are only opened.
struct THandedOverSongs {
  std::vector<std::string> Songs;
  bool OpenOnly = false;  // --open: one song given alone is not played at once
};

// What the start of a copy came to.
enum class THandOver {
  First,       // no other copy runs on the folder: this one holds it for its life
  HandedOver,  // a running copy took the songs: this copy ends
  NoAnswer,    // another copy holds the folder but took nothing: this one runs beside it
};

// How long a later copy tries, and how long it waits before it says that it waits.
struct THandOverPatience {
  std::chrono::milliseconds Total{15000};
  std::chrono::milliseconds BeforeWaitingIsSaid{1000};
};

// Before any window: takes the program folder (a lock held until the program ends), or
// hands `songs` (their paths made absolute) to the copy that holds it. A copy that does not answer
// (stopped, busy) or is closing is tried again until `patience` runs out; `waiting` is
// called once when it has not answered for a while. The songs are the running copy's only
// once this copy has confirmed its answer: a copy that gives up never has them opened
// there too. `problem` says why a hand-over failed.
THandOver HandOverToRunningCopy(const std::string& programDir, const THandedOverSongs& songs,
                                std::string* problem,
                                const std::function<void()>& waiting = {},
                                const THandOverPatience& patience = {});

// In the first copy, once the application runs: listens for later copies and passes what
// each one hands over to `open`, from the event loop. While `refuse` answers true
// (the program is closing) a later copy is told so and tries again. Null when the socket
// cannot be made or this copy does not hold the folder.
std::unique_ptr<QLocalServer> ListenForLaterCopies(
    const std::string& programDir,
    std::function<void(const THandedOverSongs& songs)> open,
    std::function<bool()> refuse = {});
