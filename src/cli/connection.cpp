#include "cli/connection.h"

#include <memory>
#include <ostream>

#include "app/channel_line_rate.h"
#include "sim/model_kind.h"
#include "transport/com_port_map.h"
#include "transport/comm_channel.h"
#include "transport/connection_facts.h"
#include "transport/system_transports.h"

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

#ifdef _WIN32
bool IsComPortName(const std::string& text) {
  if (text.size() < 4 || text.compare(0, 3, "COM") != 0) return false;
  return text.find_first_not_of("0123456789", 3) == std::string::npos;
}
#endif

class TransportConnection final : public Connection {
 public:
  TransportConnection()
      : channel_(transports_.com_port, transports_.cl_serial_2000, transports_.cl_serial_2001,
                 transports_.cl_serial_v11) {}
  ~TransportConnection() override {
    // The port closes before the simulated camera behind it goes away.
    channel_.Close();
#ifndef _WIN32
    if (server_) server_->Stop();
#endif
  }

  bool Open(const ConnectionOptions& options, std::ostream& err) {
    const PortCategory category = options.category;
    std::string device = options.device;
#ifdef _WIN32
    // "--device COM5": the port by its Windows name.
    if (category == PortCategory::kComPort && IsComPortName(device)) {
      device = "\\\\.\\" + device;  // "COM10" and above open only in this form.
    }
#else
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
      device = server_->slave_path();
    }
#endif
    if (category == PortCategory::kComPort && !device.empty()) {
      transports_.com_port.port_map().Set(ComPortName(options.port_index), device);
    }
    if (category != PortCategory::kComPort) {
      // The library transports open by position in their last enumeration.
      channel_.set_port_category(category);
      int count = channel_.PortCount();
      if (options.port_index >= count) {
        err << "Port " << options.port_index << " does not exist in this category (" << count
            << (count == 1 ? " port" : " ports") << "). Run the ports command to list them.\n";
        return false;
      }
    }
    if (!channel_.Open(category, options.baud_rate, options.port_index)) {
      // A COM port has already said which device failed and why.
      if (category != PortCategory::kComPort) err << "Failed to initialize!\n";
      return false;
    }
    return true;
  }

  ByteChannel& channel() override {
    return channel_;
  }
  LineRateControl* line_rate() override {
    return &line_rate_;
  }

 private:
  SystemTransports transports_;
  CommChannel channel_;
  ChannelLineRate line_rate_{channel_};
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
