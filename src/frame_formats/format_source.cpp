// SPDX-License-Identifier: MIT
#include "frame_formats/format_source.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <climits>
#include <cstdio>
#include <numeric>
#include <optional>
#include <span>
#include <string_view>
#include <utility>

#include "frame_compose/frame_sets.h"
#include "frame_formats/format_compose.h"
#include "frame_formats/still_decode.h"
#include "frame_formats/webp_cut.h"

namespace FrameFormats {
namespace {

constexpr char kWebpName[] = "WebP";
constexpr char kApngName[] = "APNG";
constexpr char kWebpExtension[] = ".webp";
constexpr char kApngExtension[] = ".png";
// image/apng's own extension, which APNGs carry less often than ".png".
constexpr char kApngOwnExtension[] = ".apng";
constexpr char kJsonNull[] = "null";
constexpr long long kMsPerCs = 10;

// Numbers and fixed words in a format: every use fits well within the buffer.
template <typename... Values>
std::string Printed(const char* format, Values... values) {
  std::array<char, 512> text{};
  std::snprintf(text.data(), text.size(), format, values...);
  return std::string(text.data());
}

// An APNG delay's denominator as it counts: 0 stands for 100.
constexpr std::uint64_t kDenOfZero = 100;
// The largest denominator a run's summed delay keeps.
constexpr std::uint64_t kLargestRunDen = 0xFFFFFFFFu;

// The delays of APNG frames `records`, summed exactly as one fraction of a
// second, reduced: what a kept frame standing for them lasts. Nothing when
// the sum's denominator would pass kLargestRunDen (its numerator then
// stays below 2^16 * 2^16 * 2^32, within 64 bits).
std::optional<std::pair<std::uint64_t, std::uint64_t>> RunDelay(
    const std::vector<const FrameRecord*>& records) {
  std::uint64_t num = 0, den = 1;
  for (const FrameRecord* record : records) {
    const std::uint64_t n = static_cast<std::uint64_t>(record->delay_num);
    const std::uint64_t d =
        record->delay_den == 0 ? kDenOfZero : static_cast<std::uint64_t>(record->delay_den);
    const std::uint64_t common = den / std::gcd(den, d) * d;  // both at most 2^32: no overflow
    if (common > kLargestRunDen) return std::nullopt;
    num = num * (common / den) + n * (common / d);
    den = common;
    const std::uint64_t divisor = std::gcd(num, den);
    if (divisor > 1) num /= divisor, den /= divisor;
  }
  return std::make_pair(num, den);
}

// A delay in hundredths of a second, rounded, as the GIF savers count it.
int DelayCs(long long delay_ms) {
  return static_cast<int>(
      std::clamp((delay_ms + kMsPerCs / 2) / kMsPerCs, 0LL, static_cast<long long>(INT_MAX)));
}

// True when `name` ends in `ending`, ASCII letters in any case: a name's
// bytes need be no UTF-8.
bool EndsWithNoCase(const std::string& name, std::string_view ending) {
  return name.size() >= ending.size() &&
         std::equal(ending.begin(), ending.end(), name.end() - static_cast<long>(ending.size()),
                    [](char a, char b) {
                      return std::tolower(static_cast<unsigned char>(a)) ==
                             std::tolower(static_cast<unsigned char>(b));
                    });
}

}  // namespace

FrameCompose::FrameFacts FactsOf(const FrameRecord& record) {
  FrameCompose::FrameFacts facts;
  facts.number = record.number;
  facts.left = record.left;
  facts.top = record.top;
  facts.width = record.width;
  facts.height = record.height;
  facts.delay_cs = DelayCs(record.delay_ms);
  return facts;
}

FormatSource::FormatSource(SourceFormat format, std::span<const std::uint8_t> bytes,
                           std::string source_name, const Budgets& budgets)
    : format_(format), bytes_(bytes), source_name_(std::move(source_name)) {
  if (format_ == SourceFormat::kAnimatedWebp) {
    webp_ = PlanWebpCuts(bytes_, source_name_, budgets);
    animation_ = {webp_->width, webp_->height, static_cast<int>(webp_->frames.size()),
                  webp_->loop_count, 0};
    frames_ = webp_->frames;
  } else {
    apng_ = PlanApngCuts(bytes_, source_name_, budgets);
    animation_ = {apng_->width, apng_->height, static_cast<int>(apng_->frames.size()), apng_->plays,
                  0};
    for (const ApngFrame& frame : apng_->frames) frames_.push_back(frame.record);
    damage_ = apng_->damage;
  }
  for (const FrameRecord& record : frames_) animation_.total_delay_ms += record.delay_ms;
}

const char* FormatSource::Name() const {
  return format_ == SourceFormat::kAnimatedWebp ? kWebpName : kApngName;
}

const char* FormatSource::Extension() const {
  return format_ == SourceFormat::kAnimatedWebp ? kWebpExtension : kApngExtension;
}

std::string FormatSource::Stem(const std::string& file_name) const {
  static constexpr std::string_view kApngEndings[] = {kApngExtension, kApngOwnExtension};
  static constexpr std::string_view kWebpEndings[] = {kWebpExtension};
  const std::span<const std::string_view> endings =
      apng_ ? std::span<const std::string_view>(kApngEndings) : kWebpEndings;
  for (const std::string_view ending : endings) {
    if (EndsWithNoCase(file_name, ending))
      return file_name.substr(0, file_name.size() - ending.size());
  }
  return file_name;
}

std::vector<std::uint8_t> FormatSource::FrameFile(int number) const {
  return apng_ ? ApngFrameFileBytes(bytes_, *apng_, number)
               : WebpFrameFileBytes(bytes_, *webp_, number);
}

FrameCompose::Canvas FormatSource::StoredFrame(int number, const Budgets& budgets) const {
  return DecodeStill(format_, FrameFile(number), source_name_, number, budgets);
}

void FormatSource::Compose(const FrameCompose::FrameSink& sink,
                           FrameCompose::AnimationFacts& animation,
                           const FormatComposeOptions& options) const {
  // A caller may ask less than the source was read with (the window's
  // thumbnails do): a picture past its budget is refused before any frame,
  // as the GIF composer refuses it.
  if (!CanvasFits(static_cast<std::uint64_t>(animation_.canvas_width),
                  static_cast<std::uint64_t>(animation_.canvas_height), options.budgets)) {
    throw FrameCompose::ComposeError(source_name_, 0, 0, FaultText(Fault::kCanvasTooLarge));
  }
  animation = {};
  animation.screen_width = animation_.canvas_width;
  animation.screen_height = animation_.canvas_height;
  animation.loop_count = static_cast<int>(std::min<long long>(animation_.loop_count, INT_MAX));
  const FormatFrameSink adapter = [&](const FrameRecord& record,
                                      const FrameCompose::Canvas& canvas) {
    ++animation.frame_count;
    const FrameCompose::FrameFacts facts = FactsOf(record);
    animation.total_delay_cs += facts.delay_cs;
    return sink(facts, &canvas);
  };
  // The plan read when this source was made serves: its chunks are not walked again.
  if (apng_) {
    ComposeApngPlan(bytes_, *apng_, source_name_, adapter, options);
  } else {
    ComposeWebpPlan(bytes_, *webp_, source_name_, adapter, options);
  }
}

FrameCompose::Encoder FormatSource::WholeFrameEncoder() const {
  if (format_ == SourceFormat::kAnimatedWebp) return EncodeLosslessWebp;
  return {};
}

std::string FormatSource::Json(const std::vector<int>& numbers,
                               const std::function<std::string(int number)>& file_of) const {
  FrameCompose::SetFacts set;
  for (const int number : numbers) {
    FrameCompose::KeptFrame kept;
    kept.facts.number = number;
    kept.stands_for = {number};
    if (file_of) kept.file = FrameCompose::BareName(file_of(number));
    set.frames.push_back(std::move(kept));
  }
  return Json(set);
}

std::string FormatSource::Json(const FrameCompose::SetFacts& set,
                               const std::optional<FrameCompose::SheetLayout>& sheet) const {
  const auto record = [&](int number) -> const FrameRecord& {
    return frames_.at(static_cast<std::size_t>(number - 1));
  };
  std::string json = Printed("{\"format\": \"%s\", \"frames\": [", Name());
  for (std::size_t i = 0; i < set.frames.size(); ++i) {
    const FrameCompose::KeptFrame& kept = set.frames[i];
    const FrameRecord& f = record(kept.facts.number);
    long long delay_ms = 0;  // in milliseconds as stored, never rounded to a GIF's hundredths
    for (const int number : kept.stands_for) delay_ms += record(number).delay_ms;
    json += (i == 0 ? "\n  " : ",\n  ");
    json += Printed(
        "{\"number\": %d, \"left\": %d, \"top\": %d, \"width\": %d, \"height\": %d, "
        "\"delay_ms\": %lld, \"dispose\": \"%s\", \"blend\": \"%s\"",
        f.number, f.left, f.top, f.width, f.height, delay_ms, DisposeName(f.dispose),
        BlendName(f.blend));
    if (apng_ && kept.stands_for.size() > 1) {
      // The run's own length, exactly; its delay_ms sums each frame's, rounded.
      std::vector<const FrameRecord*> run;
      for (const int number : kept.stands_for) run.push_back(&record(number));
      const auto delay = RunDelay(run);
      json += delay ? Printed(", \"delay_num\": %llu, \"delay_den\": %llu",
                              static_cast<unsigned long long>(delay->first),
                              static_cast<unsigned long long>(delay->second))
                    : ", \"delay_num\": null, \"delay_den\": null";
    } else if (apng_) {
      json += Printed(", \"delay_num\": %d, \"delay_den\": %d", f.delay_num, f.delay_den);
    }
    json += FrameCompose::KeptFrameFields(kept, sheet) + "}";
  }
  const std::optional<std::size_t> damaged =
      set.damaged_at ? set.damaged_at
                     : (damage_ ? std::optional<std::size_t>(damage_->offset) : std::nullopt);
  const std::string damaged_at = damaged ? std::to_string(*damaged) : kJsonNull;
  json += Printed(
      "%s],\n \"count\": %d, \"loop_count\": %lld, \"screen\": {\"width\": %d, \"height\": %d}, "
      "\"duration_ms\": %lld, \"damaged_at\": %s",
      set.frames.empty() ? "" : "\n", animation_.frame_count, animation_.loop_count,
      animation_.canvas_width, animation_.canvas_height, animation_.total_delay_ms,
      damaged_at.c_str());
  if (sheet) {
    json += ",\n \"sheet\": {" + FrameCompose::FileJsonFields(sheet->file) +
            Printed(", \"columns\": %d, \"rows\": %d, \"cell_width\": %d, \"cell_height\": %d}",
                    sheet->columns, sheet->rows, sheet->cell_width, sheet->cell_height);
  }
  return json + "}\n";
}

std::string FormatSource::Table(const std::vector<int>& numbers) const {
  std::string table = "frame rectangle delay_ms dispose blend delay\n";
  for (const int number : numbers) {
    const FrameRecord& f = frames_.at(static_cast<std::size_t>(number - 1));
    // APNG's delay as stored, a fraction of a second; WebP stores milliseconds alone.
    const std::string stored = apng_ ? Printed("%d/%d", f.delay_num, f.delay_den) : "-";
    table += Printed("%d %dx%d+%d+%d %lld %s %s %s\n", f.number, f.width, f.height, f.left, f.top,
                     f.delay_ms, DisposeName(f.dispose), BlendName(f.blend), stored.c_str());
  }
  const std::string loop =
      animation_.loop_count == 0 ? "forever" : std::to_string(animation_.loop_count);
  table += Printed("total frames %d, format %s, loop %s, screen %dx%d, duration_ms %lld\n",
                   animation_.frame_count, Name(), loop.c_str(), animation_.canvas_width,
                   animation_.canvas_height, animation_.total_delay_ms);
  return table;
}

}  // namespace FrameFormats
