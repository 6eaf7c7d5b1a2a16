// Timed driver for the copy engine on Windows (run under Wine by run-bench.sh). Each
// step is a command of its own, so that the install runs in a process of its own and its
// peak private bytes are the setup's alone:
//
//   make-disc DISC [D]    a generated single-disc game of about 1.5 GiB in DISC: game.dat
//                         (one 1 GiB entry, 20,000 small compressed ones) and 200 MiB of
//                         loose files; every size divided by D for a quick try
//   plain-copy DISC DEST  CopyFileW of the files an install writes (the archive's volumes
//                         and the loose files)
//   install DISC TARGET   the wizard walked into "copy" against the Win32 platform, a real
//                         wizard window (or --recorded-view), pauses recorded, not slept
//   plain-crc TARGET      CRC-32 of the installed game.dat and its volumes, read in 1 MiB
//                         pieces
//
// Each prints lines "key value" on stdout. Folders are given with a trailing backslash.
#include <windows.h>
// After windows.h, which it needs.
#include <psapi.h>
#include <zlib.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "base/error.h"
#include "base/sjis.h"
#include "platform/env_wrapper.h"
#include "platform/memory/recorded_form_view.h"
#include "platform/win32/form_window.h"
#include "platform/win32/win32_com.h"
#include "platform/win32/win32_text.h"
#include "platform/win32/win32_user_interface.h"
#include "settings/install_set.h"
#include "settings/paths.h"
#include "storage/bigstreams.h"
#include "storage/vrfiles.h"
#include "wizard/copy_engine.h"
#include "wizard/form_type.h"

