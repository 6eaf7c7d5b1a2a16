#pragma once

// Folder listing, the shell's special folders and the per-user save-data folders.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/env.h"

namespace koru {

// Attribute mask of the callers that want every file and no folder (read-only, hidden,
// system, volume, archive), used together with plain set.
inline constexpr uint32_t kListAllFilesMask = 47;

// Appends the entries of folder to list, in the order the platform enumerates them:
// - a folder entry is taken when mask holds the folder attribute (0x10);
// - a file entry is taken when mask shares an attribute bit with it, or when plain is set
//   and the file has none of the attributes 0x01 to 0x20;
// - a taken file is kept only when extension is empty or equals the file's extension
//   (with its dot) ignoring case.
// Each entry is the folder (with a trailing backslash) followed by the name; folders get a
// trailing backslash when mark is set. clear removes the read-only and hidden attributes
// of every entry seen. recurse descends into every sub-folder (marking folders there).
// clear_list empties list first.
void ListFolder(platform::Env& env, const std::string& folder, uint32_t mask, bool plain,
                const std::string& extension, bool clear, bool mark, bool recurse,
                std::vector<std::string>& list, bool clear_list);

// The path of a shell folder (CSIDL), without trailing backslash. Throws KoruError with
// the system's message when the shell has no such folder.
std::string GetSpecialFolder(platform::Env& env, int csidl);

// The drive of the system folder without trailing backslash ("C:").
std::string GetSystemDriveName(platform::Env& env);

// Appends to list every existing save-data folder of the game named folder_name: the
// name, with \ / : , ; * ? " < > | each replaced by "_", below the local application data
// folder of every user profile of the machine; each entry ends with a backslash. Returns
// the number of entries of list (those it held before included), or 0 without touching
// list on a platform outside the NT family, for an empty name, or when the profile list
// cannot be opened.
int ResolveUserFolders(platform::Env& env, const std::string& folder_name,
                       std::vector<std::string>& list);

}  // namespace koru
