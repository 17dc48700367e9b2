// SPDX-License-Identifier: MIT
// mervane-split on animated WebP and APNG made by Debian's own encoders:
// the exact cut against libwebp's own frame extraction and the APNG cut,
// frames as they appear against the pictures the encoders were given, and
// refusals that leave nothing behind.
// Debian's encoders are Linux programs, to which the Windows build, run
// under Wine, cannot hand its paths: there the same animations are made in
// process, by libwebp's animation encoder and mux library (what img2webp
// and webpmux call) and by the tests' APNG writer.

#include <gtest/gtest.h>
#include <png.h>
#include <webp/decode.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "frame_compose/frame_compose.h"
#include "frame_compose/frame_files.h"
#include "frame_formats/apng_cut.h"
#include "support/process.h"
#include "support/temp_dir.h"

#if defined(_WIN32)
#include <webp/encode.h>
#include <webp/mux.h>

#include "support/apng_writer.h"
#endif

namespace {

using Bytes = std::vector<std::uint8_t>;
using FrameCompose::Canvas;

constexpr int kWidth = 13, kHeight = 7, kFrames = 3;

#if !defined(_WIN32)
std::string Tool(const std::string& name) { return "/usr/bin/" + name; }

void RunTool(const std::vector<std::string>& argv) {
  const GifTest::ProcessResult result = GifTest::RunProcess(argv);
  ASSERT_EQ(result.exit_code, 0) << argv[0] << ": " << result.err;
}
#endif

GifTest::ProcessResult Split(const std::vector<std::string>& args, const GifTest::TempDir& cwd) {
  std::vector<std::string> argv = {MERVANE_SPLIT};
  argv.insert(argv.end(), args.begin(), args.end());
  return GifTest::RunProcess(argv, cwd.Text());
}

// Frames with partial alpha whose later frames change a moving part of the
// first, so that encoders store sub-rectangles and blend them.
std::vector<Canvas> Pictures() {
  std::vector<Canvas> pictures;
  for (int k = 0; k < kFrames; ++k) {
    Canvas canvas{kWidth, kHeight, {}, {}, {}, -1};
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) {
        const int t = k > 0 && x >= 2 * k && x < 2 * k + 5 ? k : 0;
        const std::uint32_t a = (x * 29 + y * 11 + t * 40) & 255;
        const std::uint32_t rgb =
            ((x * 37 + t * 50) & 255) | ((y * 59 + t * 13) & 255) << 8 | ((t * 90) & 255) << 16;
        canvas.pixels.push_back(a == 0 ? 0u : rgb | a << 24);
      }
    }
    pictures.push_back(std::move(canvas));
  }
  return pictures;
}

// Encoders may keep any colour under a fully transparent pixel.
std::vector<std::uint32_t> Visible(std::vector<std::uint32_t> pixels) {
  for (std::uint32_t& pixel : pixels) {
    if ((pixel >> 24) == 0) pixel = 0;
  }
  return pixels;
}

// An RGBA PNG's pixels, decoded by libpng; its width in `width`.
std::vector<std::uint32_t> DecodePng(const Bytes& file, int* width = nullptr) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, file.data(), file.size())) return {};
  image.format = PNG_FORMAT_RGBA;
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(image.width) * image.height);
  if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) return {};
  if (width != nullptr) *width = static_cast<int>(image.width);
  return pixels;
}

// A WebP still's pixels, decoded by libwebp's own still decoder.
std::vector<std::uint32_t> DecodeWebp(const std::string& path, std::size_t pixels) {
  const Bytes bytes = GifTest::ReadBytes(path);
  int width = 0, height = 0;
  std::uint8_t* rgba = WebPDecodeRGBA(bytes.data(), bytes.size(), &width, &height);
  if (rgba == nullptr) return {};
  std::vector<std::uint32_t> out;
  if (static_cast<std::size_t>(width) * static_cast<std::size_t>(height) == pixels) {
    out.resize(pixels);
    std::memcpy(out.data(), rgba, pixels * 4);
  }
  WebPFree(rgba);
  return out;
}

#if defined(_WIN32)
Bytes TakeWebpData(WebPData& data) {
  Bytes bytes(data.bytes, data.bytes + data.size);
  WebPDataClear(&data);
  return bytes;
}

