// SPDX-License-Identifier: MIT
// Animated WebP and APNG: sniffing, the exact cut and frames as they
// appear, on files made by Debian's own encoders (img2webp, gif2webp,
// apngasm) and compared with libwebp's own frame extraction (webpmux) and
// decoder (dwebp); hostile files made by changing a few bytes.

#include <gtest/gtest.h>
#include <webp/demux.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "frame_compose/frame_compose.h"
#include "frame_compose/frame_files.h"
#include "frame_formats/apng_cut.h"
#include "frame_formats/format_compose.h"
#include "frame_formats/format_sniff.h"
#include "frame_formats/format_source.h"
#include "frame_formats/png_chunks.h"
#include "frame_formats/still_decode.h"
#include "frame_formats/webp_cut.h"
#include "frame_split/frame_split.h"
#include "support/apng_writer.h"
#include "support/gif_writer.h"
#include "support/process.h"
#include "support/temp_dir.h"

namespace {

using FrameCompose::Canvas;
using FrameFormats::Fault;
using Bytes = std::vector<std::uint8_t>;

enum class Alpha { kOpaque, kBinary, kPartial };

std::uint32_t Rgba(int r, int g, int b, int a) {
  const std::uint8_t bytes[4] = {static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(g),
                                 static_cast<std::uint8_t>(b), static_cast<std::uint8_t>(a)};
  std::uint32_t pixel;
  std::memcpy(&pixel, bytes, 4);
  return pixel;
}

// Pictures whose later frames change a moving part of the first, so that
// encoders store sub-rectangles and blend them.
std::vector<Canvas> Pictures(int width, int height, int count, Alpha alpha) {
  std::vector<Canvas> pictures;
  for (int k = 0; k < count; ++k) {
    Canvas canvas{width, height, {}, {}, {}, -1};
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        const bool changed = k > 0 && x >= k && x < k + width / 2 && y >= k / 2;
        const int t = changed ? k : 0;
        int a = 255;
        if (alpha == Alpha::kBinary) a = (x + y + t) % 3 == 0 ? 0 : 255;
        if (alpha == Alpha::kPartial) a = (x * 29 + y * 11 + t * 40) & 255;
        canvas.pixels.push_back(a == 0 ? 0u
                                       : Rgba((x * 37 + t * 50) & 255, (y * 59 + t * 13) & 255,
                                              ((x ^ y) * 7 + t * 90) & 255, a));
      }
    }
    pictures.push_back(std::move(canvas));
  }
  return pictures;
}

// Encoders may keep any colour under a fully transparent pixel.
std::vector<std::uint32_t> Visible(const std::vector<std::uint32_t>& pixels) {
  std::vector<std::uint32_t> out = pixels;
  for (std::uint32_t& pixel : out) {
    if ((pixel >> 24) == 0) pixel = 0;  // little-endian: A is the high byte
  }
  return out;
}

std::string Tool(const std::string& name) { return "/usr/bin/" + name; }

// Debian's encoders are Linux programs, to which the Windows build, run
// under Wine, cannot hand its paths: the cases that need them skip there.
bool HaveTools(std::initializer_list<const char*> names) {
#if defined(_WIN32)
  return false;
#endif
  for (const char* name : names) {
    if (!std::filesystem::exists(Tool(name))) return false;
  }
  return true;
}

void RunTool(const std::vector<std::string>& argv) {
  const GifTest::ProcessResult result = GifTest::RunProcess(argv);
  ASSERT_EQ(result.exit_code, 0) << argv[0] << ": " << result.err;
}

// Writes `pictures` as PNG files in `dir`; returns their paths.
std::vector<std::string> WritePngs(const GifTest::TempDir& dir,
                                   const std::vector<Canvas>& pictures) {
  std::vector<std::string> paths;
  for (std::size_t i = 0; i < pictures.size(); ++i) {
    paths.push_back(dir.File("in" + std::to_string(i + 10) + ".png"));
    GifTest::WriteBytes(paths.back(), FrameCompose::EncodePng(pictures[i]));
  }
  return paths;
}

struct Composed {
  std::vector<FrameFormats::FrameRecord> records;
  std::vector<Canvas> canvases;
};

using Composer = std::function<void(
    std::span<const std::uint8_t>, const std::string&, const FrameFormats::FormatFrameSink&,
    FrameFormats::AnimationRecord&, const FrameFormats::FormatComposeOptions&)>;

Composed ComposeAll(const Composer& compose, const Bytes& source, int threads = 1) {
  Composed out;
  FrameFormats::AnimationRecord animation;
  FrameFormats::FormatComposeOptions options;
  options.threads = threads;
  compose(
      source, "source",
      [&](const FrameFormats::FrameRecord& record, const Canvas& canvas) {
        out.records.push_back(record);
        out.canvases.push_back(canvas);
        return true;
      },
      animation, options);
  return out;
}

// Every frame as libwebp's own animation decoder composes it: the
// reference the composer must meet byte for byte. Empty when it refuses.
std::vector<Bytes> AnimDecoderFrames(const Bytes& source) {
  std::vector<Bytes> frames;
  const WebPData data{source.data(), source.size()};
  WebPAnimDecoderOptions options;
  WebPAnimDecoderOptionsInit(&options);
  options.color_mode = MODE_RGBA;
  WebPAnimDecoder* decoder = WebPAnimDecoderNew(&data, &options);
  WebPAnimInfo info;
  std::uint8_t* pixels = nullptr;
  int timestamp = 0;
  while (decoder && WebPAnimDecoderGetInfo(decoder, &info) &&
         WebPAnimDecoderGetNext(decoder, &pixels, &timestamp)) {
    frames.emplace_back(pixels, pixels + std::size_t{info.canvas_width} * info.canvas_height * 4);
  }
  WebPAnimDecoderDelete(decoder);
  return frames;
}

Bytes BytesOf(const Canvas& canvas) {
  const auto* at = reinterpret_cast<const std::uint8_t*>(canvas.pixels.data());
  return Bytes(at, at + canvas.pixels.size() * 4);
}

// Composes `source` and expects libwebp's animation decoder's frames.
void ExpectAnimDecoderFrames(const Bytes& source, const std::string& name) {
  const std::vector<Bytes> reference = AnimDecoderFrames(source);
  const Composed composed = ComposeAll(FrameFormats::ComposeWebp, source);
  ASSERT_EQ(composed.canvases.size(), reference.size()) << name;
  for (std::size_t i = 0; i < reference.size(); ++i) {
    EXPECT_TRUE(BytesOf(composed.canvases[i]) == reference[i]) << name << " frame " << i + 1;
  }
}

