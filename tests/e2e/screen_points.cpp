// SPDX-License-Identifier: MIT
// Writes the end-to-end tests' points as shell assignments ("X Y" each),
// for the shell tests to source.
#include <cstdio>

#include "e2e/screen_points.h"

// usage: screen_points OUTPUT
int main(int argc, char** argv) {
  if (argc != 2) return 2;
  std::FILE* out = std::fopen(argv[1], "w");
  if (out == nullptr) return 1;
  const auto put = [out](const char* name, GifTest::ScreenPoint at) {
    std::fprintf(out, "%s=\"%d %d\"\n", name, at.x, at.y);
  };
  std::fprintf(out, "# Written at build time from tests/e2e/screen_points.h.\n");
  put("end_point", GifTest::EndButtonPoint());
  put("show_holder_point", GifTest::ShowHolderPoint());
  put("strip_point", GifTest::StripPoint());
  put("thumbnail_1", GifTest::ThumbnailPoint(1));
  put("thumbnail_2", GifTest::ThumbnailPoint(2));
  put("thumbnail_3", GifTest::ThumbnailPoint(3));
  put("drag_source", GifTest::kDragSource);
  put("drop_target", GifTest::kDropTarget);
  return std::fclose(out) == 0 ? 0 : 1;
}