// `pictures` as a lossless animated WebP, `delay_ms` a frame.
Bytes EncodeAnimatedWebp(const std::vector<Canvas>& pictures, int delay_ms) {
  WebPAnimEncoderOptions options;
  WebPConfig config;
  if (!WebPAnimEncoderOptionsInit(&options) || !WebPConfigInit(&config)) return {};
  config.lossless = 1;
  const std::unique_ptr<WebPAnimEncoder, void (*)(WebPAnimEncoder*)> encoder(
      WebPAnimEncoderNew(kWidth, kHeight, &options), WebPAnimEncoderDelete);
  int timestamp = 0;
  for (const Canvas& canvas : pictures) {
    WebPPicture picture;
    if (!WebPPictureInit(&picture)) return {};
    picture.use_argb = 1;
    picture.width = canvas.width;
    picture.height = canvas.height;
    const bool added =
        WebPPictureImportRGBA(&picture, reinterpret_cast<const std::uint8_t*>(canvas.pixels.data()),
                              canvas.width * 4) &&
        WebPAnimEncoderAdd(encoder.get(), &picture, timestamp, &config);
    WebPPictureFree(&picture);
    if (!added) return {};
    timestamp += delay_ms;
  }
  WebPData data;
  WebPDataInit(&data);
  if (!WebPAnimEncoderAdd(encoder.get(), nullptr, timestamp, nullptr) ||
      !WebPAnimEncoderAssemble(encoder.get(), &data)) {
    return {};
  }
  return TakeWebpData(data);
}

// Frame `n` of an animated WebP as a still file, as `webpmux -get frame`
// writes it.
Bytes MuxFrame(const Bytes& source, int n) {
  const WebPData data = {source.data(), source.size()};
  const std::unique_ptr<WebPMux, void (*)(WebPMux*)> mux(WebPMuxCreate(&data, 0), WebPMuxDelete);
  const std::unique_ptr<WebPMux, void (*)(WebPMux*)> single(WebPMuxNew(), WebPMuxDelete);
  WebPMuxFrameInfo frame;
  if (!mux || !single || WebPMuxGetFrame(mux.get(), n, &frame) != WEBP_MUX_OK) return {};
  const WebPMuxError set = WebPMuxSetImage(single.get(), &frame.bitstream, 1);
  WebPDataClear(&frame.bitstream);
  WebPData out;
  WebPDataInit(&out);
  if (set != WEBP_MUX_OK || WebPMuxAssemble(single.get(), &out) != WEBP_MUX_OK) return {};
  return TakeWebpData(out);
}

// `pictures` as an APNG of whole frames, each shown 3/40 s.
Bytes EncodeApng(const std::vector<Canvas>& pictures) {
  ApngTest::Animation animation;
  animation.width = kWidth;
  animation.height = kHeight;
  for (const Canvas& canvas : pictures) {
    ApngTest::Frame frame;
    frame.width = canvas.width;
    frame.height = canvas.height;
    frame.delay_num = 3;
    frame.delay_den = 40;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(canvas.pixels.data());
    frame.rgba.assign(bytes, bytes + canvas.pixels.size() * 4);
    animation.frames.push_back(std::move(frame));
  }
  return ApngTest::Encode(animation);
}
#endif

struct Format {
  const char* name;
  const char* extension;  // of the source and of its frame files
  // Makes `dir`/anim.EXT from the pictures' PNG files.
  std::function<void(const GifTest::TempDir& dir, const std::vector<std::string>& pngs)> make;
  // The exact cut of frame `n` as an independent reference gives it.
  std::function<Bytes(const GifTest::TempDir& dir, int n)> reference_cut;
  std::string delay_field;  // as the JSON gives frame 1's delay
  // The pixels of a frame file --full wrote, decoded by an independent decoder.
  std::function<std::vector<std::uint32_t>(const std::string& path)> decode_full;
};

// Names a case in failure messages.
void PrintTo(const Format& format, std::ostream* out) { *out << format.name; }

