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

void ApplicationState::UseDeviceForThisRun(const std::string& device_path) {
  if (!stored_category_) stored_category_ = channel_.port_category();
  channel_.set_port_category(PortCategory::kComPort);
  transports_.com_port.port_map().Set(ComPortName(channel_.CurrentPortIndex()), device_path);
}

void ApplicationState::UseFactoryModeForThisRun() {
  if (!stored_factory_mode_) stored_factory_mode_ = factory_mode_;
  factory_mode_ = 1;
}

bool ApplicationState::OpenConnection() {
  return channel_.Open(channel_.port_category(), kDefaultBaudRate, channel_.CurrentPortIndex());
}

void ApplicationState::SaveAtNormalExit() {
  if (!connection_fixed_for_run_) {
    ChannelChoice choice = channel_.choice();
    if (stored_category_) {
      choice.category = CategoryAfterPreviousRunCheck(settings_, *stored_category_);
    }
    WriteChannelChoice(choice, settings_);
  }
  // The window only toggles the mode: a run put into factory mode that ends out of it was
  // switched by the operator, and that is saved; otherwise the store keeps its own mode.
  int saved_mode = factory_mode_;
  if (stored_factory_mode_ && factory_mode_ == 1) saved_mode = *stored_factory_mode_;
  settings_.WriteInt(RegistrySettings::kControlMode, saved_mode);
  settings_.MarkNormalShutdown();
}

}  // namespace ctrl
