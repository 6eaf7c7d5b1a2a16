#pragma once

// An Env that forwards every call to a target Env, for fault injection: a test derives
// from it and overrides the one call that is to fail. FaultyFile does the same for an
// open file ("fail the third write").
//
//   class FullDisc : public EnvWrapper {
//    public:
//     using EnvWrapper::EnvWrapper;
//     std::unique_ptr<File> OpenFile(const std::string& path, const OpenOptions& o) override {
//       FaultPlan plan;
//       plan.fail_write_from = 3;
//       return std::make_unique<FaultyFile>(EnvWrapper::OpenFile(path, o), plan);
//     }
//   };

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/env.h"

namespace koru::platform {

class EnvWrapper : public Env, public FileSystem, public Registry, public System, public Shell {
 public:
  explicit EnvWrapper(Env& target) : target_(target) {}

  Env& target() { return target_; }

  FileSystem& files() override { return *this; }
  Registry& registry() override { return *this; }
  System& system() override { return *this; }
  Shell& shell() override { return *this; }

  // FileSystem. MakeDirectories is not forwarded: the base version goes through
  // MakeDirectory and DirectoryExists, so overriding those is seen there too.
  std::unique_ptr<File> OpenFile(const std::string& path, const OpenOptions& options) override {
    return target_.files().OpenFile(path, options);
  }
  bool FileExists(const std::string& path) override { return target_.files().FileExists(path); }
  bool DirectoryExists(const std::string& path) override {
    return target_.files().DirectoryExists(path);
  }
  std::optional<uint32_t> GetAttributes(const std::string& path) override {
    return target_.files().GetAttributes(path);
  }
  FileStatus SetAttributes(const std::string& path, uint32_t attributes) override {
    return target_.files().SetAttributes(path, attributes);
  }
  std::optional<uint32_t> GetFileDosTime(const std::string& path) override {
    return target_.files().GetFileDosTime(path);
  }
  FileStatus SetFileDosTime(const std::string& path, uint32_t dos_time) override {
    return target_.files().SetFileDosTime(path, dos_time);
  }
  std::optional<int64_t> GetFileSize(const std::string& path) override {
    return target_.files().GetFileSize(path);
  }
  FileStatus CopyFileTo(const std::string& source, const std::string& target,
                        bool fail_if_exists) override {
    return target_.files().CopyFileTo(source, target, fail_if_exists);
  }
  FileStatus MoveFileTo(const std::string& source, const std::string& target) override {
    return target_.files().MoveFileTo(source, target);
  }
  FileStatus MoveFileOver(const std::string& source, const std::string& target) override {
    return target_.files().MoveFileOver(source, target);
  }
  FileStatus RemoveFile(const std::string& path) override {
    return target_.files().RemoveFile(path);
  }
  FileStatus MakeDirectory(const std::string& path) override {
    return target_.files().MakeDirectory(path);
  }
  FileStatus RemoveDirectoryAt(const std::string& path) override {
    return target_.files().RemoveDirectoryAt(path);
  }
  std::vector<DirEntry> ListDirectory(const std::string& folder) override {
    return target_.files().ListDirectory(folder);
  }
  std::optional<uint64_t> FreeBytes(const std::string& path) override {
    return target_.files().FreeBytes(path);
  }
  std::string ShortPathName(const std::string& path) override {
    return target_.files().ShortPathName(path);
  }

  // Registry.
  std::unique_ptr<RegistryKey> OpenKey(RegistryRoot root, const std::string& path, bool create,
                                       bool writable) override {
    return target_.registry().OpenKey(root, path, create, writable);
  }
  bool DeleteKeyTree(RegistryRoot root, const std::string& parent,
                     const std::string& name) override {
    return target_.registry().DeleteKeyTree(root, parent, name);
  }

  // System.
  std::string TempFolder() override { return target_.system().TempFolder(); }
  std::string WindowsFolder() override { return target_.system().WindowsFolder(); }
  std::string SystemFolder() override { return target_.system().SystemFolder(); }
  std::string SpecialFolder(int csidl) override { return target_.system().SpecialFolder(csidl); }
  std::string ExecutablePath() override { return target_.system().ExecutablePath(); }
  bool IsNtFamily() override { return target_.system().IsNtFamily(); }
  bool IsUserAdmin() override { return target_.system().IsUserAdmin(); }
  std::unique_ptr<NamedMutex> CreateNamedMutex(const std::string& name,
                                               bool* already_existed) override {
    return target_.system().CreateNamedMutex(name, already_existed);
  }
  MutexProbe ProbeMutex(const std::string& name) override {
    return target_.system().ProbeMutex(name);
  }
  bool DeleteAtRestart(const std::string& path) override {
    return target_.system().DeleteAtRestart(path);
  }
  void SleepMs(uint32_t milliseconds) override { target_.system().SleepMs(milliseconds); }
  std::unique_ptr<ResourceData> LoadModuleResource(const std::string& module_path,
                                                   const std::string& name, const std::string& type,
                                                   bool* module_loaded) override {
    return target_.system().LoadModuleResource(module_path, name, type, module_loaded);
  }

  // Shell.
  int ShellOpen(const std::string& file, const std::string& parameters,
                const std::string& directory, int show_command) override {
    return target_.shell().ShellOpen(file, parameters, directory, show_command);
  }
  ShellLinkResult SaveShellLink(const std::string& link_path,
                                const ShellLinkFields& fields) override {
    return target_.shell().SaveShellLink(link_path, fields);
  }
  std::optional<ShellLinkFields> LoadShellLink(const std::string& link_path) override {
    return target_.shell().LoadShellLink(link_path);
  }
  bool FileOperation(const FileOperationRequest& request) override {
    return target_.shell().FileOperation(request);
  }

 private:
  Env& target_;
};

// A File that forwards every call to the file it owns.
class FileWrapper : public File {
 public:
  explicit FileWrapper(std::unique_ptr<File> target) : target_(std::move(target)) {}

  int64_t Read(void* buffer, int64_t count) override { return target_->Read(buffer, count); }
  int64_t Write(const void* buffer, int64_t count) override {
    return target_->Write(buffer, count);
  }
  int64_t GetSize() override { return target_->GetSize(); }
  int64_t GetPosition() override { return target_->GetPosition(); }
  void SetPosition(int64_t position) override { target_->SetPosition(position); }
  void SetSize(int64_t size) override { target_->SetSize(size); }
  void Flush() override { target_->Flush(); }

  File& target() { return *target_; }

 private:
  std::unique_ptr<File> target_;
};

// When an open file starts failing. Calls are counted from 1; 0 means never.
struct FaultPlan {
  int fail_read_from = 0;   // this read and every later one throw kStreamReadError
  int fail_write_from = 0;  // this write and every later one throw kStreamWriteError
  bool fail_flush = false;  // Flush throws kStreamWriteError
  // Writes that would take the file beyond this size throw kStreamWriteError (a full
  // disc); the bytes that fit are not written either. Negative: no limit.
  int64_t size_limit = -1;
};

class FaultyFile : public FileWrapper {
 public:
  FaultyFile(std::unique_ptr<File> target, FaultPlan plan)
      : FileWrapper(std::move(target)), plan_(plan) {}

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  void SetSize(int64_t size) override;
  void Flush() override;

  int reads() const { return reads_; }
  int writes() const { return writes_; }

 private:
  FaultPlan plan_;
  int reads_ = 0;
  int writes_ = 0;
};

}  // namespace koru::platform
