#include "frame_split/frame_split.h"

#include <cstring>
#include <limits>
#include <vector>

#include "frame_split/gif_markers.h"
#include "toolkit/conversions.h"
#include "toolkit/file_ops.h"
#include "toolkit/platform_error.h"

namespace FrameSplit {
namespace {

constexpr std::size_t kNotFound = static_cast<std::size_t>(-1);

// First occurrence of `marker` at or after `from`, or kNotFound. memchr on
// the first byte keeps the scan linear for these short, non-self-overlapping
// markers.
template <std::size_t Size>
std::size_t Find(std::span<const std::uint8_t> data, std::size_t from,
                 const std::array<std::uint8_t, Size>& marker) {
  if (data.size() < Size) return kNotFound;
  const std::size_t last_start = data.size() - Size;
  while (from <= last_start) {
    const void* hit = std::memchr(data.data() + from, marker[0], last_start - from + 1);
    if (hit == nullptr) return kNotFound;
    const std::size_t at =
        static_cast<std::size_t>(static_cast<const std::uint8_t*>(hit) - data.data());
    if (std::memcmp(data.data() + at, marker.data(), Size) == 0) return at;
    from = at + 1;
  }
  return kNotFound;
}

std::string Hex(std::span<const std::uint8_t> bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (const std::uint8_t byte : bytes) {
    if (!text.empty()) text += ' ';
    text += kDigits[byte >> 4];
    text += kDigits[byte & 0x0F];
  }
  return text;
}

}  // namespace

DivideError::DivideError(const std::string& source_name, std::int64_t offset,
                         const std::string& reason, int number)
    : std::runtime_error(source_name + ": byte " + std::to_string(offset) + ": " + reason),
      offset_(offset),
      number_(number) {}

std::string FrameFileName(const std::string& output_prefix, int number) {
  return output_prefix + Toolkit::Format(number, kFrameNumberPicture) + kFrameExtension;
}

int SplitAnimation(const std::string& source_path, const std::string& output_prefix,
                   SplitProgress& progress) {
  const std::vector<std::uint8_t> source = Toolkit::ReadWholeFile(source_path);
  return SplitAnimation(source, source_path, output_prefix, progress);
}

int SplitAnimation(std::span<const std::uint8_t> source, const std::string& source_name,
                   const std::string& output_prefix, SplitProgress& progress) {
  if (source.empty()) {
    throw DivideError(source_name, 0, "file is empty", Toolkit::ErrorNumber::kSubscriptOutOfRange);
  }
  if (source.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
    throw DivideError(source_name, 0, "file is 2 GiB or larger", Toolkit::ErrorNumber::kOverflow);
  }

  if (Find(source, 0, kLoopingSignature) == kNotFound) return 0;

  const std::size_t header_end = Find(source, 0, kApplicationExtensionMarker);
  if (header_end == kNotFound) {
    throw DivideError(source_name, static_cast<std::int64_t>(source.size()),
                      "no application extension (" + Hex(kApplicationExtensionMarker) +
                          ") before the end of the file, so there are no header bytes",
                      Toolkit::ErrorNumber::kSubscriptOutOfRange);
  }
  if (header_end == 0) {
    throw DivideError(source_name, 0,
                      "application extension at the start of the file leaves no header bytes",
                      Toolkit::ErrorNumber::kSubscriptOutOfRange);
  }
  const std::span<const std::uint8_t> header = source.first(header_end);

  int expected = 0;
  for (std::size_t at = Find(source, header_end, kGraphicControlExtensionMarker); at != kNotFound;
       at = Find(source, at + 1, kGraphicControlExtensionMarker)) {
    ++expected;
  }
  if (expected == 0) {
    throw DivideError(source_name, static_cast<std::int64_t>(header_end),
                      "no graphic control extension (" + Hex(kGraphicControlExtensionMarker) +
                          ") after the application extension",
                      Toolkit::ErrorNumber::kDivisionByZero);
  }

  const float step = progress.Width() / static_cast<float>(expected);
  int written = 0;
  std::size_t start = Find(source, 0, kGraphicControlExtensionMarker);
  while (start != kNotFound) {
    const std::size_t next = Find(source, start + 1, kGraphicControlExtensionMarker);
    // A body ends one byte before the next marker (that byte is the frame's
    // own block terminator, written back in the tail), or two bytes before
    // the end of the file, where the source's terminator and trailer stand.
    const std::size_t end = next != kNotFound ? next - 1 : source.size() - kFrameTail.size();
    ++written;
    Toolkit::WriteFileInPieces(FrameFileName(output_prefix, written), header,
                               source.subspan(start, end - start), kFrameTail);
    progress.DrawBox(static_cast<float>(written) * step);
    progress.DoEvents();
    start = next;
  }
  progress.Clear();
  return written;
}

}  // namespace FrameSplit
