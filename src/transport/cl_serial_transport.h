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
  // Resolves the four entry points every port uses from the loaded library.
  bool ResolveSerialEntries();
  // clSerialInit of the list position; true when it gives a serial reference.
  bool InitSerial(int port_index);

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
  std::vector<int> SupportedBaudRates() const override { return {9600}; }

 private:
  std::string configured_folder_;
};

// What tells one manager library apart from the other: a row of the table in
// cl_serial_transport.cpp.
struct ManagerLibraryKind;

// A Camera Link library that lists the ports itself (spec. 2001 and ver. 1.1). The library is
// used only when it exports every entry point its kind names; enumeration loads it for itself,
// an open port keeps its own load.
template <typename Tag>
class ClSerialManagerTransport : public ClSerialLibraryTransport<Tag> {
 public:
  ClSerialManagerTransport(const ManagerLibraryKind& kind, std::string library_name);

  int PortCount() override;
  // Loads the library and calls clSerialInit with the list position.
  bool Open(int port_index) override;
  // Sets the rate when the library lists it as supported; otherwise reports the refusal.
  bool SetBaudRate(int baud_rate) override;
  // The rates in the open port's clGetSupportedBaudRates mask.
  std::vector<int> SupportedBaudRates() const override;

 private:
  using Api = clser::EntryPoints<Tag>;
  // Loads the library; false when it is missing or lacks an entry point of its kind.
  bool Load(SharedLibrary& library) const;

  const ManagerLibraryKind& kind_;
  std::string library_name_;
  int open_index_ = -1;
  typename Api::GetSupportedBaudRates get_supported_baud_rates_ = nullptr;
  typename Api::SetBaudRate set_baud_rate_ = nullptr;
};

extern template class ClSerialManagerTransport<clser::VendorTag>;
extern template class ClSerialManagerTransport<clser::AllSerialTag>;

// The manager libraries' files, found through the library search.
#ifdef _WIN32
inline constexpr const char* kClSerialLibraryFile = "clserial.dll";
inline constexpr const char* kClAllSerialLibraryFile = "clallserial.dll";
#else
inline constexpr const char* kClSerialLibraryFile = "libclserial.so";
inline constexpr const char* kClAllSerialLibraryFile = "libclallserial.so";
#endif

// Camera Link spec. 2001: one manager library (clserial) whose manufacturers are the ports.
class ClSerial2001Transport final : public ClSerialManagerTransport<clser::VendorTag> {
 public:
  static constexpr const char* kDefaultLibrary = kClSerialLibraryFile;
  explicit ClSerial2001Transport(std::string library_name = kDefaultLibrary);
};

// Camera Link ver. 1.1: the all-serial library (clallserial) lists every port of every
// installed grabber as "<manufacturer> - <port id>". The refusal of a rate names the open
// port: "Selected baud rate is not supported in <port>.".
class ClSerialV11Transport final : public ClSerialManagerTransport<clser::AllSerialTag> {
 public:
  static constexpr const char* kDefaultLibrary = kClAllSerialLibraryFile;
  explicit ClSerialV11Transport(std::string library_name = kDefaultLibrary);
};

}  // namespace ctrl
