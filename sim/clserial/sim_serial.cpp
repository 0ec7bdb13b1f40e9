#include "sim_serial.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

#include "camera/clock.h"
#include "sim/camera_model.h"
#include "sim/front_end.h"
#include "sim/pty/fault_options.h"

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#endif

#ifndef CLSIM_TAG
#define CLSIM_TAG "SIM"
#endif

namespace ctrl::sim::clserial {
namespace {

std::string Environment(const char* name, const std::string& fallback) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? value : fallback;
}

struct Config {
  std::vector<std::string> models;
  uint32_t baud_mask = 0x51;
  std::string manufacturer;
  std::vector<std::string> manufacturers;
  Faults faults;
};

// A real camera keeps its state when the grabber's library is closed: keep this module, and
// with it the cameras, loaded until the process ends.
void StayLoaded() {
#ifdef _WIN32
  HMODULE self = nullptr;
  ::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                       reinterpret_cast<LPCSTR>(&StayLoaded), &self);
#endif
}

const Config& TheConfig() {
  static const Config config = [] {
    StayLoaded();
    Config c;
    const std::string own_ports = std::string("CLSIM_PORTS_") + CLSIM_TAG;
    c.models =
        SplitList(Environment(own_ports.c_str(), Environment("CLSIM_PORTS", "QX-4096M-PCL")));
    c.baud_mask = static_cast<uint32_t>(
        std::strtoul(Environment("CLSIM_BAUD_MASK", "0x51").c_str(), nullptr, 0));
    c.manufacturer = Environment("CLSIM_MANUFACTURER", "Ornvik CLSim");
    c.manufacturers = SplitList(Environment("CLSIM_MANUFACTURERS", c.manufacturer));
    ApplyFaultList(Environment("CLSIM_FAULTS", ""), c.faults);
    return c;
  }();
  return config;
}

int RateOfCode(uint32_t code) {
  switch (code) {
    case 1:
      return 9600;
    case 2:
      return 19200;
    case 4:
      return 38400;
    case 8:
      return 57600;
    case 16:
      return 115200;
    case 32:
      return 230400;
    case 64:
      return 460800;
    case 128:
      return 921600;
    default:
      return 0;
  }
}

// One grabber port with its camera attached.
class Port {
 public:
  explicit Port(const std::string& model) : model_(model), front_end_(model_) {
    front_end_.faults() = TheConfig().faults;
  }

  std::mutex mutex;
  bool in_use = false;
  int line_rate = 9600;
  std::string received;  // reply bytes that reached the grabber, not read yet

  CameraFrontEnd& camera() { return front_end_; }
  // Moves the camera's due bytes into `received`; beyond kMaxReceived they are lost, as in a
  // grabber's receive buffer nobody empties (a camera that talks without end fills it).
  void Collect(int64_t now_us) {
    static constexpr size_t kMaxReceived = 65536;
    std::string due;
    front_end_.TakeDue(now_us, due);
    const size_t room = kMaxReceived - std::min(kMaxReceived, received.size());
    received.append(due, 0, std::min(room, due.size()));
  }
  bool RatesMatch() const { return line_rate == model_.baud_rate(); }

 private:
  CameraModel model_;
  CameraFrontEnd front_end_;
};

std::mutex ports_mutex;
std::vector<std::unique_ptr<Port>>& Ports() {
  static std::vector<std::unique_ptr<Port>> ports(TheConfig().models.size());
  return ports;
}

Port* PortOf(void* reference) {
  std::lock_guard<std::mutex> lock(ports_mutex);
  for (auto& port : Ports()) {
    if (port.get() == reference && port != nullptr && port->in_use) return port.get();
  }
  return nullptr;
}

int64_t NowUs() {
  return DefaultClock().NowUs();
}

}  // namespace

uint32_t PortCount() {
  return static_cast<uint32_t>(TheConfig().models.size());
}

std::string ModelOfPort(uint32_t index) {
  return index < PortCount() ? TheConfig().models[index] : "";
}

std::string PortIdentifier(uint32_t index) {
  return "Port " + std::to_string(index);
}

const std::string& ManufacturerName() {
  return TheConfig().manufacturer;
}

const std::vector<std::string>& Manufacturers() {
  return TheConfig().manufacturers;
}

uint32_t SupportedBaudMask() {
  return TheConfig().baud_mask;
}

int32_t SerialInit(uint32_t index, void** reference) {
  if (reference == nullptr) return kInvalidPointer;
  std::lock_guard<std::mutex> lock(ports_mutex);
  if (index >= PortCount()) return kInvalidIndex;
  auto& port = Ports()[index];
  if (port == nullptr) port = std::make_unique<Port>(TheConfig().models[index]);
  if (port->in_use) return kPortInUse;
  port->in_use = true;
  port->line_rate = 9600;
  port->received.clear();
  port->camera().Reconnect();
  *reference = port.get();
  return kOk;
}

