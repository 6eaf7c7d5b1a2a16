#pragma once

// What a program leaves behind: registry values, files and folders; and the folders the
// system names. Paths and values are Shift-JIS. Where a 32-bit and a 64-bit prefix
// differ (Program Files, the registry's Wow6432Node view), ask the system here rather than
// spelling out either form.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace e2e {

enum class Hive { kCurrentUser, kLocalMachine, kClassesRoot };

// Which registry view to read: the one of a 32-bit program (what the shipped program
// sees), the native one, or the driver's own.
enum class RegistryView { kOwn, k32, k64 };

bool RegistryKeyExists(Hive hive, std::string_view key, RegistryView view = RegistryView::kOwn);
// A REG_SZ or REG_EXPAND_SZ value (not expanded); empty when missing or of another type.
std::optional<std::string> ReadRegistryString(Hive hive, std::string_view key,
                                              std::string_view value,
                                              RegistryView view = RegistryView::kOwn);
std::optional<uint32_t> ReadRegistryDword(Hive hive, std::string_view key, std::string_view value,
                                          RegistryView view = RegistryView::kOwn);

bool FileExists(std::string_view path);
bool DirectoryExists(std::string_view path);
// The file's bytes; empty when it cannot be read.
std::optional<std::string> ReadFileBytes(std::string_view path);
// Writes (replaces) a file; fails the step when it cannot.
void WriteFileBytes(std::string_view path, std::string_view bytes);
// Creates the folder and the ones above it; fails the step when it cannot.
void MakeDirectories(std::string_view path);
// Copies a folder with everything in it (for example a disc image into the drive D:).
void CopyTree(std::string_view from, std::string_view to);
// Names in a folder (files and folders, without "." and ".."), sorted.
std::vector<std::string> ListFolder(std::string_view path);

// A Unix path as Wine sees it ("/work/x" is "Z:\work\x"); for paths the build gives.
std::string HostPath(std::string_view unix_path);

// The folder of a CSIDL (for example 38, Program Files) as this process sees it.
std::string SpecialFolder(int csidl);
// An environment variable of the driver's process (empty when unset).
std::string EnvironmentVariable(std::string_view name);

// The drive type of "D:\" and the like: "cdrom", "fixed", "removable", "remote", "none".
std::string DriveType(std::string_view root);

}  // namespace e2e
