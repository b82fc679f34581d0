// The window's work folder: its own folder for a build-tree or portable copy,
// Romscriber in the documents folder for the installed program.
#include <unistd.h>

#include <QCoreApplication>
#include <QFile>
#include <QTest>
#include <filesystem>

#include "extract/temp_folder.h"
#include "window/work_folder.h"

using namespace romscriber;
using namespace romscriber::testing;
namespace fs = std::filesystem;

namespace {

// Sets an environment variable for one scope and puts the old value back.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const QByteArray& value)
      : m_name(name), m_had(qEnvironmentVariableIsSet(name)), m_old(qgetenv(name)) {
    qputenv(name, value);
  }
  ~ScopedEnv() {
    if (m_had)
      qputenv(m_name, m_old);
    else
      qunsetenv(m_name);
  }

 private:
  const char* m_name;
  bool m_had;
  QByteArray m_old;
};

QByteArray Bytes(const fs::path& path) {
  return QByteArray::fromStdString(path.string());
}

}  // namespace

class WorkFolderTest : public QObject {
  Q_OBJECT

 private slots:
  void copyElsewhereKeepsItsOwnFolder();
  void installedProgramWorksInDocumentsCreatedWhenMissing();
  void installedFolderIsRecognisedThroughSymbolicLinks();
  void withoutDocumentsFolderTheProgramFolderStays();
  void folderTheUserCannotWriteCountsAsInstalled();
  void runningProgramUsesQtsFolders();
};

void WorkFolderTest::copyElsewhereKeepsItsOwnFolder() {
  TempFolder root;
  const fs::path bin = root.Path() / "usr" / "bin";
  const fs::path build = root.Path() / "build" / "src" / "app";
  const fs::path documents = root.Path() / "home" / "Documents";
  fs::create_directories(bin);
  fs::create_directories(build);
  QVERIFY(!IsInstalledFolder(build, bin));
  QCOMPARE(ChooseWorkFolder(build, bin, documents), build);
  // No empty install folder (a build that names none) makes a copy installed.
  QCOMPARE(ChooseWorkFolder(build, fs::path(), documents), build);
  QVERIFY(!fs::exists(root.Path() / "home"));
}

void WorkFolderTest::installedProgramWorksInDocumentsCreatedWhenMissing() {
  TempFolder root;
  const fs::path bin = root.Path() / "usr" / "bin";
  const fs::path documents = root.Path() / "home" / "Documentos";  // not there yet
  fs::create_directories(bin);
  QVERIFY(IsInstalledFolder(bin, bin));
  const fs::path chosen = ChooseWorkFolder(bin, bin, documents);
  QCOMPARE(chosen, documents / "Romscriber");
  QVERIFY(fs::is_directory(chosen));

  // A later start finds it again, with what it already holds.
  fs::create_directories(chosen / "Scripts");
  WriteBytes(chosen / "Scripts" / "33.txt", "Hola\r\n");
  QCOMPARE(ChooseWorkFolder(bin, bin, documents), chosen);
  QCOMPARE(ReadBytes(chosen / "Scripts" / "33.txt"), std::string("Hola\r\n"));
}

void WorkFolderTest::installedFolderIsRecognisedThroughSymbolicLinks() {
  // Merged /usr: /bin is a link to /usr/bin, and either may be the one named.
  TempFolder root;
  const fs::path usrBin = root.Path() / "usr" / "bin";
  const fs::path bin = root.Path() / "bin";
  fs::create_directories(usrBin);
  fs::create_directory_symlink(usrBin, bin);
  QVERIFY(IsInstalledFolder(usrBin, bin));
  QVERIFY(IsInstalledFolder(bin, usrBin));
  QVERIFY(IsInstalledFolder(usrBin / ".", usrBin));
  QVERIFY(!IsInstalledFolder(root.Path() / "usr", bin));
}

void WorkFolderTest::withoutDocumentsFolderTheProgramFolderStays() {
  TempFolder root;
  QCOMPARE(ChooseWorkFolder(root.Path(), root.Path(), fs::path()), root.Path());
}

void WorkFolderTest::folderTheUserCannotWriteCountsAsInstalled() {
  TempFolder root;
  const fs::path folder = root.Path() / "solo-lectura";
  fs::create_directories(folder);
  fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
  const bool writable = ::access(folder.c_str(), W_OK) == 0;
  if (!writable) {
    QVERIFY(IsInstalledFolder(folder, root.Path() / "usr" / "bin"));
    QCOMPARE(ChooseWorkFolder(folder, fs::path(), root.Path() / "Documents"),
             root.Path() / "Documents" / "Romscriber");
  }
  fs::permissions(folder, fs::perms::owner_all);
  if (writable) QSKIP("root may write in any folder");
}

void WorkFolderTest::runningProgramUsesQtsFolders() {
  // The documents folder Qt reads from the user's XDG settings, localized.
  TempFolder home;
  fs::create_directories(home.Path() / "config");
  WriteBytes(home.Path() / "config" / "user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"$HOME/Documentos\"\n");
  ScopedEnv homeVar("HOME", Bytes(home.Path()));
  ScopedEnv configVar("XDG_CONFIG_HOME", Bytes(home.Path() / "config"));

  const fs::path testFolder(
      QFile::encodeName(QCoreApplication::applicationDirPath()).toStdString());
  if (::access(testFolder.c_str(), W_OK) == 0) {  // a build folder the user may write in
    QCOMPARE(ProgramWorkFolder(home.Path() / "elsewhere"), testFolder);
    QVERIFY(!fs::exists(home.Path() / "Documentos"));
  }
  QCOMPARE(ProgramWorkFolder(testFolder), home.Path() / "Documentos" / "Romscriber");
  QVERIFY(fs::is_directory(home.Path() / "Documentos" / "Romscriber"));
}

QTEST_MAIN(WorkFolderTest)
#include "work_folder_test.moc"
