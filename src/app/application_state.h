#pragma once

#include <optional>
#include <string>

#include "app/registry_settings.h"
#include "transport/comm_channel.h"
#include "transport/system_transports.h"

namespace ctrl {

// What lives from the start of the process to its normal end: the persisted settings, the four
// transports with the one connection over them, and the factory control mode. Creating it
// reads the previous shutdown status and marks this run as in progress; SaveAtNormalExit writes
// the exit-time values and finally the normal-end mark. A run that never gets there leaves the
// in-progress mark behind and saves nothing else.
class ApplicationState {
 public:
  explicit ApplicationState(SettingsBackend& backend, std::string cl_serial_folder = "");
  ApplicationState(const ApplicationState&) = delete;
  ApplicationState& operator=(const ApplicationState&) = delete;

  RegistrySettings& settings() { return settings_; }
  CommChannel& channel() { return channel_; }
  SystemTransports& transports() { return transports_; }
  // The process-wide factory control mode ("Control Mode"), read when the state is created.
  int& factory_mode() { return factory_mode_; }

  // COM1 leads to this device for this run; the stored port map is not changed.
  void MapCom1ForThisRun(const std::string& device_path);
  // This run talks on COM1 whatever was stored, and the stored connection values are left as
  // they were at exit (the simulated camera must not replace the operator's real port).
  void UseCom1ForThisRun();
  bool connection_fixed_for_run() const { return connection_fixed_for_run_; }
  // This run opens a COM port whatever category was stored: the stored COM port, which leads to
  // this device. Neither the category nor the device is saved at exit; a port the operator picks
  // in the window is saved as usual.
  void UseDeviceForThisRun(const std::string& device_path);
  // Factory control mode for this run only. At exit the store keeps the mode it held, unless the
  // operator switched the mode in the window.
  void UseFactoryModeForThisRun();

  // Opens the connection with the current category and port at the default rate.
  bool OpenConnection();
  // Connection values, factory control mode, then the normal-end mark.
  void SaveAtNormalExit();

 private:
  RegistrySettings settings_;
  SystemTransports transports_;
  CommChannel channel_;
  int factory_mode_ = 0;
  bool connection_fixed_for_run_ = false;
  // Set while this run's category or factory mode is not the stored one.
  std::optional<PortCategory> stored_category_;
  std::optional<int> stored_factory_mode_;
};

}  // namespace ctrl
