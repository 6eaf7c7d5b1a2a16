// Runs a fuzz target as an ordinary program (gcc, mingw, Wine): every seed of the
// target's generator, every truncated prefix of it and a fixed number of seeded mutations.
// With file arguments it replays just those files (inputs saved by libFuzzer);
// "--write-seeds DIR" writes the seeds as files (a libFuzzer starting corpus).
//
// A finding is an uncaught exception of another type than KoruError (the target lets it
// through), a crash, a single allocation above kMaxAllocation, or an input that takes
// longer than the slow limit. The input that causes one is saved as
// "finding-<target>-<n>.bin" in the working folder (or KORU_FUZZ_FINDINGS).
//
// Environment: KORU_FUZZ_MUTATIONS (mutations in all), KORU_FUZZ_SEED (first random
// seed), KORU_FUZZ_SLOW_MS (slow limit), KORU_FUZZ_FINDINGS (folder of saved inputs).

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <exception>
#include <fstream>
#include <iterator>
#include <new>
#include <string>
#include <vector>

#include "fuzz_target.h"
#include "mutator.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/common_interface_defs.h>
#define KORU_FUZZ_ASAN 1
#endif

#ifndef KORU_FUZZ_TARGET_NAME
#define KORU_FUZZ_TARGET_NAME "fuzz"
#endif

