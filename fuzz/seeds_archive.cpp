// Archives written by TVrFileCollection::SaveTo (content compressed in memory, loose files
// stored as they are, separate files, empty and superseded entries), and the older
// directory layouts written by the tests' independent archive writer.

#include <memory>
#include <string>

#include "base/stream.h"
#include "fuzz_target.h"
#include "platform/memory/memory_env.h"
#include "settings/install_set.h"
#include "storage/archive_fixture.h"
#include "storage/bigstreams.h"
#include "storage/exe_archive.h"
#include "storage/vrfiles.h"

namespace koru::fuzz {
namespace {

struct SourceEntry {
  std::string name;
  std::string content;
  bool loose = false;  // from a file in the source folder (".WAV" and the like are stored)
  bool separate = false;
};

std::string Repeated(const std::string& piece, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += piece;
  return out;
}

std::vector<uint8_t> Save(const std::vector<SourceEntry>& entries) {
  platform::MemoryEnv env;
  TVrFileCollection archive(env);
  archive.SetFolder("C:\\src");
  for (const SourceEntry& e : entries) {
    TVrFile& entry = archive.AddEntry(e.name);
    entry.SeparateFile = e.separate;
    entry.FileTime = 0x5A8C6D21;
    if (e.loose) {
      env.files().PutFile("C:\\src\\" + e.name, e.content);
    } else {
      entry.Content =
          std::make_unique<MemoryStream>(std::vector<uint8_t>(e.content.begin(), e.content.end()));
    }
  }
  TKwBigMemoryStream out;
  archive.SaveTo(out);
  return out.Memory().Release();
}

std::vector<uint8_t> Fixture(int version, const std::vector<testing::FixtureEntry>& entries) {
  return testing::Bytes(testing::BuildArchive(version, entries));
}

// A setup program with an appended archive that holds the settings file the target's
// search looks for.
std::vector<uint8_t> Executable() {
  TKoruInstallSet settings;
  settings.Title = "月下の庭";
  settings.ExeFile = "gekka.exe";
  MemoryStream saved;
  settings.SaveToStream(saved);
  const std::vector<uint8_t> archive =
      Save({{"install.dat", std::string(saved.Bytes().begin(), saved.Bytes().end())},
            {"gekka.exe", Repeated("MZ", 30)}});
  platform::MemoryEnv env;
  env.files().PutFile("C:\\b\\setup.exe", "MZ\x90\x00 a small stub program");
  env.files().PutFile(
      "C:\\b\\game.dat",
      std::string_view(reinterpret_cast<const char*>(archive.data()), archive.size()));
  AppendArchiveToExe(env, "C:\\b\\setup.exe", "C:\\b\\game.dat");
  const std::string exe = *env.files().FileContents("C:\\b\\setup.exe");
  return std::vector<uint8_t>(exe.begin(), exe.end());
}

}  // namespace

std::vector<Seed> MakeSeeds() {
  std::vector<Seed> seeds;
  seeds.push_back({"empty archive", Save({})});
  seeds.push_back({"one compressed entry", Save({{"readme.txt", "はじめにお読みください\r\n"}})});
  seeds.push_back({"mixed entries", Save({{"data\\script.txt", Repeated("line of script\r\n", 20)},
                                          {"bgm\\title.wav", Repeated("RIFF", 40), /*loose=*/true},
                                          {"empty.txt", ""},
                                          {"画像\\背景.bmp", Repeated("\x01\x02\x03", 30)},
                                          {"/old.txt", "superseded"}})});
  seeds.push_back(
      {"separate files", Save({{"setup\\dx.exe", Repeated("MZ", 50), false, /*separate=*/true},
                               {"movie.mpg", Repeated("\x00\x00\x01\xBA", 25), true, true},
                               {"game.ini", "[game]\r\n"}})});
  const std::vector<testing::FixtureEntry> old_entries = {
      {"a.txt", "alpha alpha alpha"}, {"sub\\b.txt", std::string(40, 'b')}, {"c.txt", ""}};
  seeds.push_back({"layout without signature", Fixture(testing::kNoSignature, old_entries)});
  seeds.push_back({"layout 100", Fixture(100, old_entries)});
  seeds.push_back({"layout 101", Fixture(101, {{"x.wav", "stored as is", false, 1, 0x12345678},
                                               {"y.txt", "compressed", true, 2, 0}})});
  seeds.push_back({"executable with archive", Executable()});
  // 5 KiB that inflate to almost 5 MiB (the writer stores larger content as it is): loads
  // into memory stop at the target's bound, extractions at its output budget.
  seeds.push_back({"entry that inflates far beyond the memory bound",
                   Save({{"bomb.bin", std::string(kCompressionLimit - 1, '\0')}}),
                   /*regression=*/true});
  return seeds;
}

}  // namespace koru::fuzz
