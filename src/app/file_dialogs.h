// The open, save and choose-folder dialogs that fill a file record, and the
// type lists the open dialogs filter on.
//
// The dialogs are the toolbox layer's pickers (a Qt dialog live, a scripted
// answer in tests); a file type is shown through its extension in the one
// type table of the file layer. A cancelled dialog leaves the record as it
// was.
//
// Type list: a block of 12 + 4 x n bytes made by NewPtr: the application
// signature at 0, a reserved 16-bit word at 4, the number of types n at 6,
// the n types from 8 on; the last four bytes stay zero. Codes keep their
// reading order ('8BIM' is "8BIM"), the two words are little-endian. An
// 'open' resource 128 of the bundle's resource file, laid out the same way,
// takes the place of a built list.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/core/file_records.h"
#include "platform/memory/memory.h"

// The signature the open dialogs' type lists carry.
inline constexpr OSType kOpenListSignature = FourCC("8BIM");

// Where an open or save dialog for files of `type` opens, unless a
// SaveDialogScope names another folder: where such files live, the folder
// of the first of them the preset menus list below the maker's folder (a
// dialog's presets, the stored effects of a family), else the maker's folder
// itself; images, text files and a dialog of every file open in the maker's
// folder, which holds the content library's folders. Empty without a session
// (the dialog then opens where it likes).
std::string DialogFolderFor(OSType type);

// The open dialog, listing files of the `count` given types (none: every
// file), opened in DialogFolderFor(the first type). 1 when a file was chosen: the record's volume, folder and name then
// name it and its path is rebuilt; creator and type stay. 0 when cancelled.
// The prompt (length-prefixed, may be null) is shown as the dialog's title.
int16_t VMK_GetFile(fichier* f, const OSType* types, const unsigned char* prompt, int16_t count);
int16_t VMK_GetFile(fichier* f, const OSType* types, int16_t count);

// The save dialog for the record's type and creator, its name as the
// default (a record without a name offers the innermost SaveDialogScope's
// name), opened where that scope says, else in DialogFolderFor(its type). 1 when a name
// and place were chosen: the record names the file (given its type's
// extension) and its path is rebuilt; 0 when cancelled. Creating or
// replacing the file is the caller's business.
int16_t VMK_PutFile(fichier* f);

// A Save... command around a writer that asks with VMK_PutFile and answers
// only "saved or not": while the scope lives, the save dialogs open in
// `folder` (when it is not empty) and the scope keeps the file the user
// chose, so that the command can tell a cancel from a file that could not be
// written, and name that file. Scopes nest; the innermost one counts.
class SaveDialogScope {
 public:
  // `offered`: the name the dialog offers for a record that has none (the
  // preset the user has in front of him), as a user sees it.
  explicit SaveDialogScope(std::string folder, std::string offered = {});
  ~SaveDialogScope();
  SaveDialogScope(const SaveDialogScope&) = delete;
  SaveDialogScope& operator=(const SaveDialogScope&) = delete;

  const std::string& folder() const { return folder_; }
  const std::string& offered() const { return offered_; }
  // The POSIX path of the last file chosen in the scope; empty when none.
  const std::string& chosen() const { return chosen_; }
  // True when the chosen file was already there (an overwrite confirmed).
  bool replacing() const { return replacing_; }
  void Chose(const std::string& path, bool replacing);

 private:
  std::string folder_;
  std::string offered_;
  std::string chosen_;
  bool replacing_ = false;
  SaveDialogScope* outer_ = nullptr;
};
// The innermost live scope, or null.
SaveDialogScope* CurrentSaveDialogScope();

// While it lives, keeps the POSIX path of the last file chosen in an open
// (VMK_GetFile) or save (VMK_PutFile) dialog: a command tells by it which
// file its dialogs took without each reader saying so. Watches nest; every
// live one sees the choice.
class FileChoiceWatch {
 public:
  FileChoiceWatch();
  ~FileChoiceWatch();
  FileChoiceWatch(const FileChoiceWatch&) = delete;
  FileChoiceWatch& operator=(const FileChoiceWatch&) = delete;

