#include "model/song.h"

#include "scripthost/track_root.h"

namespace {

TStopForTrackRemoval& StopForTrackRemoval() {
  static TStopForTrackRemoval stop;
  return stop;
}

}  // namespace

void SetStopForTrackRemoval(TStopForTrackRemoval stop) { StopForTrackRemoval() = std::move(stop); }

TVelto::TVelto() : TrackRoot(std::make_unique<TTrack>(this)) {}

TVelto::~TVelto() {
  if (HeadTreck != nullptr || CurrentTrack != nullptr) {
    StopBeforeTrackRemoval();
  }
  PTreck head = HeadTreck != nullptr ? HeadTreck : CurrentTrack;
  ClearTrackList(head);
}

void TVelto::AddTreck(PTreck& Current, const std::string& Name, uint8_t Channel) {
  TrackCount += 1;
  auto track = new TTreck;
  track->Caption = Name;
  track->Channel = Channel;
  if (HeadTreck != nullptr) {
    track->TranslatorPath = HeadTreck->TranslatorPath;
  }
  if (Current != nullptr) {
    track->Next = Current->Next;
    Current->Next = track;
    if (track->Next != nullptr) {
      track->Next->Prev = track;
    }
    track->Prev = Current;
  }
  Current = track;
  HeadTreck = Current;
  while (HeadTreck->Prev != nullptr) {
    HeadTreck = HeadTreck->Prev;
  }
}

void TVelto::StopBeforeTrackRemoval() {
  if (StopForTrackRemoval()) {
    StopForTrackRemoval()(*this);
  }
}

void TVelto::RemoveTreck(PTreck& Current) {
  StopBeforeTrackRemoval();
  if (Current == nullptr) {
    return;
  }
  TrackCount -= 1;
  TrackRoot->Position = 0;
  const PTreck removed = Current;
  if (removed->Prev != nullptr) {
    removed->Prev->Next = removed->Next;
  }
  if (removed->Next != nullptr) {
    removed->Next->Prev = removed->Prev;
  }
  const PTreck neighbour = removed->Next != nullptr ? removed->Next : removed->Prev;
  if (StartTrack == removed) {
    StartTrack = nullptr;
  }
  if (CurrentTrack == removed) {
    CurrentTrack = neighbour;
  }
  if (neighbour == nullptr) {
    HeadTreck = nullptr;
  } else if (neighbour->Prev == nullptr || HeadTreck == removed) {
    HeadTreck = neighbour;
    while (HeadTreck->Prev != nullptr) {
      HeadTreck = HeadTreck->Prev;
    }
  }
  delete removed;
  Current = neighbour;
}

void ClearTrackList(PTreck& Track) {
  if (Track == nullptr) {
    return;
  }
  PTreck node = Track;
  while (node->Prev != nullptr) {
    node = node->Prev;
  }
  while (node != nullptr) {
    const PTreck next = node->Next;
    delete node;
    node = next;
  }
  Track = nullptr;
}
