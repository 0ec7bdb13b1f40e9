#include "transport/cl_serial_transport.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <span>

#include "camera/notifier.h"
#include "transport/connection_facts.h"
#include "transport/library_folder.h"

namespace ctrl {
namespace clser {

uint32_t BaudRateCode(int baud_rate) {
  for (const BaudRateFacts& facts : kBaudRates) {
    if (facts.rate == baud_rate) return facts.code;
  }
  return 0;
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

// The only rate a spec. 2000 library runs at: it has no call to set another.
constexpr int kClSerial2000BaudRate = 9600;

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

template <typename Tag>
bool ClSerialLibraryTransport<Tag>::ResolveSerialEntries() {
  return library_.Resolve("clSerialInit", &serial_init_) &&
         library_.Resolve("clSerialClose", &serial_close_) &&
         library_.Resolve("clSerialRead", &serial_read_) &&
         library_.Resolve("clSerialWrite", &serial_write_);
}

template <typename Tag>
bool ClSerialLibraryTransport<Tag>::InitSerial(int port_index) {
  void* reference = nullptr;
  if (serial_init_(static_cast<uint32_t>(port_index), &reference) != 0) return false;
  reference_ = reference;
  return reference_ != nullptr;
}

template class ClSerialLibraryTransport<clser::VendorTag>;
template class ClSerialLibraryTransport<clser::AllSerialTag>;

// ---------------------------------------------------------------------------------------
// Camera Link spec. 2000

ClSerial2000Transport::ClSerial2000Transport(std::string configured_folder)
    : configured_folder_(std::move(configured_folder)) {}

std::string ClSerial2000Transport::LibraryFolder() const {
  const char* from_environment = std::getenv("CLSERIALPATH");
  if (from_environment != nullptr && *from_environment != '\0') return from_environment;
  if (!configured_folder_.empty()) return configured_folder_;
  return DefaultVendorLibraryFolder();
}

int ClSerial2000Transport::PortCount() {
  ports_ = ListVendorLibraries(LibraryFolder());
  return static_cast<int>(ports_.size());
}

bool ClSerial2000Transport::Open(int port_index) {
  ReleasePort();
  const std::string file = PortName(port_index);
  if (file.empty()) return false;
  if (!library_.Load(PathInFolder(LibraryFolder(), file))) return false;
  // A library missing an entry point stays loaded until the next close.
  return ResolveSerialEntries() && InitSerial(port_index);
}

bool ClSerial2000Transport::SetBaudRate(int baud_rate) {
  if (baud_rate == kClSerial2000BaudRate) return true;
  ShowExclamation(kBaudRateRefused);
  return false;
}

// ---------------------------------------------------------------------------------------
// The manager libraries, described once each

using VendorApi = clser::EntryPoints<clser::VendorTag>;
using AllSerialApi = clser::EntryPoints<clser::AllSerialTag>;

struct ManagerLibraryKind {
  // Every entry point the library must export to be used at all.
  std::span<const char* const> entry_points;
  // Fills the port list from the loaded library.
  void (*list_ports)(const SharedLibrary& library, std::vector<std::string>& ports);
  // A library that cannot be loaded leaves the previous list instead of an empty one.
  bool keeps_list_when_missing;
  // Readies the loaded library for clSerialInit of the port named so; nullptr when nothing is
  // needed.
  bool (*before_init)(const SharedLibrary& library, const std::string& port_name);
  // The refusal of a rate names the open port.
  bool refusal_names_port;
};

namespace {

constexpr const char* kClSerial2001EntryPoints[] = {"clGetManufacturer",
                                                    "clGetNumManufacturers",
                                                    "clSelectManufacturer",
                                                    "clGetNumSerialPorts",
                                                    "clGetSerialPortIdentifier",
                                                    "clSerialInit",
                                                    "clSerialClose",
                                                    "clSerialRead",
                                                    "clSerialWrite",
                                                    "clGetSupportedBaudRates",
                                                    "clSetBaudRate",
                                                    "clGetErrorText"};

constexpr const char* kClSerialV11EntryPoints[] = {
    "clSerialInit",       "clSerialClose", "clSetBaudRate",          "clSerialRead",
    "clSerialWrite",      "clFlushPort",   "clGetErrorText",         "clGetNumPorts",
    "clGetNumBytesAvail", "clGetPortInfo", "clGetSupportedBaudRates"};

// The count the library's counting entry point reports, capped.
template <typename GetCount>
uint32_t ListedCount(const SharedLibrary& library, const char* entry_point) {
  GetCount get_count = nullptr;
  library.Resolve(entry_point, &get_count);
  CountSlot count(0);
  get_count(count.get());
  return std::min(count.value(), static_cast<uint32_t>(kMaxLibraryPorts));
}

// The manufacturers are the ports.
void ListManufacturers(const SharedLibrary& library, std::vector<std::string>& ports) {
  VendorApi::GetManufacturer get_manufacturer = nullptr;
  library.Resolve("clGetManufacturer", &get_manufacturer);
  const uint32_t listed =
      ListedCount<VendorApi::GetNumManufacturers>(library, "clGetNumManufacturers");
  for (uint32_t i = 0; i < listed; ++i) {
    char name[kNameBufferSize] = {};
    CountSlot size(kNameBufferSize);
    CountSlot version(0);
    get_manufacturer(i, name, size.get(), version.get());
    ports.push_back(TextOf(name, sizeof name));
  }
}

// Every port of every grabber, as "<manufacturer> - <port id>".
void ListAllPorts(const SharedLibrary& library, std::vector<std::string>& ports) {
  AllSerialApi::GetPortInfo get_port_info = nullptr;
  library.Resolve("clGetPortInfo", &get_port_info);
  const uint32_t listed = ListedCount<AllSerialApi::GetNumPorts>(library, "clGetNumPorts");
  for (uint32_t i = 0; i < listed; ++i) {
    char manufacturer[kNameBufferSize] = {};
    char port_id[kNameBufferSize] = {};
    CountSlot manufacturer_size(kNameBufferSize);
    CountSlot port_id_size(kNameBufferSize);
    CountSlot version(0);
    get_port_info(i, manufacturer, manufacturer_size.get(), port_id, port_id_size.get(),
                  version.get());
    ports.push_back(TextOf(manufacturer, sizeof manufacturer) + " - " +
                    TextOf(port_id, sizeof port_id));
  }
}

bool SelectManufacturer(const SharedLibrary& library, const std::string& manufacturer) {
  VendorApi::SelectManufacturer select = nullptr;
  library.Resolve("clSelectManufacturer", &select);
  return select(manufacturer.c_str()) == 0;
}

}  // namespace

// One row per manager library.
constexpr ManagerLibraryKind kClSerial2001Kind = {kClSerial2001EntryPoints, ListManufacturers, true,
                                                  SelectManufacturer, false};
constexpr ManagerLibraryKind kClSerialV11Kind = {kClSerialV11EntryPoints, ListAllPorts, false,
                                                 nullptr, true};

template <typename Tag>
ClSerialManagerTransport<Tag>::ClSerialManagerTransport(const ManagerLibraryKind& kind,
                                                        std::string library_name)
    : kind_(kind), library_name_(std::move(library_name)) {}

template <typename Tag>
bool ClSerialManagerTransport<Tag>::Load(SharedLibrary& library) const {
  if (!library.Load(library_name_)) return false;
  return std::all_of(kind_.entry_points.begin(), kind_.entry_points.end(),
                     [&library](const char* name) { return library.Symbol(name) != nullptr; });
}

template <typename Tag>
int ClSerialManagerTransport<Tag>::PortCount() {
  if (!kind_.keeps_list_when_missing) this->ports_.clear();
  SharedLibrary library;
  if (Load(library)) {
    this->ports_.clear();
    kind_.list_ports(library, this->ports_);
  }
  return static_cast<int>(this->ports_.size());
}

template <typename Tag>
bool ClSerialManagerTransport<Tag>::Open(int port_index) {
  this->ReleasePort();
  open_index_ = port_index;
  get_supported_baud_rates_ = nullptr;
  set_baud_rate_ = nullptr;
  if (!Load(this->library_) || !this->ResolveSerialEntries()) return false;
  this->library_.Resolve("clGetSupportedBaudRates", &get_supported_baud_rates_);
  this->library_.Resolve("clSetBaudRate", &set_baud_rate_);
  if (kind_.before_init != nullptr &&
      !kind_.before_init(this->library_, this->PortName(port_index))) {
    return false;
  }
  return this->InitSerial(port_index);
}

template <typename Tag>
bool ClSerialManagerTransport<Tag>::SetBaudRate(int baud_rate) {
  void* const reference = this->reference_;
  if (reference == nullptr) return false;
  const uint32_t code = clser::BaudRateCode(baud_rate);
  CountSlot mask(0);
  if (get_supported_baud_rates_(reference, mask.get()) == 0 && code != 0 &&
      (mask.value() & code) != 0) {
    set_baud_rate_(reference, code);
    return true;
  }
  if (!kind_.refusal_names_port) {
    ShowExclamation(kBaudRateRefused);
    return false;
  }
  std::string port = this->PortName(open_index_);
  if (port.empty()) port = library_name_;
  ShowExclamation("Selected baud rate is not supported in " + port + ".");
  return false;
}

template <typename Tag>
std::vector<int> ClSerialManagerTransport<Tag>::SupportedBaudRates() const {
  void* const reference = this->reference_;
  if (reference == nullptr || get_supported_baud_rates_ == nullptr) {
    return ClSerialPort::SupportedBaudRates();
  }
  CountSlot mask(0);
  std::vector<int> rates;
  if (get_supported_baud_rates_(reference, mask.get()) != 0) return rates;
  for (const BaudRateFacts& facts : kBaudRates) {
    if ((mask.value() & clser::BaudRateCode(facts.rate)) != 0) rates.push_back(facts.rate);
  }
  return rates;
}

template class ClSerialManagerTransport<clser::VendorTag>;
template class ClSerialManagerTransport<clser::AllSerialTag>;

ClSerial2001Transport::ClSerial2001Transport(std::string library_name)
    : ClSerialManagerTransport(kClSerial2001Kind, std::move(library_name)) {}

ClSerialV11Transport::ClSerialV11Transport(std::string library_name)
    : ClSerialManagerTransport(kClSerialV11Kind, std::move(library_name)) {}

}  // namespace ctrl