// The width and height a PAM file's header gives.
std::pair<int, int> PamSize(const Bytes& pam) {
  const std::string text(pam.begin(), pam.begin() + std::min<std::size_t>(pam.size(), 100));
  const auto field = [&](const char* name) {
    const std::size_t at = text.find(name);
    return at == std::string::npos ? -1 : std::stoi(text.substr(at + std::strlen(name)));
  };
  return {field("WIDTH "), field("HEIGHT ")};
}

// --- WebP, against libwebp's own tools -------------------------------------

struct WebpCase {
  const char* name;
  std::vector<std::string> options;
  int width, height, frames;
  Alpha alpha;
  bool lossless;
};

class WebpRoundTrip : public testing::TestWithParam<WebpCase> {};

TEST_P(WebpRoundTrip, CutMatchesWebpmuxAndFramesComeBack) {
  if (!HaveTools({"img2webp", "webpmux", "dwebp"})) GTEST_SKIP() << "webp tools missing";
  const WebpCase& c = GetParam();
  GifTest::TempDir dir;
  const std::vector<Canvas> pictures = Pictures(c.width, c.height, c.frames, c.alpha);
  const std::vector<std::string> pngs = WritePngs(dir, pictures);
  std::vector<std::string> argv = {Tool("img2webp")};
  for (std::size_t i = 0; i < pngs.size(); ++i) {
    argv.insert(argv.end(), c.options.begin(), c.options.end());
    argv.insert(argv.end(), {"-d", std::to_string(40 + 30 * i), pngs[i]});
  }
  argv.insert(argv.end(), {"-o", dir.File("anim.webp")});
  ASSERT_NO_FATAL_FAILURE(RunTool(argv));
  const Bytes source = GifTest::ReadBytes(dir.File("anim.webp"));
  EXPECT_EQ(FrameFormats::SniffFormat(source), FrameFormats::SourceFormat::kAnimatedWebp);

  const FrameFormats::WebpPlan plan = FrameFormats::PlanWebpCuts(source, "anim.webp");
  ASSERT_EQ(plan.frames.size(), pictures.size());
  for (int n = 1; n <= c.frames; ++n) {
    const std::string reference = dir.File("ref" + std::to_string(n) + ".webp");
    const std::string ours = dir.File("ours" + std::to_string(n) + ".webp");
    ASSERT_NO_FATAL_FAILURE(RunTool({Tool("webpmux"), "-get", "frame", std::to_string(n),
                                     dir.File("anim.webp"), "-o", reference}));
    const Bytes cut = FrameFormats::WebpFrameFileBytes(source, plan, n);
    EXPECT_EQ(cut, GifTest::ReadBytes(reference)) << "frame " << n;
    // The cut reads the frame's own chunks alone: with every other byte
    // changed it comes out the same, so cutting every frame of a file costs
    // its size, not its size times its frame count.
    const FrameFormats::ByteRange own = plan.images[n - 1].chunks;
    Bytes others_changed(source.size(), 0xA5);
    std::copy_n(source.begin() + own.offset, own.length, others_changed.begin() + own.offset);
    EXPECT_EQ(FrameFormats::WebpFrameFileBytes(others_changed, plan, n), cut) << "frame " << n;
    EXPECT_EQ(FrameFormats::SniffFormat(cut), FrameFormats::SourceFormat::kStillWebp);
    // The region the plan gives is the size an independent decoder finds.
    GifTest::WriteBytes(ours, cut);
    ASSERT_NO_FATAL_FAILURE(RunTool({Tool("dwebp"), ours, "-pam", "-o", ours + ".pam"}));
    const FrameFormats::FrameRecord& record = plan.frames[n - 1];
    EXPECT_EQ(PamSize(GifTest::ReadBytes(ours + ".pam")),
              std::make_pair(record.width, record.height));
    EXPECT_EQ(record.delay_ms, 40 + 30 * (n - 1));
  }

  ExpectAnimDecoderFrames(source, c.name);
  const Composed composed = ComposeAll(FrameFormats::ComposeWebp, source);
  ASSERT_EQ(composed.canvases.size(), pictures.size());
  if (c.lossless) {
    for (std::size_t i = 0; i < pictures.size(); ++i) {
      EXPECT_EQ(Visible(composed.canvases[i].pixels), Visible(pictures[i].pixels))
          << "frame " << i + 1;
    }
  } else {
    // Frame 1 covers the empty canvas: it is the first cut as dwebp decodes it.
    const Bytes pam = GifTest::ReadBytes(dir.File("ours1.webp.pam"));
    const std::size_t size = composed.canvases[0].pixels.size() * 4;
    ASSERT_GE(pam.size(), size);
    EXPECT_EQ(
        0, std::memcmp(pam.data() + pam.size() - size, composed.canvases[0].pixels.data(), size));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Encoders, WebpRoundTrip,
    testing::Values(WebpCase{"lossless_alpha_odd", {"-lossless"}, 17, 9, 4, Alpha::kPartial, true},
                    WebpCase{"lossless_cutout", {"-lossless"}, 31, 7, 3, Alpha::kBinary, true},
                    WebpCase{"lossy", {"-lossy", "-q", "70"}, 15, 11, 3, Alpha::kOpaque, false},
                    WebpCase{"lossy_alpha", {"-lossy"}, 13, 13, 3, Alpha::kPartial, false},
                    WebpCase{"mixed_alpha", {"-mixed"}, 12, 10, 4, Alpha::kPartial, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WebpFromGif, Gif2webpFramesMatchTheGifComposer) {
  if (!HaveTools({"gif2webp", "webpmux"})) GTEST_SKIP() << "webp tools missing";
  GifTest::TempDir dir;
  GifTest::Animation gif = GifTest::SolidFrames(4, 7, 5);
  gif.frames[1].left = 2, gif.frames[1].width = 3, gif.frames[1].disposal = 2;
  gif.frames[2].transparent = 0, gif.frames[3].disposal = 3;
  const Bytes gif_bytes = GifTest::Encode(gif);
  GifTest::WriteBytes(dir.File("a.gif"), gif_bytes);
  ASSERT_NO_FATAL_FAILURE(
      RunTool({Tool("gif2webp"), "-quiet", dir.File("a.gif"), "-o", dir.File("a.webp")}));
  const Bytes source = GifTest::ReadBytes(dir.File("a.webp"));
  std::vector<Canvas> expected;
  FrameCompose::AnimationFacts facts;
  FrameCompose::Compose(
      gif_bytes, "a.gif",
      [&](const FrameCompose::FrameFacts&, const Canvas* canvas) {
        return expected.push_back(*canvas), true;
      },
      facts);
  ExpectAnimDecoderFrames(source, "gif2webp");
  const Composed composed = ComposeAll(FrameFormats::ComposeWebp, source);
  ASSERT_EQ(composed.canvases.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(Visible(composed.canvases[i].pixels), Visible(expected[i].pixels)) << i + 1;
  }
}

// --- WebP frames placed by hand -------------------------------------------

struct PlacedFrame {
  int left, top, width, height;
  bool dispose_background, no_blend;
  Alpha alpha;
  bool alpha_hint_lies = false;  // the VP8L header says opaque, the pixels are not
};

void Append(Bytes& out, const char* fourcc, const Bytes& data) {
  out.insert(out.end(), fourcc, fourcc + 4);
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(data.size() >> (8 * i)));
  out.insert(out.end(), data.begin(), data.end());
  if (data.size() & 1) out.push_back(0);
}

void Append24(Bytes& out, int value) {
  for (int i = 0; i < 3; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// An animated WebP of lossless frames placed as `frames` say, each frame a
// different picture.
Bytes PlacedAnimation(int width, int height, const std::vector<PlacedFrame>& frames) {
  Bytes body = {'W', 'E', 'B', 'P'};
  Bytes extended = {0x12, 0, 0, 0};  // animation and alpha flags
  Append24(extended, width - 1), Append24(extended, height - 1);
  Append(body, "VP8X", extended);
  Append(body, "ANIM", {0, 0, 0, 0, 0, 0});
  for (std::size_t k = 0; k < frames.size(); ++k) {
    const PlacedFrame& f = frames[k];
    Canvas picture = Pictures(f.width, f.height, static_cast<int>(k) + 1, f.alpha).back();
    const Bytes still = FrameFormats::EncodeLosslessWebp(picture);
    Bytes image(still.begin() + 12, still.end());  // the VP8L chunk
    if (f.alpha_hint_lies) image[8 + 4] &= static_cast<std::uint8_t>(~0x10);
    Bytes data;
    Append24(data, f.left / 2), Append24(data, f.top / 2);
    Append24(data, f.width - 1), Append24(data, f.height - 1), Append24(data, 50);
    data.push_back(
        static_cast<std::uint8_t>((f.dispose_background ? 1 : 0) | (f.no_blend ? 2 : 0)));
    data.insert(data.end(), image.begin(), image.end());
    Append(body, "ANMF", data);
  }
  Bytes file = {'R', 'I', 'F', 'F'};
  for (int i = 0; i < 4; ++i) file.push_back(static_cast<std::uint8_t>(body.size() >> (8 * i)));
  file.insert(file.end(), body.begin(), body.end());
  return file;
}

TEST(WebpCompose, EveryFrameIsTheAnimationDecodersFrame) {
  constexpr int kW = 10, kH = 8;
  constexpr Alpha P = Alpha::kPartial, B = Alpha::kBinary;
  const struct {
    const char* name;
    std::vector<PlacedFrame> frames;
  } cases[] = {
      {"blended over what stays", {{0, 0, kW, kH, false, false, P}, {2, 2, 5, 4, false, false, P}}},
      // Frame 3 blends over the canvas except where frame 2 was cleared.
      {"blended beside a cleared region",
       {{0, 0, kW, kH, false, false, P},
        {2, 0, 4, 5, true, false, P},
        {0, 2, 8, 6, false, false, P}}},
      {"replacing what is under it",
       {{0, 0, kW, kH, false, false, P},
        {4, 2, 6, 6, false, true, B},
        {0, 0, kW, kH, false, true, P}}},
      // Covering and "opaque" by its header: drawn afresh, not blended.
      {"an alpha hint that lies",
       {{0, 0, kW, kH, false, false, P}, {0, 0, kW, kH, false, false, P, true}}},
      // Each frame after one cleared away that itself started afresh starts afresh.
      {"a chain of frames started afresh",
       {{0, 0, kW, kH, true, false, B},
        {2, 2, 4, 4, true, false, P},
        {4, 0, 6, 8, true, false, P},
        {0, 4, 8, 4, false, false, P}}},
  };
  for (const auto& c : cases) ExpectAnimDecoderFrames(PlacedAnimation(kW, kH, c.frames), c.name);
}

TEST(WebpCompose, StopsWithTheSinkAndNamesADamagedFrame) {
  Bytes source = PlacedAnimation(6, 6,
                                 {{0, 0, 6, 6, false, false, Alpha::kPartial},
                                  {0, 0, 6, 6, false, false, Alpha::kPartial},
                                  {0, 0, 6, 6, false, false, Alpha::kPartial}});
  const FrameFormats::WebpPlan plan = FrameFormats::PlanWebpCuts(source, "a.webp");
  const std::size_t image = plan.images[1].chunks.offset;
  // Frame 2's VP8L data past its header, so that only decoding it fails.
  std::fill(source.begin() + image + 8 + 5, source.begin() + image + plan.images[1].chunks.length,
            0xFF);
  int pumped = 0, shown = 0;
  FrameFormats::FormatComposeOptions options;
  options.pump = [&] { ++pumped; };
  FrameFormats::AnimationRecord animation;
  const auto stop_after = [&](int last) {
    return [&shown, last](const auto&, const auto&) { return ++shown < last; };
  };
  FrameFormats::ComposeWebp(source, "a.webp", stop_after(1), animation, options);
  EXPECT_EQ(pumped, 1);  // frame 2 was never read
  try {
    FrameFormats::ComposeWebp(source, "a.webp", stop_after(3), animation, options);
    ADD_FAILURE() << "a damaged frame composed";
  } catch (const FrameCompose::ComposeError& damaged) {
    EXPECT_EQ(damaged.frame(), 2);
    EXPECT_EQ(damaged.offset(), image);
  }
  EXPECT_EQ(shown, 2);
}

// --- APNG, made by apngasm -------------------------------------------------

struct ApngCase {
  const char* name;
  int width, height, frames;
  Alpha alpha;
  bool skip_first;  // apngasm -f: the first picture is a default image only
};

class ApngRoundTrip : public testing::TestWithParam<ApngCase> {};

TEST_P(ApngRoundTrip, FramesComeBackAndCutsHoldTheFramesData) {
  if (!HaveTools({"apngasm"})) GTEST_SKIP() << "apngasm missing";
  const ApngCase& c = GetParam();
  GifTest::TempDir dir;
  const std::vector<Canvas> pictures = Pictures(c.width, c.height, c.frames, c.alpha);
  std::vector<std::string> argv = {Tool("apngasm"), dir.File("anim.png")};
  const std::vector<std::string> pngs = WritePngs(dir, pictures);
  argv.insert(argv.end(), pngs.begin(), pngs.end());
  argv.insert(argv.end(), {"3", "20"});
  if (c.skip_first) argv.push_back("-f");
  ASSERT_NO_FATAL_FAILURE(RunTool(argv));
  const Bytes source = GifTest::ReadBytes(dir.File("anim.png"));
  ASSERT_EQ(FrameFormats::SniffFormat(source), FrameFormats::SourceFormat::kApng);

  const FrameFormats::ApngPlan plan = FrameFormats::PlanApngCuts(source, "anim.png");
  const std::size_t first = c.skip_first ? 1 : 0;
  ASSERT_EQ(plan.frames.size(), pictures.size() - first);
  EXPECT_EQ(plan.default_image_is_frame, !c.skip_first);
  for (const FrameFormats::ApngFrame& frame : plan.frames) {
    const Bytes cut = FrameFormats::ApngFrameFileBytes(source, plan, frame.record.number);
    EXPECT_EQ(FrameFormats::SniffFormat(cut), FrameFormats::SourceFormat::kPng);
    // Every chunk whole, IHDR the frame's size, and the IDATs' data the
    // frame's own data in order.
    namespace Png = FrameFormats::Png;
    Png::Chunk chunk;
    Bytes cut_data, own_data;
    for (std::size_t at = Png::kSignatureSize; at < cut.size(); at = chunk.end()) {
      ASSERT_TRUE(Png::ReadChunk(cut, at, true, chunk).ok());
      if (chunk.type == Png::kImageHeader) {
        EXPECT_EQ(Png::ReadBig32(chunk.data.data()),
                  static_cast<std::uint32_t>(frame.record.width));
        EXPECT_EQ(Png::ReadBig32(chunk.data.data() + 4),
                  static_cast<std::uint32_t>(frame.record.height));
      }
      if (chunk.type == Png::kImageData)
        cut_data.insert(cut_data.end(), chunk.data.begin(), chunk.data.end());
    }
    for (const FrameFormats::ByteRange& range : frame.data) {
      own_data.insert(own_data.end(), source.begin() + range.offset,
                      source.begin() + range.offset + range.length);
    }
    EXPECT_EQ(cut_data, own_data);
    EXPECT_FALSE(own_data.empty());
  }

  const Composed composed = ComposeAll(FrameFormats::ComposeApng, source);
  ASSERT_EQ(composed.canvases.size(), pictures.size() - first);
  for (std::size_t i = 0; i < composed.canvases.size(); ++i) {
    EXPECT_EQ(Visible(composed.canvases[i].pixels), Visible(pictures[i + first].pixels)) << i + 1;
    EXPECT_EQ(composed.records[i].delay_ms, 150);  // 3/20 s
    EXPECT_EQ(composed.records[i].delay_den, 20);
  }
}

INSTANTIATE_TEST_SUITE_P(Encoders, ApngRoundTrip,
                         testing::Values(ApngCase{"rgba_odd", 19, 7, 4, Alpha::kPartial, false},
                                         ApngCase{"cutout", 12, 10, 3, Alpha::kBinary, false},
                                         ApngCase{"opaque", 16, 16, 3, Alpha::kOpaque, false},
                                         ApngCase{"default_image_apart", 9, 5, 4, Alpha::kPartial,
                                                  true}),
                         [](const auto& info) { return std::string(info.param.name); });

// --- APNG compose rules, on files made here -------------------------------

const std::uint32_t kRed = Rgba(255, 0, 0, 255), kGreen = Rgba(0, 255, 0, 255),
                    kBlue = Rgba(0, 0, 255, 255), kHalfBlue = Rgba(0, 0, 255, 128);

ApngTest::Frame Op(int left, std::uint32_t colour, int dispose, int blend) {
  ApngTest::Frame frame = ApngTest::Solid(left, 0, left == 0 ? 4 : 1, 1, colour);
  frame.dispose = dispose;
  frame.blend = blend;
  return frame;
}

struct OpCase {
  const char* name;
  std::vector<ApngTest::Frame> frames;
  std::vector<std::uint32_t> last;  // the last frame as it appears, 4 x 1
};

// Makes every frame's zlib stream declare a 512-byte window, which the
// tests' tiny frames never reach past.
void NarrowWindows(Bytes& png) {
  for (const char* type : {"IDAT", "fdAT"}) {
    for (int nth = 0;; ++nth) {
      const std::size_t chunk = ApngTest::FindChunk(png, type, nth);
      if (chunk == std::string::npos) break;
      const std::size_t at = chunk + 8 + (type[0] == 'f' ? 4 : 0);
      png[at] = 0x18;  // deflate, CINFO 1
      png[at + 1] &= 0xE0;
      png[at + 1] |= static_cast<std::uint8_t>(31 - (png[at] * 256 + png[at + 1]) % 31) % 31;
      ApngTest::FixCrc(png, chunk);
    }
  }
}

TEST(ApngCompose, DisposeAndBlendOps) {
  const OpCase cases[] = {
      {"none keeps",
       {Op(0, kRed, 0, 0), Op(1, kGreen, 0, 0), Op(2, kBlue, 0, 0)},
       {kRed, kGreen, kBlue, kRed}},
      {"background clears the region",
       {Op(0, kRed, 0, 0), Op(1, kGreen, 1, 0), Op(2, kBlue, 0, 0)},
       {kRed, 0, kBlue, kRed}},
      {"previous restores the region",
       {Op(0, kRed, 0, 0), Op(1, kGreen, 2, 0), Op(2, kBlue, 0, 0)},
       {kRed, kRed, kBlue, kRed}},
      {"previous on frame 1 clears",
       {Op(0, kRed, 2, 0), Op(1, kGreen, 0, 0), Op(2, kBlue, 0, 0)},
       {0, kGreen, kBlue, 0}},
      {"over mixes by alpha",
       {Op(0, kRed, 0, 0), Op(1, kHalfBlue, 0, 1), Op(3, 0, 0, 1)},
       {kRed, Rgba(127, 0, 128, 255), kRed, kRed}},
      {"source replaces",
       {Op(0, kRed, 0, 0), Op(1, kHalfBlue, 0, 0), Op(3, 0, 0, 0)},
       {kRed, kHalfBlue, kRed, 0}},
      {"over the empty canvas",
       {Op(0, kHalfBlue, 1, 1), Op(1, kHalfBlue, 0, 1), Op(2, kGreen, 0, 1)},
       {0, kHalfBlue, kGreen, 0}},
  };
  for (const OpCase& c : cases) {
    ApngTest::Animation animation;
    animation.width = 4;
    animation.frames = c.frames;
    // Frames decoded ahead on other threads are drawn in the same order;
    // streams declaring a small window are inflated by zlib, not libdeflate.
    for (const bool narrow : {false, true}) {
      Bytes png = ApngTest::Encode(animation);
      if (narrow) NarrowWindows(png);
      for (const int threads : {1, 3}) {
        const Composed composed = ComposeAll(FrameFormats::ComposeApng, png, threads);
        ASSERT_EQ(composed.canvases.size(), 3u) << c.name;
        EXPECT_EQ(composed.canvases[2].pixels, c.last)
            << c.name << ", threads " << threads << ", narrow " << narrow;
      }
    }
  }
}

TEST(ApngCompose, DelaysAndTheDefaultImage) {
  ApngTest::Animation animation;
  animation.width = 4;
  animation.default_image = ApngTest::Solid(0, 0, 4, 1, kGreen).rgba;
  animation.frames = {Op(1, kRed, 0, 0), Op(2, kBlue, 0, 0)};
  animation.frames[0].delay_num = 3, animation.frames[0].delay_den = 0;  // 3/100 s
  animation.frames[1].delay_num = 1, animation.frames[1].delay_den = 3;
  const Composed composed = ComposeAll(FrameFormats::ComposeApng, ApngTest::Encode(animation));
  ASSERT_EQ(composed.records.size(), 2u);
  EXPECT_EQ(composed.records[0].delay_ms, 30);
  EXPECT_EQ(composed.records[1].delay_ms, 333);
  // The default image is never drawn: what no frame covers stays empty.
  EXPECT_EQ(composed.canvases[1].pixels, (std::vector<std::uint32_t>{0, kRed, kBlue, 0}));
}

TEST(ApngCompose, SixteenBitSamplesKeepTheirHighByteAsTheyAppearAndAlone) {
  ApngTest::Animation animation;
  animation.width = 2;
  animation.sixteen_bit = true;
  const std::uint32_t half = Rgba(200, 100, 50, 128);
  animation.frames = {ApngTest::Solid(0, 0, 2, 1, half), ApngTest::Solid(0, 0, 2, 1, kHalfBlue)};
  const Bytes bytes = ApngTest::Encode(animation);
  const Composed composed = ComposeAll(FrameFormats::ComposeApng, bytes);
  ASSERT_EQ(composed.canvases.size(), 2u);
  EXPECT_EQ(composed.canvases[0].pixels, (std::vector<std::uint32_t>{half, half}));
  const Bytes alone =
      FrameFormats::ApngFrameFileBytes(bytes, FrameFormats::PlanApngCuts(bytes, "deep.png"), 1);
  EXPECT_EQ(
      FrameFormats::DecodeStill(FrameFormats::SourceFormat::kPng, alone, "deep001.png", 1).pixels,
      composed.canvases[0].pixels);
}

TEST(ApngJson, AKeptFrameStandingForARunGivesTheRunsExactLength) {
  ApngTest::Animation animation;
  animation.width = 4;
  animation.frames = {Op(0, kRed, 0, 0), Op(0, kRed, 0, 0), Op(0, kRed, 0, 0), Op(0, kRed, 0, 0)};
  for (auto& frame : animation.frames) frame.delay_num = 1, frame.delay_den = 3;
  animation.frames[2].delay_den = 0;      // 1/100 s
  animation.frames[3].delay_den = 65521;  // a prime
  const Bytes bytes = ApngTest::Encode(animation);
  const FrameFormats::FormatSource source(FrameFormats::SourceFormat::kApng, bytes, "r.png");
  struct Case {
    std::vector<int> run;
    const char* says;
  };
  for (const auto& [run, says] : {
           Case{{1},
                "\"delay_ms\": 333, \"dispose\": \"none\", \"blend\": \"source\", "
                "\"delay_num\": 1, \"delay_den\": 3}"},
           Case{{1, 2},
                "\"delay_ms\": 666, \"dispose\": \"none\", \"blend\": \"source\", "
                "\"delay_num\": 2, \"delay_den\": 3, \"stands_for\": [1, 2]}"},
           Case{{2, 3, 4},
                "\"delay_ms\": 343, \"dispose\": \"none\", \"blend\": \"source\", "
                "\"delay_num\": 6748963, \"delay_den\": 19656300, "
                "\"stands_for\": [2, 3, 4]}"},
       }) {
    FrameCompose::SetFacts set;
    set.frames.push_back({{}, run, {}, -1, 0});
    set.frames.back().facts.number = run.front();
    const std::string json = source.Json(set);
    EXPECT_NE(json.find(says), std::string::npos) << json;
  }
}

TEST(ApngCompose, PumpsWhileALargeFrameIsDecodedAndMayStopIt) {
  ApngTest::Animation animation;
  animation.width = 512, animation.height = 256;  // two pumps' worth of pixels a frame
  animation.frames = {ApngTest::Solid(0, 0, 512, 256, kRed),
                      ApngTest::Solid(0, 0, 512, 256, kBlue)};
  const Bytes source = ApngTest::Encode(animation);
  FrameFormats::FormatComposeOptions options;
  int pumps = 0;
  options.pump = [&] { ++pumps; };
  FrameFormats::AnimationRecord record;
  const auto sink = [](const auto&, const auto&) { return true; };
  FrameFormats::ComposeApng(source, "s", sink, record, options);
  EXPECT_GE(pumps, 2 * (1 + 2));  // before each frame, and twice within it
  struct Stop {};
  int frames = 0;
  options.pump = [&] {
    if (++pumps % 2 == 0) throw Stop{};
  };
  EXPECT_THROW(
      FrameFormats::ComposeApng(
          source, "s", [&](const auto&, const auto&) { return ++frames, true; }, record, options),
      Stop);
  EXPECT_EQ(frames, 0);
  // With frames decoded ahead, a pump that stops and a sink that stops
  // both end the decoding threads.
  options.threads = 2;
  EXPECT_THROW(FrameFormats::ComposeApng(source, "s", sink, record, options), Stop);
  options.pump = {};
  frames = 0;
  FrameFormats::ComposeApng(
      source, "s", [&](const auto&, const auto&) { return ++frames, false; }, record, options);
  EXPECT_EQ(frames, 1);
}

// --- Hostile files ---------------------------------------------------------

ApngTest::Animation ThreeFrames() {
  ApngTest::Animation animation;
  animation.width = 4;
  animation.frames = {Op(0, kRed, 0, 0), Op(1, kGreen, 0, 0), Op(2, kBlue, 0, 0)};
  return animation;
}

TEST(ApngHostile, UndecodableDataAreRefusedWithLibpngsReasonAndNothingPrinted) {
  ApngTest::Animation animation = ThreeFrames();
  Bytes png = ApngTest::Encode(animation);
  const std::size_t data = ApngTest::FindChunk(png, "fdAT", 0);
  // Frame 2's zlib header, behind its sequence number: a 32 K window, a bad check.
  png[data + 12] = 0x78;
  png[data + 13] = 0x00;
  ApngTest::FixCrc(png, data);
  for (const int threads : {1, 2}) {
    testing::internal::CaptureStderr();
    try {
      ComposeAll(FrameFormats::ComposeApng, png, threads);
      ADD_FAILURE() << "no refusal, threads " << threads;
    } catch (const FrameCompose::ComposeError& error) {
      EXPECT_EQ(error.frame(), 2);
      EXPECT_NE(std::string(error.what()).find("incorrect header check"), std::string::npos)
          << error.what();
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  }
  // The frame's exact cut, decoded alone, says the same.
  FrameFormats::ApngPlan plan;
  ASSERT_TRUE(FrameFormats::ReadApng(png, {}, plan).ok());
  testing::internal::CaptureStderr();
  try {
    FrameFormats::DecodeStill(FrameFormats::SourceFormat::kPng,
                              FrameFormats::ApngFrameFileBytes(png, plan, 2), "f2.png", 2);
    ADD_FAILURE() << "no refusal";
  } catch (const FrameCompose::ComposeError& error) {
    EXPECT_NE(std::string(error.what()).find("incorrect header check"), std::string::npos)
        << error.what();
  }
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

struct HostileApng {
  const char* name;
  std::function<void(Bytes&)> change;
  Fault fault;
};

TEST(ApngHostile, RefusedWithTheirReason) {
  using ApngTest::FindChunk;
  using ApngTest::FixCrc;
  using ApngTest::PutBig32;
  // Sets field `at` (bytes into the data) of chunk `type` #nth and fixes its CRC.
  const auto set = [](const char* type, int nth, std::size_t at, std::uint32_t value) {
    return [=](Bytes& png) {
      const std::size_t chunk = FindChunk(png, type, nth);
      PutBig32(png, chunk + 8 + at, value);
      FixCrc(png, chunk);
    };
  };
  const HostileApng cases[] = {
      {"sequence out of order", set("fcTL", 1, 0, 3), Fault::kSequence},
      {"frame past the right edge", set("fcTL", 1, 12, 4), Fault::kFrameOutsideCanvas},
      {"offset wrapping 32 bits", set("fcTL", 2, 12, 0xFFFFFFFF), Fault::kFrameOutsideCanvas},
      {"zero-size frame", set("fcTL", 1, 4, 0), Fault::kZeroSizeFrame},
      {"first frame short of the canvas", set("fcTL", 0, 4, 3), Fault::kFirstFrameNotCanvas},
      {"acTL counts more", set("acTL", 0, 0, 5), Fault::kFrameCountMismatch},
      {"acTL counts fewer", set("acTL", 0, 0, 2), Fault::kFrameCountMismatch},
      {"acTL past the frame budget", set("acTL", 0, 0, 1u << 20), Fault::kTooManyFrames},
      {"huge canvas",
       [&](Bytes& png) {
         set("IHDR", 0, 0, 1u << 20)(png);
         set("IHDR", 0, 4, 1u << 20)(png);
       },
       Fault::kCanvasTooLarge},
      {"IHDR's length past 2^31", [](Bytes& png) { PutBig32(png, FindChunk(png, "IHDR"), ~0u); },
       Fault::kBadHeader},
      {"plain PNG",
       [](Bytes& png) {
         png = FrameCompose::EncodePng(Canvas{2, 2, {0, 0, 0, 0}, {}, {}, -1});
       },
       Fault::kNotThisFormat},
  };
  for (const HostileApng& c : cases) {
    Bytes png = ApngTest::Encode(ThreeFrames());
    c.change(png);
    FrameFormats::ApngPlan plan;
    EXPECT_EQ(FrameFormats::ReadApng(png, {}, plan).fault, c.fault) << c.name;
    // A damaged APNG is refused as one, never as a PNG without animation.
    EXPECT_EQ(FrameFormats::SniffFormat(png) == FrameFormats::SourceFormat::kApng,
              c.fault != Fault::kNotThisFormat)
        << c.name;
    EXPECT_THROW(FrameFormats::PlanApngCuts(png, "x.png"), FrameSplit::DivideError) << c.name;
    EXPECT_THROW(ComposeAll(FrameFormats::ComposeApng, png), FrameCompose::ComposeError) << c.name;
  }
}

// Damage within a chunk after the first frame keeps the frames whose data
// are whole before it, as a file cut short does; a length alone that a good
// CRC closes sooner loses no frame.
TEST(ApngHostile, ChunkDamageKeepsTheWholeFramesBeforeIt) {
  using ApngTest::FindChunk;
  using ApngTest::PutBig32;
  using FrameFormats::Png::kLargestValue;
  struct Case {
    const char* name;
    const char* type;
    int nth;  // frames 2 and 3 have one fdAT each
    std::function<void(Bytes& png, std::size_t at)> change;
    Fault fault;
    std::size_t frames;
  };
  const auto length = [](std::uint32_t value) {
    return [value](Bytes& png, std::size_t at) { PutBig32(png, at, value); };
  };
  const Case cases[] = {
      {"IEND's length lies", "IEND", 0, length(kLargestValue), Fault::kChunkLength, 3},
      {"the last fdAT's length lies", "fdAT", 1, length(kLargestValue), Fault::kChunkLength, 3},
      {"a length inside the file lies", "fdAT", 0,
       [](Bytes& png, std::size_t at) {
         PutBig32(png, at, FrameFormats::Png::ReadBig32(png.data() + at) + 5);
       },
       Fault::kChunkCrc, 1},
      {"a length past 2^31", "fdAT", 0, length(0x80000000u), Fault::kChunkLength, 3},
      {"acTL's length past 2^31", "acTL", 0, length(~0u), Fault::kChunkLength, 3},
      {"a bad CRC", "fdAT", 1, [](Bytes& png, std::size_t at) { png[at + 12] ^= 1; },
       Fault::kChunkCrc, 2},
  };
  for (const Case& c : cases) {
    Bytes png = ApngTest::Encode(ThreeFrames());
    const std::size_t at = FindChunk(png, c.type, c.nth);
    c.change(png, at);
    FrameFormats::ApngPlan plan;
    ASSERT_TRUE(FrameFormats::ReadApng(png, {}, plan).ok()) << c.name;
    EXPECT_EQ(plan.frames.size(), c.frames) << c.name;
    EXPECT_EQ(plan.frames_lost, c.frames < 3) << c.name;
    ASSERT_TRUE(plan.damage) << c.name;
    EXPECT_EQ(plan.damage->fault, c.fault) << c.name;
    EXPECT_EQ(plan.damage->offset, at) << c.name;
    EXPECT_EQ(ComposeAll(FrameFormats::ComposeApng, png).canvases.size(), c.frames) << c.name;
  }
}

TEST(ApngHostile, EveryTruncatedPrefixGivesWholeFramesOrARefusal) {
  const Bytes whole = ApngTest::Encode(ThreeFrames());
  FrameFormats::ApngPlan full;
  ASSERT_TRUE(FrameFormats::ReadApng(whole, {}, full).ok());
  std::size_t most = 0;
  for (std::size_t size = 0; size < whole.size(); ++size) {
    const Bytes prefix(whole.begin(), whole.begin() + size);
    FrameFormats::ApngPlan plan;
    if (!FrameFormats::ReadApng(prefix, {}, plan).ok()) {
      EXPECT_THROW(ComposeAll(FrameFormats::ComposeApng, prefix), FrameCompose::ComposeError);
      continue;
    }
    ASSERT_TRUE(plan.damage) << size;
    ASSERT_LT(plan.frames.size(), full.frames.size()) << size;
    for (const auto& frame : plan.frames) {
      EXPECT_EQ(FrameFormats::ApngFrameFileBytes(prefix, plan, frame.record.number),
                FrameFormats::ApngFrameFileBytes(whole, full, frame.record.number));
    }
    EXPECT_EQ(ComposeAll(FrameFormats::ComposeApng, prefix).canvases.size(), plan.frames.size());
    most = std::max(most, plan.frames.size());
  }
  EXPECT_EQ(most, full.frames.size() - 1);  // the cut-short last frame is never handed on
}

// The offset of the `nth` (0-based) chunk `fourcc` of a WebP, top level.
std::size_t FindWebpChunk(const Bytes& webp, const char* fourcc, int nth = 0) {
  for (std::size_t at = 12; at + 8 <= webp.size();) {
    if (std::memcmp(webp.data() + at, fourcc, 4) == 0 && nth-- == 0) return at;
    const std::uint32_t size =
        webp[at + 4] | webp[at + 5] << 8 | webp[at + 6] << 16 | webp[at + 7] << 24;
    at += 8 + size + (size & 1);
  }
  return webp.size();
}

void PutLittle(Bytes& bytes, std::size_t at, std::uint32_t value, int count) {
  for (int i = 0; i < count; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

struct HostileWebp {
  const char* name;
  std::function<void(Bytes&)> change;
  Fault fault;
  FrameFormats::Budgets budgets = {};
  const char* reason = "";  // what the reason must say
};

TEST(WebpHostile, RefusedWithTheirReasonAndEveryPrefixRefused) {
  if (!HaveTools({"img2webp"})) GTEST_SKIP() << "img2webp missing";
  GifTest::TempDir dir;
  const std::vector<std::string> pngs = WritePngs(dir, Pictures(8, 6, 3, Alpha::kBinary));
  ASSERT_NO_FATAL_FAILURE(RunTool(
      {Tool("img2webp"), "-lossless", pngs[0], pngs[1], pngs[2], "-o", dir.File("a.webp")}));
  const Bytes whole = GifTest::ReadBytes(dir.File("a.webp"));
  const HostileWebp cases[] = {
      {"frame past the right edge",
       [](Bytes& w) { PutLittle(w, FindWebpChunk(w, "ANMF", 1) + 8, 2, 3); },
       Fault::kFrameOutsideCanvas},
      {"huge canvas",
       [](Bytes& w) { PutLittle(w, 24, 0xFFFFFF, 3), PutLittle(w, 27, 0xFFFFFF, 3); },
       Fault::kCanvasTooLarge},
      {"ANMF length past the end",
       [](Bytes& w) { PutLittle(w, FindWebpChunk(w, "ANMF", 1) + 4, 1u << 30, 4); },
       Fault::kPastEnd},
      {"ANMF length short", [](Bytes& w) { PutLittle(w, FindWebpChunk(w, "ANMF", 1) + 4, 20, 4); },
       Fault::kNone},  // any refusal: where the walk lands depends on the encoder's bytes
      {"RIFF size inside VP8X",
       [](Bytes& w) { PutLittle(w, 4, 12, 4); },
       Fault::kBadHeader,
       {},
       "ends the file at byte 20, inside VP8X"},
      {"RIFF size past the end",
       [](Bytes& w) { PutLittle(w, 4, static_cast<std::uint32_t>(w.size()), 4); }, Fault::kPastEnd},
      {"VP8X of 12 bytes, which libwebp refuses",
       [](Bytes& w) {
         w.insert(w.begin() + 30, {0, 0});
         PutLittle(w, 16, 12, 4);
         PutLittle(w, 4, static_cast<std::uint32_t>(w.size() - 8), 4);
       },
       Fault::kBadHeader,
       {},
       "VP8X of 12 bytes, not 10"},
      {"no ANIM", [](Bytes& w) { w[FindWebpChunk(w, "ANIM") + 3] = 'X'; }, Fault::kChunkOrder},
      {"an image unlike its frame header",
       [](Bytes& w) { PutLittle(w, FindWebpChunk(w, "ANMF", 0) + 8 + 6, 3, 3); },
       Fault::kBadChunk,
       {},
       "frame 1: its image is 8x6, its frame header says 4x6"},
      {"a frame without an image",
       [](Bytes& w) { w[FindWebpChunk(w, "ANMF", 2) + 8 + 16 + 3] = 'X'; },
       Fault::kBadChunk,
       {},
       "frame 3: its ANMF chunk holds no whole VP8 or VP8L image"},
      {"a VP8X among the frames",
       [](Bytes& w) {
         const Bytes extended(w.begin() + 12, w.begin() + 30);
         w.insert(w.begin() + static_cast<std::ptrdiff_t>(FindWebpChunk(w, "ANMF", 1)),
                  extended.begin(), extended.end());
         PutLittle(w, 4, static_cast<std::uint32_t>(w.size() - 8), 4);
       },
       Fault::kLibraryRefused,
       {},
       "frame 2"},
      {"past the frame budget", [](Bytes&) {}, Fault::kTooManyFrames, {std::size_t{1} << 20, 2}},
      {"past the canvas budget", [](Bytes&) {}, Fault::kCanvasTooLarge, {8 * 6 * 4 - 1, 10}},
      {"still WebP",
       [&](Bytes& w) {
         w = FrameFormats::WebpFrameFileBytes(whole, FrameFormats::PlanWebpCuts(whole, "a.webp"),
                                              1);
       },
       Fault::kNotThisFormat},
  };
  for (const HostileWebp& c : cases) {
    Bytes webp = whole;
    c.change(webp);
    FrameFormats::WebpPlan plan;
    const FrameFormats::Status status = FrameFormats::ReadWebp(webp, c.budgets, plan);
    const Fault fault = status.fault;
    EXPECT_NE(fault, Fault::kNone) << c.name;
    EXPECT_NE(status.Reason().find(c.reason), std::string::npos)
        << c.name << ": " << status.Reason();
    if (c.fault != Fault::kNone) {
      EXPECT_EQ(fault, c.fault) << c.name;
    }
    FrameFormats::FormatComposeOptions options;
    options.budgets = c.budgets;
    FrameFormats::AnimationRecord animation;
    EXPECT_THROW(
        FrameFormats::ComposeWebp(
            webp, "a.webp", [](const auto&, const auto&) { return true; }, animation, options),
        FrameCompose::ComposeError)
        << c.name;
  }
  for (std::size_t size = 0; size < whole.size(); ++size) {
    const Bytes prefix(whole.begin(), whole.begin() + size);
    FrameFormats::WebpPlan plan;
    EXPECT_FALSE(FrameFormats::ReadWebp(prefix, {}, plan).ok()) << size;
    EXPECT_THROW(ComposeAll(FrameFormats::ComposeWebp, prefix), FrameCompose::ComposeError) << size;
  }
}

TEST(Sniff, FormatsByTheirBytes) {
  const auto text = [](const std::string& s) { return Bytes(s.begin(), s.end()); };
  const auto riff = [&](const char* form, Bytes rest) {
    Bytes bytes = text("RIFF");
    bytes.insert(bytes.end(), {static_cast<std::uint8_t>(rest.size() + 4), 0, 0, 0});
    bytes.insert(bytes.end(), form, form + 4);
    bytes.insert(bytes.end(), rest.begin(), rest.end());
    return bytes;
  };
  const auto webp = [&](std::uint8_t flags) {
    return riff("WEBP", {'V', 'P', '8', 'X', 10, 0, 0, 0, flags, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  };
  ApngTest::Animation animation = ThreeFrames();
  Bytes late_actl = ApngTest::Encode(animation);
  // acTL moved behind the first IDAT: a plain PNG with an odd chunk.
  const std::size_t actl = ApngTest::FindChunk(late_actl, "acTL");
  const Bytes actl_bytes(late_actl.begin() + actl, late_actl.begin() + actl + 20);
  late_actl.erase(late_actl.begin() + actl, late_actl.begin() + actl + 20);
  const std::size_t after_idat =
      ApngTest::FindChunk(late_actl, "IDAT") + 12 +
      FrameFormats::Png::ReadBig32(late_actl.data() + ApngTest::FindChunk(late_actl, "IDAT"));
  late_actl.insert(late_actl.begin() + after_idat, actl_bytes.begin(), actl_bytes.end());
  Bytes plain_cut =
      FrameCompose::EncodePng(Canvas{4, 4, std::vector<std::uint32_t>(16), {}, {}, -1});
  plain_cut.resize(ApngTest::FindChunk(plain_cut, "IDAT") + 10);
  using F = FrameFormats::SourceFormat;
  const std::pair<Bytes, F> cases[] = {
      {GifTest::Encode(GifTest::SolidFrames(2, 2, 2)), F::kGif},
      {text("GIF87a"), F::kGif},
      {text("GIF88a"), F::kUnknown},
      {webp(0x12), F::kAnimatedWebp},
      {webp(0x10), F::kStillWebp},
      {riff("WEBP", {'V', 'P', '8', 'L', 9, 0, 0, 0, 0x2f}), F::kStillWebp},
      {riff("WEBP", {}), F::kShortWebp},
      {riff("WEBP", {'V', 'P', '8', 'X', 10, 0, 0, 0}), F::kShortWebp},  // cut after its header
      {riff("WAVE", {}), F::kUnknown},
      {ApngTest::Encode(animation), F::kApng},
      {late_actl, F::kPng},
      {FrameCompose::EncodePng(Canvas{1, 1, {0}, {}, {}, -1}), F::kPng},
      // Cut short inside its image data: still a plain PNG, not a damaged APNG.
      {plain_cut, F::kPng},
      {{}, F::kUnknown},
  };
  for (const auto& [bytes, format] : cases) {
    EXPECT_EQ(FrameFormats::SniffFormat(bytes), format) << FrameFormats::FormatName(format);
  }
}

}  // namespace
