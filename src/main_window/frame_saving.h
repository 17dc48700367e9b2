// SPDX-License-Identifier: MIT
#pragma once

// Saving the last divided animation's frames where the user chose: as the
// work folder stores them, as they appear (GIFs, PNGs or one sprite sheet),
// or one frame alone. No widget here: the window asks where and how, keeps
// the progress strip and shows the boxes; this writes the files and says
// how it went.

#include <QString>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "frame_compose/frame_compose.h"
#include "frame_compose/save_frames.h"
#include "main_window/dropped_animation.h"
#include "toolkit/progress.h"

namespace MainWindow {

// What a set of frames is saved as: the frame files as stored (in the
// source's format), whole frames in the source's format (a GIF's as GIFs, a
// WebP's as lossless WebPs, an APNG's as PNGs), whole frames as PNGs, or
// one sprite sheet.
enum class SaveKind { kStoredGif, kWholeFrames, kPng, kSheet };

// The animation whose frames are saved: the bytes that were divided, never
// the file read again, which may have changed since.
struct SaveSource {
  std::string source_path;                            // the dropped file: never written over
  std::string base_name;                              // the dropped file's name less its extension
  std::shared_ptr<const DroppedAnimation> animation;  // not null
  FrameCompose::Survey survey;  // its frames as composing counts them, and their picture
};

class FrameSaving {
 public:
  explicit FrameSaving(SaveSource source) : source_(std::move(source)) {}

  // Where saving frame `number` into `folder` writes it: the base name, the
  // frame's three-digit number and `extension`.
  std::string SavedFrameName(const std::string& folder, int number,
                             const std::string& extension) const;
  // Every file saving `numbers` into `folder` as `kind` writes, its JSON
  // last; what a dialog asks about before it replaces any.
  std::vector<std::string> SavedNames(const std::vector<int>& numbers, const std::string& folder,
                                      SaveKind kind) const;

  // Saves frames `numbers` (in order, not empty) into `folder` as `kind`
  // says, with their JSON beside them, drawing on `progress` and letting
  // its events run meanwhile. Stored frames are the frame files as the
  // dropped file's cut makes them, with their format's extension. Returns
  // the text that says how it went: what was saved and where, with the damage that ended a damaged
  // file, or why a sheet too large was refused before a frame was composed. Throws
  // Toolkit::PlatformError for a name that may not be written (the dropped
  // file's among them) or a file that cannot be, and std::exception for
  // other failures; files written before stay.
  QString Save(const std::vector<int>& numbers, const std::string& folder, SaveKind kind,
               Toolkit::Progress& progress) const;

  // Writes frame `number` as it appears to `path`: in the source's own
  // format when `path` ends in its extension (in any case) and that is no
  // PNG (a full-frame GIF, a lossless WebP), else a PNG. False, with nothing
  // written, when the file ends before that frame. Throws as Save does.
  bool SaveFrameAs(int number, const std::string& path, Toolkit::Progress& progress) const;

 private:
  // Hands `save` (empty: FrameCompose::SaveFramesAsTheyAppear) the divided
  // bytes and `request`, filled in with the survey, where the composed
  // frames come from, the progress, the event pump and the dropped file to
  // keep. A source that is no GIF gets the JSON of its own format.
  using Saver = std::function<FrameCompose::SaveReport(std::span<const std::uint8_t> bytes,
                                                       const FrameCompose::SaveRequest& request)>;
  FrameCompose::SaveReport SaveComposed(FrameCompose::SaveRequest request,
                                        Toolkit::Progress& progress, const Saver& save = {}) const;
  // Writes the exact-cut files of `numbers` and their JSON into `folder`;
  // returns how many were written.
  int SaveStoredFrames(const std::vector<int>& numbers, const std::string& folder,
                       Toolkit::Progress& progress) const;
  // Saves frames `numbers` as they appear (GIFs, PNGs or a sheet); the
  // text that says how it went.
  QString SaveAsTheyAppear(const std::vector<int>& numbers, const std::string& folder,
                           SaveKind kind, Toolkit::Progress& progress) const;
  // The extension of the files `kind` writes, the JSON's aside.
  std::string ExtensionOf(SaveKind kind) const;
  // The folder and the base name: where saved frames' names start.
  std::string SavedPrefix(const std::string& folder) const;
  // The columns of a sprite sheet of `frames` frames.
  static int SheetColumns(std::size_t frames);

  SaveSource source_;
};

// The path a save dialog's answer `chosen` names, with the format of the
// chosen `filter`: ".png" for kPngFilter, else `own_extension`, added unless
// the name ends in it already.
QString SavePathFor(const QString& chosen, const QString& filter, const std::string& own_extension);

}  // namespace MainWindow
