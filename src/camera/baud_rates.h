#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace ctrl {

// The serial rates of the camera family, described once: the PC side of the link (the
// communication dialog, the CLI, the transports) and the camera's "Baud Rate" register use
// the same three.
struct BaudRateFacts {
  int rate;                       // bits per second; what the settings store
  uint32_t code;                  // the camera's "Baud Rate" value and the library's rate bit
  std::string_view display_name;  // the communication dialog's item
  std::string_view item_name;     // the camera's name for the rate
};

// In the dialog's order; the first is the rate every run starts with.
inline constexpr std::array<BaudRateFacts, 3> kBaudRates = {{
    {9600, 1, "9600bps", "BAUDRATE_9600"},
    {115200, 16, "115200bps", "BAUDRATE_115200"},
    {460800, 64, "460800bps", "BAUDRATE_460800"},
}};
inline constexpr int kDefaultBaudRate = kBaudRates[0].rate;

// The dialog's row of a rate; 0 (the default rate) for a rate outside the table.
constexpr int BaudRateIndex(int rate) {
  for (std::size_t i = 0; i < kBaudRates.size(); ++i) {
    if (kBaudRates[i].rate == rate) return static_cast<int>(i);
  }
  return 0;
}

// The rate of a dialog row; the default rate for a row outside the table.
constexpr int BaudRateOfIndex(int index) {
  return index >= 0 && index < static_cast<int>(kBaudRates.size()) ? kBaudRates[index].rate
                                                                   : kDefaultBaudRate;
}

// Every rate of the table, slowest first.
inline std::vector<int> AllBaudRates() {
  std::vector<int> rates;
  for (const BaudRateFacts& facts : kBaudRates) rates.push_back(facts.rate);
  return rates;
}

constexpr bool IsSupportedBaudRate(int rate) {
  for (const BaudRateFacts& facts : kBaudRates) {
    if (facts.rate == rate) return true;
  }
  return false;
}

}  // namespace ctrl