std::vector<Format> Formats() {
  return {
      {"WebP", ".webp",
       [](const GifTest::TempDir& dir, [[maybe_unused]] const std::vector<std::string>& pngs) {
#if defined(_WIN32)
         GifTest::WriteBytes(dir.File("anim.webp"), EncodeAnimatedWebp(Pictures(), 70));
#else
         std::vector<std::string> argv = {Tool("img2webp"), "-lossless"};
         for (const std::string& png : pngs) argv.insert(argv.end(), {"-d", "70", png});
         argv.insert(argv.end(), {"-o", dir.File("anim.webp")});
         RunTool(argv);
#endif
       },
       [](const GifTest::TempDir& dir, int n) {
#if defined(_WIN32)
         return MuxFrame(GifTest::ReadBytes(dir.File("anim.webp")), n);
#else
         const std::string out = dir.File("ref" + std::to_string(n) + ".webp");
         RunTool({Tool("webpmux"), "-get", "frame", std::to_string(n), dir.File("anim.webp"), "-o",
                  out});
         return GifTest::ReadBytes(out);
#endif
       },
       "\"delay_ms\": 70, \"dispose\": \"none\"",
       [](const std::string& path) { return DecodeWebp(path, kWidth * kHeight); }},
      {"APNG", ".png",
       [](const GifTest::TempDir& dir, [[maybe_unused]] const std::vector<std::string>& pngs) {
#if defined(_WIN32)
         GifTest::WriteBytes(dir.File("anim.png"), EncodeApng(Pictures()));
#else
         std::vector<std::string> argv = {Tool("apngasm"), dir.File("anim.png")};
         argv.insert(argv.end(), pngs.begin(), pngs.end());
         argv.insert(argv.end(), {"3", "40"});
         RunTool(argv);
#endif
       },
       [](const GifTest::TempDir& dir, int n) {
         const Bytes source = GifTest::ReadBytes(dir.File("anim.png"));
         return FrameFormats::ApngFrameFileBytes(source,
                                                 FrameFormats::PlanApngCuts(source, "anim.png"), n);
       },
       "\"delay_ms\": 75, \"dispose\": \"none\"",
       [](const std::string& path) { return DecodePng(GifTest::ReadBytes(path)); }},
  };
}

class FormatSplit : public testing::TestWithParam<Format> {
 protected:
  void SetUp() override {
#if !defined(_WIN32)
    for (const char* tool : {"img2webp", "webpmux", "apngasm"}) {
      if (!std::filesystem::exists(Tool(tool))) GTEST_SKIP() << tool << " missing";
    }
#endif
    for (int k = 0; k < kFrames; ++k) {
      pngs_.push_back(inputs_.File("in" + std::to_string(k) + ".png"));
      GifTest::WriteBytes(pngs_.back(), FrameCompose::EncodePng(pictures_[k]));
    }
    ASSERT_NO_FATAL_FAILURE(GetParam().make(inputs_, pngs_));
    source_ = inputs_.File(std::string("anim") + GetParam().extension);
  }
  std::string Name(const std::string& stem, int n, const char* extension) const {
    return stem + "00" + std::to_string(n) + extension;
  }
  const std::vector<Canvas> pictures_ = Pictures();
  GifTest::TempDir inputs_, cwd_;
  std::vector<std::string> pngs_;
  std::string source_;
};

TEST_P(FormatSplit, ExactCutIsEachFramesOwnFileUnderTheDefaultPrefix) {
  const Format& format = GetParam();
  const auto result = Split({source_, "--json"}, cwd_);
  ASSERT_EQ(result.exit_code, 0) << result.err;
  std::vector<std::string> expected = {"anim.json"};
  for (int n = 1; n <= kFrames; ++n) {
    expected.push_back(Name("anim", n, format.extension));
    EXPECT_EQ(GifTest::ReadBytes(cwd_.File(expected.back())), format.reference_cut(inputs_, n))
        << "frame " << n;
  }
  EXPECT_EQ(GifTest::ListNames(cwd_.path()), expected);
  const Bytes json = GifTest::ReadBytes(cwd_.File("anim.json"));
  const std::string text(json.begin(), json.end());
  EXPECT_NE(text.find(format.delay_field), std::string::npos) << text;
  EXPECT_NE(text.find("\"file\": \"anim003" + std::string(format.extension)), std::string::npos);
}

