#pragma once

// What the setup program's scenarios share: the discs and programs made by
// make-fixtures.sh, install.dat variants written by vfkit, the game's registry key and
// the restart list.

#include <string>
#include <string_view>

#include "e2e/driver/scenario.h"

namespace koru::e2e_launcher {

inline constexpr const char* kTitle = "サンプルゲーム";
inline constexpr const char* kMainCaption = "サンプルゲームのセットアップ";
inline constexpr const char* kGameKey = "Software\\KoruSample\\SampleGame";

// A fixture's Windows path (OUT of make-fixtures.sh).
std::string Fixture(std::string_view name);
// Copies the sample disc (setup.exe, install.exe, install.dat, game.dat, loose files)
// into folder.
void PutSampleDisc(std::string_view folder);
// Runs the Windows build's vfkit with these arguments; fails the test unless it exits 0.
void RunVfkit(const std::string& arguments);
// Writes folder\install.dat from the sample disc's settings with the given JSON members
// replaced or added (ASCII text such as R"("BackImageLayout": 2)").
void WriteSettings(std::string_view folder, std::string_view extra_json_members);
// Sets a string value of the game's key (HKEY_CURRENT_USER).
void SetGameValue(const std::string& name, const std::string& value);
// The files recorded for deletion at the next restart ("\??\" prefixes removed).
std::vector<std::string> PendingDeletions();

}  // namespace koru::e2e_launcher
