#include "cli/connection.h"

#include <memory>
#include <ostream>

#include "app/port_link.h"
#include "sim/model_kind.h"

#ifdef _WIN32
#include "camera/clock.h"
#include "sim/camera_model.h"
#include "sim/front_end.h"
#include "sim/in_process_channel.h"
#else
#include "sim/pty/pty_camera_server.h"
#endif

namespace ctrl::cli {
namespace {

class TransportConnection final : public Connection {
 public:
  ~TransportConnection() override {
    // The port closes before the simulated camera behind it goes away.
    link_.Close();
#ifndef _WIN32
    if (server_) server_->Stop();
#endif
  }

  bool Open(const ConnectionOptions& options, std::ostream& err) {
    PortChoice choice{options.category, options.device, options.port_index, options.baud_rate};
#ifndef _WIN32
    if (options.simulate) {
      sim::PtyCameraServer::Options sim_options;
      sim_options.model = options.model;
      // Like a camera on a real line: it understands only requests at its own rate.
      sim_options.check_line_rate = true;
      server_ = std::make_unique<sim::PtyCameraServer>(sim_options);
      if (!server_->Start()) {
        err << "The simulated camera could not start: " << server_->error() << '\n';
        return false;
      }
      choice.device = server_->slave_path();
    }
#endif
    return link_.Open(choice, err);
  }

  ByteChannel& channel() override { return link_.channel(); }
  LineRateControl* line_rate() override { return &link_.line_rate(); }

 private:
  PortLink link_;
#ifndef _WIN32
  std::unique_ptr<sim::PtyCameraServer> server_;
#endif
};

#ifdef _WIN32
// Windows has no pseudo-terminals: there the simulated camera is reached without any port, its
// front end fed directly by the engine.
class InProcessConnection final : public Connection {
 public:
  explicit InProcessConnection(const std::string& model)
      : model_(model), front_end_(model_), channel_(front_end_, DefaultClock()) {}

  ByteChannel& channel() override { return channel_; }

 private:
  sim::CameraModel model_;
  sim::CameraFrontEnd front_end_;
  sim::InProcessChannel channel_;
};
#endif

}  // namespace

std::unique_ptr<Connection> OpenConnection(const ConnectionOptions& options, std::ostream& err) {
  if (options.simulate && !sim::KindOfModel(options.model)) {
    err << "\"" << options.model << "\" is not a model the simulator knows. Models:";
    for (const auto& name : sim::ModelNames()) err << ' ' << name;
    err << '\n';
    return nullptr;
  }
#ifdef _WIN32
  if (options.simulate) return std::make_unique<InProcessConnection>(options.model);
#endif
  auto connection = std::make_unique<TransportConnection>();
  if (!connection->Open(options, err)) return nullptr;
  return connection;
}

}  // namespace ctrl::cli
