#pragma once

#include <QDialog>
#include <functional>
#include <vector>

#include "transport/serial_devices.h"

class QComboBox;
class QLabel;
class QPushButton;
class QTreeWidget;

namespace ctrl {
class ComPortMap;
class RegistrySettings;
}  // namespace ctrl

// What the serial devices window works with; everything outlives the window.
struct SerialDevicesSetup {
  // Where the mappings are stored for later runs (Ports/COMn); not stored when null.
  ctrl::RegistrySettings* settings = nullptr;
  // The COM port map of this run.
  ctrl::ComPortMap* port_map = nullptr;
  // The devices present now; ListSerialDevices when empty.
  std::function<std::vector<ctrl::SerialDevice>()> list_devices;
  // Told after a mapping changed (the communication window lists the ports afresh).
  std::function<void()> mappings_changed;
};

// "Serial Devices": the serial devices present, the COM names that open each, and mapping a
// COM name to a device (or removing that mapping) for this run and the following ones.
class CSerialDevicesDialog final : public QDialog {
  Q_OBJECT

 public:
  enum Column { kDeviceColumn, kDescriptionColumn, kComColumn };

  explicit CSerialDevicesDialog(SerialDevicesSetup setup, QWidget* parent = nullptr);

  // Lists the devices afresh.
  void Refresh();
  // Leads the chosen COM name to the chosen device; false when no device is chosen.
  bool MapChosen();
  // Removes the mapping of the chosen COM name.
  void UnmapChosen();

  QTreeWidget* devices() const { return devices_; }
  QComboBox* com_names() const { return com_names_; }
  QPushButton* map_button() const { return map_; }
  QPushButton* unmap_button() const { return unmap_; }

 private:
  // The path stored for a device: a by-id link keeps its name in whichever socket the adapter
  // is, so it is preferred to the device node.
  static std::string MappedPath(const ctrl::SerialDevice& device);
  void MappingsChanged();
  void FollowChosenDevice();

  SerialDevicesSetup setup_;
  std::vector<ctrl::SerialDevice> present_;
  QTreeWidget* devices_;
  QComboBox* com_names_;
  QPushButton* map_;
  QPushButton* unmap_;
  QPushButton* refresh_;
  QPushButton* close_;
};