void SerialClose(void* reference) {
  Port* port = PortOf(reference);
  if (port == nullptr) return;
  std::lock_guard<std::mutex> lock(port->mutex);
  port->in_use = false;
}

int32_t SerialWrite(void* reference, const char* buffer, uint32_t* count, uint32_t) {
  Port* port = PortOf(reference);
  if (port == nullptr) return kInvalidReference;
  if (buffer == nullptr || count == nullptr) return kInvalidPointer;
  std::lock_guard<std::mutex> lock(port->mutex);
  // At the wrong rate the camera sees only noise.
  // After a hang-up the line is gone: every access fails, but not by time-out.
  if (port->camera().hung_up()) return kInvalidReference;
  if (port->RatesMatch()) port->camera().Receive(std::string_view(buffer, *count), NowUs());
  return port->camera().hung_up() ? kInvalidReference : kOk;
}

int32_t SerialRead(void* reference, char* buffer, uint32_t* count, uint32_t timeout_ms) {
  Port* port = PortOf(reference);
  if (port == nullptr) return kInvalidReference;
  if (buffer == nullptr || count == nullptr) return kInvalidPointer;
  const uint32_t wanted = *count;
  const int64_t deadline_us = NowUs() + int64_t{timeout_ms} * 1000;
  std::unique_lock<std::mutex> lock(port->mutex);
  for (;;) {
    if (port->camera().hung_up()) {
      *count = 0;
      return kInvalidReference;
    }
    const int64_t now_us = NowUs();
    port->Collect(now_us);
    if (port->received.size() >= wanted) {
      std::memcpy(buffer, port->received.data(), wanted);
      port->received.erase(0, wanted);
      return kOk;
    }
    if (now_us >= deadline_us) break;
    const int64_t next_us = port->camera().NextDueUs();
    const int64_t wake_us = next_us >= 0 && next_us < deadline_us ? next_us : deadline_us;
    lock.unlock();
    DefaultClock().SleepUntilUs(wake_us);
    lock.lock();
  }
  *count = 0;  // Nothing is delivered on a time-out.
  return kTimeout;
}

int32_t NumBytesAvail(void* reference, uint32_t* count) {
  Port* port = PortOf(reference);
  if (port == nullptr) return kInvalidReference;
  if (count == nullptr) return kInvalidPointer;
  std::lock_guard<std::mutex> lock(port->mutex);
  port->Collect(NowUs());
  *count = static_cast<uint32_t>(port->received.size());
  return kOk;
}

int32_t FlushPort(void* reference) {
  Port* port = PortOf(reference);
  if (port == nullptr) return kInvalidReference;
  std::lock_guard<std::mutex> lock(port->mutex);
  port->Collect(NowUs());
  port->received.clear();
  return kOk;
}

int32_t GetSupportedBaudRates(void* reference, uint32_t* mask) {
  if (PortOf(reference) == nullptr) return kInvalidReference;
  if (mask == nullptr) return kInvalidPointer;
  *mask = SupportedBaudMask();
  return kOk;
}

int32_t SetBaudRate(void* reference, uint32_t code) {
  Port* port = PortOf(reference);
  if (port == nullptr) return kInvalidReference;
  const int rate = RateOfCode(code);
  if (rate == 0 || (SupportedBaudMask() & code) == 0) return kBaudRateNotSupported;
  std::lock_guard<std::mutex> lock(port->mutex);
  port->line_rate = rate;
  return kOk;
}

int32_t CopyText(const std::string& text, char* buffer, uint32_t* size) {
  if (size == nullptr) return kInvalidPointer;
  const uint32_t needed = static_cast<uint32_t>(text.size() + 1);
  const uint32_t room = *size;
  *size = needed;
  if (buffer == nullptr) return kInvalidPointer;
  if (room < needed) return kBufferTooSmall;
  std::memcpy(buffer, text.c_str(), needed);
  return kOk;
}

int32_t ErrorText(int32_t code, char* text, uint32_t* size) {
  const char* message = nullptr;
  switch (code) {
    case kOk:
      message = "No error";
      break;
    case kBufferTooSmall:
      message = "Buffer too small";
      break;
    case kManufacturerDoesNotExist:
      message = "Manufacturer does not exist";
      break;
    case kPortInUse:
      message = "Port in use";
      break;
    case kTimeout:
      message = "Time-out";
      break;
    case kInvalidIndex:
      message = "Invalid index";
      break;
    case kInvalidReference:
      message = "Invalid reference";
      break;
    case kBaudRateNotSupported:
      message = "Baud rate not supported";
      break;
    case kInvalidPointer:
      message = "Invalid pointer";
      break;
    default:
      return kErrorNotFound;
  }
  return CopyText(message, text, size);
}

}  // namespace ctrl::sim::clserial
