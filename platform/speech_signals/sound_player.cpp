#include "platform/speech_signals/sound_player.h"

#include <canberra.h>

#include <cstdlib>
#include <mutex>

#include "platform/speech_signals/signal_log.h"

namespace {

// Every signal plays under this one id, so cancelling it stops the one before.
constexpr uint32_t kSignalId = 1;

// libcanberra player. The context opens its driver on first use.
class TCanberraPlayer : public TSoundPlayer {
 public:
  TCanberraPlayer() {
    if (ca_context_create(&context_) != CA_SUCCESS) {
      context_ = nullptr;
      return;
    }
    ca_context_change_props(context_, CA_PROP_APPLICATION_NAME, "Velto", CA_PROP_APPLICATION_ID,
                            "velto", nullptr);
  }
  ~TCanberraPlayer() override {
    if (context_ != nullptr) {
      ca_context_destroy(context_);
    }
  }
  TCanberraPlayer(const TCanberraPlayer&) = delete;
  TCanberraPlayer& operator=(const TCanberraPlayer&) = delete;

  bool Play(const std::string& path, std::string_view /*kind*/) override {
    std::lock_guard<std::mutex> lock(mutex_);
    if (context_ == nullptr) {
      return false;
    }
    ca_context_cancel(context_, kSignalId);
    ca_proplist* props = nullptr;
    if (ca_proplist_create(&props) != CA_SUCCESS) {
      return false;
    }
    ca_proplist_sets(props, CA_PROP_MEDIA_FILENAME, path.c_str());
    ca_proplist_sets(props, CA_PROP_CANBERRA_CACHE_CONTROL, "volatile");
    const int result = ca_context_play_full(context_, kSignalId, props, nullptr, nullptr);
    ca_proplist_destroy(props);
    return result == CA_SUCCESS;
  }

 private:
  std::mutex mutex_;
  ca_context* context_ = nullptr;  // owned
};

}  // namespace

std::shared_ptr<TSoundPlayer> MakeCanberraPlayer() {
  return std::make_shared<TCanberraPlayer>();
}

std::shared_ptr<TSoundPlayer> MakeSoundPlayer() {
  const char* log = std::getenv("VELTO_SIGNAL_LOG");
  if (log != nullptr && *log != '\0') {
    return std::make_shared<TSignalLog>(log);
  }
  return MakeCanberraPlayer();
}
