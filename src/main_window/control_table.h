// SPDX-License-Identifier: MIT
#pragma once

// The window description: every control of the main window, as data.

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "toolkit/platform.h"

namespace MainWindow {

enum class ControlKind { PictureBox, CommandButton, HorizontalScrollBar, Label, Image };

struct Rgb {
  std::uint8_t r, g, b;
};

// A colour: red, green and blue, or a system colour by index.
struct ColourSetting {
  std::optional<Rgb> rgb;
  std::optional<int> system_index;  // 8 = window text
};

// A control's font. The strip's numbers and the count are set in a
// Japanese proportional Gothic, which not every system has: for it the
// window tries the families of kPGothicFallbacks in turn (see ToFont).
struct FontSetting {
  std::u8string_view family;  // the family asked for first
  double points;
  int weight;  // 700 = bold
};

struct TwipsRect {
  float left, top, width, height;
};

struct ControlRow {
  std::string_view name;
  ControlKind kind;
  std::string_view container;  // empty: the window itself
  TwipsRect geometry;
  std::optional<int> tab_index;
  bool visible_at_start;
  // Settings; what is absent stays the platform's default.
  std::string_view caption = {};
  std::optional<ColourSetting> back_colour = {};
  std::optional<ColourSetting> fore_colour = {};
  std::optional<FontSetting> font = {};
  std::string_view tooltip = {};
  bool accepts_drops = false;  // raises its control's drop handler
  bool auto_size = false;      // picture box: takes its picture's size
};

inline constexpr int kSystemColourWindowText = 8;
inline constexpr int kFontWeightBold = 700;
// The Gothic's family name as Japanese systems know it.
inline constexpr std::u8string_view kPGothicJapaneseName = u8"ＭＳ Ｐゴシック";

inline constexpr float kClientWidth = 5775;   // twips
inline constexpr float kClientHeight = 2610;  // twips

// Scroll bar settings at start.
inline constexpr int kScrollMin = 0;
inline constexpr int kScrollValue = 0;
inline constexpr int kScrollLargeChangeAtStart = 20;
inline constexpr int kScrollSmallChangeAtStart = 5;

inline constexpr ColourSetting kWhite{Rgb{255, 255, 255}, std::nullopt};
inline constexpr ColourSetting kBlue{Rgb{0, 0, 255}, std::nullopt};
inline constexpr ColourSetting kPaleYellow{Rgb{255, 255, 224}, std::nullopt};
inline constexpr ColourSetting kWindowText{std::nullopt, kSystemColourWindowText};

// Listed topmost first; Label1 and Image1 lie beneath all the others.
// clang-format off
inline constexpr std::array<ControlRow, 9> kControls = {{
    // Progress strip: fills while the divider writes
    {.name = "Progress", .kind = ControlKind::PictureBox, .container = "",
     .geometry = {1080, 720, 3495, 255}, .tab_index = 7, .visible_at_start = false,
     .back_colour = kWhite, .fore_colour = kBlue},
    // ShowHolder button
    {.name = "Command2", .kind = ControlKind::CommandButton, .container = "",
     .geometry = {3120, 2160, 1215, 375}, .tab_index = 5, .visible_at_start = true,
     .caption = "ShowHolder"},
    // END button
    {.name = "Command1", .kind = ControlKind::CommandButton, .container = "",
     .geometry = {4440, 2160, 1215, 375}, .tab_index = 4, .visible_at_start = true,
     .caption = "END"},
    // Scrolls the strip
    {.name = "HScroll1", .kind = ControlKind::HorizontalScrollBar, .container = "",
     .geometry = {120, 1680, 5535, 255}, .tab_index = 3, .visible_at_start = true},
    // Viewport onto the strip
    {.name = "Picture3", .kind = ControlKind::PictureBox, .container = "",
     .geometry = {120, 0, 5535, 1935}, .tab_index = 1, .visible_at_start = true,
     .accepts_drops = true},
    // Strip: the thumbnails
    {.name = "Picture1", .kind = ControlKind::PictureBox, .container = "Picture3",
     .geometry = {0, 0, 5535, 1695}, .tab_index = 2, .visible_at_start = true,
     .back_colour = kPaleYellow, .fore_colour = kWindowText,
     .font = FontSetting{kPGothicJapaneseName, 11.25, kFontWeightBold},
     .tooltip = "Drop AnimationGIFfile", .accepts_drops = true},
    // Hidden picture measurer
    {.name = "Picture2", .kind = ControlKind::PictureBox, .container = "",
     .geometry = {4320, 5160, 3615, 2535}, .tab_index = 0, .visible_at_start = false,
     .auto_size = true},
    // Count label
    {.name = "Label1", .kind = ControlKind::Label, .container = "",
     .geometry = {480, 2280, 2295, 255}, .tab_index = 6, .visible_at_start = true,
     .caption = Toolkit::kProgramName,
     .font = FontSetting{kPGothicJapaneseName, 9.75, kFontWeightBold}},
    // Hidden preview of the dropped picture
    {.name = "Image1", .kind = ControlKind::Image, .container = "",
     .geometry = {1800, 5640, 1455, 1335}, .tab_index = std::nullopt, .visible_at_start = false,
     .accepts_drops = true},
}};
// clang-format on

// Families tried in turn for the Gothic: its Japanese name, its English
// name, then IPA's free PGothic.
inline constexpr std::array<std::u8string_view, 3> kPGothicFallbacks = {
    kPGothicJapaneseName, u8"MS PGothic", u8"IPAPGothic"};

}  // namespace MainWindow
