#include "app/application_state.h"

#include "app/connection_settings.h"

namespace ctrl {

ApplicationState::ApplicationState(SettingsBackend& backend, std::string cl_serial_folder)
    : settings_(backend),
      transports_(std::move(cl_serial_folder)),
      channel_(transports_.com_port, transports_.cl_serial_2000, transports_.cl_serial_2001,
               transports_.cl_serial_v11) {
  LoadComPortMap(settings_, transports_.com_port.port_map());
  channel_.Restore(ReadChannelChoice(settings_));
  factory_mode_ = settings_.ReadInt(RegistrySettings::kControlMode, 0).value;
}

void ApplicationState::MapCom1ForThisRun(const std::string& device_path) {
  transports_.com_port.port_map().Set(ComPortName(0), device_path);
}

void ApplicationState::UseCom1ForThisRun() {
  connection_fixed_for_run_ = true;
  // Values of a first run: COM port category, COM1, every other index 0.
  channel_.Restore(ChannelChoice{});
}

bool ApplicationState::OpenConnection() {
  return channel_.Open(channel_.port_category(), kDefaultBaudRate, channel_.CurrentPortIndex());
}

void ApplicationState::SaveAtNormalExit() {
  if (!connection_fixed_for_run_) WriteChannelChoice(channel_.choice(), settings_);
  settings_.WriteInt(RegistrySettings::kControlMode, factory_mode_);
  settings_.MarkNormalShutdown();
}

}  // namespace ctrl
