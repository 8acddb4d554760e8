// A track's rendered MIDI event bytes: append-only storage that the render thread fills
// while the player thread reads it.
//
// Content: the bytes of a Standard MIDI File track body (delta time, status, data), except
// that the first event carries no delta time.
//
// Threads (one writer, any number of readers):
// - The writer (the render thread) calls Append() and then Publish(). Appended bytes stay
//   invisible to readers until Publish(). The event writers (midi_event_writer.h) publish
//   once per whole event, so the published count always ends on an event boundary: when a
//   reader finds bytes available after an event, the next delta time and the whole event
//   behind it are there.
// - A reader keeps a TMidiByteCursor (or calls Published() and At()). Published() is read
//   with acquire order and written with release order; a byte below it never moves and
//   never changes, so it is read without a lock.
// - A reader that has caught up (Available() == 0) while IsComplete() is false has caught up
//   with a render that still runs: it waits and looks again, it does not stop.
//   MarkComplete() says no byte will follow (the render ended or was stopped).
// - Clear() and destruction need every reader stopped first.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

class TMidiByteList {
 public:
  TMidiByteList() = default;
  TMidiByteList(const TMidiByteList&) = delete;
  TMidiByteList& operator=(const TMidiByteList&) = delete;

  // Writer side (the render thread only).

  // Appends one byte, not yet visible to readers.
  void Append(uint8_t value);
  // Makes every appended byte visible to readers.
  void Publish();
  // Publishes and marks the list as finished: no byte will follow.
  void MarkComplete();
  // Bytes appended, published or not.
  size_t Size() const { return size_; }
  bool Empty() const { return size_ == 0; }
  // Frees every byte. No reader may be active.
  void Clear();

  // Reader side (any thread).

  // Bytes that readers may read: indexes 0 .. Published() - 1.
  size_t Published() const { return published_.load(std::memory_order_acquire); }
  // True once MarkComplete() was called (and until Clear()).
  bool IsComplete() const { return complete_.load(std::memory_order_acquire); }
  // The byte at index i; i must be below Published() (or below Size() on the writer thread).
  uint8_t At(size_t i) const;
  // The longest run of contiguous bytes from index i, at most count long; i + count must not
  // pass Published() (or Size() on the writer thread).
  std::span<const uint8_t> SpanAt(size_t i, size_t count) const;

 private:
  // Block k holds kFirstBlockSize << k bytes, so the blocks never move and an index maps to
  // its block with a little bit arithmetic. 40 blocks hold far more than any song.
  static constexpr unsigned kFirstBlockBits = 12;
  static constexpr size_t kFirstBlockSize = size_t{1} << kFirstBlockBits;
  static constexpr size_t kBlockCount = 40;

  struct TPlace {
    size_t Block;
    size_t Offset;
  };
  static TPlace PlaceOf(size_t index);
  static size_t BlockSize(size_t block) { return kFirstBlockSize << block; }

  // A block pointer is set before the bytes in it are published, so a reader that sees
  // the published count sees the pointer too.
  std::array<std::unique_ptr<uint8_t[]>, kBlockCount> blocks_;
  size_t size_ = 0;                      // bytes appended (writer only)
  std::atomic<size_t> published_{0};     // bytes readers may read
  std::atomic<bool> complete_{false};    // no byte will follow
};

// A reader's position in a byte list. Reads never pass the published count: a read that
// finds too few bytes returns its "none" value and leaves the position where it was.
class TMidiByteCursor {
 public:
  // The list is borrowed and must outlive the cursor.
  explicit TMidiByteCursor(const TMidiByteList& list) : list_(&list) {}

  size_t Position() const { return position_; }
  // Moves to an index (0 starts over, as a replay does).
  void Seek(size_t position) { position_ = position; }
  // Published bytes not read yet.
  size_t Available() const;
  // The list has no byte to come and all of it was read.
  bool Finished() const { return list_->IsComplete() && Available() == 0; }
  const TMidiByteList& List() const { return *list_; }

  // One byte; whenNone when no byte is available.
  uint8_t ReadByte(uint8_t whenNone = 0);
  // n bytes as a string; empty when fewer than n are available.
  std::string ReadString(size_t n);
  // n bytes (1..4) as a big-endian number; 0 when fewer than n are available.
  uint32_t ReadNumber(size_t n);
  // A variable-length quantity (at most 4 bytes); 0 when it is not complete or too long.
  uint32_t ReadVarLen();

 private:
  const TMidiByteList* list_;  // borrowed
  size_t position_ = 0;        // index of the next byte to read
};
