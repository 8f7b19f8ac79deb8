#include "app/file_dialogs.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "app/core/pascal_strings.h"
#include "platform/files/colon_paths.h"
#include "platform/files/file_errors.h"
#include "platform/files/file_types.h"
#include "platform/resources/resource_file.h"
#include "platform/toolbox/api/scripted_ui.h"
#include "support/session.h"

namespace fs = std::filesystem;
namespace pf = plat::files;
using vmktest::Touch;

namespace {

class FileDialogs : public ::testing::Test {
 protected:
  plat::ui::ScriptedUi ui_;
  plat::ui::ScopedServices guard_{&ui_};
  vmktest::TempDir dir_;

  std::string Colon(const fs::path& folder) const { return pf::PosixToColon(folder.string(), true); }
};

// A record with every field set, to see which ones a dialog changes.
fichier Marked() {
  fichier f;
  SetPStr(f.name, "old name");
  SetPStr(f.path, "somewhere:old:");
  f.volume = 7;
  f.parent = 12345;
  f.creator = FourCC("vMkC");
  f.type = FourCC("hBor");
  return f;
}

void ExpectSame(const fichier& a, const fichier& b) {
  EXPECT_EQ(a.volume, b.volume);
  EXPECT_EQ(a.parent, b.parent);
  EXPECT_EQ(PStrString(a.name), PStrString(b.name));
  EXPECT_EQ(PStrString(a.path), PStrString(b.path));
  EXPECT_EQ(a.creator, b.creator);
  EXPECT_EQ(a.type, b.type);
}

TEST_F(FileDialogs, OpenDialogNamesTheChosenFileAndKeepsCreatorAndType) {
  fs::create_directories(dir_.path() / "presets");
  const std::string chosen = (dir_.path() / "presets" / "gold.hbor").string();
  Touch(chosen);
  ui_.AnswerOpenFile(chosen);
  fichier f = Marked();
  const OSType types[] = {FourCC("hBor"), FourCC("TEXT")};
  unsigned char prompt[256];
  SetPStr(prompt, "Load a New Border...");
  EXPECT_EQ(VMK_GetFile(&f, types, prompt, 2), 1);
  EXPECT_EQ(PStrString(f.name), "gold.hbor");
  EXPECT_EQ(PStrString(f.path), Colon(dir_.path() / "presets"));
  EXPECT_EQ(f.volume, pf::kVolume);
  EXPECT_EQ(FicToPosix(f), chosen);
  EXPECT_EQ(f.creator, FourCC("vMkC"));
  EXPECT_EQ(f.type, FourCC("hBor"));
  ASSERT_EQ(ui_.openRequests.size(), 1u);
  EXPECT_EQ(ui_.openRequests[0].prompt, "Load a New Border...");
  EXPECT_EQ(ui_.openRequests[0].types, (std::vector<OSType>{FourCC("hBor"), FourCC("TEXT")}));

  // Without types every file is offered; cancelling changes nothing.
  const fichier before = f;
  EXPECT_EQ(VMK_GetFile(&f, nullptr, 0), 0);
  ExpectSame(f, before);
  EXPECT_TRUE(ui_.openRequests[1].types.empty());
  EXPECT_EQ(ui_.openRequests[1].prompt, "");
}

TEST_F(FileDialogs, SaveDialogOffersTheRecordsNameAndGivesTheTypesExtension) {
  fichier f = Marked();
  ui_.AnswerSaveFile((dir_.path() / "mine").string());
  ui_.AnswerSaveFile((dir_.path() / "again.hbor").string(), true);
  ui_.AnswerSaveFile(std::nullopt);
  EXPECT_EQ(VMK_PutFile(&f), 1);
  ASSERT_EQ(ui_.saveRequests.size(), 1u);
  EXPECT_EQ(ui_.saveRequests[0].defaultName, "old name");
  EXPECT_EQ(ui_.saveRequests[0].type, FourCC("hBor"));
  EXPECT_EQ(ui_.saveRequests[0].creator, FourCC("vMkC"));
  EXPECT_EQ(PStrString(f.name), "mine.hbor");
  EXPECT_EQ(PStrString(f.path), Colon(dir_.path()));
  EXPECT_EQ(FicToPosix(f), (dir_.path() / "mine.hbor").string());
  // Creating the file is the caller's business.
  EXPECT_FALSE(fs::exists(dir_.path() / "mine.hbor"));

  EXPECT_EQ(VMK_PutFile(&f), 1);
  EXPECT_EQ(PStrString(f.name), "again.hbor");  // already carries it

  const fichier before = f;
  EXPECT_EQ(VMK_PutFile(&f), 0);
  ExpectSame(f, before);
}

// A path chosen in the save dialog that no record can name is no cancel: the
// user is told the file could not be saved and why, the record stays as it
// was and nothing is written. Names and folders with accents are named.
TEST_F(FileDialogs, AChosenPathNoRecordCanNameIsSaidNotDropped) {
  const fs::path accents = dir_.path() / "dossier \xc3\xa9t\xc3\xa9";
  fs::create_directories(accents);
  fichier f = Marked();
  ui_.AnswerSaveFile((accents / "Chemin ovale \xc3\xbc").string());
  ASSERT_EQ(VMK_PutFile(&f), 1);
  EXPECT_EQ(FicToPosix(f), (accents / "Chemin ovale \xc3\xbc.hbor").string());
  EXPECT_TRUE(ui_.alertRequests.empty());

  // A folder typed with a letter missing is not there.
  const fichier before = f;
  const fs::path missing = dir_.path() / "dossier t\xc3\xa9";
  ui_.AnswerSaveFile((missing / "plain").string());
  EXPECT_EQ(VMK_PutFile(&f), 0);
  ExpectSame(f, before);
  ASSERT_EQ(ui_.alertRequests.size(), 1u);
  EXPECT_EQ(ui_.alertRequests[0].alertId, 129);
  EXPECT_EQ(ui_.alertRequests[0].params.at(0), "The file could not be saved as \"plain\".");
  EXPECT_EQ(ui_.alertRequests[0].params.at(1),
            "The folder \"" + missing.string() + "\" does not exist: nothing was written.");
  EXPECT_FALSE(fs::exists(missing));

  // A name longer than a record's 255 bytes, in a folder that is there.
  ui_.AnswerSaveFile((accents / std::string(260, 'n')).string());
  EXPECT_EQ(VMK_PutFile(&f), 0);
  ExpectSame(f, before);
  ASSERT_EQ(ui_.alertRequests.size(), 2u);
  EXPECT_EQ(ui_.alertRequests[1].params.at(1), "Its name or its folder's path is too long: nothing was written.");
  EXPECT_EQ(std::distance(fs::directory_iterator(accents), fs::directory_iterator()), 0);
}

// The save dialog offers the name the user knows ("Light", the file being
// "Light.sse4"); the name typed back gets the suffix, so "Light" names the
// file it stands for, which the save then replaces.
TEST_F(FileDialogs, SaveOffersTheShownNameAndTypingItBackNamesTheFileOnDisk) {
  Touch(dir_.path() / "Light.sse4");
  fichier f;
  Init_FicStruct(&f);
  SetPStr(f.name, "Light.sse4");
  f.type = FourCC("Sse4");
  f.creator = FourCC("vMkC");
  ui_.AnswerSaveFile((dir_.path() / "Light").string());
  ui_.AnswerSaveFile((dir_.path() / "v1.2").string());
  SaveDialogScope scope(dir_.path().string());
  ASSERT_EQ(VMK_PutFile(&f), 1);
  EXPECT_EQ(ui_.saveRequests.at(0).defaultName, "Light");
  EXPECT_EQ(ui_.saveRequests.at(0).folder, dir_.path().string());
  EXPECT_EQ(PStrString(f.name), "Light.sse4");
  EXPECT_EQ(scope.chosen(), (dir_.path() / "Light.sse4").string());
  EXPECT_TRUE(scope.replacing());
  // A dot of the user's own is no suffix: the type's is added after it.
  ASSERT_EQ(VMK_PutFile(&f), 1);
  EXPECT_EQ(ui_.saveRequests.at(1).defaultName, "Light");
  EXPECT_EQ(PStrString(f.name), "v1.2.sse4");
  EXPECT_EQ(scope.chosen(), (dir_.path() / "v1.2.sse4").string());
  EXPECT_FALSE(scope.replacing());
}

// A record without a name (a preset writer empties it) offers the name the
// Save... command gives its scope, without the suffix; a record's own name
// comes first, and the innermost scope counts.
TEST_F(FileDialogs, AnUnnamedRecordOffersTheScopesNameAndANamedOneItsOwn) {
  fichier f;
  Init_FicStruct(&f);
  f.type = FourCC("Sse4");
  f.creator = FourCC("vMkC");
  for (int k = 0; k < 4; ++k) ui_.AnswerSaveFile(std::nullopt);
  EXPECT_EQ(VMK_PutFile(&f), 0);  // no scope: nothing offered
  {
    SaveDialogScope outer(dir_.path().string(), "Strong.sse4");
    EXPECT_EQ(outer.offered(), "Strong.sse4");
    EXPECT_EQ(VMK_PutFile(&f), 0);
    {
      SaveDialogScope inner(std::string(), "Light");
      EXPECT_EQ(VMK_PutFile(&f), 0);
    }
    SetPStr(f.name, "Own.sse4");
    EXPECT_EQ(VMK_PutFile(&f), 0);
  }
  std::vector<std::string> offered;
  for (const auto& r : ui_.saveRequests) offered.push_back(r.defaultName);
  EXPECT_EQ(offered, (std::vector<std::string>{"", "Strong", "Light", "Own"}));
  EXPECT_EQ(ui_.saveRequests[1].folder, dir_.path().string());
}

// Open and save dialogs open where their files live: a type with files below the maker's
// folder in the folder of the first the preset menus list (a dialog's presets folder), any
// other in the maker's folder, as do images (spread over the library's folders), text and
// dialogs of every file; a Save... command's scope names its own folder. Without a session
// the dialog opens where it likes. They opened in the folder the program was started from.
TEST_F(FileDialogs, DialogsOpenWhereTheirFilesLive) {
  const fs::path makers = dir_.path() / "Vellmarkstead";
  Touch(makers / "Presets" / "Borders" / "Banded frame.hbor");
  Touch(makers / "Presets" / "Borders" / "Rope.hbor");
  Touch(makers / "Presets" / "Grid warp" / "Bulge.hxgr");
  Touch(makers / "Tiles" / "brick.tif");
  const auto asked = [](const std::vector<OSType>& types) {
    fichier f;
    Init_FicStruct(&f);
    return VMK_GetFile(&f, types.empty() ? nullptr : types.data(), static_cast<int16_t>(types.size()));
  };
  const auto saved = [](OSType type) {
    fichier f;
    Init_FicStruct(&f);
    f.type = type;
    f.creator = FourCC("vMkC");
    return VMK_PutFile(&f);
  };
  EXPECT_EQ(asked({FourCC("hBor")}), 0);  // no session yet
  EXPECT_EQ(ui_.openRequests.at(0).folder, "");
  vmktest::ScopedAppData app;
  ASSERT_TRUE(SetFicFromPosix(&app.data().makersFolder, makers.string()));
  SetPStr(app.data().folder.path, Colon(makers));
  app.data().folder.name[0] = 0;

  EXPECT_EQ(asked({FourCC("hBor")}), 0);
  EXPECT_EQ(asked({FourCC("pAth"), FourCC("TEXT")}), 0);
  EXPECT_EQ(asked({}), 0);
  FSSpec none{};
  const OSType images[] = {FourCC("TIFF"), FourCC("JPEG")};
  EXPECT_EQ(GetOneFileWithPreview(2, nullptr, images, &none, nullptr), pf::kUserCanceled);
  ASSERT_EQ(ui_.openRequests.size(), 5u);
  EXPECT_EQ(ui_.openRequests[1].folder, (makers / "Presets" / "Borders").string());
  EXPECT_EQ(ui_.openRequests[2].folder, makers.string());
  EXPECT_EQ(ui_.openRequests[3].folder, makers.string());
  EXPECT_EQ(ui_.openRequests[4].folder, makers.string());

  EXPECT_EQ(saved(FourCC("hXgr")), 0);
  EXPECT_EQ(saved(FourCC("vMkC")), 0);  // combined layers: none saved yet
  {
    SaveDialogScope command(std::string{});
    EXPECT_EQ(saved(FourCC("pAth")), 0);
  }
  {
    SaveDialogScope command(dir_.path().string());
    EXPECT_EQ(saved(FourCC("hXgr")), 0);
  }
  ASSERT_EQ(ui_.saveRequests.size(), 4u);
  EXPECT_EQ(ui_.saveRequests[0].folder, (makers / "Presets" / "Grid warp").string());
  EXPECT_EQ(ui_.saveRequests[1].folder, makers.string());
  EXPECT_EQ(ui_.saveRequests[2].folder, makers.string());
  EXPECT_EQ(ui_.saveRequests[3].folder, dir_.path().string());
}

// Every live watch sees the file chosen in an open or a save dialog (the
// save's with its suffix, as written); a cancel changes nothing, and a watch
// gone is no longer told.
TEST_F(FileDialogs, ChoiceWatchesSeeTheFilesChosenInOpenAndSaveDialogs) {
  const std::string gold = (dir_.path() / "gold.hbor").string();
  Touch(gold);
  fichier f = Marked();
  ui_.AnswerOpenFile(gold);
  ui_.AnswerSaveFile((dir_.path() / "mine").string());
  ui_.AnswerOpenFile(std::nullopt);
  ui_.AnswerSaveFile(std::nullopt);
  ui_.AnswerOpenFile(gold);
  FileChoiceWatch outer;
  {
    FileChoiceWatch inner;
    EXPECT_TRUE(inner.chosen().empty());
    ASSERT_EQ(VMK_GetFile(&f, nullptr, 0), 1);
    EXPECT_EQ(inner.chosen(), gold);
    EXPECT_EQ(outer.chosen(), gold);
    ASSERT_EQ(VMK_PutFile(&f), 1);
    EXPECT_EQ(inner.chosen(), (dir_.path() / "mine.hbor").string());
    EXPECT_EQ(VMK_GetFile(&f, nullptr, 0), 0);
    EXPECT_EQ(VMK_PutFile(&f), 0);
    EXPECT_EQ(inner.chosen(), (dir_.path() / "mine.hbor").string());
  }
  EXPECT_EQ(outer.chosen(), (dir_.path() / "mine.hbor").string());
  {
    FileChoiceWatch later;
    ASSERT_EQ(VMK_GetFile(&f, nullptr, 0), 1);
    EXPECT_EQ(later.chosen(), gold);
  }
  EXPECT_EQ(outer.chosen(), gold);
}

TEST_F(FileDialogs, TypeListLayoutAndItsDamagedForms) {
  const OSType types[] = {FourCC("hXgr"), FourCC("TEXT"), FourCC("aCH1")};
  plat::Ptr list = CreateOpenHandle(kOpenListSignature, 3, types);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(plat::GetPtrSize(list), 12 + 4 * 3);
  const auto* b = reinterpret_cast<const uint8_t*>(list);
  EXPECT_EQ(std::memcmp(b, "8BIM\0\0\3\0hXgrTEXTaCH1\0\0\0\0", 24), 0);
  EXPECT_EQ(TypesOfOpenList(list), (std::vector<OSType>(types, types + 3)));
  // A count that runs past the block is refused whole.
  reinterpret_cast<uint8_t*>(list)[6] = 5;
  EXPECT_TRUE(TypesOfOpenList(list).empty());
  plat::DisposePtr(list);

  EXPECT_EQ(CreateOpenHandle(kOpenListSignature, 0, types), nullptr);
  EXPECT_EQ(CreateOpenHandle(kOpenListSignature, 2, nullptr), nullptr);
  EXPECT_TRUE(TypesOfOpenList(nullptr).empty());
}

TEST_F(FileDialogs, TheBundlesOpenResourceTakesThePlaceOfTheList) {
  const std::string keep = plat::res::ResourceFolder();
  fs::create_directories(dir_.path() / "rsrc" / "open");
  {
    std::ofstream out((dir_.path() / "rsrc" / "open" / "128.bin").string(), std::ios::binary);
    out.write("8BIM\0\0\1\0TIFF\0\0\0\0", 16);
  }
  plat::res::SetResourceFolder((dir_.path() / "rsrc").string());
  const OSType types[] = {FourCC("hVig")};
  fichier f;
  EXPECT_EQ(VMK_GetFile(&f, types, 1), 0);
  plat::res::SetResourceFolder(keep);
  ASSERT_EQ(ui_.openRequests.size(), 1u);
  EXPECT_EQ(ui_.openRequests[0].types, (std::vector<OSType>{FourCC("TIFF")}));
}

TEST_F(FileDialogs, PreviewDialogReportsCodes) {
  const OSType types[] = {FourCC("TIFF")};
  EXPECT_EQ(GetOneFileWithPreview(1, nullptr, types, nullptr, nullptr), pf::kParamError);
  FSSpec out;
  out.parID = 99;
  EXPECT_EQ(GetOneFileWithPreview(1, nullptr, types, &out, nullptr), pf::kUserCanceled);
  EXPECT_EQ(out.parID, 99);

  const std::string chosen = dir_.file("p.tif");
  Touch(chosen);
  ui_.AnswerOpenFile(chosen);
  const OSType other[] = {FourCC("JPEG"), FourCC("PNGf")};
  plat::Ptr ready = CreateOpenHandle(kOpenListSignature, 2, other);
  EXPECT_EQ(GetOneFileWithPreview(1, ready, types, &out, nullptr), 0);
  plat::DisposePtr(ready);
  EXPECT_EQ(pf::SpecToPosix(out), chosen);
  // The ready list is the one shown; the array is not used.
  EXPECT_EQ(ui_.openRequests.back().types, (std::vector<OSType>{FourCC("JPEG"), FourCC("PNGf")}));
  EXPECT_EQ(ui_.openRequests.front().types, (std::vector<OSType>{FourCC("TIFF")}));
}

TEST_F(FileDialogs, ChosenFolderIsNamedAsAFolder) {
  fs::create_directories(dir_.path() / "Stock");
  fichier out = Marked();
  const fichier before = out;
  EXPECT_EQ(Do_NewDir(nullptr, &out), 0);  // cancelled
  ExpectSame(out, before);

  ui_.AnswerFolder((dir_.path() / "Stock").string());
  EXPECT_EQ(Do_NewDir(nullptr, &out), 0);
  EXPECT_EQ(PStrString(out.name), "");
  EXPECT_EQ(PStrString(out.path), Colon(dir_.path() / "Stock"));
  EXPECT_EQ(out.creator, FourCC("vMkC"));
}

TEST_F(FileDialogs, ImageTypesAndTheTypeOfAFile) {
  std::vector<OSType> list{FourCC("MooV")};
  int32_t count = 1;
  EXPECT_EQ(BuildGraphicsImporterValidFileTypes(&list, &count), 0);
  EXPECT_EQ(count, static_cast<int32_t>(list.size()));
  EXPECT_EQ(list[0], FourCC("MooV"));
  for (OSType t : {FourCC("TIFF"), FourCC("JPEG"), FourCC("PNGf")})
    EXPECT_EQ(std::count(list.begin(), list.end(), t), 1) << t;

  Touch(dir_.file("a.jpeg"));
  Touch(dir_.file("b.hvig"));
  pf::SetTypeCreator(dir_.file("b.hvig"), 0, FourCC("vMkC"));
  FSSpec s;
  OSType type = 1, creator = 1;
  ASSERT_EQ(pf::MakeSpecFromPosix(dir_.file("a.jpeg"), &s), 0);
  EXPECT_EQ(FSpGetFileType(&s, &type, &creator), 0);
  EXPECT_EQ(type, FourCC("JPEG"));
  ASSERT_EQ(pf::MakeSpecFromPosix(dir_.file("b.hvig"), &s), 0);
  EXPECT_EQ(FSpGetFileType(&s, &type, &creator), 0);
  EXPECT_EQ(type, FourCC("hVig"));
  // Extended attributes may be refused by the file system; then no creator.
  OSType recorded = 0;
  if (pf::GetTypeCreator(dir_.file("b.hvig"), nullptr, &recorded)) {
    EXPECT_EQ(creator, FourCC("vMkC"));
  }
  // A folder leaves both alone; a missing item is an error.
  type = creator = 5;
  ASSERT_EQ(pf::MakeSpecFromPosix(dir_.path().string(), &s), 0);
  EXPECT_EQ(FSpGetFileType(&s, &type, &creator), 0);
  EXPECT_EQ(type, 5u);
  EXPECT_EQ(creator, 5u);
  pf::MakeSpecFromPosix(dir_.file("gone"), &s);
  EXPECT_EQ(FSpGetFileType(&s, &type, &creator), pf::kFileNotFound);
}

}  // namespace