TEST_P(FormatSplit, PngGivesBackTheEncodersPicturesForTheFramesSelected) {
  const auto result = Split({"--png", "--frames", "2-", "--jobs", "2", source_, "f/x"}, cwd_);
  ASSERT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(GifTest::ListNames(cwd_.File("f")), (std::vector<std::string>{"x002.png", "x003.png"}));
  for (int n = 2; n <= kFrames; ++n) {
    EXPECT_EQ(Visible(DecodePng(GifTest::ReadBytes(cwd_.File("f/" + Name("x", n, ".png"))))),
              Visible(pictures_[n - 1].pixels))
        << "frame " << n;
  }
}

TEST_P(FormatSplit, FullGivesBackTheEncodersPicturesInTheSourcesFormat) {
  const Format& format = GetParam();
  const auto result = Split({"--full", "--json", source_, "f/x"}, cwd_);
  ASSERT_EQ(result.exit_code, 0) << result.err;
  std::vector<std::string> expected = {"x.json"};
  for (int n = 1; n <= kFrames; ++n) expected.push_back(Name("x", n, format.extension));
  EXPECT_EQ(GifTest::ListNames(cwd_.File("f")), expected);
  for (int n = 1; n <= kFrames; ++n) {
    EXPECT_EQ(Visible(format.decode_full(cwd_.File("f/" + expected[n]))),
              Visible(pictures_[n - 1].pixels))
        << "frame " << n;
  }
  const Bytes json = GifTest::ReadBytes(cwd_.File("f/x.json"));
  EXPECT_NE(std::string(json.begin(), json.end()).find(format.delay_field), std::string::npos);
}

TEST_P(FormatSplit, SheetHoldsEachFrameInItsCell) {
  const auto result = Split({"--sheet", "2", source_, "s/x"}, cwd_);
  ASSERT_EQ(result.exit_code, 0) << result.err;
  const std::string stem = "x-sheet-2x2-" + std::to_string(kWidth) + "x" + std::to_string(kHeight);
  EXPECT_EQ(GifTest::ListNames(cwd_.File("s")),
            (std::vector<std::string>{stem + ".json", stem + ".png"}));
  int width = 0;
  const std::vector<std::uint32_t> sheet =
      DecodePng(GifTest::ReadBytes(cwd_.File("s/" + stem + ".png")), &width);
  ASSERT_EQ(width, 2 * kWidth);
  ASSERT_EQ(sheet.size(), std::size_t{4} * kWidth * kHeight);
  for (int n = 1; n <= kFrames; ++n) {
    const int left = (n - 1) % 2 * kWidth, top = (n - 1) / 2 * kHeight;
    std::vector<std::uint32_t> cell;
    for (int y = 0; y < kHeight; ++y) {
      const auto row = sheet.begin() + (top + y) * width + left;
      cell.insert(cell.end(), row, row + kWidth);
    }
    EXPECT_EQ(Visible(cell), Visible(pictures_[n - 1].pixels)) << "frame " << n;
  }
  const Bytes json = GifTest::ReadBytes(cwd_.File("s/" + stem + ".json"));
  const std::string text(json.begin(), json.end());
  EXPECT_NE(text.find("\"cell\": {\"column\": 0, \"row\": 1, \"x\": 0, \"y\": " +
                      std::to_string(kHeight)),
            std::string::npos)
      << text;
  EXPECT_NE(text.find(GetParam().delay_field), std::string::npos) << text;
}

TEST_P(FormatSplit, InfoJsonGivesTheFormatsOwnFactsAndTotals) {
  const auto result = Split({"--info", "--json", source_}, cwd_);
  ASSERT_EQ(result.exit_code, 0) << result.err;
  EXPECT_NE(result.out.find(std::string("\"format\": \"") + GetParam().name), std::string::npos);
  EXPECT_NE(result.out.find(GetParam().delay_field), std::string::npos) << result.out;
  EXPECT_NE(result.out.find("\"count\": 3"), std::string::npos) << result.out;
  EXPECT_TRUE(GifTest::ListNames(cwd_.path()).empty());
}

