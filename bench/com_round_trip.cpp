// Round trip of one register read through the COM port transport and the connection, the way
// the engine exchanges: CommChannel write, then one-byte reads with a 10 ms time-out. Runs
// against any camera on a serial line, e.g. camsim behind a pty (or behind a wine COM port):
//   com_round_trip DEVICE [COUNT]     DEVICE: a tty path, or COMn on Windows
// Prints the median, the 99th percentile and the extremes in microseconds, and the median of the
// write alone (the request goes out one byte at a time).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "transport/comm_channel.h"
#include "transport/system_transports.h"

namespace {

constexpr const char* kRequest = "rd 0x00000044\r\n";
using Clock = std::chrono::steady_clock;

bool EndsWithPrompt(const std::string& reply) {
  return reply.size() >= 5 && reply.compare(reply.size() - 5, 5, "OK>\r\n") == 0;
}

double MicrosecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

// One exchange; a negative time when the camera did not answer within a second.
double RoundTripUs(ctrl::CommChannel& channel, double* write_us) {
  const auto start = Clock::now();
  channel.Write(kRequest);
  *write_us = MicrosecondsSince(start);
  std::string reply;
  const auto give_up = start + std::chrono::seconds(1);
  while (!EndsWithPrompt(reply)) {
    char byte;
    if (channel.Read(&byte, 1, 10) == 1) {
      reply.push_back(byte);
    } else if (Clock::now() > give_up) {
      return -1;
    }
  }
  return MicrosecondsSince(start);
}

double AtFraction(const std::vector<double>& sorted, double fraction) {
  return sorted[std::min(sorted.size() - 1, static_cast<size_t>(fraction * sorted.size()))];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: com_round_trip DEVICE [COUNT]\n");
    return 2;
  }
  std::string device = argv[1];
  const int count = argc > 2 ? std::max(1, std::atoi(argv[2])) : 2000;
#ifdef _WIN32
  if (device.rfind("COM", 0) == 0) device = "\\\\.\\" + device;
#endif
  ctrl::SystemTransports transports;
  transports.com_port.port_map().Set("COM1", device);
  ctrl::CommChannel channel(transports.com_port, transports.cl_serial_2000,
                            transports.cl_serial_2001, transports.cl_serial_v11);
  if (!channel.Open(ctrl::PortCategory::kComPort, 9600, 0)) {
    std::fprintf(stderr, "com_round_trip: cannot open %s\n", device.c_str());
    return 1;
  }
  // The first exchanges warm up the reader thread and the simulator.
  double write_us = 0;
  for (int i = 0; i < 20; ++i) RoundTripUs(channel, &write_us);
  std::vector<double> latencies_us;
  std::vector<double> writes_us;
  for (int i = 0; i < count; ++i) {
    const double us = RoundTripUs(channel, &write_us);
    if (us < 0) {
      std::fprintf(stderr, "com_round_trip: no reply after %d exchanges\n", i);
      return 1;
    }
    latencies_us.push_back(us);
    writes_us.push_back(write_us);
  }
  std::sort(latencies_us.begin(), latencies_us.end());
  std::sort(writes_us.begin(), writes_us.end());
  std::printf(
      "%d round trips: median %.0f us, p99 %.0f us, min %.0f us, max %.0f us; "
      "write alone: median %.0f us\n",
      count, AtFraction(latencies_us, 0.5), AtFraction(latencies_us, 0.99), latencies_us.front(),
      latencies_us.back(), AtFraction(writes_us, 0.5));
  return 0;
}
