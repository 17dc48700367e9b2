// SPDX-License-Identifier: MIT
#include "main_window/frame_saving.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <functional>

#include "frame_compose/frame_sets.h"
#include "frame_split/frame_split.h"
#include "main_window/workflow_constants.h"
#include "toolkit/file_ops.h"
#include "toolkit/path_text.h"

namespace MainWindow {
namespace {

// True for the frames of `numbers`, which are in order.
std::function<bool(int number)> Among(const std::vector<int>& numbers) {
  return
      [&numbers](int number) { return std::binary_search(numbers.begin(), numbers.end(), number); };
}

// The text that says saving went well: the frames, or the sheet, and the
// JSON written beside them, and where.
QString SavedText(std::size_t frames, const std::string& folder, const std::string& sheet,
                  const std::string& json) {
  const QString json_name = Toolkit::PathToText(Toolkit::FileNameOf(json));
  if (!sheet.empty()) {
    return QString::fromUtf8(kSavedSheet)
        .arg(frames)
        .arg(Toolkit::PathToNativeText(sheet), json_name);
  }
  return QString::fromUtf8(kSaved).arg(frames).arg(Toolkit::PathToNativeText(folder), json_name);
}

}  // namespace

std::string FrameSaving::SavedPrefix(const std::string& folder) const {
  return folder + Toolkit::PathSeparator() + source_.base_name;
}

std::string FrameSaving::SavedFrameName(const std::string& folder, int number,
                                        const std::string& extension) const {
  return FrameSplit::FrameFileName(SavedPrefix(folder), number, extension);
}

std::string FrameSaving::ExtensionOf(SaveKind kind) const {
  switch (kind) {
    case SaveKind::kStoredGif:
    case SaveKind::kWholeFrames:
      return source_.animation->Extension();
    default:
      return kPngExtension;
  }
}

int FrameSaving::SheetColumns(std::size_t frames) {
  // As square a grid as the frames make.
  return std::max(1, static_cast<int>(std::ceil(std::sqrt(static_cast<double>(frames)))));
}

std::vector<std::string> FrameSaving::SavedNames(const std::vector<int>& numbers,
                                                 const std::string& folder, SaveKind kind) const {
  const std::string prefix = SavedPrefix(folder);
  if (kind == SaveKind::kSheet) {
    const FrameCompose::SheetGrid grid =
        FrameCompose::SheetGridFor(numbers.size(), SheetColumns(numbers.size()));
    const std::string stem = FrameCompose::SheetStem(prefix, grid.columns, grid.rows,
                                                     source_.survey.width, source_.survey.height);
    return {stem + kPngExtension, FrameCompose::SidecarName(stem)};
  }
  std::vector<std::string> names;
  for (const int number : numbers) {
    names.push_back(FrameSplit::FrameFileName(prefix, number, ExtensionOf(kind)));
  }
  names.push_back(FrameCompose::SidecarName(prefix));
  return names;
}

FrameCompose::SaveReport FrameSaving::SaveComposed(FrameCompose::SaveRequest request,
                                                   Toolkit::Progress& progress,
                                                   const Saver& save) const {
  const DroppedAnimation& animation = *source_.animation;
  const std::vector<std::uint8_t>& bytes = animation.Source();
  FrameCompose::ComposeOptions options;
  options.largest_canvas_bytes = kLargestSavedCanvas;
  options.pump = [&progress] { progress.DoEvents(); };
  request.survey = animation.Survey(options);
  request.frames = animation.ComposedFrames(options);
  request.json = animation.SetJson();
  // A save that writes JSON or a sheet reads every frame.
  const bool to_the_end = save || !request.sidecar.empty();
  const int frames = to_the_end ? request.survey->frames
                                : std::min(request.survey->frames, request.last.value_or(INT_MAX));
  const float step = progress.Width() / static_cast<float>(std::max(frames, 1));
  request.after_frame = [&](int number) {
    progress.DrawBox(static_cast<float>(number) * step);
    progress.DoEvents();
  };
  request.pump = [&progress] { progress.DoEvents(); };
  // The dropped file is never written over, whatever a dialog allowed.
  request.keep = source_.source_path;
  // The composer's JSON tells a GIF's facts; another format's are its own,
  // told from its chunks once the frames are written.
  std::string own_json;
  if (request.frames && !request.sidecar.empty()) {
    std::swap(own_json, request.sidecar);
    Toolkit::RequireFreeNames({own_json}, source_.source_path);
  }
  FrameCompose::SaveReport report =
      save ? save(bytes, request)
           : FrameCompose::SaveFramesAsTheyAppear(bytes, source_.source_path, request);
  if (!own_json.empty()) {
    std::vector<int> numbers;
    for (const FrameCompose::KeptFrame& kept : report.set.frames) {
      numbers.push_back(kept.facts.number);
    }
    animation.WriteJson(numbers, request.path_of, own_json, request.pump);
  }
  return report;
}

int FrameSaving::SaveStoredFrames(const std::vector<int>& numbers, const std::string& folder,
                                  Toolkit::Progress& progress) const {
  const DroppedAnimation& animation = *source_.animation;
  const std::string prefix = SavedPrefix(folder);
  // The dropped file is never written over, whatever a dialog allowed.
  Toolkit::RequireFreeNames(SavedNames(numbers, folder, SaveKind::kStoredGif), source_.source_path);
  const int written = animation.WriteFrames(prefix, progress, Among(numbers));
  animation.WriteJson(
      numbers,
      [&](int number) { return FrameSplit::FrameFileName(prefix, number, animation.Extension()); },
      FrameCompose::SidecarName(prefix), [&progress] { progress.DoEvents(); });
  return written;
}

QString FrameSaving::SaveAsTheyAppear(const std::vector<int>& numbers, const std::string& folder,
                                      SaveKind kind, Toolkit::Progress& progress) const {
  FrameCompose::SaveRequest request;
  request.wanted = Among(numbers);
  request.last = numbers.back();
  FrameCompose::SaveReport report;
  QString outcome;
  if (kind == SaveKind::kSheet) {
    std::string sheet;
    report = SaveComposed(
        request, progress,
        [&](std::span<const std::uint8_t> bytes, const FrameCompose::SaveRequest& ready) {
          return FrameCompose::SaveSheet(bytes, source_.source_path, SavedPrefix(folder),
                                         SheetColumns(numbers.size()), ready, &sheet);
        });
    outcome = SavedText(report.set.frames.size(), folder, sheet,
                        SavedNames(numbers, folder, kind).back());
  } else {
    const std::string extension = ExtensionOf(kind);
    request.kind = extension == FrameSplit::kFrameExtension ? FrameCompose::FileKind::kFullFrameGif
                                                            : FrameCompose::FileKind::kPng;
    if (kind == SaveKind::kWholeFrames) request.encode = source_.animation->WholeFrameEncoder();
    request.path_of = [&](int number) { return SavedFrameName(folder, number, extension); };
    request.sidecar = FrameCompose::SidecarName(SavedPrefix(folder));
    report = SaveComposed(std::move(request), progress);
    outcome = SavedText(static_cast<std::size_t>(report.written), folder, {},
                        SavedNames(numbers, folder, kind).back());
  }
  if (report.damage) {
    outcome += QString::fromUtf8(kSavedDamaged)
                   .arg(report.damage->frame())
                   .arg(QString::fromUtf8(report.damage->what()));
  }
  return outcome;
}

QString FrameSaving::Save(const std::vector<int>& numbers, const std::string& folder, SaveKind kind,
                          Toolkit::Progress& progress) const {
  const FrameCompose::Survey& screen = source_.survey;
  const long long sheet_pixels =
      static_cast<long long>(numbers.size()) * screen.width * screen.height;
  if (kind == SaveKind::kSheet && sheet_pixels > kLargestSheetPixels) {
    return QString::fromUtf8(kSaveFailed)
        .arg(Toolkit::PathToNativeText(folder), QString::fromUtf8(kSheetTooLarge)
                                                    .arg(numbers.size())
                                                    .arg(screen.width)
                                                    .arg(screen.height)
                                                    .arg(sheet_pixels)
                                                    .arg(kLargestSheetPixels));
  }
  if (kind == SaveKind::kStoredGif) {
    const int written = SaveStoredFrames(numbers, folder, progress);
    return SavedText(static_cast<std::size_t>(written), folder, {},
                     SavedNames(numbers, folder, kind).back());
  }
  return SaveAsTheyAppear(numbers, folder, kind, progress);
}

bool FrameSaving::SaveFrameAs(int number, const std::string& path,
                              Toolkit::Progress& progress) const {
  FrameCompose::SaveRequest request;
  const DroppedAnimation& animation = *source_.animation;
  const std::string own = animation.Extension();
  const bool whole =
      animation.HasOwnWholeFrames() &&
      Toolkit::PathToText(path).endsWith(Toolkit::PathToText(own), Qt::CaseInsensitive);
  request.kind = whole && own == FrameSplit::kFrameExtension ? FrameCompose::FileKind::kFullFrameGif
                                                             : FrameCompose::FileKind::kPng;
  if (whole) request.encode = animation.WholeFrameEncoder();
  request.path_of = [&](int) { return path; };
  request.wanted = [number](int wanted) { return wanted == number; };
  request.last = number;
  return SaveComposed(std::move(request), progress).written != 0;
}

QString SavePathFor(const QString& chosen, const QString& filter,
                    const std::string& own_extension) {
  const QString extension = filter == QString::fromUtf8(kPngFilter)
                                ? QString::fromUtf8(kPngExtension)
                                : QString::fromStdString(own_extension);
  return chosen.endsWith(extension, Qt::CaseInsensitive) ? chosen : chosen + extension;
}

}  // namespace MainWindow
