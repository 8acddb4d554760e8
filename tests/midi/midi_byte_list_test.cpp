#include "midi/midi_byte_list.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "midi/midi_event_parser.h"

namespace {

uint8_t Pattern(size_t i) {
  return static_cast<uint8_t>((i * 7 + i / 251) & 0xFF);
}

TEST(MidiByteList, AppendedBytesStayHiddenUntilPublished) {
  TMidiByteList list;
  TMidiByteCursor cursor(list);
  list.Append(0x90);
  list.Append(0x3C);
  EXPECT_EQ(list.Size(), 2u);
  EXPECT_EQ(list.Published(), 0u);
  EXPECT_EQ(cursor.Available(), 0u);
  EXPECT_EQ(cursor.ReadByte(0xAB), 0xAB);
  list.Publish();
  EXPECT_EQ(cursor.Available(), 2u);
  EXPECT_FALSE(cursor.Finished());
  EXPECT_EQ(cursor.ReadByte(), 0x90);
  EXPECT_EQ(cursor.ReadByte(), 0x3C);
  EXPECT_FALSE(cursor.Finished());  // the render may still append
  list.MarkComplete();
  EXPECT_TRUE(cursor.Finished());
  list.Clear();
  EXPECT_EQ(list.Size(), 0u);
  EXPECT_EQ(list.Published(), 0u);
  EXPECT_FALSE(list.IsComplete());
}

// Sizes around the block edges: 4096, 4096 + 8192, ...
TEST(MidiByteList, BytesKeepTheirValuesAcrossBlockEdges) {
  for (size_t size : {size_t{1}, size_t{4095}, size_t{4096}, size_t{4097}, size_t{12288},
                      size_t{12289}, size_t{100000}}) {
    TMidiByteList list;
    for (size_t i = 0; i < size; ++i) {
      list.Append(Pattern(i));
    }
    list.Publish();
    ASSERT_EQ(list.Published(), size);
    size_t joined = 0;
    for (size_t i = 0; i < size;) {
      const std::span<const uint8_t> run = list.SpanAt(i, size - i);
      ASSERT_FALSE(run.empty());
      for (size_t k = 0; k < run.size(); ++k) {
        ASSERT_EQ(run[k], Pattern(i + k)) << "size " << size << " index " << i + k;
      }
      i += run.size();
      joined += run.size();
    }
    EXPECT_EQ(joined, size);
    EXPECT_EQ(list.At(size - 1), Pattern(size - 1));
    if (size == 100000) {
      EXPECT_EQ(list.SpanAt(4090, 100).size(), 6u) << "a span stops at the end of its block";
      EXPECT_EQ(list.SpanAt(4096, 100).size(), 100u);
    }
  }
}

TEST(MidiByteCursor, ReadsNumbersStringsAndQuantitiesOfAtMostFourBytes) {
  TMidiByteList list;
  for (int b : {0x07, 0xA1, 0x20, int{'a'}, int{'b'}, 0x8F, 0x00, 0x81, 0x81, 0x81, 0x81, 0x01}) {
    list.Append(static_cast<uint8_t>(b));
  }
  list.Publish();
  TMidiByteCursor cursor(list);
  EXPECT_EQ(cursor.ReadNumber(3), 500000u);
  EXPECT_EQ(cursor.ReadString(2), "ab");
  EXPECT_EQ(cursor.ReadVarLen(), 1920u);
  // A quantity of five bytes is refused: 0, and the cursor stays where it was.
  EXPECT_EQ(cursor.ReadVarLen(), 0u);
  EXPECT_EQ(cursor.Position(), 7u);
  cursor.Seek(10);  // unfinished: "81 01" would need more than is left of the list
  EXPECT_EQ(cursor.ReadString(3), "");
  EXPECT_EQ(cursor.ReadNumber(3), 0u);
  EXPECT_EQ(cursor.Position(), 10u);
  cursor.Seek(0);
  EXPECT_EQ(cursor.ReadByte(), 0x07);
}

// A player thread reads events while the render thread appends them; it waits when it
// catches up and sees every event whole and in order.
TEST(MidiByteList, ReaderThreadSeesWholeEventsWhileTheWriterAppends) {
  constexpr int kEvents = 20000;
  TMidiByteList list;
  std::vector<int> keys;
  std::thread reader([&] {
    size_t pos = 0;
    uint8_t running = 0;
    while (!(list.IsComplete() && pos == list.Published())) {
      const size_t end = list.Published();  // what the player may read now
      TMidiEvent ev;
      const TMidiParse r =
          ParseMidiEvent(TMidiByteListSource{list}, pos, end, pos > 0, running, ev, nullptr);
      if (r == TMidiParse::Event) {
        keys.push_back(ev.Data1);
        pos = ev.Next;
      } else {
        ASSERT_EQ(r, TMidiParse::NeedMore);
        ASSERT_EQ(pos, end) << "a published event was incomplete";
        std::this_thread::yield();
      }
    }
  });
  for (int i = 0; i < kEvents; ++i) {
    if (i > 0) {
      list.Append(static_cast<uint8_t>(0x81));  // delta 128 in two bytes
      list.Append(0x00);
    }
    list.Append(0x90);
    list.Append(static_cast<uint8_t>(i % 128));
    list.Append(0x40);
    list.Publish();
  }
  list.MarkComplete();
  reader.join();
  ASSERT_EQ(keys.size(), static_cast<size_t>(kEvents));
  for (int i = 0; i < kEvents; ++i) {
    ASSERT_EQ(keys[i], i % 128);
  }
}

}  // namespace
