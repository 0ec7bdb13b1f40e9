// ctrltool: the operator's window. For now it runs against the simulated camera in the process.
#include <QApplication>
#include <QDir>
#include <QTabWidget>
#include <cstdio>
#include <string>

#include "camera/clock.h"
#include "camera/command_engine.h"
#include "camera/command_table.h"
#include "camera/online_status.h"
#include "camera/parameter_database.h"
#include "sim/camera_model.h"
#include "sim/front_end.h"
#include "sim/in_process_channel.h"
#include "ui/main_window.h"
#include "ui/qt_notifier.h"

namespace {

// A link that is not open: every read comes back empty, so exchanges time out.
class ClosedChannel final : public ctrl::ByteChannel {
 public:
  bool Write(std::string_view) override { return false; }
  int Read(char*, int, int) override { return 0; }
  void DiscardInput() override {}
};

struct Options {
  bool simulate = false;
  std::string model = "QX-4096M-PCL";
  QString screenshot_dir;
  bool factory = false;
};

bool ParseOptions(const QStringList& args, Options& options) {
  for (int i = 1; i < args.size(); ++i) {
    const QString& arg = args[i];
    if (arg == "--simulate") {
      options.simulate = true;
      if (i + 1 < args.size() && !args[i + 1].startsWith("--")) {
        options.model = args[++i].toStdString();
      }
    } else if (arg == "--screenshot" && i + 1 < args.size()) {
      options.screenshot_dir = args[++i];
    } else if (arg == "--factory") {
      options.factory = true;
    } else {
      std::fprintf(stderr, "usage: ctrltool [--simulate [MODEL]] [--factory] [--screenshot DIR]\n");
      return false;
    }
  }
  return true;
}

// Saves the window with each tab selected, named after the position and the tab title.
bool SaveScreenshots(CCtrlToolDlg& window, const QString& folder) {
  QDir().mkpath(folder);
  window.show();
  QApplication::processEvents();
  QTabWidget* tabs = window.tabs();
  bool ok = true;
  for (int i = 0; i < tabs->count(); ++i) {
    tabs->setCurrentIndex(i);
    QApplication::processEvents();
    QString name =
        QString("%1/%2-%3.png").arg(folder).arg(i).arg(tabs->tabText(i).replace(' ', '_'));
    ok = window.grab().save(name) && ok;
    std::printf("%s\n", name.toUtf8().constData());
  }
  return ok;
}

}  // namespace

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationDisplayName("QX-4096M_TR-PCL QX-8192M-PCL Control Tool");
  Options options;
  if (!ParseOptions(QApplication::arguments(), options)) return 2;

  ctrl::Clock& clock = ctrl::DefaultClock();
  ctrl::sim::CameraModel camera(options.model);
  ctrl::sim::CameraFrontEnd front_end(camera);
  ctrl::sim::InProcessChannel simulated(front_end, clock);
  ClosedChannel closed;
  ctrl::OnlineStatusPublisher status;
  ctrl::Command engine(options.simulate ? static_cast<ctrl::ByteChannel&>(simulated) : closed,
                       clock, ctrl::Commands(), status);
  int factory_mode = options.factory ? 1 : 0;

  MainWindowSetup setup;
  setup.engine = &engine;
  setup.database = &ctrl::Database();
  setup.status = &status;
  setup.clock = &clock;
  // The serial port link joins here once the connection settings are wired in.
  setup.open_link = [&options] { return options.simulate; };
  setup.factory_mode = &factory_mode;

  ctrl::ui::QtNotifier notifier;
  ctrl::InstallNotifier(&notifier);
  int result = 0;
  {
    CCtrlToolDlg window(setup);
    notifier.set_parent(&window);
    window.Initialise();
    if (!options.screenshot_dir.isEmpty()) {
      result = SaveScreenshots(window, options.screenshot_dir) ? 0 : 1;
    } else {
      window.exec();
    }
  }
  ctrl::InstallNotifier(nullptr);
  return result;
}
