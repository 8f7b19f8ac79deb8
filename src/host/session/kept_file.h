// A file's bytes kept aside before a road that may rewrite it, so that the
// file can be put back byte for byte when the road is not confirmed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/core/file_records.h"

class KeptFile {
 public:
  // Reads the file the record names; a record that names no regular file
  // keeps "absent".
  explicit KeptFile(const fichier& file);
  // Puts the file back as it was kept: its bytes, or no file when it was
  // absent (a folder in its place is left alone). True when it is so. The
  // bytes go back through a replacement, or, on a disk with no room for
  // one, over the file where it lies.
  bool Restore() const;
  // True when the file now holds exactly what was kept.
  bool Unchanged() const;
  bool existed() const { return existed_; }

 private:
  // Writes the kept bytes over the file where it lies; true when all went.
  bool RewriteInPlace() const;

  std::string path_;
  bool existed_ = false;
  bool readable_ = false;
  std::vector<uint8_t> bytes_;
};
