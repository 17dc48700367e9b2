// SPDX-License-Identifier: MIT
#pragma once

// Filling, copying and comparing whole pictures in pieces, with a caller's
// pump run between them. A picture of 8192 x 8192 is 256 MiB: filled or
// copied at once into memory just reserved, it kept a window from its
// events (END among them) for seconds on a busy machine, where every page
// touched for the first time costs a fault.

#include <algorithm>
#include <cstddef>
#include <functional>
#include <vector>

namespace FrameCompose {

// Runs `pump` after every kPixelsPerPump pixels of work; with no pump, the
// work goes in one piece.
class Paced {
 public:
  // A mebibyte of RGBA pixels: a few milliseconds even where pages fault.
  static constexpr std::size_t kPixelsPerPump = std::size_t{1} << 18;

  // REQUIRES: `pump` (empty: none) outlives this.
  explicit Paced(const std::function<void()>& pump) : pump_(pump) {}

  // Counts `pixels` of work done, running the pump when enough have been.
  void Did(std::size_t pixels) {
    if (!pump_ || (since_pump_ += pixels) < kPixelsPerPump) return;
    since_pump_ = 0;
    pump_();
  }

  // Calls `step(from, to)` for ranges that cover 0 .. count-1 in order.
  template <typename Step>
  void Over(std::size_t count, Step step) {
    const std::size_t piece = pump_ ? kPixelsPerPump : std::max<std::size_t>(count, 1);
    for (std::size_t from = 0; from < count; from += piece) {
      const std::size_t to = std::min(count, from + piece);
      step(from, to);
      Did(to - from);
    }
  }

  // `values` becomes `count` copies of `value`, its buffer kept where it
  // is large enough.
  template <typename T>
  void Assign(std::vector<T>& values, std::size_t count, T value) {
    values.clear();
    values.reserve(count);  // never moved while it grows
    Over(count, [&](std::size_t, std::size_t to) { values.resize(to, value); });
  }

  // `values` becomes a copy of `from`, its buffer kept where it is large enough.
  template <typename T>
  void Assign(std::vector<T>& values, const std::vector<T>& from) {
    values.clear();
    values.reserve(from.size());
    Over(from.size(), [&](std::size_t begin, std::size_t end) {
      values.insert(values.end(), from.begin() + static_cast<std::ptrdiff_t>(begin),
                    from.begin() + static_cast<std::ptrdiff_t>(end));
    });
  }

  template <typename T>
  void Fill(std::vector<T>& values, T value) {
    Over(values.size(), [&](std::size_t from, std::size_t to) {
      std::fill(values.begin() + static_cast<std::ptrdiff_t>(from),
                values.begin() + static_cast<std::ptrdiff_t>(to), value);
    });
  }

  template <typename T>
  bool Equal(const std::vector<T>& a, const std::vector<T>& b) {
    if (a.size() != b.size()) return false;
    bool equal = true;
    Over(a.size(), [&](std::size_t from, std::size_t to) {
      equal = equal && std::equal(a.begin() + static_cast<std::ptrdiff_t>(from),
                                  a.begin() + static_cast<std::ptrdiff_t>(to),
                                  b.begin() + static_cast<std::ptrdiff_t>(from));
    });
    return equal;
  }

 private:
  const std::function<void()>& pump_;
  std::size_t since_pump_ = 0;
};

}  // namespace FrameCompose
