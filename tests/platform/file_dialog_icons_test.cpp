// The file dialogs tell a file's icon and kind from its name: Qt's own
// provider reads each listed file, and a read that never returns (a pipe, or
// /proc/kmsg in a dialog that browsed /proc) froze the program.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QAbstractFileIconProvider>
#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QMimeData>
#include <QUrl>

#include <fstream>

#include "platform/files/file_types.h"
#include "platform/toolbox/toolbox_internal.h"
#include "support/session.h"

TEST(FileDialogIcons, KindsComeFromNamesAndNothingIsReadEvenFromAPipe) {
  vmktest::TempDir dir;
  // Text in a file named as a picture: a provider that read it would call it text.
  std::ofstream(dir.file("picture.png")) << "plain words, not a picture\n";
  std::ofstream(dir.file("notes")) << "no suffix\n";
  // Opening a pipe that nobody writes to waits for ever.
  ASSERT_EQ(mkfifo(dir.file("stuck.pipe").c_str(), 0600), 0);
  QAbstractFileIconProvider* icons = plat::tb::FileDialogIcons();
  ASSERT_NE(icons, nullptr);
  EXPECT_EQ(icons->type(QFileInfo(QString::fromStdString(dir.file("picture.png")))), "PNG File");
  EXPECT_EQ(icons->type(QFileInfo(QString::fromStdString(dir.file("notes")))), "File");
  EXPECT_EQ(icons->type(QFileInfo(QString::fromStdString(dir.path().string()))), "Folder");
  const QFileInfo pipe(QString::fromStdString(dir.file("stuck.pipe")));
  EXPECT_EQ(icons->type(pipe), "PIPE File");
  (void)icons->icon(pipe);
  (void)icons->icon(QFileInfo(QString::fromStdString(dir.file("picture.png"))));
}

// A random-event run of the program dragged folders onto folders in a file
// dialog that had wandered to /, and Qt's list moved them. The program's file
// dialogs only name a file: nothing dropped on the list moves, and the list
// renames and deletes nothing.
TEST(FileDialogs, AreChoosersOnlyAndAFolderDroppedOnAnotherStaysWhereItWas) {
  vmktest::TempDir dir;
  const QString a = QString::fromStdString(dir.file("a"));
  const QString b = QString::fromStdString(dir.file("b"));
  ASSERT_TRUE(QDir().mkpath(a));
  ASSERT_TRUE(QDir().mkpath(b));
  std::ofstream(dir.file("a/kept.txt")) << "still here\n";
  QFileDialog dialog;
  plat::tb::PrepareFileDialog(dialog);
  dialog.setDirectory(QString::fromStdString(dir.path().string()));
  EXPECT_TRUE(dialog.testOption(QFileDialog::ReadOnly));
  EXPECT_TRUE(dialog.testOption(QFileDialog::DontUseNativeDialog));
  EXPECT_EQ(dialog.iconProvider(), plat::tb::FileDialogIcons());
  auto* model = dialog.findChild<QFileSystemModel*>();
  ASSERT_NE(model, nullptr);
  EXPECT_TRUE(model->isReadOnly());
  const QModelIndex from = model->index(a);
  const QModelIndex onto = model->index(b);
  ASSERT_TRUE(from.isValid());
  ASSERT_TRUE(onto.isValid());
  EXPECT_FALSE(model->flags(onto) & Qt::ItemIsDropEnabled);
  EXPECT_FALSE(model->flags(from) & Qt::ItemIsEditable);
  QMimeData dragged;
  dragged.setUrls({QUrl::fromLocalFile(a)});
  for (Qt::DropAction action : {Qt::MoveAction, Qt::CopyAction, Qt::LinkAction})
    EXPECT_FALSE(model->dropMimeData(&dragged, action, -1, -1, onto));
  EXPECT_TRUE(QFileInfo::exists(a + "/kept.txt"));
  EXPECT_FALSE(QFileInfo::exists(b + "/a"));
  // Nor is a folder renamed, and the menu's delete, rename and new-folder
  // entries are off.
  EXPECT_FALSE(model->setData(from, "renamed", Qt::EditRole));
  EXPECT_TRUE(QFileInfo::exists(a));
  for (QAction* action : dialog.findChildren<QAction*>()) {
    const QString name = action->objectName();
    if (name == "qt_delete_action" || name == "qt_rename_action" || name == "qt_new_folder_action") {
      EXPECT_FALSE(action->isEnabled()) << name.toStdString();
      EXPECT_FALSE(action->isVisible()) << name.toStdString();
    }
  }
  for (QWidget* button : dialog.findChildren<QWidget*>("newFolderButton"))
    EXPECT_FALSE(button->isEnabled());
}

// The open dialog lists the files of the types asked for (any file when none
// are), the save dialog any file; neither lists the file a dialog keeps its
// last settings in, although it sits among the presets with their type.
TEST(FileDialogs, ListTheTypesAskedForButNoDialogsSettingsFile) {
  vmktest::TempDir dir;
  for (const char* name : {"bulge.hxgr", "Light.sse4", "notes.txt", "tmpvmkplv.hgr", "tmpvmkcompeff"})
    std::ofstream(dir.file(name)) << "x";
  plat::files::SetTypeCreator(dir.file("tmpvmkplv.hgr"), FourCC("hXgr"), FourCC("vMkC"));
  const std::vector<OSType> grids = {FourCC("hXgr")};
  const std::vector<OSType> any;
  EXPECT_TRUE(plat::tb::FileDialogLists(dir.file("bulge.hxgr"), false, grids));
  EXPECT_FALSE(plat::tb::FileDialogLists(dir.file("Light.sse4"), false, grids));
  EXPECT_FALSE(plat::tb::FileDialogLists(dir.file("tmpvmkplv.hgr"), false, grids));
  for (const char* name : {"bulge.hxgr", "Light.sse4", "notes.txt"})
    EXPECT_TRUE(plat::tb::FileDialogLists(dir.file(name), false, any)) << name;
  for (const char* name : {"tmpvmkplv.hgr", "tmpvmkcompeff"})
    EXPECT_FALSE(plat::tb::FileDialogLists(dir.file(name), false, any)) << name;
  // A folder is always there to go into, whatever its name.
  EXPECT_TRUE(plat::tb::FileDialogLists(dir.file("tmpvmkfolder"), true, grids));
  EXPECT_TRUE(plat::tb::FileDialogLists(dir.path().string(), true, grids));
}
