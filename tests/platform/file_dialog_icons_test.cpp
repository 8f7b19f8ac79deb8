// The file dialogs tell a file's icon and kind from its name: Qt's own
// provider reads each listed file, and a read that never returns (a pipe, or
// /proc/kmsg in a dialog that browsed /proc) froze the program.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QAbstractFileIconProvider>
#include <QFileInfo>

#include <fstream>

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
