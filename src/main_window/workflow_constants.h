// SPDX-License-Identifier: MIT
#pragma once

// Numbers and texts of the drop-and-divide workflow and the commands.

#include <chrono>
#include <cstddef>
#include <cstdint>

#include "frame_compose/png_writer.h"
#include "toolkit/platform_error.h"

namespace MainWindow {

inline constexpr char kWorkFolderName[] = "tmp";
inline constexpr char kCacheFolderName[] = "mervane";  // in the user's cache folder

// Strip layout, in twips.
inline constexpr float kNumberBand = 300;   // thumbnail height = Picture1's height less this
inline constexpr double kSlotPadding = 60;  // slot = thumbnail width + this; strip = slots + this
inline constexpr double kThumbnailInset = 30;  // thumbnail's left edge inside its slot
inline constexpr float kNumberGap = 20;        // number's top edge below the thumbnail
// The number's left edge inside the thumbnail's: clear of a picked frame's
// mark (3 pixels wide) and of the dashed focus mark a pixel inside it.
inline constexpr float kNumberIndent = 105;
inline constexpr float kProgressBoxHeight = 200;
inline constexpr double kTwipsPerScrollUnit = 16;
inline constexpr int kSmallChangeDivisor = 4;       // SmallChange = LargeChange / 4
inline constexpr std::size_t kExtensionLength = 4;  // characters cut from the file name

// Screens composed for thumbnails at most (bytes: 2048 x 2048 pixels), so
// that one frame costs the window a few tens of milliseconds; frames of
// larger screens are shown as placeholders of their size.
inline constexpr std::size_t kLargestThumbnailCanvas = std::size_t{16} << 20;

// Frames saved from the window as they appear are composed on pictures of
// at most this many bytes (8192 x 8192 pixels), as the command line's are.
inline constexpr std::size_t kLargestSavedCanvas = std::size_t{256} << 20;

// Frame counts.
inline constexpr int kFrameLimit = 128;   // from here on a division is refused
inline constexpr int kFewestPainted = 2;  // thumbnails are painted from this count up

// Texts.
inline constexpr char kCantDivide[] = "Con't Divide";
inline constexpr char kTooManyFrames[] = "Divide under128images";
// The line below a refusal that says why, as the command line would.
inline constexpr char kWhyNoFile[] = "Nothing that was dropped is a file.";
inline constexpr char kWhyPlaysOnce[] = "This GIF plays once: it has no looping extension.";
inline constexpr char kWhyPng[] = "This is a PNG file, not a GIF.";
inline constexpr char kWhyNotGif[] =
    "This is not a GIF file: it does not start with GIF87a or GIF89a.";
// An animated WebP or APNG whose chunks do not hold together: the format,
// then the file, the byte and the reason.
inline constexpr char kWhyFormatRefused[] = "This is an %1, but it cannot be divided: %2";
inline constexpr char kWhyTooManyFrames[] =
    "%1 frames were written to the work folder; the strip shows fewer than %2.";
inline constexpr char kWhyNoMemory[] =
    "There is not enough memory for it: close other programs, or use mervane-split, which "
    "can write fewer frames at once.";
inline constexpr char kWhyDiskFull[] = "The disk holding the work folder is full: %1";
inline constexpr char kWhyNameTooLong[] =
    "The frame files' names would be longer than the file system allows: give %1 a shorter "
    "name.";
inline constexpr char kOtherFilesDropped[] =
    "%1 files were dropped; only the first, %2, was divided.";
// The count's tooltip for an APNG cut short: the byte, the reason and the
// frames before it, which were divided.
inline constexpr char kCutShortTip[] =
    "The file is damaged at byte %1 (%2): only the %3 frames before it were divided.";
// The same for an APNG whose damage cost no frame (one chunk's length).
inline constexpr char kDamagedWholeTip[] =
    "The file is damaged at byte %1 (%2), but all its %3 frames were divided.";
inline constexpr char kImagesSuffix[] = " Images";
// Logged, never shown, when a step the workflow goes on without fails: the
// step and the reason.
inline constexpr char kStepFailedLog[] = "Mervane: %s failed: %s";
inline constexpr char kWorkFolderRefused[] = "Cannot use %1 as the work folder: %2";
inline constexpr char kCannotOpenWorkFolder[] = "Cannot open the work folder %1: %2";
inline constexpr char kFrameTip[] = "Frame %1, %2 ms";  // a thumbnail's number and delay
inline constexpr char kFrameTipWithoutDelay[] = "Frame %1";
inline constexpr char kIncompleteFrameTip[] =
    "Frame %1, %2 ms (incomplete: the file ends inside this frame)";
// Said after a thumbnail's number and delay: the view it is shown in, the
// part of the picture its file holds, and the frame it repeats.
inline constexpr char kTipAsItAppears[] = ", as it appears";
inline constexpr char kTipAsStored[] = ", as stored";
// An animated WebP's or APNG's frame: how it is left and how it is drawn.
inline constexpr char kFormatFactsTip[] = ", dispose %1, blend %2";
inline constexpr char kStoredDelayTip[] = ", delay %1/%2 s";  // an APNG's, as stored
inline constexpr int kApngDefaultDenominator = 100;           // what an APNG's stored 0 means
inline constexpr char kGifFormatName[] = "GIF";
inline constexpr char kPatchTip[] = " (patch %1x%2 at %3,%4)";
inline constexpr char kSameAsTip[] = ", same as %1";
// Said of a slot that shows no picture, and why.
inline constexpr char kUnshownTip[] = " (cannot be shown: %1)";
inline constexpr char kNoPictureInFile[] = "its file holds no picture";
inline constexpr char kPatchesTip[] =
    "The frame files hold the frames as stored: some hold only the part that changes, "
    "drawn over the frames before. For whole pictures, use \u201cSave frames as they "
    "appear\u2026\u201d.";
inline constexpr char kShowAsTheyAppear[] = "Show frames as they appear";
inline constexpr char kShowAsStored[] = "Show frames as stored";
inline constexpr char kSaveAsTheyAppear[] = "Save frames as they appear\u2026";
// %2: the format of its whole frames, "GIF" or "WebP".
inline constexpr char kSaveFormatQuestion[] = "Save the frames of %1 as %2 files or as PNG files?";
// An APNG's whole frames in its own format are PNGs: one kind to ask about.
inline constexpr char kSaveAsPngQuestion[] = "Save the frames of %1 as PNG files?";
// Said once frames are saved: how many, where, and the JSON beside them.
inline constexpr char kSaved[] = "Saved %1 frames to %2, with %3 beside them.";
inline constexpr char kSavedDamaged[] =
    "\n\nThe file ends inside frame %1, which is saved as far as it goes:\n%2";
inline constexpr char kSaveFailed[] = "Cannot save frames to %1: %2";
// Saved PNG files are named as the frame modules name every PNG they write.
using FrameCompose::kPngExtension;
// The strip's menu, and the dialogs behind it.
inline constexpr char kCopyFrame[] = "Copy frame %1";
inline constexpr char kCopyFrames[] = "Copy %1 frames";
inline constexpr char kSaveFramesAs[] = "Save %1 frames as\u2026";
inline constexpr char kShowFrames[] = "Show %1 frames in folder";
inline constexpr char kSaveKindQuestion[] = "How should the %1 frames of %2 be saved?";
// The folder dialog of a save of several frames, and its button.
inline constexpr char kSaveFramesTo[] = "Save %1 frames to\u2026";
inline constexpr char kSaveHere[] = "&Save here";
// The kinds a save of several frames offers, each named for what it
// writes, with a line that says what that is. Alt and the marked letter
// choose one.
// %1: the frame files' format, "GIF", "WebP" or "APNG".
inline constexpr char kStoredKind[] = "Frame files as &stored (%1 patches)";  // Alt+S
inline constexpr char kStoredKindExplained[] =
    "The work folder's frame files, byte for byte; some may hold only the part that changes.";
// %1: "GIF" (Alt+G) or "WebP" (Alt+W).
inline constexpr char kWholeKind[] = "Whole frames as &%1";
inline constexpr char kWholeKindExplained[] =
    "One %1 per frame, each the whole picture as a viewer shows it.";
inline constexpr char kPngKind[] = "Whole frames as &PNG";  // Alt+P
inline constexpr char kPngKindExplained[] =
    "One PNG per frame, each the whole picture as a viewer shows it.";
inline constexpr char kSheetKind[] = "One sprite s&heet (PNG)";  // Alt+H
inline constexpr char kSheetKindExplained[] =
    "Every frame's whole picture in one PNG, side by side in as square a grid as they make.";
inline constexpr char kSaveKindNote[] =
    "A JSON file with each frame's number, delay and file is written beside them.";
inline constexpr char kSavedSheet[] = "Saved %1 frames to the sprite sheet %2, with %3 beside it.";
inline constexpr char kSheetTooLarge[] =
    "%1 frames of %2 x %3 are %4 pixels to write, more than the limit of %5; nothing written";
// A sprite sheet saved from the window holds at most this many pixels.
inline constexpr long long kLargestSheetPixels = 64LL << 20;
inline constexpr char kSaveFrameAs[] = "Save frame %1 as\u2026";
inline constexpr char kShowFrame[] = "Show frame %1 in folder";
inline constexpr char kOpen[] = "Open\u2026";
// What Open… lists: the formats this build divides.
#if MERVANE_FRAME_FORMATS
inline constexpr char kOpenFilter[] =
    "Animations (*.gif *.GIF *.webp *.WEBP *.png *.PNG *.apng *.APNG);;All files (*)";
#else
inline constexpr char kOpenFilter[] = "GIF images (*.gif *.GIF);;All files (*)";
#endif
inline constexpr char kPngFilter[] = "PNG image (*.png)";
// %1: "GIF" or "WebP"; %2: its extension.
inline constexpr char kWholeFilter[] = "Full-frame %1 image (*%2)";
inline constexpr char kSaveFrameFailed[] = "Cannot save %1: %2";
inline constexpr char kCopyFrameFailed[] = "Cannot copy frame %1: %2";
inline constexpr char kFrameNotInFile[] = "the file ends before frame %1";
inline constexpr char kFrameFileGone[] = "Cannot drag frame %1 out: %2 is not in the work folder.";
inline constexpr char kCopiedFileGone[] = "Cannot copy frame %1: %2 is not in the work folder.";
// Asked before a save writes over files: each named, up to a few.
inline constexpr char kReplaceOne[] = "%1 is already in %2. Replace it?";
inline constexpr char kReplaceSome[] =
    "%1 of the files about to be written are already in %2:\n"
    "%3\nReplace them?";
inline constexpr char kReplaceMore[] = "\u2026 and %1 more";
inline constexpr int kReplaceListed = 8;       // names listed at most
inline constexpr int kLongestListedName = 64;  // characters; longer ones are cut in the middle
// An action asked for on frames that a later drop has taken away.
inline constexpr char kAnotherFileDivided[] =
    "Another file was divided meanwhile, so nothing was done: pick its frames and try again.";
inline constexpr char kReplace[] = "Replace";
// A later start of the program hands its file to the window already open
// for the same work folder.
inline constexpr char kHandOverTaken[] = "taken";
inline constexpr char kHandOverRefused[] = "busy";
inline constexpr char kHandOverBusy[] =
    "Mervane is already open and busy with another file. Drop %1 on it when it has finished.";
inline constexpr char kHandOverUnanswered[] =
    "Mervane is already open for the work folder %1, but it does not answer.";
// A later start that cannot make its file's name whole (its current folder
// was deleted) hands nothing over: the window would read it from its own.
inline constexpr char kHandOverNoFolder[] =
    "Mervane is already open, but %1 cannot be handed to it: the folder that name is "
    "relative to no longer exists. Drop the file on the window instead.";
inline constexpr std::chrono::milliseconds kHandOverPatience{10000};
// No folder of the user's own can hold the lock that keeps to one window.
inline constexpr char kNoSafeLockFolder[] =
    "Mervane cannot make sure that it is the only window on the work folder %1: it cannot "
    "keep its lock in %2, because %3. This window opens anyway, but a later start of Mervane "
    "will open a window of its own instead of handing its file to this one.";

// The number the start-up box shows beside a failure that keeps the window
// from opening ("Run-time error 'N'"), by the failure's kind: the numbers
// the window has always shown for these failures. Nothing inside the
// program reads them.
constexpr int ErrorNumberFor(Toolkit::FailureKind kind) {
  using Toolkit::FailureKind;
  switch (kind) {
    case FailureKind::kTooLarge:
    case FailureKind::kNoSize:
      return 6;  // overflow
    case FailureKind::kEmpty:
      return 9;  // subscript out of range: an empty file has no first byte
    case FailureKind::kNoHeight:
      return 11;  // division by zero
    case FailureKind::kNotFound:
      return 53;  // file not found
    case FailureKind::kDiskFull:
      return 61;  // disk full
    case FailureKind::kDenied:
      return 70;  // permission denied
    case FailureKind::kUnusable:
      return 75;  // path/file access error
    case FailureKind::kNoSuchFolder:
      return 76;  // path not found
  }
  return 75;
}

}  // namespace MainWindow
