// Reads Standard MIDI Files (formats 0, 1 and 2, also wrapped as RIFF "RMID") for the
// handler language's MIDI-file players.
//
// A file is refused with a reason when it cannot be played: no "MThd" at its start, at
// byte 20 of a RIFF file or in the first 1024 bytes of another, a format above 2, a
// header or chunk that runs past the end of the file, a division of 0 or in SMPTE
// frames, or an event that cannot be read (a variable-length quantity longer than 4
// bytes, a channel data byte of 128 or more, a data byte with no status in force, an
// event cut off at the end of its chunk). Things that still leave a playable file (a
// missing "MTrk" after the first chunks, more than 255 chunks) are noted in
// TMidiFile::Warnings.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "midi/midi_file_records.h"

constexpr size_t kMaxMidiFileTracks = 255;
constexpr size_t kMidiHeaderSearchBytes = 1024;
constexpr size_t kMaxMidiFileBytes = size_t{64} << 20;

// The reason a file without "MThd" is refused: not a MIDI file, which is said by no box.
inline constexpr const char* kNoMidiHeader =
    "not a MIDI file: no \"MThd\" header at its start, at byte 20 of a RIFF file or in the "
    "first 1024 bytes of another file";

// The file read last by LoadMidiFile(fileName).
extern TMidiFile GMidiFile;

// The instrument standard of the player (its SysExMode): 0 until a file is read; then what
// the analysis pass of the file read last found, from kSysExUnknown up. In XG mode the
// player sends the notes of a channel whose bank select is 127 on the drum channel.
extern std::atomic<uint8_t> GSysExMode;

// Reads a whole file held in memory into file (which is cleared first) and runs the
// analysis pass (instrument standard, duration), which also sets GSysExMode. False with a
// reason when refused (GSysExMode then stays).
bool ReadMidiFile(std::span<const uint8_t> bytes, TMidiFile& file, std::string& error);

// Reads the file from disk as ReadMidiFile does (files above 64 MiB are refused).
bool LoadMidiFile(const std::string& fileName, TMidiFile& file, std::string& error);

// Reads the file into GMidiFile. A refusal also fills GErrors: code 42, source 1, the text
// the file name and the reason.
bool LoadMidiFile(const std::string& fileName);

// Reads the delta time at the entry's read position. False (and the entry's data treated
// as exhausted) when there is none or it cannot be read.
bool ReadMidiFileDelta(TMidiFileTrack& entry, uint32_t& delta);
