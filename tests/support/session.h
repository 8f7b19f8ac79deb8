// Test helpers: a live session record with its block registry, and a
// temporary folder that is removed afterwards.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/core/app_data.h"
#include "app/core/memory_manager.h"
#include "app/core/session_state.h"

namespace vmktest {

// Installs gPer with a fresh registry for the lifetime of the object.
class ScopedSession {
 public:
  ScopedSession();
  ~ScopedSession();
  ScopedSession(const ScopedSession&) = delete;
  ScopedSession& operator=(const ScopedSession&) = delete;
  CMemMan& memMan() { return *per_.memMan; }

 private:
  TPermanent per_;
  TPermanent* previous_;
};

// Installs gappData with fresh application data (every file slot closed)
// for the lifetime of the object.
class ScopedAppData {
 public:
  ScopedAppData() : previous_(gappData) { gappData = &data_; }
  ~ScopedAppData() { gappData = previous_; }
  ScopedAppData(const ScopedAppData&) = delete;
  ScopedAppData& operator=(const ScopedAppData&) = delete;
  TAppData& data() { return data_; }

 private:
  TAppData data_;
  TAppData* previous_;
};

// Every block from the platform allocator (and so from the session's
// registry) is refused for the lifetime of the object: out of memory.
class NoWorkMemory {
 public:
  NoWorkMemory() : previous_(plat::SetBlockLimit(0)) {}
  ~NoWorkMemory() { End(); }
  NoWorkMemory(const NoWorkMemory&) = delete;
  NoWorkMemory& operator=(const NoWorkMemory&) = delete;
  // Memory is given again from here on.
  void End() {
    if (active_) plat::SetBlockLimit(previous_);
    active_ = false;
  }

 private:
  int64_t previous_;
  bool active_ = true;
};

// A fixture for tests that allocate through the session registry.
class SessionTest : public ::testing::Test {
 protected:
  ScopedSession session_;
};

// Sets (or, with a null value, removes) an environment variable for the
// life of the object.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

// Runs the project's content generator into `makersFolder`; true when it
// wrote the whole library.
bool MakeContentLibrary(const std::string& makersFolder);

// A fresh empty folder, removed with its contents on destruction.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::string file(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// Whole-file access for checking what was written and planting what is read.
std::vector<uint8_t> ReadBytes(const std::string& posix);
void WriteBytes(const std::string& posix, const std::vector<uint8_t>& bytes);
std::string ReadText(const std::string& posix);
void WriteText(const std::string& posix, const std::string& text);
// A one-byte file, its folders made first.
void Touch(const std::filesystem::path& path);

}  // namespace vmktest