TEST_P(FormatSplit, RefusalsLeaveNothingBehind) {
  const Bytes source = GifTest::ReadBytes(source_);
  const std::string truncated = inputs_.File(std::string("cut") + GetParam().extension);
  // Cut inside the first frame's data: no frame is whole.
  GifTest::WriteBytes(truncated, Bytes(source.begin(), source.begin() + 120));
  struct Refusal {
    std::vector<std::string> args;
    std::string says;
  };
  std::vector<Refusal> refusals = {
      {{pngs_[0]}, "a PNG without animation"},
      {{truncated}, "past the end"},
      {{"--png", "--limit-pixels", "182", source_}, "more than the limit of 182"},
      {{"--sheet", "1", "--limit-pixels", "182", source_}, "more than the limit of 182"},
  };
  if (std::string(GetParam().extension) == ".webp") {
    // A canvas wider than a WebP may be: its frames fit, a lossless still of it would not.
    Bytes wide = source;
    wide[24] = 0x1F, wide[25] = 0x4E;  // VP8X's width - 1: 19999
    GifTest::WriteBytes(inputs_.File("wide.webp"), wide);
    refusals.push_back({{"--full", inputs_.File("wide.webp")}, "larger than a WebP holds"});
  }
  for (const Refusal& refusal : refusals) {
    SCOPED_TRACE(testing::PrintToString(refusal.args));
    const auto result = Split(refusal.args, cwd_);
    EXPECT_EQ(result.exit_code, 2);
    EXPECT_NE(result.err.find(refusal.says), std::string::npos) << result.err;
    EXPECT_TRUE(GifTest::ListNames(cwd_.path()).empty());
  }
}

INSTANTIATE_TEST_SUITE_P(Encoders, FormatSplit, testing::ValuesIn(Formats()),
                         [](const auto& info) { return std::string(info.param.name); });