namespace {

using koru::fuzz::FuzzRandom;
using koru::fuzz::Seed;

// A reader that allocates more than this for one object of a small input did not check a
// count against the bytes that are left.
constexpr size_t kMaxAllocation = size_t{512} << 20;

#if defined(_WIN32)
// Under Wine a program starts and allocates several times slower.
constexpr int kDefaultMutations = 300;
constexpr int kDefaultSlowMs = 10000;
#else
constexpr int kDefaultMutations = 2000;
constexpr int kDefaultSlowMs = 3000;
#endif

// The input being run, for the crash handlers. Set before each run.
const std::vector<uint8_t>* g_current = nullptr;
std::string g_current_label;
int g_findings = 0;

int EnvInt(const char* name, int fallback) {
  const char* value = std::getenv(name);
  if (value == nullptr || *value == '\0') return fallback;
  return std::atoi(value);
}

std::string FindingPath(int n) {
  const char* folder = std::getenv("KORU_FUZZ_FINDINGS");
  std::string path = folder != nullptr && *folder != '\0' ? std::string(folder) + "/" : "";
  return path + "finding-" KORU_FUZZ_TARGET_NAME "-" + std::to_string(n) + ".bin";
}

// Also called from crash handlers: only C stdio, no allocation of note.
void SaveCurrent(const char* what) {
  std::fprintf(stderr, "FINDING (%s) in %s\n", what, g_current_label.c_str());
  if (g_current == nullptr) return;
  const std::string path = FindingPath(g_findings);
  if (std::FILE* file = std::fopen(path.c_str(), "wb")) {
    if (!g_current->empty()) std::fwrite(g_current->data(), 1, g_current->size(), file);
    std::fclose(file);
    std::fprintf(stderr, "  input (%zu bytes) saved as %s\n", g_current->size(), path.c_str());
  }
}

extern "C" void OnFatalSignal(int signal) {
  SaveCurrent(signal == SIGSEGV ? "SIGSEGV" : signal == SIGABRT ? "SIGABRT" : "signal");
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

#if defined(KORU_FUZZ_ASAN)
extern "C" void OnSanitizerDeath() { SaveCurrent("sanitizer report above"); }
#endif

void InstallCrashHandlers() {
  // Failed checks of the targets abort; the sanitizers leave SIGABRT alone.
  std::signal(SIGABRT, OnFatalSignal);
#if defined(KORU_FUZZ_ASAN)
  __sanitizer_set_death_callback(OnSanitizerDeath);
#else
  std::signal(SIGSEGV, OnFatalSignal);
  std::signal(SIGFPE, OnFatalSignal);
  std::signal(SIGILL, OnFatalSignal);
#endif
}

class Runner {
 public:
  Runner() : slow_ms_(EnvInt("KORU_FUZZ_SLOW_MS", kDefaultSlowMs)) {}

  void Run(const std::vector<uint8_t>& input, const std::string& label) {
    g_current = &input;
    g_current_label = label;
    // <chrono> does not build under the CP932 execution character set; CPU time is
    // what a runaway loop burns anyway.
    const std::clock_t start = std::clock();
    try {
      LLVMFuzzerTestOneInput(input.data(), input.size());
    } catch (const std::exception& e) {
      Report(std::string("exception other than KoruError: ") + e.what());
    } catch (...) {
      Report("exception of unknown type");
    }
    const long ms = static_cast<long>((std::clock() - start) * 1000.0 / CLOCKS_PER_SEC);
    if (ms > slow_ms_) Report("slow input: " + std::to_string(ms) + " ms");
    ++runs_;
    g_current = nullptr;
  }

  long runs() const { return runs_; }

 private:
  void Report(const std::string& what) {
    SaveCurrent(what.c_str());
    ++g_findings;
  }

  long slow_ms_;
  long runs_ = 0;
};

std::vector<uint8_t> ReadFile(const char* path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "cannot read %s\n", path);
    std::exit(2);
  }
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

// Catches the allocations the sanitizers would let through and the ones of the Windows
// build: a reader must refuse an impossible size before allocating it.
#if !defined(KORU_FUZZ_ASAN)
void* operator new(size_t size) {
  if (size > kMaxAllocation) {
    SaveCurrent(("allocation of " + std::to_string(size) + " bytes").c_str());
    std::_Exit(1);  // saved and reported: no second report from the SIGABRT handler
  }
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void* operator new[](size_t size) { return operator new(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }
#else
extern "C" const char* __asan_default_options() {
  // 512 MiB, as kMaxAllocation; reported as allocation-size-too-big.
  return "max_allocation_size_mb=512:allocator_may_return_null=0";
}
#endif

int main(int argc, char** argv) {
  InstallCrashHandlers();
  Runner runner;
  if (argc == 3 && std::strcmp(argv[1], "--write-seeds") == 0) {
    // The starting corpus of the libFuzzer program.
    int n = 0;
    for (const Seed& seed : koru::fuzz::MakeSeeds()) {
      const std::string path = std::string(argv[2]) + "/seed-" + std::to_string(n++) + ".bin";
      std::ofstream out(path, std::ios::binary);
      out.write(reinterpret_cast<const char*>(seed.bytes.data()),
                static_cast<std::streamsize>(seed.bytes.size()));
    }
    return 0;
  }
  if (argc > 1) {
    for (int i = 1; i < argc; ++i) runner.Run(ReadFile(argv[i]), argv[i]);
    std::printf("%ld inputs, %d findings\n", runner.runs(), g_findings);
    return g_findings == 0 ? 0 : 1;
  }

  const int mutations = EnvInt("KORU_FUZZ_MUTATIONS", kDefaultMutations);
  FuzzRandom random(static_cast<uint64_t>(EnvInt("KORU_FUZZ_SEED", 1)));
  const std::vector<Seed> seeds = koru::fuzz::MakeSeeds();
  std::vector<const Seed*> valid;
  for (const Seed& seed : seeds) {
    if (seed.regression) continue;
    valid.push_back(&seed);
    runner.Run(seed.bytes, seed.name);
    for (size_t length = 0; length < seed.bytes.size(); ++length) {
      const std::vector<uint8_t> prefix(seed.bytes.begin(),
                                        seed.bytes.begin() + static_cast<std::ptrdiff_t>(length));
      runner.Run(prefix, seed.name + " cut to " + std::to_string(length));
    }
  }
  // The mutations take the valid seeds in turn.
  for (int m = 0; m < mutations && !valid.empty(); ++m) {
    const Seed& seed = *valid[static_cast<size_t>(m) % valid.size()];
    runner.Run(koru::fuzz::Mutate(seed.bytes, random),
               seed.name + " mutation " + std::to_string(m));
  }
  // Last, so that a bug still open stops nothing else.
  for (const Seed& seed : seeds) {
    if (seed.regression) runner.Run(seed.bytes, seed.name);
  }
  std::printf("%s: %zu seeds, %ld inputs, %d findings\n", KORU_FUZZ_TARGET_NAME, seeds.size(),
              runner.runs(), g_findings);
  return g_findings == 0 ? 0 : 1;
}
