#include "cli/connection.h"

#include <ostream>

#include "camera/clock.h"
#include "sim/camera_model.h"
#include "sim/front_end.h"
#include "sim/in_process_channel.h"

namespace ctrl::cli {
namespace {

// The built-in simulated camera, served in this process.
class SimulatedConnection final : public Connection {
 public:
  explicit SimulatedConnection(const std::string& model)
      : model_(model), front_end_(model_), channel_(front_end_, DefaultClock()) {}
  ByteChannel& channel() override { return channel_; }

 private:
  sim::CameraModel model_;
  sim::CameraFrontEnd front_end_;
  sim::InProcessChannel channel_;
};

}  // namespace

std::unique_ptr<Connection> OpenConnection(const ConnectionOptions& options, std::ostream& err) {
  if (options.simulate) {
    if (!sim::KindOfModel(options.model)) {
      err << "\"" << options.model << "\" is not a model the simulator knows. Models:";
      for (const auto& name : sim::ModelNames()) err << ' ' << name;
      err << '\n';
      return nullptr;
    }
    return std::make_unique<SimulatedConnection>(options.model);
  }
  err << "Only --simulate is available in this build.\n";
  return nullptr;
}

}  // namespace ctrl::cli
