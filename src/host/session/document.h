// The document of an edit session: the image's geometry and the operation
// script that the effects are stored in.
#pragma once

#include <cstdint>

#include "app/core/file_records.h"

#include "script/document_data.h"

// The document is its data (script/document_data.h) and the set-up of its script. The
// first document made installs the session's document table as the script's source of
// the current document.
class VMKdoc : public DocData {
 public:
  VMKdoc();
  ~VMKdoc();
  VMKdoc(const VMKdoc&) = delete;
  VMKdoc& operator=(const VMKdoc&) = delete;
  // (Re)creates the script for the session's image.
  void Initialize();
};
