#include "app/window_run.h"

#include <QApplication>
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

namespace quorvel {

namespace {
long long MillisSince(std::chrono::steady_clock::time_point t) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t).count();
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
  const bool unattended = !options.screenshotFile.empty() || !options.screenshotDir.empty() || options.startupTimes;
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
                                                [&](bool) { app.Frame()->close(); });
        tour->Start();
        return;
      }
      if (!options.screenshotFile.empty()) {
        // Let the panes take in the last lines before the picture.
        QApplication::processEvents();
        if (!app.Frame()->grab().save(QString::fromStdString(options.screenshotFile), "PNG"))
          std::fprintf(stderr, "quorvel: could not write %s\n", options.screenshotFile.c_str());
      }
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
  return status;
}

}  // namespace quorvel
