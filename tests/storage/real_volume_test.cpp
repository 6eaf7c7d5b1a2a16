// Crosses a real 1 GiB volume boundary on the disc. The first volume is made sparse (its
// size set without writing), so the test costs a few bytes of disc where the file system
// allows it and is skipped where it does not.

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>

#include "base/error.h"
#include "storage/bigstreams.h"

#if defined(_WIN32)
#include "platform/platform_win32_temp_folder.h"
#include "platform/win32/win32_env.h"
#else
#include <sys/stat.h>

#include "platform/host/host_env.h"
#include "platform/platform_host_temp_folder.h"
#endif

namespace koru {
namespace {

TEST(RealVolumeTest, WriteAcrossTheOneGibBoundaryOnDisc) {
#if defined(_WIN32)
  platform::Win32Env env;
  platform::testing::Win32TempFolder temp(env);
  ASSERT_FALSE(temp.path().empty());
  const std::string folder = temp.path() + "\\";
  const std::optional<uint64_t> free_bytes = env.files().FreeBytes(folder);
  if (!free_bytes || *free_bytes < (3ull << 30)) GTEST_SKIP() << "not enough free space";
#else
  platform::testing::HostTempFolder temp;
  ASSERT_FALSE(temp.path().empty());
  platform::HostEnv env(temp.path());
  const std::string folder = "C:\\";
#endif
  const std::string name = folder + "game.dat";
  {
    platform::OpenOptions options;
    options.access = platform::FileAccess::kReadWrite;
    options.disposition = platform::FileDisposition::kCreateAlways;
    std::unique_ptr<platform::File> file = env.files().OpenFile(name, options);
    try {
      file->SetSize(kVolumeSize - 5);
    } catch (const KoruError&) {
      GTEST_SKIP() << "the file system refuses a 1 GiB file";
    }
  }
#if !defined(_WIN32)
  struct stat info {};
  const std::string native = temp.path() + "/drive_c/game.dat";
  if (::stat(native.c_str(), &info) != 0 || info.st_blocks * 512 > (64 << 20)) {
    GTEST_SKIP() << "the file system does not keep sparse files";
  }
#endif
  {
    TKwBigFileStream stream(env.files(), name, kModeReadWrite);
    stream.SetPosition(stream.GetSize());
    ASSERT_EQ(stream.Write("0123456789", 10), 10);
    EXPECT_EQ(stream.VolumeCount(), 2);
  }
  EXPECT_EQ(env.files().GetFileSize(name), kVolumeSize);
  EXPECT_EQ(env.files().GetFileSize(folder + "game.001"), 5);

  TKwBigFileStream reader(env.files(), name, kModeRead);
  EXPECT_EQ(reader.GetSize(), kVolumeSize + 5);
  reader.SetPosition(kVolumeSize - 5);
  char bytes[10];
  reader.ReadExact(bytes, 10);
  EXPECT_EQ(std::string(bytes, 10), "0123456789");
}

}  // namespace
}  // namespace koru
