#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "camera/device_model.h"

namespace ctrl {

// How raw register values become the values shown to the operator, and back.

// Length of one line-timing tick in nanoseconds, as the camera's profile gives it.
double TickLengthNs(const DeviceModel& device);

std::string FormatLineTime(int32_t ticks, double tick_ns);       // "%.4fus"
std::string FormatLineFrequency(int32_t ticks, double tick_ns);  // "%.4fhz"; 0 ticks give 0
std::string FormatExposureTime(int32_t ticks, double tick_ns);   // "%.4fus"
// Microseconds typed by the operator to register ticks, truncated; no number reads as 0.
int32_t TicksFromMicroseconds(std::string_view text, double tick_ns);

std::string FormatPixelSize(int32_t pixel_format);  // "Bpp%d" of the bits-per-pixel field
std::string FormatTemperature(int32_t raw);         // "%.1f" degrees
std::string FormatVoltage(int32_t raw);             // "%.3fV"

}  // namespace ctrl
