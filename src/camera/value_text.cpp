#include "camera/value_text.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "camera/model_profile.h"

namespace ctrl {
namespace {

std::string Printf(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

}  // namespace

double TickLengthNs(const DeviceModel& device) {
  return ProfileOf(device).TickLengthNs(device.version_number);
}

std::string FormatLineTime(int32_t ticks, double tick_ns) {
  return Printf("%.4fus", ticks * tick_ns / 1000.0);
}

std::string FormatLineFrequency(int32_t ticks, double tick_ns) {
  double hertz = ticks == 0 ? 0.0 : 1000000000.0 / (ticks * tick_ns);
  return Printf("%.4fhz", hertz);
}

std::string FormatExposureTime(int32_t ticks, double tick_ns) {
  return Printf("%.4fus", ticks * tick_ns / 1000.0);
}

int32_t TicksFromMicroseconds(std::string_view text, double tick_ns) {
  std::string copy(text);
  // The small offset keeps values typed back from a display from losing a tick.
  float microseconds = static_cast<float>(std::strtod(copy.c_str(), nullptr) + 0.00001);
  double ticks = std::trunc(static_cast<double>(microseconds) * 1000.0 / tick_ns);
  if (!(ticks >= std::numeric_limits<int32_t>::min())) return std::numeric_limits<int32_t>::min();
  if (ticks > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(ticks);
}

std::string FormatPixelSize(int32_t pixel_format) {
  return "Bpp" + std::to_string((static_cast<uint32_t>(pixel_format) >> 16) & 0xFF);
}

std::string FormatTemperature(int32_t raw) {
  float degrees = static_cast<float>((static_cast<double>(raw) - 2000.0) / 10.0);
  return Printf("%.1f", degrees);
}

std::string FormatVoltage(int32_t raw) {
  float volts = static_cast<float>(static_cast<double>(raw) / 1000.0);
  return Printf("%.3fV", volts);
}

}  // namespace ctrl
