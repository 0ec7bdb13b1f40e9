#include "transport/cl_serial_transport.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "camera/notifier.h"

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <dirent.h>
#include <fnmatch.h>
#endif

namespace ctrl {
namespace clser {

uint32_t BaudRateCode(int baud_rate) {
  switch (baud_rate) {
    case 9600:
      return kBaud9600;
    case 19200:
      return kBaud19200;
    case 38400:
      return kBaud38400;
    case 57600:
      return kBaud57600;
    case 115200:
      return kBaud115200;
    case 230400:
      return kBaud230400;
    case 460800:
      return kBaud460800;
    case 921600:
      return kBaud921600;
    default:
      return 0;
  }
}

}  // namespace clser

namespace {

constexpr uint32_t kNameBufferSize = 128;
constexpr const char* kBaudRateRefused = "Selected baud rate is not supported.";
// DiscardInput reads until the library has nothing; this bounds it against a library that
// never runs dry.
constexpr int kMaxDiscardedBytes = 65536;

// Some vendor headers declare sizes as 64-bit on 64-bit Linux. Hand the library a zeroed
// 64-bit slot and take back the low 32 bits (where a 32-bit write lands on little-endian
// machines), so either kind of library is served safely.
class CountSlot {
 public:
  explicit CountSlot(uint32_t value) : storage_(value) {}
  uint32_t* get() { return reinterpret_cast<uint32_t*>(&storage_); }
  uint32_t value() const {
    uint32_t low;
    std::memcpy(&low, &storage_, sizeof low);
    return low;
  }

 private:
  uint64_t storage_;
};

std::string TextOf(const char* buffer, size_t capacity) {
  return std::string(buffer, strnlen(buffer, capacity));
}

#ifndef _WIN32
const char* const kDefaultClSerialFolder = "/usr/lib/cameralink";
#endif

}  // namespace

// ---------------------------------------------------------------------------------------
// Shared part

template <typename Tag>
std::string ClSerialLibraryTransport<Tag>::PortName(int index) const {
  if (index < 0 || index >= static_cast<int>(ports_.size())) return "";
  return ports_[static_cast<size_t>(index)];
}

template <typename Tag>
bool ClSerialLibraryTransport<Tag>::Write(const char* bytes, int length, int timeout_ms) {
  if (reference_ == nullptr || length < 0) return false;
  CountSlot count(static_cast<uint32_t>(length));
  return serial_write_(reference_, const_cast<char*>(bytes), count.get(),
                       static_cast<uint32_t>(timeout_ms < 0 ? 0 : timeout_ms)) == 0;
}

template <typename Tag>
int ClSerialLibraryTransport<Tag>::Read(char* buffer, int length, int timeout_ms) {
  if (reference_ == nullptr || length <= 0) return 0;
  CountSlot count(static_cast<uint32_t>(length));
  const int32_t status = serial_read_(reference_, buffer, count.get(),
                                      static_cast<uint32_t>(timeout_ms < 0 ? 0 : timeout_ms));
  if (status != 0) {
    failed_reads_ = status == clser::kErrorTimeout ? 0 : failed_reads_ + 1;
    return 0;  // A partial count reported with a failure is not delivered.
  }
  failed_reads_ = 0;
  const uint32_t delivered = count.value();
  return delivered > static_cast<uint32_t>(length) ? length : static_cast<int>(delivered);
}

template <typename Tag>
void ClSerialLibraryTransport<Tag>::DiscardInput() {
  char byte;
  for (int i = 0; i < kMaxDiscardedBytes && Read(&byte, 1, 0) == 1; ++i) {
  }
}

template <typename Tag>
void ClSerialLibraryTransport<Tag>::ReleasePort() {
  if (reference_ != nullptr && serial_close_ != nullptr) serial_close_(reference_);
  reference_ = nullptr;
  failed_reads_ = 0;
  library_.Unload();
  serial_init_ = nullptr;
  serial_close_ = nullptr;
  serial_read_ = nullptr;
  serial_write_ = nullptr;
}

template class ClSerialLibraryTransport<clser::VendorTag>;
template class ClSerialLibraryTransport<clser::AllSerialTag>;

// ---------------------------------------------------------------------------------------
// Camera Link spec. 2000

ClSerial2000Transport::ClSerial2000Transport(std::string configured_folder)
    : configured_folder_(std::move(configured_folder)) {}

#ifdef _WIN32

std::string ClSerial2000Transport::LibraryFolder() const {
  const char* from_environment = std::getenv("CLSERIALPATH");
  if (from_environment != nullptr && *from_environment != '\0') return from_environment;
  if (!configured_folder_.empty()) return configured_folder_;
  char folder[1024] = {};
  const UINT length = ::GetSystemDirectoryA(folder, 1023);
  if (length == 0 || length >= 1023) return "";
  return folder;
}

int ClSerial2000Transport::PortCount() {
  ports_.clear();
  const std::string pattern = LibraryFolder() + "\\clser*.dll";
  WIN32_FIND_DATAA found{};
  HANDLE search = ::FindFirstFileA(pattern.c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      ports_.emplace_back(found.cFileName);
    } while (::FindNextFileA(search, &found));
    ::FindClose(search);
  }
  return static_cast<int>(ports_.size());
}