// Built with Debian's cwebp and webpmux, which the Windows build cannot run.
#if !defined(_WIN32)
TEST(FormatSplitDistinct, RepeatedWebpFramesFoldWithTheirDelaysInMilliseconds) {
  for (const char* tool : {"cwebp", "webpmux"}) {
    if (!std::filesystem::exists(Tool(tool))) GTEST_SKIP() << tool << " missing";
  }
  GifTest::TempDir dir;
  const std::vector<Canvas> pictures = Pictures();
  for (int k = 0; k < 2; ++k) {
    const std::string png = dir.File("p" + std::to_string(k) + ".png");
    GifTest::WriteBytes(png, FrameCompose::EncodePng(pictures[k]));
    ASSERT_NO_FATAL_FAILURE(RunTool({Tool("cwebp"), "-quiet", "-lossless", "-exact", png, "-o",
                                     dir.File("p" + std::to_string(k) + ".webp")}));
  }
  // Frames 2 and 3 are the same picture, stored twice: 400,045 + 300,034
  // ms, which hundredths rounded one by one would make 700,080, and which
  // pass a GIF frame's longest delay (655.35 s) without being a GIF's.
  std::vector<std::string> argv = {Tool("webpmux")};
  for (const auto& [still, delay] : std::vector<std::pair<const char*, int>>{
           {"p0.webp", 30}, {"p1.webp", 400045}, {"p1.webp", 300034}, {"p0.webp", 20}}) {
    argv.insert(argv.end(), {"-frame", dir.File(still), "+" + std::to_string(delay) + "+0+0+0-b"});
  }
  argv.insert(argv.end(), {"-o", dir.File("rep.webp")});
  ASSERT_NO_FATAL_FAILURE(RunTool(argv));
  const auto result = Split({"--full", "--distinct", "--json", "rep.webp", "d/r"}, dir);
  ASSERT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(GifTest::ListNames(dir.File("d")),
            (std::vector<std::string>{"r.json", "r001.webp", "r002.webp", "r004.webp"}));
  const Bytes json = GifTest::ReadBytes(dir.File("d/r.json"));
  const std::string text(json.begin(), json.end());
  EXPECT_NE(text.find("\"delay_ms\": 700079, \"dispose\": \"none\", \"blend\": \"source\", "
                      "\"file\": \"r002.webp\", \"stands_for\": [2, 3]"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("\"duration_ms\": 700129"), std::string::npos) << text;
}
#endif

TEST(FormatSplitRefusal, AStillWebpOrOneCutShortIsRefusedForWhatItIs) {
  GifTest::TempDir dir;
  GifTest::WriteBytes(dir.File("in.png"), FrameCompose::EncodePng(Pictures()[0]));
#if defined(_WIN32)
  std::uint8_t* still = nullptr;
  const std::size_t size =
      WebPEncodeLosslessRGBA(reinterpret_cast<const std::uint8_t*>(Pictures()[0].pixels.data()),
                             kWidth, kHeight, kWidth * 4, &still);
  ASSERT_GT(size, 0u);
  GifTest::WriteBytes(dir.File("s.webp"), Bytes(still, still + size));
  WebPFree(still);
#else
  if (!std::filesystem::exists(Tool("cwebp"))) GTEST_SKIP() << "cwebp missing";
  ASSERT_NO_FATAL_FAILURE(RunTool(
      {Tool("cwebp"), "-quiet", "-lossless", dir.File("in.png"), "-o", dir.File("s.webp")}));
#endif
  // Cut after VP8X's header: nothing tells whether it was animated.
  const char cut[] = "RIFF\x0c\0\0\0WEBPVP8X\x0a\0\0\0";
  GifTest::WriteBytes(dir.File("c.webp"), Bytes(cut, cut + 20));
  for (const auto& [name, reason] : {std::pair{"s.webp", "a still WebP"},
                                     std::pair{"c.webp", "a WebP cut short: its 20 bytes end"}}) {
    const auto result = Split({name}, dir);
    EXPECT_EQ(result.exit_code, 2);
    EXPECT_NE(result.err.find(reason), std::string::npos) << result.err;
  }
  EXPECT_EQ(GifTest::ListNames(dir.path()),
            (std::vector<std::string>{"c.webp", "in.png", "s.webp"}));
}

// Writes an APNG of Pictures() to `dir`/a.png; false when it cannot be made here.
bool MakeApng(const GifTest::TempDir& dir) {
#if defined(_WIN32)
  GifTest::WriteBytes(dir.File("a.png"), EncodeApng(Pictures()));
#else
  if (!std::filesystem::exists(Tool("apngasm"))) return false;
  std::vector<std::string> argv = {Tool("apngasm"), dir.File("a.png")};
  for (int k = 0; k < kFrames; ++k) {
    argv.push_back(dir.File("in" + std::to_string(k) + ".png"));
    GifTest::WriteBytes(argv.back(), FrameCompose::EncodePng(Pictures()[k]));
  }
  RunTool(argv);
#endif
  return true;
}

TEST(FormatSplitNames, AnApngNamedDotApngGivesFramesNamedAfterItsStem) {
  GifTest::TempDir dir;
  if (!MakeApng(dir)) GTEST_SKIP() << "apngasm missing";
  GifTest::WriteBytes(dir.File("b.APNG"), GifTest::ReadBytes(dir.File("a.png")));
  GifTest::TempDir out;
  const auto result = Split({dir.File("b.APNG")}, out);
  ASSERT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(GifTest::ListNames(out.path()),
            (std::vector<std::string>{"b001.png", "b002.png", "b003.png"}));
}

TEST(FormatSplitRefusal, AnApngCutShortGivesItsWholeFramesAndAWarning) {
  GifTest::TempDir dir;
  if (!MakeApng(dir)) GTEST_SKIP() << "apngasm missing";
  const Bytes whole = GifTest::ReadBytes(dir.File("a.png"));
  const FrameFormats::ApngPlan plan = FrameFormats::PlanApngCuts(whole, "a.png");
  // Cut one byte into the last frame's data.
  const std::size_t cut = plan.frames.back().data.front().offset + 1;
  GifTest::WriteBytes(dir.File("c.png"), Bytes(whole.begin(), whole.begin() + cut));
  GifTest::TempDir out;
  const auto result = Split({dir.File("c.png"), "x"}, out);
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_NE(result.err.find("warning"), std::string::npos);
  EXPECT_EQ(GifTest::ListNames(out.path()), (std::vector<std::string>{"x001.png", "x002.png"}));
  for (int n = 1; n <= 2; ++n) {
    EXPECT_EQ(GifTest::ReadBytes(out.File("x00" + std::to_string(n) + ".png")),
              FrameFormats::ApngFrameFileBytes(whole, plan, n));
  }
}

}  // namespace
