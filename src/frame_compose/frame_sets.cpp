// SPDX-License-Identifier: MIT
#include "frame_compose/frame_sets.h"

#include <array>
#include <cstdio>
#include <filesystem>

#include "gif_format/gif_markers.h"
#include "toolkit/file_ops.h"

namespace FrameCompose {
namespace {

constexpr char kSidecarExtension[] = ".json";
constexpr char kSidecarForAFolder[] = "frames";

const char* DisposalName(int disposal) {
  static constexpr const char* kNames[] = {"unspecified", "leave", "background", "previous"};
  return disposal >= 0 && disposal <= Gif::kDisposalRestorePrevious ? kNames[disposal] : "reserved";
}

const char* Bool(bool value) { return value ? "true" : "false"; }

template <typename Value>
std::string NumberOr(const std::optional<Value>& value) {
  return value ? std::to_string(*value) : std::string("null");
}

// `text` as a JSON string, quotes included; UTF-8 passes as it is.
std::string Quoted(const std::string& text) {
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') {
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
  const char* table = f.local_colour_table            ? "local"
                      : animation.global_colour_table ? "global"
                                                      : "none";
  std::string json = Printed(
      "{\"number\": %d, \"offset\": %zu, \"length\": %zu, \"left\": %d, \"top\": %d, "
      "\"width\": %d, \"height\": %d, \"delay_ms\": %d, \"disposal\": \"%s\", "
      "\"transparent_index\": %s, \"colour_table\": \"%s\", \"colour_table_size\": %d, "
      "\"interlaced\": %s, \"complete\": %s",
      f.number, f.offset, f.length, f.left, f.top, f.width, f.height, f.delay_cs * 10,
      DisposalName(f.disposal), NumberOr(f.transparent_index).c_str(), table, f.colour_table_size,
      Bool(f.interlaced), Bool(f.complete));
  if (!kept.file.empty()) json += ", \"file\": " + Quoted(kept.file);
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
  return json + "}";
}

KeptFrame Alone(const FrameFacts& facts) {
  KeptFrame frame;
  frame.facts = facts;
  frame.stands_for = {facts.number};
  return frame;
}

}  // namespace

void FrameRuns::Add(const FrameFacts& facts, const Canvas& canvas) {
  if (!distinct_) return out_(Alone(facts), canvas);
  if (held_ && held_canvas_.width == canvas.width && held_canvas_.height == canvas.height &&
      held_canvas_.pixels == canvas.pixels) {
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
      set.frames.empty() ? "" : "\n", animation.frame_count, NumberOr(animation.loop_count).c_str(),
      animation.screen_width, animation.screen_height, animation.background_index,
      animation.total_delay_cs * 10, NumberOr(set.damaged_at).c_str());
  if (sheet) {
    json += ",\n \"sheet\": {\"file\": " + Quoted(sheet->file) +
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
  const std::u8string name =
      std::filesystem::path(std::u8string(path.begin(), path.end())).filename().u8string();
  return std::string(name.begin(), name.end());
}

}  // namespace FrameCompose
