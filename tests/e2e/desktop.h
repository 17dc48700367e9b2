#pragma once

#include <string>

#include "support/process.h"

namespace GifTest {

// Waits until the X server named by DISPLAY answers, so that a program
// started next does not race the server's start-up on a loaded machine.
inline bool WaitForXServer(double seconds = 30) {
  return PollUntil(seconds, [] {
    return RunProcess({"/usr/bin/xdotool", "getmouselocation"}).exit_code == 0;
  });
}

}  // namespace GifTest
