// The program's unattended picture run, as scripts/screenshot starts it: the
// pictures are written, and a picture that cannot be written fails the run.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <string>

#include "app/window_run.h"

namespace quorvel {
namespace {

struct Outcome {
  int exitCode = -1;
  std::string errors;
};

// The program on the offscreen platform against the simulated house in this
// process; its settings and files stay in `home`.
Outcome Screenshot(const QString& home, const QStringList& pictureArgs) {
  QProcess program;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  env.insert(QStringLiteral("XDG_CONFIG_HOME"), home);
  env.insert(QStringLiteral("XDG_DATA_HOME"), home);
  program.setProcessEnvironment(env);
  QStringList args = {QStringLiteral("--virtual-time"), QStringLiteral("--data"), home,
                      QStringLiteral("--screenshot-after"), QStringLiteral("0")};
  args += pictureArgs;
  program.start(QString::fromLatin1(QUORVEL_BINARY_DIR) + QStringLiteral("/app/quorvel"), args);
  Outcome run;
  // Bounded by the program's own end, not by sleeping.
  if (!program.waitForFinished(120000)) {
    program.kill();
    program.waitForFinished();
    return run;
  }
  run.exitCode = program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1;
  run.errors = program.readAllStandardError().toStdString();
  return run;
}

TEST(ScreenshotRun, WritesTheWindowTheSetupDialogAndTheHelp) {
  QTemporaryDir home;
  ASSERT_TRUE(home.isValid());
  const QString main = home.filePath(QStringLiteral("main_window.png"));
  const Outcome run = Screenshot(home.path(), {QStringLiteral("--screenshot"), main,
                                           QStringLiteral("--screenshot-dialogs"), home.path()});
  EXPECT_EQ(run.exitCode, 0) << run.errors;
  for (const QString& file : {main, home.filePath(QString::fromLatin1(kSetupDialogPicture)),
                              home.filePath(QString::fromLatin1(kHelpWindowPicture))}) {
    const QImage picture(file);
    EXPECT_FALSE(picture.isNull()) << file.toStdString();
    EXPECT_GT(picture.width(), 300) << file.toStdString();
  }
}

TEST(ScreenshotRun, APictureThatCannotBeWrittenFailsTheRun) {
  QTemporaryDir home;
  ASSERT_TRUE(home.isValid());
  struct Case {
    QStringList args;
    std::string named;
  };
  const QString missing = home.filePath(QStringLiteral("no/such/folder"));
  const Case cases[] = {
      {{QStringLiteral("--screenshot"), missing + QStringLiteral("/w.png")}, "no/such/folder/w.png"},
      {{QStringLiteral("--screenshot-dialogs"), missing}, "no/such/folder/setup_dialog.png"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.named);
    const Outcome run = Screenshot(home.path(), c.args);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.errors.find("could not write the picture"), std::string::npos) << run.errors;
    EXPECT_NE(run.errors.find(c.named), std::string::npos) << run.errors;
  }
}

}  // namespace
}  // namespace quorvel