  // Empty when no file was chosen.
  const std::string& chosen() const { return chosen_; }

 private:
  friend void NoteFileChoice(const std::string& path);
  std::string chosen_;
  FileChoiceWatch* outer_ = nullptr;
};

// A type list (see above), to be given back with plat::DisposePtr: the
// resource 'open' 128 when the bundle has one, else one built from the
// types; null when there are no types (or no memory).
plat::Ptr CreateOpenHandle(OSType signature, int16_t count, const OSType* types);

// The file types a type list holds; empty for a null or malformed list.
std::vector<OSType> TypesOfOpenList(const char* list);

// The open dialog with previews: the ready type list `typeList` when given,
// else one built from `types`; opened in DialogFolderFor(the list's first
// type). 0 and *out naming the chosen file;
// kParamError without `out`; kUserCanceled when cancelled. The filter
// routine is not used: the type list does the filtering.
OSErr GetOneFileWithPreview(int16_t numTypes, const char* typeList, const OSType* types, FSSpec* out,
                            void* filter);

// The choose-folder dialog. When a folder was chosen, `out` names it as a
// folder: the folder's own path with the closing colon, an empty name.
// Always 0; `current` is not used.
int16_t Do_NewDir(const fichier* current, fichier* out);

// Appends the file types the image readers take to `types`, counting them
// in *count. 0 (there is nothing here that can fail).
OSErr BuildGraphicsImporterValidFileTypes(std::vector<OSType>* types, int32_t* count);

// The file-name suffixes of the image readers as four-character codes
// (upper case, padded with blanks: "TIFF", "JPG "), counted in *count.
OSErr BuildGraphicsImporterValidFileNameSuffixes(std::vector<OSType>* types, int32_t* count);
// 'MooV'.
OSErr BuildMovieValidFileTypes(std::vector<OSType>* types, int32_t* count);
// 'MooV', then the types of the movie importers and of the image readers.
OSErr BuildAllValidFileTypes(std::vector<OSType>* types, int32_t* count);
// "MOV ", then the suffixes of the movie importers and of the image readers.
OSErr BuildAllValidFileNameSuffixes(std::vector<OSType>* types, int32_t* count);

// The codecs as components: graphics importers ('grip') are the image
// readers, one per file type, each taking a file-name suffix; there is no
// movie importer ('eat '), so movies are known only by 'MooV'.
inline constexpr OSType kGraphicsImporterComponent = FourCC("grip");
inline constexpr OSType kMovieImporterComponent = FourCC("eat ");
inline constexpr uint32_t kComponentTakesSuffix = 4096;
// Appends the sub-type (file type) of every component of `componentType`
// that takes a file-name suffix (`suffixes` true) or that does not (false).
OSErr AddComponentFileTypes(OSType componentType, bool suffixes, std::vector<OSType>* types,
                            int32_t* count);

// A save dialog for a movie file ('MooV', creator 'TVOD') with the prompt
// and default name (length-prefixed, may be null): 0 with *out naming the
// chosen file, *chosen 1 and *replacing 1 when an existing file is to be
// replaced; the cancel code with *chosen 0 when cancelled; kParamError when
// an out argument is missing.
OSErr PutFile(const unsigned char* prompt, const unsigned char* defaultName, FSSpec* out,
              unsigned char* chosen, unsigned char* replacing);
// The navigation dialogs' event callback: nothing to do here.
void HandleNavEvent(const void* event);

// The type and creator of the item a specification names: 0 with both set
// (a code that is not known reads 0); 0 with neither touched when the item
// is a folder; kFileNotFound when there is no such item.
OSErr FSpGetFileType(const FSSpec* spec, OSType* type, OSType* creator);
