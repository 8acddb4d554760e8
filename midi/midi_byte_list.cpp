#include "midi/midi_byte_list.h"

#include <algorithm>
#include <bit>
#include <new>

TMidiByteList::TPlace TMidiByteList::PlaceOf(size_t index) {
  // Block k starts at kFirstBlockSize * (2^k - 1).
  const size_t scaled = (index >> kFirstBlockBits) + 1;
  const size_t block = static_cast<size_t>(std::bit_width(scaled)) - 1;
  const size_t start = kFirstBlockSize * ((size_t{1} << block) - 1);
  return {block, index - start};
}

void TMidiByteList::Append(uint8_t value) {
  const TPlace place = PlaceOf(size_);
  if (place.Block >= kBlockCount) {
    throw std::bad_alloc();
  }
  if (!blocks_[place.Block]) {
    blocks_[place.Block] = std::make_unique<uint8_t[]>(BlockSize(place.Block));
  }
  blocks_[place.Block][place.Offset] = value;
  ++size_;
}

void TMidiByteList::Publish() {
  published_.store(size_, std::memory_order_release);
}

void TMidiByteList::MarkComplete() {
  Publish();
  complete_.store(true, std::memory_order_release);
}

void TMidiByteList::Clear() {
  published_.store(0, std::memory_order_release);
  complete_.store(false, std::memory_order_release);
  size_ = 0;
  for (auto& block : blocks_) {
    block.reset();
  }
}

uint8_t TMidiByteList::At(size_t i) const {
  const TPlace place = PlaceOf(i);
  return blocks_[place.Block][place.Offset];
}

std::span<const uint8_t> TMidiByteList::SpanAt(size_t i, size_t count) const {
  if (count == 0) {
    return {};
  }
  const TPlace place = PlaceOf(i);
  const size_t run = std::min(count, BlockSize(place.Block) - place.Offset);
  return {blocks_[place.Block].get() + place.Offset, run};
}

size_t TMidiByteCursor::Available() const {
  const size_t published = list_->Published();
  return published > position_ ? published - position_ : 0;
}

uint8_t TMidiByteCursor::ReadByte(uint8_t whenNone) {
  if (Available() == 0) {
    return whenNone;
  }
  return list_->At(position_++);
}

std::string TMidiByteCursor::ReadString(size_t n) {
  if (Available() < n) {
    return {};
  }
  std::string text(n, '\0');
  for (size_t i = 0; i < n; ++i) {
    text[i] = static_cast<char>(list_->At(position_ + i));
  }
  position_ += n;
  return text;
}

uint32_t TMidiByteCursor::ReadNumber(size_t n) {
  if (n == 0 || n > 4 || Available() < n) {
    return 0;
  }
  uint32_t value = 0;
  for (size_t i = 0; i < n; ++i) {
    value = (value << 8) | list_->At(position_ + i);
  }
  position_ += n;
  return value;
}

uint32_t TMidiByteCursor::ReadVarLen() {
  const size_t available = Available();
  uint32_t value = 0;
  for (size_t i = 0; i < 4 && i < available; ++i) {
    const uint8_t b = list_->At(position_ + i);
    value = (value << 7) | (b & 0x7F);
    if ((b & 0x80) == 0) {
      position_ += i + 1;
      return value;
    }
  }
  return 0;
}
