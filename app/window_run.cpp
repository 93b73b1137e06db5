#include "app/window_run.h"

#include <QApplication>
#include <QIcon>
#include <QMessageBox>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "app/main_frame.h"
#include "app/orvo_app.h"
#include "app/orvo_view.h"
#include "app/qt_notifier.h"
#include "app/screenshot_tour.h"
#include "app/session.h"
#include "device/device_database.h"
#include "views/setup/setup_dialog.h"

namespace quorvel {

QIcon ProgramIcon() {
  QIcon icon;
  for (const int size : {16, 24, 32, 48, 64, 128, 256})
    icon.addFile(QStringLiteral(":/icons/hicolor/%1x%1/apps/quorvel.png").arg(size), QSize(size, size));
  return icon;
}

namespace {
long long MillisSince(std::chrono::steady_clock::time_point t) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t).count();
}

// A window's picture; false with a message when the file cannot be written.
bool SavePicture(QWidget& window, const std::string& file) {
  QApplication::processEvents();
  if (window.grab().save(QString::fromStdString(file), "PNG")) return true;
  std::fprintf(stderr, "quorvel: could not write the picture %s\n", file.c_str());
  return false;
}

// The Setup dialog and the help window as they open over the main window.
bool SaveDialogPictures(COrvoApp& app, Context& ctx, const std::string& folder) {
  bool ok = true;
  CMainFrame* frame = app.Frame();
  {
    ContextSetupHost host(ctx, [frame](bool connected) { frame->SetConnectionIndicator(connected); });
    SetupDialogModel model(ctx.options, host);
    CSetupDialog dialog(model, frame);
    dialog.show();
    ok &= SavePicture(dialog, folder + "/" + kSetupDialogPicture);
    dialog.reject();
  }
  frame->ShowHelp();
  ok &= SavePicture(*frame->HelpWindow(), folder + "/" + kHelpWindowPicture);
  frame->HelpWindow()->close();
  return ok;
}
}  // namespace

bool WindowPossible() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return true;
  }
  return false;
}

int RunWindow(int& argc, char** argv, Session& session, QtNotifier& notifier,
              std::chrono::steady_clock::time_point started, const volatile std::sig_atomic_t* stop) {
  const SessionOptions& options = session.options();
  QApplication qapp(argc, argv);
  QApplication::setOrganizationName(QString::fromLatin1(kSettingsCompany));
  QApplication::setApplicationName(QString::fromLatin1(kSettingsProgram));
  QApplication::setApplicationVersion(QStringLiteral("0.1.0"));
  // The desktop matches the windows to their menu entry and its icon by this name.
  QGuiApplication::setDesktopFileName(QStringLiteral("org.example.quorvel"));
  QApplication::setWindowIcon(ProgramIcon());
  const bool unattended = !options.screenshotFile.empty() || !options.screenshotDialogs.empty() ||
                          !options.screenshotDir.empty() || options.startupTimes;
  notifier.modalMessages = !unattended;

  // The document: the run object loads the five files as it starts.
  std::string error;
  if (!session.Start(error)) {
    if (unattended) {
      std::fprintf(stderr, "quorvel: %s\n", error.c_str());
    } else {
      QMessageBox::critical(nullptr, QString::fromLatin1(kWindowTitle), QString::fromStdString(error));
    }
    return 1;
  }
  Context& ctx = session.context();
  COrvoApp app(ctx, notifier);
  app.UseLoadedDocument([&session] {
    session.Stop();
    return session.exitSave();
  });
  app.Start([&session] { session.Tick(); });

  bool shownReported = false;
  bool readReported = false;
  bool pictureFailed = false;
  if (options.startupTimes) {
    QTimer::singleShot(0, [&] {
      std::printf("startup: window shown %lld ms\n", MillisSince(started));
      std::fflush(stdout);
      shownReported = true;
    });
  }
  // A run without a user watches for the modem's table after every tick.
  QTimer watch;
  std::unique_ptr<ScreenshotTour> tour;
  if (unattended) {
    watch.setInterval(kTickMillis);
    QObject::connect(&watch, &QTimer::timeout, [&] {
      const bool read = (ctx.db.dbFlags & kDbMerged) != 0;
      const bool timedOut = MillisSince(started) >= options.screenshotAfter * 1000;
      if (read && !readReported && options.startupTimes) {
        std::printf("startup: modem link table read %lld ms\n", MillisSince(started));
        std::fflush(stdout);
        readReported = true;
      }
      if (!read && !timedOut) return;
      if (!shownReported && options.startupTimes) return;
      if (!options.screenshotDir.empty() && read && !tour) {
        watch.stop();
        tour = std::make_unique<ScreenshotTour>(app, ctx, options.screenshotDir, options.screenshotAfter * 1000,
                                                [&](bool ok) {
                                                  // The dialogs join the tour, so one folder shows every window.
                                                  if (!ok || !SaveDialogPictures(app, ctx, options.screenshotDir))
                                                    pictureFailed = true;
                                                  app.Frame()->close();
                                                });
        tour->Start();
        return;
      }
      // Let the panes take in the last lines before the picture (SavePicture).
      if (!options.screenshotFile.empty() && !SavePicture(*app.Frame(), options.screenshotFile))
        pictureFailed = true;
      if (!options.screenshotDialogs.empty() && !SaveDialogPictures(app, ctx, options.screenshotDialogs))
        pictureFailed = true;
      if (timedOut && !read) std::fprintf(stderr, "quorvel: the modem's link table was not read in time\n");
      watch.stop();
      app.Frame()->close();
    });
    watch.start();
  }

  QTimer stopWatch;
  QObject::connect(&stopWatch, &QTimer::timeout, [&] {
    if (stop != nullptr && *stop != 0 && app.Frame() != nullptr) app.Frame()->close();
  });
  stopWatch.start(200);

  const int status = qapp.exec();
  app.Shutdown();
  // A picture asked for and not written is a failed run, whatever else went well;
  // a file that could not be saved was shown to the user, and the status says so too.
  if (status == 0 && (pictureFailed || FilesNotSaved(ctx) != 0)) return 1;
  return status;
}

}  // namespace quorvel
