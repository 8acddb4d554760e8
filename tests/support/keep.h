// Keeps the values of globals that a test changes and puts them back when it ends.
#pragma once

#include <tuple>

template <class... T>
class TKeep {
 public:
  explicit TKeep(T&... globals) : globals_(globals...), saved_(globals...) {}
  ~TKeep() { Restore(); }
  TKeep(const TKeep&) = delete;
  TKeep& operator=(const TKeep&) = delete;

  // Puts the kept values back now.
  void Restore() { globals_ = saved_; }

 private:
  std::tuple<T&...> globals_;
  std::tuple<T...> saved_;
};
