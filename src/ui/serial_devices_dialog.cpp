#include "ui/serial_devices_dialog.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "app/registry_settings.h"
#include "transport/com_port_map.h"
#include "transport/connection_facts.h"

namespace {

QPushButton* Button(const QString& text, QWidget* parent) {
  auto* button = new QPushButton(text, parent);
  button->setAutoDefault(false);
  return button;
}

// "FTDI FT232R USB UART (ftdi_sio)"; the kind where the device says nothing else.
QString Description(const ctrl::SerialDevice& device) {
  QStringList words;
  if (!device.manufacturer.empty()) words << QString::fromStdString(device.manufacturer);
  if (!device.product.empty()) words << QString::fromStdString(device.product);
  if (words.isEmpty()) words << QString::fromStdString(device.kind);
  QString text = words.join(' ');
  if (!device.driver.empty())
    text += QStringLiteral(" (%1)").arg(QString::fromStdString(device.driver));
  return text;
}

}  // namespace

CSerialDevicesDialog::CSerialDevicesDialog(SerialDevicesSetup setup, QWidget* parent)
    : QDialog(parent),
      setup_(std::move(setup)),
      devices_(new QTreeWidget(this)),
      com_names_(new QComboBox(this)),
      map_(Button(QStringLiteral("Map"), this)),
      unmap_(Button(QStringLiteral("Unmap"), this)),
      refresh_(Button(QStringLiteral("Refresh"), this)),
      close_(Button(QStringLiteral("Close"), this)) {
  setWindowTitle(QStringLiteral("Serial Devices"));
  if (!setup_.list_devices) setup_.list_devices = ctrl::ListSerialDevices;
  devices_->setColumnCount(3);
  devices_->setHeaderLabels(
      {QStringLiteral("Device"), QStringLiteral("Description"), QStringLiteral("Opened by")});
  devices_->setRootIsDecorated(false);
  devices_->setUniformRowHeights(true);
  devices_->header()->setStretchLastSection(true);
  for (int i = 0; i < ctrl::kComPortCount; ++i) {
    com_names_->addItem(QString::fromStdString(ctrl::ComPortName(i)));
  }

  auto* mapping = new QHBoxLayout;
  mapping->addWidget(new QLabel(QStringLiteral("COM name"), this));
  mapping->addWidget(com_names_);
  mapping->addWidget(map_);
  mapping->addWidget(unmap_);
  mapping->addStretch(1);
  mapping->addWidget(refresh_);
  mapping->addWidget(close_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(
      QStringLiteral("Choose a device and a COM name, then Map: that COM name opens the device "
                     "from now on."),
      this));
  layout->addWidget(devices_, 1);
  layout->addLayout(mapping);

  connect(map_, &QPushButton::clicked, this, [this] { MapChosen(); });
  connect(unmap_, &QPushButton::clicked, this, &CSerialDevicesDialog::UnmapChosen);
  connect(refresh_, &QPushButton::clicked, this, &CSerialDevicesDialog::Refresh);
  connect(close_, &QPushButton::clicked, this, &CSerialDevicesDialog::accept);
  connect(devices_, &QTreeWidget::currentItemChanged, this,
          &CSerialDevicesDialog::FollowChosenDevice);
  Refresh();
  resize(std::max(sizeHint().width(), 640), std::max(sizeHint().height(), 300));
}

std::string CSerialDevicesDialog::MappedPath(const ctrl::SerialDevice& device) {
  return device.by_id.empty() ? device.device_node : device.by_id.front();
}

void CSerialDevicesDialog::Refresh() {
  const int chosen = devices_->currentIndex().row();
  present_ = setup_.list_devices();
  devices_->clear();
  if (present_.empty()) {
    auto* none = new QTreeWidgetItem(devices_, {QStringLiteral("No serial devices found.")});
    none->setFlags(Qt::NoItemFlags);
    none->setFirstColumnSpanned(true);
  }
  const ctrl::ComPortMap defaults;
  const ctrl::ComPortMap& map = setup_.port_map != nullptr ? *setup_.port_map : defaults;
  for (size_t i = 0; i < present_.size(); ++i) {
    const ctrl::SerialDevice& device = present_[i];
    QStringList names;
    for (int port = 0; port < ctrl::kComPortCount; ++port) {
      const std::string name = ctrl::ComPortName(port);
      const std::string path = map.DevicePath(name);
      if (ctrl::FindSerialDevice(present_, path) == &device) names << QString::fromStdString(name);
    }
    auto* item = new QTreeWidgetItem(devices_, {QString::fromStdString(device.device_node),
                                                Description(device), names.join(", ")});
    item->setData(kDeviceColumn, Qt::UserRole, static_cast<int>(i));
    item->setToolTip(kDeviceColumn, QString::fromStdString(MappedPath(device)));
  }
  for (int column = kDeviceColumn; column < kComColumn; ++column) {
    devices_->resizeColumnToContents(column);
    devices_->setColumnWidth(column, devices_->columnWidth(column) + 16);
  }
  const bool any = !present_.empty();
  map_->setEnabled(any);
  if (any) {
    devices_->setCurrentItem(
        devices_->topLevelItem(std::clamp(chosen, 0, static_cast<int>(present_.size()) - 1)));
  }
}

void CSerialDevicesDialog::FollowChosenDevice() {
  // A device that a COM name opens already: that name is the one Unmap would remove.
  const QTreeWidgetItem* item = devices_->currentItem();
  if (item == nullptr) return;
  const QString names = item->text(kComColumn);
  if (names.isEmpty()) return;
  const int index = com_names_->findText(names.section(',', 0, 0).trimmed());
  if (index >= 0) com_names_->setCurrentIndex(index);
}

bool CSerialDevicesDialog::MapChosen() {
  const QTreeWidgetItem* item = devices_->currentItem();
  if (item == nullptr || present_.empty()) return false;
  const int index = item->data(kDeviceColumn, Qt::UserRole).toInt();
  if (index < 0 || index >= static_cast<int>(present_.size())) return false;
  const std::string name = com_names_->currentText().toStdString();
  const std::string path = MappedPath(present_[static_cast<size_t>(index)]);
  if (setup_.settings != nullptr) setup_.settings->WritePortDevice(name, path);
  if (setup_.port_map != nullptr) setup_.port_map->Set(name, path);
  MappingsChanged();
  return true;
}

void CSerialDevicesDialog::UnmapChosen() {
  const std::string name = com_names_->currentText().toStdString();
  // An empty entry is no mapping: the name opens its own device again.
  if (setup_.settings != nullptr) setup_.settings->WritePortDevice(name, "");
  if (setup_.port_map != nullptr) setup_.port_map->Set(name, "");
  MappingsChanged();
}

void CSerialDevicesDialog::MappingsChanged() {
  const int com = com_names_->currentIndex();
  Refresh();
  com_names_->setCurrentIndex(com);
  if (setup_.mappings_changed) setup_.mappings_changed();
}
