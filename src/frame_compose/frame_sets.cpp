// SPDX-License-Identifier: MIT
#include "frame_compose/frame_sets.h"

#include <array>
#include <cstdio>

#include "gif_format/gif_markers.h"
#include "toolkit/conversions.h"
#include "toolkit/file_ops.h"
#include "toolkit/utf8_path.h"

namespace FrameCompose {
namespace {

constexpr char kSidecarExtension[] = ".json";
constexpr char kSidecarForAFolder[] = "frames";

const char* Bool(bool value) { return value ? "true" : "false"; }

constexpr char kJsonNull[] = "null";

constexpr char kReplacementCharacter[] = "\xEF\xBF\xBD";  // U+FFFD

// The length of the well-formed UTF-8 sequence at text[at] (Unicode's
// table 3-7: no overlong forms, no surrogates, nothing past U+10FFFF), or 0.
std::size_t Utf8SequenceAt(const std::string& text, std::size_t at) {
  const auto byte = [&](std::size_t i) {
    return at + i < text.size() ? static_cast<unsigned char>(text[at + i]) : 0u;
  };
  const unsigned lead = byte(0);
  const auto follows = [&](std::size_t i, unsigned low = 0x80, unsigned high = 0xBF) {
    return byte(i) >= low && byte(i) <= high;
  };
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return follows(1) ? 2 : 0;
  if (lead >= 0xE0 && lead <= 0xEF) {
    const unsigned low = lead == 0xE0 ? 0xA0 : 0x80, high = lead == 0xED ? 0x9F : 0xBF;
    return follows(1, low, high) && follows(2) ? 3 : 0;
  }
  if (lead >= 0xF0 && lead <= 0xF4) {
    const unsigned low = lead == 0xF0 ? 0x90 : 0x80, high = lead == 0xF4 ? 0x8F : 0xBF;
    return follows(1, low, high) && follows(2) && follows(3) ? 4 : 0;
  }
  return 0;
}

bool IsUtf8(const std::string& text) {
  for (std::size_t at = 0, length = 0; at < text.size(); at += length) {
    if ((length = Utf8SequenceAt(text, at)) == 0) return false;
  }
  return true;
}

// `text` as a JSON string, quotes included; UTF-8 passes as it is, and each
// byte that is not part of it becomes U+FFFD.
std::string Quoted(const std::string& text) {
  std::string quoted = "\"";
  for (std::size_t at = 0; at < text.size(); ++at) {
    const char c = text[at];
    const std::size_t length = Utf8SequenceAt(text, at);
    if (length == 0) {
      quoted += kReplacementCharacter;
    } else if (length > 1) {
      quoted.append(text, at, length);
      at += length - 1;
    } else if (c == '"' || c == '\\') {
      quoted += '\\';
      quoted += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned char>(c));
      quoted += escape;
    } else {
      quoted += c;
    }
  }
  return quoted + "\"";
}

}  // namespace

std::string FileJsonFields(const std::string& name) {
  std::string fields = "\"file\": " + Quoted(name);
  if (IsUtf8(name)) return fields;
  fields += ", \"file_bytes\": [";
  for (std::size_t i = 0; i < name.size(); ++i) {
    fields += (i == 0 ? "" : ", ") + std::to_string(static_cast<unsigned char>(name[i]));
  }
  return fields + "]";
}

namespace {

// Numbers and fixed words in a format: every use fits well within the buffer.
template <typename... Values>
std::string Printed(const char* format, Values... values) {
  std::array<char, 1024> text{};
  std::snprintf(text.data(), text.size(), format, values...);
  return std::string(text.data());
}

std::string FrameJson(const KeptFrame& kept, const AnimationFacts& animation,
                      const std::optional<SheetLayout>& sheet) {
  const FrameFacts& f = kept.facts;
  std::string json = Printed(
      "{\"number\": %d, \"offset\": %zu, \"length\": %zu, \"left\": %d, \"top\": %d, "
      "\"width\": %d, \"height\": %d, \"delay_ms\": %lld, \"disposal\": \"%s\", "
      "\"transparent_index\": %s, \"colour_table\": \"%s\", \"colour_table_size\": %d, "
      "\"interlaced\": %s, \"complete\": %s",
      f.number, f.offset, f.length, f.left, f.top, f.width, f.height,
      static_cast<long long>(f.delay_cs) * 10, DisposalName(f.disposal),
      Toolkit::NumberOr(f.transparent_index, kJsonNull).c_str(),
      ColourTableName(f, animation.global_colour_table), f.colour_table_size, Bool(f.interlaced),
      Bool(f.complete));
  return json + KeptFrameFields(kept, sheet) + "}";
}

KeptFrame Alone(const FrameFacts& facts) {
  KeptFrame frame;
  frame.facts = facts;
  frame.stands_for = {facts.number};
  return frame;
}

}  // namespace

std::string KeptFrameFields(const KeptFrame& kept, const std::optional<SheetLayout>& sheet) {
  std::string json;
  if (!kept.file.empty()) json += ", " + FileJsonFields(kept.file);
  if (kept.stands_for.size() > 1) {
    json += ", \"stands_for\": [";
    for (std::size_t i = 0; i < kept.stands_for.size(); ++i) {
      json += (i == 0 ? "" : ", ") + std::to_string(kept.stands_for[i]);
    }
    json += "]";
  }
  if (sheet && kept.column >= 0) {
    json += Printed(", \"cell\": {\"column\": %d, \"row\": %d, \"x\": %d, \"y\": %d}", kept.column,
                    kept.row, kept.column * sheet->cell_width, kept.row * sheet->cell_height);
  }
  return json;
}

