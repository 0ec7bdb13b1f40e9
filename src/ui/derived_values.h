#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "camera/device_model.h"

namespace ctrl::ui {

// Length of one line-timing tick in nanoseconds: the newer wide cameras count faster.
double TickLengthNs(const DeviceModel& device);

std::string FormatLineTime(int32_t ticks, double tick_ns);       // "%.4fus"
std::string FormatLineFrequency(int32_t ticks, double tick_ns);  // "%.4fhz"; 0 ticks give 0
std::string FormatExposureTime(int32_t ticks, double tick_ns);   // "%.4fus"
// Microseconds typed by the operator to register ticks, truncated; no number reads as 0.
int32_t TicksFromMicroseconds(std::string_view text, double tick_ns);

std::string FormatPixelSize(int32_t pixel_format);  // "Bpp%d" of the bits-per-pixel field
std::string FormatTemperature(int32_t raw);         // "%.1f" degrees
std::string FormatVoltage(int32_t raw);             // "%.3fV"
std::string FormatInteger(int32_t value);           // "%d"

// Strict decimal integer (optional sign, digits, surrounding blanks); false for anything else
// or a value outside 32 bits.
bool ParseInteger(std::string_view text, int32_t& value);
// Leading decimal integer of a text, 0 when there is none (how an edit's value reads).
int32_t LeadingInteger(std::string_view text);

}  // namespace ctrl::ui