#else

std::string ClSerial2000Transport::LibraryFolder() const {
  const char* from_environment = std::getenv("CLSERIALPATH");
  if (from_environment != nullptr && *from_environment != '\0') return from_environment;
  if (!configured_folder_.empty()) return configured_folder_;
  return kDefaultClSerialFolder;
}

int ClSerial2000Transport::PortCount() {
  ports_.clear();
  DIR* folder = ::opendir(LibraryFolder().c_str());
  if (folder == nullptr) return 0;
  while (const dirent* entry = ::readdir(folder)) {
    if (::fnmatch("clser*.so", entry->d_name, 0) == 0 ||
        ::fnmatch("libclser*.so", entry->d_name, 0) == 0) {
      ports_.emplace_back(entry->d_name);
    }
  }
  ::closedir(folder);
  return static_cast<int>(ports_.size());
}

#endif

bool ClSerial2000Transport::Open(int port_index) {
  ReleasePort();
  const std::string file = PortName(port_index);
  if (file.empty()) return false;
#ifdef _WIN32
  const std::string path = LibraryFolder() + "\\" + file;
#else
  const std::string path = LibraryFolder() + "/" + file;
#endif
  if (!library_.Load(path)) return false;
  if (!library_.Resolve("clSerialInit", &serial_init_) ||
      !library_.Resolve("clSerialClose", &serial_close_) ||
      !library_.Resolve("clSerialRead", &serial_read_) ||
      !library_.Resolve("clSerialWrite", &serial_write_)) {
    return false;  // The library stays loaded until the next close.
  }
  void* reference = nullptr;
  if (serial_init_(static_cast<uint32_t>(port_index), &reference) != 0) return false;
  reference_ = reference;
  return reference_ != nullptr;
}

bool ClSerial2000Transport::SetBaudRate(int baud_rate) {
  if (baud_rate == 9600) return true;
  ShowExclamation(kBaudRateRefused);
  return false;
}

// ---------------------------------------------------------------------------------------
// Camera Link spec. 2001

ClSerial2001Transport::ClSerial2001Transport(std::string library_name)
    : library_name_(std::move(library_name)) {}

bool ClSerial2001Transport::LoadEntryPoints(SharedLibrary& library, Entries& entries) const {
  if (!library.Load(library_name_)) return false;
  return library.Resolve("clGetManufacturer", &entries.get_manufacturer) &&
         library.Resolve("clGetNumManufacturers", &entries.get_num_manufacturers) &&
         library.Resolve("clSelectManufacturer", &entries.select_manufacturer) &&
         library.Resolve("clGetNumSerialPorts", &entries.get_num_serial_ports) &&
         library.Resolve("clGetSerialPortIdentifier", &entries.get_serial_port_identifier) &&
         library.Resolve("clSerialInit", &entries.serial_init) &&
         library.Resolve("clSerialClose", &entries.serial_close) &&
         library.Resolve("clSerialRead", &entries.serial_read) &&
         library.Resolve("clSerialWrite", &entries.serial_write) &&
         library.Resolve("clGetSupportedBaudRates", &entries.get_supported_baud_rates) &&
         library.Resolve("clSetBaudRate", &entries.set_baud_rate) &&
         library.Resolve("clGetErrorText", &entries.get_error_text);
}

// Enumeration loads the library for itself; an open port keeps its own load.
int ClSerial2001Transport::PortCount() {
  SharedLibrary library;
  Entries entries;
  if (!LoadEntryPoints(library, entries)) return static_cast<int>(ports_.size());
  ports_.clear();
  CountSlot count(0);
  entries.get_num_manufacturers(count.get());
  const uint32_t listed = std::min(count.value(), static_cast<uint32_t>(kMaxLibraryPorts));
  for (uint32_t i = 0; i < listed; ++i) {
    char name[kNameBufferSize] = {};
    CountSlot size(kNameBufferSize);
    CountSlot version(0);
    entries.get_manufacturer(i, name, size.get(), version.get());
    ports_.push_back(TextOf(name, sizeof name));
  }
  return static_cast<int>(ports_.size());
}

