// A hostile host in a byte stream. One input drives one plug-in instance, made through the
// entry point's own code and reached only through its AEffect record, with whatever the bytes
// ask for: dispatcher requests with any opcode, index, value and float (and a buffer of the
// size the request needs, a null pointer, or a pointer the request must not touch), parameter
// sets and gets with any float, program changes, sample-rate and block-size changes, short
// audio blocks with any sample values, accumulating blocks, and closing and reopening.
//
// Beside the sanitizers, the driver checks what a host may rely on: every parameter reads
// back exactly as last sent, the current program and the program names follow the requests,
// texts end inside their buffers, audio output is finite, refused blocks leave the outputs
// alone, the accumulating entry adds exactly, and pin records are written only where they
// should be.
//
// The libFuzzer target (FuzzMain.cpp) and the corpus replay in the ordinary test run
// (ReplayTest.cpp) share this driver. Single-threaded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kestrane::fuzz {

// Runs one input from a fresh instance to its close. Answers an empty string when every
// check held, otherwise what went wrong first (the run stops there).
std::string runDispatcherInput(const uint8_t* data, size_t size);

}  // namespace kestrane::fuzz
