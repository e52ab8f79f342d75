// The built-in demo of kestrane render: a short piece of music made in code.
#pragma once

#include <vector>

namespace kestrane::cli {

struct DemoAudio {
  int rate = 0;                  // Hz
  std::vector<float> samples;    // stereo, interleaved left and right
};

// Twelve seconds of a small band at 120 beats per minute, the same samples on every run: kick
// and bass in the low band, piano chords in the low mids, snare and a lead line in the high
// mids, hats and a cymbal in the highs, each loud enough in its band for the default program's
// compressor to work there. Peaks at -1 dBFS.
DemoAudio makeDemo();

}  // namespace kestrane::cli