bool ClSerial2001Transport::Open(int port_index) {
  ReleasePort();
  open_entries_ = Entries{};
  if (!LoadEntryPoints(library_, open_entries_)) return false;
  serial_close_ = open_entries_.serial_close;
  serial_read_ = open_entries_.serial_read;
  serial_write_ = open_entries_.serial_write;
  const std::string manufacturer = PortName(port_index);
  if (open_entries_.select_manufacturer(manufacturer.c_str()) != 0) return false;
  void* reference = nullptr;
  if (open_entries_.serial_init(static_cast<uint32_t>(port_index), &reference) != 0) {
    return false;
  }
  reference_ = reference;
  return reference_ != nullptr;
}

bool ClSerial2001Transport::SetBaudRate(int baud_rate) {
  if (reference_ == nullptr) return false;
  const uint32_t code = clser::BaudRateCode(baud_rate);
  CountSlot mask(0);
  if (open_entries_.get_supported_baud_rates(reference_, mask.get()) == 0 && code != 0 &&
      (mask.value() & code) != 0) {
    open_entries_.set_baud_rate(reference_, code);
    return true;
  }
  ShowExclamation(kBaudRateRefused);
  return false;
}

// ---------------------------------------------------------------------------------------
// Camera Link ver. 1.1

ClSerialV11Transport::ClSerialV11Transport(std::string library_name)
    : library_name_(std::move(library_name)) {}

bool ClSerialV11Transport::LoadEntryPoints(SharedLibrary& library, Entries& entries) const {
  if (!library.Load(library_name_)) return false;
  return library.Resolve("clSerialInit", &entries.serial_init) &&
         library.Resolve("clSerialClose", &entries.serial_close) &&
         library.Resolve("clSetBaudRate", &entries.set_baud_rate) &&
         library.Resolve("clSerialRead", &entries.serial_read) &&
         library.Resolve("clSerialWrite", &entries.serial_write) &&
         library.Resolve("clFlushPort", &entries.flush_port) &&
         library.Resolve("clGetErrorText", &entries.get_error_text) &&
         library.Resolve("clGetNumPorts", &entries.get_num_ports) &&
         library.Resolve("clGetNumBytesAvail", &entries.get_num_bytes_avail) &&
         library.Resolve("clGetPortInfo", &entries.get_port_info) &&
         library.Resolve("clGetSupportedBaudRates", &entries.get_supported_baud_rates);
}

int ClSerialV11Transport::PortCount() {
  ports_.clear();
  SharedLibrary library;
  Entries entries;
  if (!LoadEntryPoints(library, entries)) return 0;
  CountSlot count(0);
  entries.get_num_ports(count.get());
  const uint32_t listed = std::min(count.value(), static_cast<uint32_t>(kMaxLibraryPorts));
  for (uint32_t i = 0; i < listed; ++i) {
    char manufacturer[kNameBufferSize] = {};
    char port_id[kNameBufferSize] = {};
    CountSlot manufacturer_size(kNameBufferSize);
    CountSlot port_id_size(kNameBufferSize);
    CountSlot version(0);
    entries.get_port_info(i, manufacturer, manufacturer_size.get(), port_id, port_id_size.get(),
                          version.get());
    ports_.push_back(TextOf(manufacturer, sizeof manufacturer) + " - " +
                     TextOf(port_id, sizeof port_id));
  }
  return static_cast<int>(ports_.size());
}

bool ClSerialV11Transport::Open(int port_index) {
  ReleasePort();
  open_entries_ = Entries{};
  open_index_ = port_index;
  if (!LoadEntryPoints(library_, open_entries_)) return false;
  serial_close_ = open_entries_.serial_close;
  serial_read_ = open_entries_.serial_read;
  serial_write_ = open_entries_.serial_write;
  void* reference = nullptr;
  if (open_entries_.serial_init(static_cast<uint32_t>(port_index), &reference) != 0) {
    return false;
  }
  reference_ = reference;
  return reference_ != nullptr;
}

bool ClSerialV11Transport::SetBaudRate(int baud_rate) {
  if (reference_ == nullptr) return false;
  const uint32_t code = clser::BaudRateCode(baud_rate);
  CountSlot mask(0);
  if (open_entries_.get_supported_baud_rates(reference_, mask.get()) == 0 && code != 0 &&
      (mask.value() & code) != 0) {
    open_entries_.set_baud_rate(reference_, code);
    return true;
  }
  std::string port = PortName(open_index_);
  if (port.empty()) port = library_name_;
  ShowExclamation("Selected baud rate is not supported in " + port + ".");
  return false;
}

}  // namespace ctrl
