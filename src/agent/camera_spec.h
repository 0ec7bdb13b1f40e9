#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "app/port_link.h"
#include "camera/byte_channel.h"
#include "camera/link_rate.h"

namespace ctrl::agent {

// One camera the agent owns, as "--camera NAME=SPEC" gives it. SPEC is a device path
// ("/dev/ttyUSB0"), a COM port ("COM3", through the port map), a Camera Link library port
// ("cl2000:0", "cl2001:1", "cl11:0") or "sim:MODEL[:FAULT,…]", a simulated camera in this
// process (the faults are camsim's).
struct CameraSpec {
  std::string name;
  bool simulated = false;
  std::string model;   // simulated: the model
  std::string faults;  // simulated: camsim's fault list
  PortChoice port;     // otherwise: the port
  std::string text;    // SPEC as given, for messages
};

// Nothing, with a message in `error`, for a bad name or SPEC.
std::optional<CameraSpec> ParseCameraSpec(std::string_view text, std::string& error);

// An open link to one camera.
class CameraLink {
 public:
  virtual ~CameraLink() = default;
  virtual ByteChannel& channel() = 0;
  // The PC side's line rate; nullptr where the link has none (the simulated camera).
  virtual LineRateControl* line_rate() { return nullptr; }
};

// Opens the camera's link; nullptr with the reason in `error`.
std::unique_ptr<CameraLink> OpenCameraLink(const CameraSpec& spec, std::string& error);

}  // namespace ctrl::agent
