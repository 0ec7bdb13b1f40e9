#include "agent/camera_spec.h"

#include <sstream>

#include "camera/clock.h"
#include "camera/number_parse.h"
#include "fleet/fleet_protocol.h"
#include "sim/camera_model.h"
#include "sim/front_end.h"
#include "sim/in_process_channel.h"
#include "sim/model_kind.h"
#include "sim/pty/fault_options.h"

namespace ctrl::agent {
namespace {

// The simulated camera behind the engine's byte channel, in real time.
class SimulatedLink final : public CameraLink {
 public:
  SimulatedLink(const std::string& model, const sim::Faults& faults)
      : model_(model), front_end_(model_), channel_(front_end_, DefaultClock()) {
    front_end_.faults() = faults;
  }
  ByteChannel& channel() override { return channel_; }

 private:
  sim::CameraModel model_;
  sim::CameraFrontEnd front_end_;
  sim::InProcessChannel channel_;
};

class PortCameraLink final : public CameraLink {
 public:
  bool Open(const PortChoice& choice, std::ostream& err) { return link_.Open(choice, err); }
  ByteChannel& channel() override { return link_.channel(); }
  LineRateControl* line_rate() override { return &link_.line_rate(); }

 private:
  PortLink link_;
};

}  // namespace

std::optional<CameraSpec> ParseCameraSpec(std::string_view text, std::string& error) {
  const size_t equals = text.find('=');
  if (equals == std::string_view::npos) {
    error = "--camera takes NAME=SPEC, not \"" + std::string(text) + "\".";
    return std::nullopt;
  }
  CameraSpec spec;
  spec.name = std::string(text.substr(0, equals));
  spec.text = std::string(text.substr(equals + 1));
  const std::string_view body = text.substr(equals + 1);
  if (!fleet::IsValidName(spec.name)) {
    error = "The camera name \"" + spec.name +
            "\" is not 1 to 64 of the letters A-Z a-z, digits and . _ -.";
    return std::nullopt;
  }
  if (body.starts_with("sim:")) {
    std::string_view rest = body.substr(4);
    const size_t colon = rest.find(':');
    spec.simulated = true;
    spec.model = std::string(rest.substr(0, colon));
    if (colon != std::string_view::npos) spec.faults = std::string(rest.substr(colon + 1));
    if (!sim::KindOfModel(spec.model)) {
      error = "\"" + spec.model + "\" is not a model the simulator knows. Models:";
      for (const auto& name : sim::ModelNames()) error += " " + name;
      return std::nullopt;
    }
    sim::Faults faults;
    if (!sim::ApplyFaultList(spec.faults, faults)) {
      error = "\"" + spec.faults + "\" is not a list of the simulator's faults.";
      return std::nullopt;
    }
    return spec;
  }
  struct Category {
    std::string_view prefix;
    PortCategory category;
  };
  for (const Category& category : {Category{"cl2000:", PortCategory::kClSerial2000},
                                   Category{"cl2001:", PortCategory::kClSerial2001},
                                   Category{"cl11:", PortCategory::kClSerialV11}}) {
    if (!body.starts_with(category.prefix)) continue;
    int64_t index = 0;
    if (!ParseInteger(body.substr(category.prefix.size()), 0, 255, index)) {
      error = "\"" + spec.text + "\" needs a port number from 0 to 255 after the colon.";
      return std::nullopt;
    }
    spec.port.category = category.category;
    spec.port.port_index = static_cast<int>(index);
    return spec;
  }
  if (IsComPortName(std::string(body))) {
    int64_t number = 0;
    if (!ParseInteger(body.substr(3), 1, kComPortCount, number)) {
      error = "\"" + spec.text + "\" is not a COM port from COM1 to COM" +
              std::to_string(kComPortCount) + ".";
      return std::nullopt;
    }
    spec.port.port_index = static_cast<int>(number - 1);
#ifdef _WIN32
    spec.port.device = spec.text;
#endif
    return spec;
  }
  if (!body.empty() && (body.front() == '/' || body.starts_with("./"))) {
    spec.port.device = spec.text;
    return spec;
  }
  error = "\"" + spec.text +
          "\" is not a camera: give a device path, COMn, cl2000:N, cl2001:N, cl11:N or sim:MODEL.";
  return std::nullopt;
}

std::unique_ptr<CameraLink> OpenCameraLink(const CameraSpec& spec, std::string& error) {
  if (spec.simulated) {
    sim::Faults faults;
    sim::ApplyFaultList(spec.faults, faults);
    return std::make_unique<SimulatedLink>(spec.model, faults);
  }
  auto link = std::make_unique<PortCameraLink>();
  std::ostringstream err;
  if (!link->Open(spec.port, err)) {
    error = err.str();
    while (!error.empty() && error.back() == '\n') error.pop_back();
    if (error.empty()) error = "The port of " + spec.text + " could not be opened.";
    return nullptr;
  }
  return link;
}

}  // namespace ctrl::agent
