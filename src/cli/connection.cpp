#include "cli/connection.h"

#include <ostream>

#include "sim/model_kind.h"
#include "sim/pty/pty_camera_server.h"
#include "transport/comm_channel.h"
#include "transport/com_port_transport.h"
#include "transport/system_transports.h"

namespace ctrl::cli {
namespace {

class TransportConnection final : public Connection {
 public:
  TransportConnection()
      : channel_(transports_.com_port, transports_.cl_serial_2000, transports_.cl_serial_2001,
                 transports_.cl_serial_v11) {}
  ~TransportConnection() override {
    // The port closes before the simulated camera behind it goes away.
    channel_.Close();
    if (server_) server_->Stop();
  }

  bool Open(const ConnectionOptions& options, std::ostream& err) {
    std::string device = options.device;
    if (options.simulate) {
      sim::PtyCameraServer::Options sim_options;
      sim_options.model = options.model;
      server_ = std::make_unique<sim::PtyCameraServer>(sim_options);
      if (!server_->Start()) {
        err << "The simulated camera could not start: " << server_->error() << '\n';
        return false;
      }
      device = server_->slave_path();
    }
    if (options.category == CommChannel::kComPort && !device.empty()) {
      transports_.com_port.port_map().Set(ComPortName(options.port_index), device);
    }
    if (options.category != CommChannel::kComPort) {
      // The library transports open by position in their last enumeration.
      channel_.set_port_category(options.category);
      int count = channel_.PortCount();
      if (options.port_index >= count) {
        err << "Port " << options.port_index << " does not exist in this category (" << count
            << (count == 1 ? " port" : " ports") << "). Run the ports command to list them.\n";
        return false;
      }
    }
    if (!channel_.Open(options.category, options.baud_rate, options.port_index)) {
      err << "Failed to initialize!\n";
      return false;
    }
    return true;
  }

  ByteChannel& channel() override { return channel_; }

 private:
  SystemTransports transports_;
  CommChannel channel_;
  std::unique_ptr<sim::PtyCameraServer> server_;
};

}  // namespace

std::unique_ptr<Connection> OpenConnection(const ConnectionOptions& options, std::ostream& err) {
  if (options.simulate && !sim::KindOfModel(options.model)) {
    err << "\"" << options.model << "\" is not a model the simulator knows. Models:";
    for (const auto& name : sim::ModelNames()) err << ' ' << name;
    err << '\n';
    return nullptr;
  }
  auto connection = std::make_unique<TransportConnection>();
  if (!connection->Open(options, err)) return nullptr;
  return connection;
}

void ListPorts(const ConnectionOptions& options, std::ostream& out) {
  SystemTransports transports;
  CommChannel channel(transports.com_port, transports.cl_serial_2000, transports.cl_serial_2001,
                      transports.cl_serial_v11);
  if (!options.device.empty() && options.category == CommChannel::kComPort) {
    transports.com_port.port_map().Set(ComPortName(options.port_index), options.device);
  }
  static const char* const kCategoryNames[] = {"COM port", "Camera Link spec. 2000",
                                               "Camera Link spec. 2001",
                                               "Camera Link spec. ver.1.1"};
  for (int category = 0; category < 4; ++category) {
    channel.set_port_category(category);
    int count = channel.PortCount();
    out << kCategoryNames[category] << " (--category "
        << (category == 0 ? "com" : category == 1 ? "cl2000" : category == 2 ? "cl2001" : "cl11")
        << "): " << count << (count == 1 ? " port" : " ports") << '\n';
    for (int i = 0; i < count; ++i) {
      out << "  " << i << "  " << channel.PortName(i);
      if (category == 0) out << "  " << transports.com_port.port_map().DevicePath(ComPortName(i));
      out << '\n';
    }
  }
}

}  // namespace ctrl::cli