namespace koru {
namespace {

constexpr int64_t kMiB = 1 << 20;
constexpr int64_t kBigEntry = 1024 * kMiB;
constexpr int kSmallEntries = 20000;
constexpr int64_t kSmallEntryBytes = 27 * 1024;  // about 15 KiB each once compressed
constexpr uint32_t kFileTime = (45u << 25) | (6u << 21) | (1u << 16);

double NowSeconds() {
  LARGE_INTEGER frequency;
  LARGE_INTEGER now;
  ::QueryPerformanceFrequency(&frequency);
  ::QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// The process's processor time (user and kernel). On a machine shared with other work,
// wall times swing widely; processor time does much less.
double CpuSeconds() {
  FILETIME created, exited, kernel, user;
  if (!::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
  auto seconds = [](const FILETIME& t) {
    return static_cast<double>((static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime) /
           1e7;
  };
  return seconds(kernel) + seconds(user);
}

struct Stamp {
  double wall = 0;
  double cpu = 0;
};
Stamp Now() { return {NowSeconds(), CpuSeconds()}; }
// "name_s W\nname_cpu_s C\n" for the span between two stamps.
void PrintSpan(const char* name, const Stamp& from, const Stamp& to) {
  std::printf("%s_s %.3f\n%s_cpu_s %.3f\n", name, to.wall - from.wall, name, to.cpu - from.cpu);
}

// A fast deterministic byte source (xorshift64).
class Bytes {
 public:
  explicit Bytes(uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 1) {}
  uint64_t Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 7;
    state_ ^= state_ << 17;
    return state_;
  }
  // Random bytes: nothing to compress.
  void Fill(uint8_t* out, size_t n) {
    for (size_t i = 0; i < n; i += 8) {
      const uint64_t v = Next();
      for (size_t k = 0; k < 8 && i + k < n; ++k) out[i + k] = static_cast<uint8_t>(v >> (8 * k));
    }
  }
  // Sixteen letters: compresses to about half.
  std::string Text(size_t n) {
    std::string text(n, ' ');
    for (size_t i = 0; i < n; i += 16) {
      const uint64_t v = Next();
      for (size_t k = 0; k < 16 && i + k < n; ++k)
        text[i + k] = static_cast<char>('a' + ((v >> (4 * k)) & 15));
    }
    return text;
  }

 private:
  uint64_t state_;
};

void WriteRandomFile(platform::FileSystem& files, const std::string& path, int64_t size,
                     uint64_t seed) {
  files.MakeDirectories(ExtractFilePath(path));
  platform::OpenOptions options;
  options.access = platform::FileAccess::kWrite;
  options.disposition = platform::FileDisposition::kCreateAlways;
  std::unique_ptr<platform::File> file = files.OpenFile(path, options);
  Bytes bytes(seed);
  std::vector<uint8_t> buffer(static_cast<size_t>(8 * kMiB));
  for (int64_t done = 0; done < size;) {
    const int64_t n = std::min<int64_t>(size - done, static_cast<int64_t>(buffer.size()));
    bytes.Fill(buffer.data(), static_cast<size_t>(n));
    file->WriteExact(buffer.data(), n);
    done += n;
  }
}

struct LooseFile {
  const char* name;
  int64_t size;
};
constexpr LooseFile kLooseFiles[] = {
    {"game.exe", 8 * kMiB},
    {"install.exe", 2 * kMiB},
    {"readme.txt", 4096},
    {"bgm\\01.ogg", 10 * kMiB},
    {"bgm\\02.ogg", 10 * kMiB},
    {"bgm\\03.ogg", 10 * kMiB},
    {"bgm\\04.ogg", 10 * kMiB},
    {"bgm\\05.ogg", 10 * kMiB},
    {"bgm\\06.ogg", 10 * kMiB},
    {"bgm\\07.ogg", 10 * kMiB},
    {"bgm\\08.ogg", 10 * kMiB},
    {"bgm\\09.ogg", 10 * kMiB},
    {"movie\\op.mpg", 100 * kMiB - 4096},
};

// divisor: 1 for the benchmark, more for a quick try of the driver.
int MakeDisc(platform::Env& env, const std::string& disc, int divisor) {
  platform::FileSystem& files = env.files();
  const Stamp start = Now();
  TKoruInstallSet settings;
  settings.Title = "ベンチマーク";
  settings.MediaName = "DVD-ROM";
  settings.RegistryKey = "\\KoruBench\\Game";
  settings.DefaultFolder = "<ProgramFiles>\\KoruBench\\Game";
  settings.ExeFile = "game.exe";
  settings.ReadmeFile = "readme.txt";
  settings.SetDiscCount(1);
  int64_t prog = 0, sound = 0, movie = 0;
  for (const LooseFile& loose : kLooseFiles) {
    settings.ExtraFiles.push_back(loose.name);
    const int64_t size = loose.size / divisor;
    WriteRandomFile(files, disc + loose.name, size, loose.size);
    const int kind = ClassifyMediaFile(ExtractFileExt(loose.name));
    (kind == mkSound ? sound : kind == mkMovie ? movie : prog) += size;
  }

  // The 1 GiB entry comes from a file (a content stream of that size is copied as is);
  // the small ones are handed over in memory and stored compressed.
  const std::string big = disc + "big.tmp";
  WriteRandomFile(files, big, kBigEntry / divisor, 7);
  TVrFileCollection archive(env);
  {
    platform::OpenOptions read;
    TVrFile& entry = archive.AddEntry("movie\\opening.wmv");
    entry.Content = files.OpenFile(big, read);
    entry.FileTime = kFileTime;
  }
  Bytes text(11);
  for (int i = 0; i < kSmallEntries / divisor; ++i) {
    const std::string bytes = text.Text(static_cast<size_t>(kSmallEntryBytes));
    TVrFile& entry = archive.AddEntry(Format("scenario\\part%02d\\scene%05d.txt", i / 1000, i));
    entry.Content =
        std::make_unique<MemoryStream>(std::vector<uint8_t>(bytes.begin(), bytes.end()));
    entry.FileTime = kFileTime;
  }
  MemoryStream settings_bytes;
  settings.SaveToStream(settings_bytes);
  archive.AddEntry("install.dat").Content = std::make_unique<MemoryStream>(settings_bytes.Bytes());
  {
    TKwBigFileStream out(files, disc + "game.dat", kModeCreate);
    if (!archive.SaveTo(out)) return 1;
  }
  archive.Open("");  // frees the entries, closing the big file
  files.RemoveFile(big);

  int64_t data = 0;
  for (int v = 0; files.FileExists(VolumeFileName(disc + "game.dat", v)); ++v) {
    data += *files.GetFileSize(VolumeFileName(disc + "game.dat", v));
  }
  settings.ProgSize = settings.DiscProgSizes[0] = prog;
  settings.DataSize = settings.DiscDataSizes[0] = data;
  settings.SoundSize = settings.DiscSoundSizes[0] = sound;
  settings.MovieSize = settings.DiscMovieSizes[0] = movie;
  settings.SaveToFile(env, disc + "install.dat");
  std::printf("disc_bytes %lld\nmake_disc_s %.1f\n",
              static_cast<long long>(prog + sound + movie + data), Now().wall - start.wall);
  return 0;
}

// The files an install writes, relative to the disc and the install folder.
std::vector<std::string> InstalledNames(platform::FileSystem& files, const std::string& folder) {
  std::vector<std::string> names;
  for (int v = 0; files.FileExists(VolumeFileName(folder + "game.dat", v)); ++v) {
    names.push_back(ExtractFileName(VolumeFileName(folder + "game.dat", v)));
  }
  for (const LooseFile& loose : kLooseFiles) names.push_back(loose.name);
  return names;
}

int PlainCopy(platform::Env& env, const std::string& disc, const std::string& dest) {
  platform::FileSystem& files = env.files();
  const std::vector<std::string> names = InstalledNames(files, disc);
  const Stamp start = Now();
  int64_t bytes = 0;
  for (const std::string& name : names) {
    files.MakeDirectories(ExtractFilePath(dest + name));
    if (!::CopyFileW(platform::win32::Wide(disc + name).c_str(),
                     platform::win32::Wide(dest + name).c_str(), /*fail_if_exists=*/FALSE)) {
      std::fprintf(stderr, "CopyFileW failed: %s\n", name.c_str());
      return 1;
    }
    bytes += *files.GetFileSize(dest + name);
  }
  PrintSpan("plain_copy", start, Now());
  std::printf("plain_copy_bytes %lld\n", static_cast<long long>(bytes));
  return 0;
}

int PlainCrc(platform::Env& env, const std::string& target) {
  const Stamp start = Now();
  std::vector<uint8_t> buffer(static_cast<size_t>(kMiB));
  int64_t bytes = 0;
  uLong crc = 0;
  for (int v = 0; env.files().FileExists(VolumeFileName(target + "game.dat", v)); ++v) {
    const std::wstring path = platform::win32::Wide(VolumeFileName(target + "game.dat", v));
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, /*security=*/nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, /*template=*/nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
    DWORD got = 0;
    while (::ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr) &&
           got > 0) {
      crc = crc32(crc, buffer.data(), got);
      bytes += got;
    }
    ::CloseHandle(file);
  }
  PrintSpan("plain_crc", start, Now());
  std::printf("plain_crc_bytes %lld\nplain_crc %08lx\n", static_cast<long long>(bytes), crc);
  return 0;
}

// The Win32 platform with its pauses recorded instead of slept, and shell "open" recorded
// instead of starting programs (the shortcut folder, the readme).
class BenchEnv : public platform::EnvWrapper {
 public:
  using EnvWrapper::EnvWrapper;
  void SleepMs(uint32_t milliseconds) override { pauses.push_back(milliseconds); }
  int ShellOpen(const std::string&, const std::string&, const std::string&, int) override {
    ++opens;
    return 42;
  }
  std::vector<uint32_t> pauses;
  int opens = 0;
};

// Pumps the real message queue; a message box would wait for a user, so boxes are answered
// with their first button and printed.
class BenchUi : public platform::UserInterface {
 public:
  int ShowMessage(const std::string&, const std::string& text, platform::MessageIcon,
                  platform::MessageButtons buttons) override {
    std::fprintf(stderr, "message box: %s\n", SjisToUtf8(text).c_str());
    ++boxes;
    return buttons == platform::MessageButtons::kYesNo ? platform::kResultYes : platform::kResultOk;
  }
  void ProcessMessages() override {
    ++pumps;
    ui_.ProcessMessages();
  }
  void ShowHandlerError(const std::string& text) override { ShowMessage("", text, {}, {}); }
  void SetApplicationTitle(const std::string&) override {}
  int boxes = 0;
  int64_t pumps = 0;

 private:
  platform::win32::Win32UserInterface ui_;
};

// Forwards to the window (or the recorded view) and notes when the check starts and ends.
class PhaseView : public platform::FormView {
 public:
  explicit PhaseView(platform::FormView& view) : view_(view) {}
  void SetCaption(const std::string& caption) override { view_.SetCaption(caption); }
  void SetClientSize(int width, int height) override { view_.SetClientSize(width, height); }
  void SetText(int id, const std::string& text) override {
    if (id == kIdLabelCopyCap && text == kCheckCaption) check_start = Now();
    // The first progress of the merge: the loose files are done.
    if (id == kIdLabelCopy && merge_start.wall == 0 && text.rfind("データ", 0) == 0) {
      merge_start = Now();
    }
    ++texts;
    view_.SetText(id, text);
    // The check ends with its last progress report (at most nine small entries later);
    // what follows belongs to the finish, which closes and flushes the archive.
    if (id == kIdLabelCopy && check_start.wall > 0) check_end = Now();
  }
  std::string Text(int id) override { return view_.Text(id); }
  void SetBounds(int id, const platform::ControlRect& rect) override { view_.SetBounds(id, rect); }
  platform::ControlRect Bounds(int id) override { return view_.Bounds(id); }
  void SetVisible(int id, bool visible) override { view_.SetVisible(id, visible); }
  bool Visible(int id) override { return view_.Visible(id); }
  void SetEnabled(int id, bool enabled) override { view_.SetEnabled(id, enabled); }
  bool Enabled(int id) override { return view_.Enabled(id); }
  void SetChecked(int id, bool checked) override { view_.SetChecked(id, checked); }
  bool Checked(int id) override { return view_.Checked(id); }
  void SetFocus(int id) override { view_.SetFocus(id); }
  void SetProgress(int id, int position, int maximum) override {
    ++progress;
    view_.SetProgress(id, position, maximum);
  }
  void ShowNotebookPage(int page) override { view_.ShowNotebookPage(page); }
  void Repaint() override { view_.Repaint(); }
  void BringToFront() override { view_.BringToFront(); }

  Stamp merge_start;
  Stamp check_start;
  Stamp check_end;
  int64_t texts = 0;
  int64_t progress = 0;

 private:
  platform::FormView& view_;
};

PROCESS_MEMORY_COUNTERS_EX MemoryCounters() {
  PROCESS_MEMORY_COUNTERS_EX memory{};
  memory.cb = sizeof memory;
  ::GetProcessMemoryInfo(::GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                         sizeof memory);
  return memory;
}

// The highest private use seen, sampled every 5 ms by a thread of its own. Windows keeps
// the peak itself (PeakPagefileUsage), but Wine gives the current use in that field too,
// so under Wine the peak is only seen by looking often.
class PrivateBytesSampler {
 public:
  PrivateBytesSampler()
      : thread_([this] {
          while (!stop_) {
            Sample();
            ::Sleep(5);
          }
        }) {}
  ~PrivateBytesSampler() { Stop(); }
  void Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    Sample();
  }
  uint64_t peak() const { return peak_; }

 private:
  void Sample() {
    const PROCESS_MEMORY_COUNTERS_EX memory = MemoryCounters();
    const uint64_t used = std::max<uint64_t>(memory.PagefileUsage, memory.PeakPagefileUsage);
    if (used > peak_) peak_ = used;
  }

  std::atomic<bool> stop_{false};
  std::atomic<uint64_t> peak_{0};
  std::thread thread_;
};

int Install(platform::Env& real, const std::string& disc, const std::string& target,
            bool recorded_view) {
  PrivateBytesSampler sampler;
  platform::win32::ComApartment com;
  BenchEnv env(real);
  BenchUi ui;
  TKoruInstallSet settings;
  settings.LoadFromFile(env, disc + "install.dat");
  TVrFileCollection archive(env);
  archive.Open(disc + "game.dat");
  CopyEngine engine;
  TFormType form(env, ui, settings, &archive, {ExcludeTrailingBackslash(disc)}, engine);

  std::unique_ptr<platform::win32::FormWindow> window;
  std::unique_ptr<platform::RecordedFormView> recorded;
  platform::FormView* shown = nullptr;
  if (recorded_view) {
    recorded = std::make_unique<platform::RecordedFormView>(TFormType::Layout());
    shown = recorded.get();
  } else {
    platform::win32::FormOptions options;
    options.caption = kWizardInitialCaption;
    options.client_width = kWizardWidth;
    options.client_height = kWizardHeight;
    options.cancel_id = kIdBtnAbort;
    window = std::make_unique<platform::win32::FormWindow>(form, ui, TFormType::Layout(), options);
    shown = window.get();
  }
  PhaseView view(*shown);
  form.FormCreate(view);
  if (window) window->Show();
  for (int id : {kIdCheckData, kIdCheckSound, kIdCheckMovie}) view.SetChecked(id, true);
  view.SetText(kIdEditDir, ExcludeTrailingBackslash(target));
  while (form.CurrentPage() < kPageConfirm) {
    const int page = form.CurrentPage();
    form.OnClick(kIdBtnNext);
    if (form.CurrentPage() == page) return 1;
  }
  ui.ProcessMessages();

  const Stamp start = Now();
  form.OnClick(kIdBtnNext);  // "インストール": the copy page's entry runs
  const Stamp end = Now();
  if (form.CurrentPage() != kPageExit) {
    std::fprintf(stderr, "the install did not reach the last page\n");
    return 1;
  }
  int64_t bytes = 0;
  for (const std::string& name : InstalledNames(env.files(), target)) {
    bytes += env.files().GetFileSize(target + name).value_or(0);
  }
  uint32_t pauses = 0;
  std::string pause_list;
  for (const uint32_t pause : env.pauses) {
    pauses += pause;
    if (!pause_list.empty()) pause_list += '+';
    pause_list += std::to_string(pause);
  }
  sampler.Stop();
  const PROCESS_MEMORY_COUNTERS_EX memory = MemoryCounters();
  std::printf("install_bytes %lld\n", static_cast<long long>(bytes));
  PrintSpan("loose_files", start, view.merge_start);
  PrintSpan("merge", view.merge_start, view.check_start);
  PrintSpan("copy_phase", start, view.check_start);
  PrintSpan("check_phase", view.check_start, view.check_end);
  PrintSpan("finish", view.check_end, end);
  std::printf("pauses_ms %u (%s, recorded, not slept)\n", pauses, pause_list.c_str());
  std::printf("peak_private_bytes %llu\npeak_working_set %llu\n",
              static_cast<unsigned long long>(sampler.peak()),
              static_cast<unsigned long long>(memory.PeakWorkingSetSize));
  std::printf("pumps %lld\nlabel_texts %lld\nprogress_updates %lld\nmessage_boxes %d\n",
              static_cast<long long>(ui.pumps), static_cast<long long>(view.texts),
              static_cast<long long>(view.progress), ui.boxes);
  return 0;
}

// VerifyChecksums of the installed archive alone, without and with the page's pumping:
// where the check phase's time goes.
int Verify(platform::Env& env, const std::string& target) {
  TVrFileCollection archive(env);
  archive.Open(target + "game.dat");
  Stamp start = Now();
  const bool plain = archive.VerifyChecksums();
  PrintSpan("verify", start, Now());
  platform::win32::Win32UserInterface ui;
  archive.OnProgress = [&ui](TVrFile&, int64_t, int, int, bool&) { ui.ProcessMessages(); };
  start = Now();
  const bool pumped = archive.VerifyChecksums();
  PrintSpan("verify_pumping", start, Now());
  return plain && pumped ? 0 : 1;
}

int Run(const std::vector<std::string>& args) {
  platform::Env& env = platform::DefaultEnv();
  const std::string command = args.empty() ? "" : args[0];
  if (command == "make-disc" && (args.size() == 2 || args.size() == 3)) {
    return MakeDisc(env, AddBackslash(args[1]), args.size() == 3 ? std::stoi(args[2]) : 1);
  }
  if (command == "plain-copy" && args.size() == 3) {
    return PlainCopy(env, AddBackslash(args[1]), AddBackslash(args[2]));
  }
  if (command == "install" && (args.size() == 3 || args.size() == 4)) {
    return Install(env, AddBackslash(args[1]), AddBackslash(args[2]),
                   args.size() == 4 && args[3] == "--recorded-view");
  }
  if (command == "plain-crc" && args.size() == 2) return PlainCrc(env, AddBackslash(args[1]));
  if (command == "verify" && args.size() == 2) return Verify(env, AddBackslash(args[1]));
  std::fprintf(stderr,
               "usage: bench_copy_engine make-disc DISC [DIVISOR] | plain-copy DISC DEST |\n"
               "       install DISC TARGET [--recorded-view] | plain-crc TARGET\n");
  return 2;
}

}  // namespace
}  // namespace koru

int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(koru::platform::win32::Narrow(argv[i]));
  try {
    return koru::Run(args);
  } catch (const koru::KoruError& error) {
    std::fprintf(stderr, "error: %s\n", error.Utf8().c_str());
    return 1;
  }
}
