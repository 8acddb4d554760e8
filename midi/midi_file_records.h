// Records of a Standard MIDI File held in memory: the reader's file record and the
// handler language's list of loaded files.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// One "MTrk" chunk and the state of the player that reads it.
struct TMidiFileTrack {
  uint32_t ChunkLength = 0;   // bytes of the chunk as read
  std::vector<uint8_t> Data;  // the chunk's event bytes (owned)
  bool HasData = false;       // false once the data were given away or dropped
  size_t ReadPosition = 0;    // index of the next byte to decode in Data
  bool Playing = false;       // cleared by the end-of-track event
  uint8_t RunningStatus = 0;  // status in force while decoding
  double NextEventTime = 0;   // ticks of the song clock (analysis and handler players)
  double LastDelta = 0;       // the last delta time read, in file ticks
  uint8_t LastKey = 0;        // key and velocity of the last note on
  uint8_t LastVelocity = 0;
  uint8_t LastController = 0;  // the last control change
  uint8_t LastControllerValue = 0;
  uint8_t Program = 0;         // the last program change
  uint8_t Bank = 0;            // the last value of controller 0
  int32_t PitchBend = -1;      // the last pitch bend - 8192; -1 before any
  uint8_t Channel = 0;         // low nibble of the last channel status (0-based)
  uint16_t Index = 0;          // number of the track in its file (0-based)
};

// System Exclusive standard a file is written for.
enum : uint8_t {
  kSysExUnknown = 1,
  kSysExGM = 2,
  kSysExGS = 4,
  kSysExXG = 8,
  kSysExMT32 = 16,
};

// A whole file as the reader leaves it.
struct TMidiFile {
  uint32_t HeaderLength = 0;  // length field of "MThd"
  uint16_t Format = 0;        // 0, 1 or 2
  uint16_t TrackCount = 0;    // number of chunks read (at most 255)
  uint32_t Division = 0;      // ticks per quarter note: 1..32767 read from a file; a
                              // rendered song's own may be more (PreparePlayback)
  std::vector<TMidiFileTrack> Tracks;  // TrackCount entries
  uint8_t SysExMode = kSysExUnknown;   // found by the analysis pass
  uint32_t DurationSeconds = 0;        // rounded length at the file's tempos
  std::vector<std::string> Warnings;   // things the reader let pass (the file still loads)
};

// A file loaded by the handler language (statement "midi NAME=FILE"), linked into a list
// owned by the control track; the newest record is the head.
struct TMidi {
  std::string FileName;
  std::string Name;      // the name the handler program gives the file
  uint16_t Index = 0;    // 0 for the first record of a list; later ones count up
  uint32_t TrackCount = 0;
  uint32_t Division = 0;                // ticks per quarter note
  std::vector<TMidiFileTrack> Tracks;   // TrackCount entries, taken over from the reader
  std::unique_ptr<TMidi> Next;

  TMidi() = default;
  TMidi(const TMidi&) = delete;
  TMidi& operator=(const TMidi&) = delete;
  // Frees the rest of the list without deep recursion.
  ~TMidi();
};

// Puts a new record with both names at the head of the list; its Index is the old head's
// Index + 1 (0 for an empty list). Returns the new head.
TMidi& AddMidiFile(std::unique_ptr<TMidi>& head, const std::string& fileName,
                   const std::string& name);

// Frees every record of the list; head ends empty.
void FreeMidiFileList(std::unique_ptr<TMidi>& head);

// Moves the reader's tracks into a record: entry i takes over track i's data, with its read
// position at the start and its Index i. The reader's entries give up their data.
void TakeOverMidiFile(TMidiFile& from, TMidi& into);

// The record of the list with that Index, or nullptr.
TMidi* FindMidiFileByIndex(TMidi* head, uint16_t index);
