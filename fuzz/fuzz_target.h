#pragma once

// What every fuzz target provides: the libFuzzer entry point and a generator of valid
// inputs built by our own writers. The replay program (replay_main.cpp) and the real
// fuzzers (KORU_LIBFUZZER) share these.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace koru::fuzz {

struct Seed {
  std::string name;
  std::vector<uint8_t> bytes;
  // Regression inputs of bugs found before are replayed as they are, not mutated.
  bool regression = false;
};

// Valid inputs of the target's format, plus its regression inputs. Deterministic.
std::vector<Seed> MakeSeeds();

// Inputs larger than this are ignored by the targets: decompression multiplies an input up
// to a thousandfold, and libFuzzer should spend its time on small inputs.
inline constexpr size_t kMaxInputSize = 1 << 16;

}  // namespace koru::fuzz

// A broken promise of the code under test that is not a crash (a wrong result, a state
// not kept on failure): reported like a crash, so that libFuzzer and the replay stop.
#define KORU_FUZZ_CHECK(condition)                                               \
  do {                                                                           \
    if (!(condition)) ::koru::fuzz::CheckFailed(#condition, __FILE__, __LINE__); \
  } while (false)

namespace koru::fuzz {
[[noreturn]] void CheckFailed(const char* condition, const char* file, int line);
}  // namespace koru::fuzz
