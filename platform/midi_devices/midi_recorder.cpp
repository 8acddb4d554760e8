#include "platform/midi_devices/midi_recorder.h"

#include <algorithm>
#include <functional>
#include <iterator>
#include <utility>

void TMidiRecording::Add(TRecordedMessage message) {
  std::lock_guard<std::mutex> lock(mutex_);
  messages_.push_back(std::move(message));
}

std::vector<TRecordedMessage> TMidiRecording::Messages() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return messages_;
}

std::vector<TRecordedMessage> TMidiRecording::ShortMessages() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<TRecordedMessage> shorts;
  std::copy_if(messages_.begin(), messages_.end(), std::back_inserter(shorts),
               [](const TRecordedMessage& m) { return m.Kind == TRecordedKind::Short; });
  return shorts;
}

size_t TMidiRecording::Size() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return messages_.size();
}

void TMidiRecording::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  messages_.clear();
}

void TMidiRecording::Reserve(size_t count) {
  std::lock_guard<std::mutex> lock(mutex_);
  messages_.reserve(count);
}

namespace {

// One open recorder port.
class TRecorderDevice final : public TMidiOutDevice {
 public:
  TRecorderDevice(TClock& clock, std::shared_ptr<TMidiRecording> recording,
                  std::function<bool()> close_refused)
      : clock_(clock), recording_(std::move(recording)), close_refused_(std::move(close_refused)) {}

  bool ShortMessage(uint32_t packed) override {
    Record(TRecordedKind::Short, UnpackShortMessage(packed));
    return true;
  }
  bool LongMessage(const uint8_t* bytes, size_t length) override {
    Record(TRecordedKind::Long, std::vector<uint8_t>(bytes, bytes + length));
    return true;
  }
  void Reset() override { Record(TRecordedKind::Reset, {}); }
  bool Close() override {
    if (close_refused_()) {
      return false;
    }
    Record(TRecordedKind::Close, {});
    return true;
  }

 private:
  void Record(TRecordedKind kind, std::vector<uint8_t> bytes) {
    recording_->Add(TRecordedMessage{clock_.NowMs(), kind, std::move(bytes)});
  }

  TClock& clock_;                                // borrowed
  std::shared_ptr<TMidiRecording> recording_;
  std::function<bool()> close_refused_;
};

}  // namespace

TMidiRecorderBackend::TMidiRecorderBackend(TClock& clock, std::vector<TRecorderPortOptions> ports)
    : clock_(clock),
      ports_(std::move(ports)),
      counters_(std::make_shared<std::vector<PortCounters>>(ports_.size())) {
  for (size_t i = 0; i < ports_.size(); ++i) {
    recordings_.push_back(std::make_shared<TMidiRecording>());
  }
}

std::vector<TMidiOutDeviceItem> TMidiRecorderBackend::List() {
  std::vector<TMidiOutDeviceItem> items;
  for (const auto& port : ports_) {
    items.push_back({port.Name, {Name(), port.Name}});
  }
  return items;
}

std::unique_ptr<TMidiOutDevice> TMidiRecorderBackend::Open(const std::string& port) {
  for (size_t i = 0; i < ports_.size(); ++i) {
    if (ports_[i].Name != port) {
      continue;
    }
    if (ports_[i].RefuseOpen) {
      return nullptr;
    }
    std::lock_guard<std::mutex> lock(*counters_mutex_);
    ++(*counters_)[i].Opens;
    auto refused = [mutex = counters_mutex_, counters = counters_, i,
                    limit = ports_[i].RefusedCloses] {
      std::lock_guard<std::mutex> guard(*mutex);
      return ++(*counters)[i].CloseAttempts <= limit;
    };
    return std::make_unique<TRecorderDevice>(clock_, recordings_[i], std::move(refused));
  }
  return nullptr;
}

int TMidiRecorderBackend::Opens(size_t i) const {
  std::lock_guard<std::mutex> lock(*counters_mutex_);
  return counters_->at(i).Opens;
}

int TMidiRecorderBackend::CloseAttempts(size_t i) const {
  std::lock_guard<std::mutex> lock(*counters_mutex_);
  return counters_->at(i).CloseAttempts;
}
