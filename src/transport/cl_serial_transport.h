#pragma once

#include <string>
#include <vector>

#include "transport/cl_serial_api.h"
#include "transport/serial_transport.h"
#include "transport/shared_library.h"

namespace ctrl {

// What the three Camera Link library generations share: a port list from the last
// enumeration, the loaded library and the serial reference of the open port, and reads and
// writes through clSerialRead / clSerialWrite.
template <typename Tag>
class ClSerialLibraryTransport : public ClSerialPort {
 public:
  using Api = clser::EntryPoints<Tag>;

  ~ClSerialLibraryTransport() override { ReleasePort(); }

  // The entry of the last enumeration, or empty text outside the list. Does not enumerate.
  std::string PortName(int index) const override;
  // Closes the serial reference, then unloads the library.
  void Close() override { ReleasePort(); }
  bool IsOpen() const override { return reference_ != nullptr; }
  // clSerialWrite with the time-out; true when it returns 0.
  bool Write(const char* bytes, int length, int timeout_ms) override;
  // clSerialRead of exactly `length` bytes with the time-out; the library's count on success,
  // 0 on any failure.
  int Read(char* buffer, int length, int timeout_ms) override;
  // Reads with no wait until the library has nothing more.
  void DiscardInput() override;
  // After kLostAfterFailures reads in a row that failed for another reason than a time-out.
  bool LineLost() const override {
    return reference_ != nullptr && failed_reads_ >= kLostAfterFailures;
  }
  static constexpr int kLostAfterFailures = 3;

  const std::vector<std::string>& port_list() const { return ports_; }

 protected:
  void ReleasePort();

  std::vector<std::string> ports_;
  SharedLibrary library_;
  void* reference_ = nullptr;
  int failed_reads_ = 0;  // reads in a row that failed, time-outs aside
  typename Api::SerialInit serial_init_ = nullptr;
  typename Api::SerialClose serial_close_ = nullptr;
  typename Api::SerialRead serial_read_ = nullptr;
  typename Api::SerialWrite serial_write_ = nullptr;
};

extern template class ClSerialLibraryTransport<clser::VendorTag>;
extern template class ClSerialLibraryTransport<clser::AllSerialTag>;

// The most ports an enumeration lists: a library may report any count (0xFFFFFFFF included),
// and each listed port costs memory and a library call.
inline constexpr int kMaxLibraryPorts = 256;

// Camera Link spec. 2000: every clser* library in one folder is a port. The folder is
// $CLSERIALPATH, else the configured folder, else the system folder on Windows
// (clser*.dll) and /usr/lib/cameralink elsewhere (clser*.so and libclser*.so). A port's
// library is loaded by its full path in that folder.
class ClSerial2000Transport final : public ClSerialLibraryTransport<clser::VendorTag> {
 public:
  explicit ClSerial2000Transport(std::string configured_folder = "");

  void set_configured_folder(std::string folder) { configured_folder_ = std::move(folder); }
  // The folder that is searched, as decided now.
  std::string LibraryFolder() const;

  // Lists the library file names in the order the directory yields them; loads nothing.
  int PortCount() override;
  // Loads the listed library and calls clSerialInit with the list position.
  bool Open(int port_index) override;
  // Only 9600 is possible; any other rate reports "Selected baud rate is not supported.".
  bool SetBaudRate(int baud_rate) override;

 private:
  std::string configured_folder_;
};

// Camera Link spec. 2001: one manager library (clserial) whose manufacturers are the ports.
class ClSerial2001Transport final : public ClSerialLibraryTransport<clser::VendorTag> {
 public:
  explicit ClSerial2001Transport(std::string library_name = kDefaultLibrary);

#ifdef _WIN32
  static constexpr const char* kDefaultLibrary = "clserial.dll";
#else
  static constexpr const char* kDefaultLibrary = "libclserial.so";
#endif

  int PortCount() override;
  bool Open(int port_index) override;
  bool SetBaudRate(int baud_rate) override;

 private:
  struct Entries {
    Api::GetManufacturer get_manufacturer = nullptr;
    Api::GetNumManufacturers get_num_manufacturers = nullptr;
    Api::SelectManufacturer select_manufacturer = nullptr;
    Api::GetNumSerialPorts get_num_serial_ports = nullptr;
    Api::GetSerialPortIdentifier get_serial_port_identifier = nullptr;
    Api::SerialInit serial_init = nullptr;
    Api::SerialClose serial_close = nullptr;
    Api::SerialRead serial_read = nullptr;
    Api::SerialWrite serial_write = nullptr;
    Api::GetSupportedBaudRates get_supported_baud_rates = nullptr;
    Api::SetBaudRate set_baud_rate = nullptr;
    Api::GetErrorText get_error_text = nullptr;
  };
  // Loads the library and resolves its twelve entry points in order, stopping at the first
  // missing one.
  bool LoadEntryPoints(SharedLibrary& library, Entries& entries) const;

  std::string library_name_;
  Entries open_entries_;
};

// Camera Link ver. 1.1: the all-serial library (clallserial) lists every port of every
// installed grabber as "<manufacturer> - <port id>".
class ClSerialV11Transport final : public ClSerialLibraryTransport<clser::AllSerialTag> {
 public:
  explicit ClSerialV11Transport(std::string library_name = kDefaultLibrary);

#ifdef _WIN32
  static constexpr const char* kDefaultLibrary = "clallserial.dll";
#else
  static constexpr const char* kDefaultLibrary = "libclallserial.so";
#endif

  int PortCount() override;
  bool Open(int port_index) override;
  // The refusal names the open port: "Selected baud rate is not supported in <port>.".
  bool SetBaudRate(int baud_rate) override;

 private:
  struct Entries {
    Api::SerialInit serial_init = nullptr;
    Api::SerialClose serial_close = nullptr;
    Api::SetBaudRate set_baud_rate = nullptr;
    Api::SerialRead serial_read = nullptr;
    Api::SerialWrite serial_write = nullptr;
    Api::FlushPort flush_port = nullptr;
    Api::GetErrorText get_error_text = nullptr;
    Api::GetNumPorts get_num_ports = nullptr;
    Api::GetNumBytesAvail get_num_bytes_avail = nullptr;
    Api::GetPortInfo get_port_info = nullptr;
    Api::GetSupportedBaudRates get_supported_baud_rates = nullptr;
  };
  // Loads the library and resolves its eleven entry points in order, stopping at the first
  // missing one.
  bool LoadEntryPoints(SharedLibrary& library, Entries& entries) const;

  std::string library_name_;
  Entries open_entries_;
  int open_index_ = -1;
};

}  // namespace ctrl