namespace {

TEST_F(FileDialogs, MovieSaveDialogReportsNameAndReplacement) {
  FSSpec out;
  unsigned char chosen = 9;
  unsigned char replacing = 9;
  EXPECT_EQ(PutFile(nullptr, nullptr, nullptr, &chosen, &replacing), pf::kParamError);
  EXPECT_EQ(PutFile(nullptr, nullptr, &out, &chosen, &replacing), pf::kUserCanceled);
  EXPECT_EQ(chosen, 0);
  const std::string target = dir_.file("clip.mov");
  Touch(target);
  ui_.AnswerSaveFile(target, true);
  Str255 name;
  SetPStr(name, "clip");
  EXPECT_EQ(PutFile(nullptr, name, &out, &chosen, &replacing), 0);
  EXPECT_EQ(pf::SpecToPosix(out), target);
  EXPECT_EQ(chosen, 1);
  EXPECT_EQ(replacing, 1);
  EXPECT_EQ(ui_.saveRequests.back().type, FourCC("MooV"));
  HandleNavEvent(nullptr);
}

TEST_F(FileDialogs, TypeListBuildersAppendAndCount) {
  std::vector<OSType> graphics;
  int32_t n = 0;
  ASSERT_EQ(BuildGraphicsImporterValidFileTypes(&graphics, &n), 0);
  std::vector<OSType> all;
  int32_t count = 0;
  ASSERT_EQ(BuildAllValidFileTypes(&all, &count), 0);
  ASSERT_EQ(count, n + 1);
  EXPECT_EQ(all.front(), FourCC("MooV"));
  EXPECT_TRUE(std::equal(graphics.begin(), graphics.end(), all.begin() + 1));
  // Only the image readers are components, and all of them take suffixes.
  std::vector<OSType> none;
  int32_t zero = 0;
  EXPECT_EQ(AddComponentFileTypes(kMovieImporterComponent, true, &none, &zero), 0);
  EXPECT_EQ(AddComponentFileTypes(kGraphicsImporterComponent, false, &none, &zero), 0);
  EXPECT_EQ(zero, 0);
  std::vector<OSType> suffixes;
  count = 0;
  ASSERT_EQ(BuildAllValidFileNameSuffixes(&suffixes, &count), 0);
  EXPECT_EQ(suffixes.front(), FourCC("MOV "));
  EXPECT_NE(std::find(suffixes.begin(), suffixes.end(), FourCC("JPG ")), suffixes.end());
  EXPECT_NE(std::find(suffixes.begin(), suffixes.end(), FourCC("TIFF")), suffixes.end());
  std::vector<OSType> movie;
  count = 0;
  EXPECT_EQ(BuildMovieValidFileTypes(&movie, &count), 0);
  EXPECT_EQ(movie, std::vector<OSType>{FourCC("MooV")});
  EXPECT_EQ(BuildMovieValidFileTypes(nullptr, &count), pf::kParamError);
}

}  // namespace