void FrameRuns::Add(const FrameFacts& facts, const Canvas& canvas) {
  if (!distinct_) return out_(Alone(facts), canvas);
  // A frame's own delay is no longer than a run (a GIF's is 16-bit; a
  // WebP's or APNG's, rounded to hundredths, is within 31 bits), so the sum
  // is tested without passing it.
  if (held_ && facts.number == held_->stands_for.back() + 1 &&
      held_->facts.delay_cs <= longest_cs_ - facts.delay_cs && SamePicture(held_canvas_, canvas)) {
    held_->facts.delay_cs += facts.delay_cs;
    held_->stands_for.push_back(facts.number);
    return;
  }
  Finish();
  held_ = Alone(facts);
  // Assigned, so that the buffers serve the next run as well.
  held_canvas_.width = canvas.width;
  held_canvas_.height = canvas.height;
  held_canvas_.pixels.assign(canvas.pixels.begin(), canvas.pixels.end());
  held_canvas_.indices.assign(canvas.indices.begin(), canvas.indices.end());
  held_canvas_.table.assign(canvas.table.begin(), canvas.table.end());
  held_canvas_.transparent_index = canvas.transparent_index;
}

void FrameRuns::Finish() {
  if (!held_) return;
  const KeptFrame frame = std::move(*held_);
  held_.reset();
  out_(frame, held_canvas_);
}

SetFacts ReadSetFacts(std::span<const std::uint8_t> source, const std::string& source_name,
                      const std::function<bool(int number)>& wanted,
                      std::optional<ComposeError>* damage, const std::function<void()>& pump) {
  ComposeOptions facts_only;
  facts_only.pixels = false;
  facts_only.pump = pump;
  SetFacts set;
  try {
    Compose(
        source, source_name,
        [&](const FrameFacts& frame, const Canvas*) {
          if (!wanted || wanted(frame.number)) set.frames.push_back(Alone(frame));
          return true;
        },
        set.animation, facts_only);
  } catch (const ComposeError& error) {
    if (set.animation.frame_count == 0) throw;
    set.damaged_at = error.offset();
    if (damage != nullptr) *damage = error;
  }
  return set;
}

std::string SetJson(const SetFacts& set, const std::optional<SheetLayout>& sheet) {
  const AnimationFacts& animation = set.animation;
  std::string json = "{\"frames\": [";
  for (std::size_t i = 0; i < set.frames.size(); ++i) {
    json += (i == 0 ? "\n  " : ",\n  ") + FrameJson(set.frames[i], animation, sheet);
  }
  json += Printed(
      "%s],\n \"count\": %d, \"loop_count\": %s, \"screen\": {\"width\": %d, \"height\": "
      "%d}, \"background_index\": %d, \"duration_ms\": %lld, \"damaged_at\": %s",
      set.frames.empty() ? "" : "\n", animation.frame_count,
      Toolkit::NumberOr(animation.loop_count, kJsonNull).c_str(), animation.screen_width,
      animation.screen_height, animation.background_index, animation.total_delay_cs * 10,
      Toolkit::NumberOr(set.damaged_at, kJsonNull).c_str());
  if (sheet) {
    json += ",\n \"sheet\": {" + FileJsonFields(sheet->file) +
            Printed(", \"columns\": %d, \"rows\": %d, \"cell_width\": %d, \"cell_height\": %d}",
                    sheet->columns, sheet->rows, sheet->cell_width, sheet->cell_height);
  }
  return json + "}\n";
}

void WriteSetJson(const std::string& path, const SetFacts& set,
                  const std::optional<SheetLayout>& sheet) {
  const std::string json = SetJson(set, sheet);
  Toolkit::WriteFileInPieces(
      path, std::span(reinterpret_cast<const std::uint8_t*>(json.data()), json.size()), {}, {});
}

std::string SheetStem(const std::string& prefix, int columns, int rows, int cell_width,
                      int cell_height) {
  return prefix + Printed("-sheet-%dx%d-%dx%d", columns, rows, cell_width, cell_height);
}

std::string SidecarName(const std::string& prefix) {
  const bool folder_alone = prefix.empty() || prefix.back() == '/' || prefix.back() == '\\';
  return prefix + (folder_alone ? kSidecarForAFolder : "") + kSidecarExtension;
}

void NameFiles(SetFacts& set, const std::function<std::string(int number)>& path_of) {
  for (KeptFrame& frame : set.frames) frame.file = BareName(path_of(frame.facts.number));
}

std::string BareName(const std::string& path) {
  return Toolkit::FromPath(Toolkit::ToPath(path).filename());
}

std::vector<std::string> WantedPaths(int frames, const std::function<bool(int number)>& wanted,
                                     const std::function<std::string(int number)>& path_of) {
  std::vector<std::string> paths;
  for (int number = 1; number <= frames; ++number) {
    if (!wanted || wanted(number)) paths.push_back(path_of(number));
  }
  return paths;
}

const char* DisposalName(int disposal) {
  static constexpr const char* kNames[] = {"unspecified", "leave", "background", "previous"};
  return disposal >= 0 && disposal <= Gif::kDisposalRestorePrevious ? kNames[disposal] : "reserved";
}

const char* ColourTableName(const FrameFacts& frame, bool global_table) {
  return frame.local_colour_table ? "local" : global_table ? "global" : "none";
}

}  // namespace FrameCompose
