#include "ui/communication_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>
#include <string_view>

#include "app/connection_settings.h"
#include "app/registry_settings.h"
#include "camera/user_sets.h"
#include "transport/com_port_map.h"
#include "transport/comm_channel.h"
#include "transport/connection_facts.h"
#include "ui/progress_dialog.h"
#include "ui/registered_windows.h"
#include "ui/status_strip.h"

namespace {

// The line status picture: a green lamp while the camera answers, a red one otherwise.
QPixmap StatusLamp(bool online) {
  QPixmap pixmap(32, 32);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(QColor(60, 60, 60), 2));
  painter.setBrush(online ? QColor(0, 190, 0) : QColor(220, 0, 0));
  painter.drawEllipse(QPointF(16, 16), 12, 12);
  return pixmap;
}

QPushButton* Button(const char* text, QWidget* parent) {
  auto* button = new QPushButton(QString::fromLatin1(text), parent);
  button->setAutoDefault(false);
  return button;
}

QString Text(std::string_view text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

QLabel* Picture(QStyle::StandardPixmap which, QWidget* parent) {
  auto* label = new QLabel(parent);
  label->setPixmap(parent->style()->standardIcon(which).pixmap(16, 16));
  return label;
}

QString Milliseconds(int64_t microseconds) {
  return QString::number(static_cast<double>(microseconds) / 1000.0, 'f', 2) +
         QStringLiteral(" ms");
}

}  // namespace

CCommunicationDialog::CCommunicationDialog(CommunicationSetup setup, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      setup_(std::move(setup)) {
  if (setup_.settings != nullptr && setup_.channel != nullptr) {
    ctrl::ApplyPreviousRunCheck(*setup_.settings, *setup_.channel);
  }
  setWindowTitle(QStringLiteral("Communication"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(6, 6, 6, 2);
  layout->addWidget(BuildStatusGroup());
  layout->addWidget(BuildPortGroup());
  layout->addWidget(BuildHealthGroup());
  layout->addWidget(BuildFilesGroup());
  layout->addWidget(BuildAreaRow());
  layout->addWidget(BuildMessageGroup(), 1);
  strip_ = new ctrl::ui::StatusStrip(*setup_.status, this);
  layout->addWidget(strip_);

  connect(ports_, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (!filling_ && index >= 0) OnPortChosen(index);
  });
  connect(baud_, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (!filling_ && index >= 0) OnBaudChosen(index);
  });
  connect(fast_transfers_, &QCheckBox::toggled, this, [this](bool fast) {
    if (setup_.settings != nullptr) setup_.settings->WriteFastTransfers(fast);
  });
  health_timer_ = new QTimer(this);
  health_timer_->setInterval(kHealthRefreshMs);
  connect(health_timer_, &QTimer::timeout, this, &CCommunicationDialog::RefreshHealth);
  connect(areas_, &QComboBox::currentIndexChanged, this, [this] { RefreshStoreEnabling(); });
  connect(write_file_, &QPushButton::clicked, this, [this] {
    if (setup_.save_all_data) setup_.save_all_data();
  });
  connect(read_file_, &QPushButton::clicked, this, [this] {
    if (setup_.open_settings_file) setup_.open_settings_file();
  });
  connect(serial_devices_, &QPushButton::clicked, this, [this] {
    if (setup_.show_serial_devices) setup_.show_serial_devices();
  });
  connect(get_area_, &QPushButton::clicked, this, &CCommunicationDialog::GetArea);
  connect(store_, &QPushButton::clicked, this, &CCommunicationDialog::StoreArea);
  connect(load_, &QPushButton::clicked, this, &CCommunicationDialog::LoadArea);
  connect(save_messages_, &QPushButton::clicked, this, &CCommunicationDialog::SaveMessages);
  connect(clear_messages_, &QPushButton::clicked, this, [this] { messages_.Clear(); });
}

CCommunicationDialog::~CCommunicationDialog() {
  setup_.status->Unregister(this);
  ctrl::ui::RegisteredWindows::Instance().Remove(this);
}

QWidget* CCommunicationDialog::BuildStatusGroup() {
  auto* group = new QGroupBox(QStringLiteral("Line Status"), this);
  auto* row = new QHBoxLayout(group);
  status_icon_ = new QLabel(group);
  status_icon_->setPixmap(StatusLamp(false));
  status_text_ = new QLabel(QStringLiteral("Offline"), group);
  row->addWidget(status_icon_);
  row->addWidget(status_text_);
  row->addStretch(1);
  return group;
}

QWidget* CCommunicationDialog::BuildPortGroup() {
  auto* group = new QGroupBox(QStringLiteral("Communication Port"), this);
  auto* grid = new QGridLayout(group);
  category_ = new QComboBox(group);
  for (const ctrl::PortCategoryFacts& facts : ctrl::kPortCategories) {
    category_->addItem(Text(facts.display_name));
  }
  // Shows the category only: it is chosen through the persisted setting.
  category_->setEnabled(false);
  ports_ = new QComboBox(group);
  for (int i = 0; i < ctrl::kComPortCount; ++i) {
    ports_->addItem(QString::fromStdString(ctrl::ComPortName(i)));
  }
  baud_ = new QComboBox(group);
  for (const ctrl::BaudRateFacts& facts : ctrl::kBaudRates) {
    baud_->addItem(Text(facts.display_name));
  }
  auto_ = Button("Auto", group);
  auto_->setEnabled(false);
  auto_->hide();
  serial_devices_ = new QPushButton(QStringLiteral("Serial Devices\u2026"), group);
  serial_devices_->setAutoDefault(false);
  grid->addWidget(new QLabel(QStringLiteral("Category"), group), 0, 0);
  grid->addWidget(category_, 0, 1);
  grid->addWidget(new QLabel(QStringLiteral("Baud Rate"), group), 0, 2);
  grid->addWidget(baud_, 0, 3);
  grid->addWidget(new QLabel(QStringLiteral("Port Name"), group), 1, 0);
  grid->addWidget(ports_, 1, 1);
  grid->addWidget(auto_, 1, 2);
  grid->addWidget(serial_devices_, 1, 3);
  fast_transfers_ = new QCheckBox(QStringLiteral("Fast transfers"), group);
  fast_transfers_->setToolTip(
      QStringLiteral("LUT tables, Reload and settings files run at the fastest rate the camera "
                     "and the port share; the link returns to its rate afterwards."));
  fast_transfers_->setChecked(setup_.settings != nullptr && setup_.settings->ReadFastTransfers());
  grid->addWidget(fast_transfers_, 2, 0, 1, 4);
  grid->setColumnStretch(1, 1);
  return group;
}

QWidget* CCommunicationDialog::BuildHealthGroup() {
  auto* group = new QGroupBox(QStringLiteral("Link Health"), this);
  auto* grid = new QGridLayout(group);
  grid->setVerticalSpacing(2);
  grid->setHorizontalSpacing(12);
  struct Place {
    HealthField field;
    const char* label;
    int row;
    int column;
    int span;  // value columns
  };
  constexpr Place kPlaces[] = {
      {HealthField::kExchanges, "Exchanges", 0, 0, 1},
      {HealthField::kTimeouts, "Time-outs", 0, 2, 1},
      {HealthField::kRefused, "Refused", 1, 0, 1},
      {HealthField::kLinesSkipped, "Stray lines skipped", 1, 2, 1},
      {HealthField::kRate, "Rate", 2, 0, 3},
      {HealthField::kRoundTrip, "Round trip", 3, 0, 3},
      {HealthField::kBytes, "Bytes", 4, 0, 3},
  };
  for (const Place& place : kPlaces) {
    auto* value = new QLabel(group);
    value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    grid->addWidget(new QLabel(QString::fromLatin1(place.label), group), place.row, place.column);
    grid->addWidget(value, place.row, place.column + 1, 1, place.span);
    health_values_[static_cast<size_t>(place.field)] = value;
  }
  grid->setColumnStretch(1, 1);
  grid->setColumnStretch(3, 1);
  RefreshHealth();
  return group;
}

void CCommunicationDialog::RefreshHealth() {
  if (setup_.engine == nullptr) return;
  const ctrl::LinkHealth& health = setup_.engine->health();
  const auto show = [this](HealthField field, const QString& text) {
    health_values_[static_cast<size_t>(field)]->setText(text);
  };
  show(HealthField::kExchanges, QString::number(health.exchanges));
  show(HealthField::kTimeouts, QString::number(health.timeouts));
  show(HealthField::kRefused, QString::number(health.refused));
  show(HealthField::kLinesSkipped, QString::number(health.lines_skipped));
  show(HealthField::kRoundTrip,
       health.round_trip_count() == 0
           ? QStringLiteral("none yet")
           : QStringLiteral("median ") + Milliseconds(health.MedianRoundTripUs()) +
                 QStringLiteral(", p99 ") + Milliseconds(health.P99RoundTripUs()));
  show(HealthField::kBytes, QString::number(health.bytes_sent) + QStringLiteral(" sent, ") +
                                QString::number(health.bytes_received) +
                                QStringLiteral(" received"));
  show(HealthField::kRate,
       setup_.channel != nullptr
           ? QString::number(setup_.channel->baud_rate()) + QStringLiteral(" baud")
           : QStringLiteral("-"));
}

QString CCommunicationDialog::HealthText(HealthField field) const {
  return health_values_[static_cast<size_t>(field)]->text();
}

void CCommunicationDialog::StartHealthRecord() {
  if (setup_.engine != nullptr) setup_.engine->ResetHealth();
  RefreshHealth();
}

void CCommunicationDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  RefreshHealth();
  health_timer_->start();
}

void CCommunicationDialog::hideEvent(QHideEvent* event) {
  health_timer_->stop();
  QDialog::hideEvent(event);
}

bool CCommunicationDialog::fast_transfers() const {
  return fast_transfers_->isChecked();
}

void CCommunicationDialog::ShowLineRate(int rate) {
  filling_ = true;
  baud_->setCurrentIndex(ctrl::BaudRateIndex(rate));
  filling_ = false;
  RefreshHealth();
}

QWidget* CCommunicationDialog::BuildFilesGroup() {
  auto* group = new QGroupBox(QStringLiteral("Files"), this);
  auto* row = new QHBoxLayout(group);
  write_file_ = Button("Write To File...", group);
  read_file_ = Button("Read To FIle....", group);
  row->addWidget(Picture(QStyle::SP_DialogSaveButton, group));
  row->addWidget(write_file_);
  row->addStretch(1);
  row->addWidget(Picture(QStyle::SP_DialogOpenButton, group));
  row->addWidget(read_file_);
  row->addStretch(1);
  return group;
}

QWidget* CCommunicationDialog::BuildAreaRow() {
  auto* row_widget = new QWidget(this);
  auto* row = new QHBoxLayout(row_widget);
  row->setContentsMargins(0, 0, 0, 0);

  auto* current = new QGroupBox(QStringLiteral("Current Area"), row_widget);
  auto* current_row = new QHBoxLayout(current);
  area_text_ = new QLabel(current);
  area_text_->setMinimumWidth(area_text_->fontMetrics().horizontalAdvance("User 3 Data") + 8);
  get_area_ = Button("Get Area", current);
  current_row->addWidget(area_text_, 1);
  current_row->addWidget(get_area_);

  auto* flash = new QGroupBox(QStringLiteral("Factory And User Setting In Camera"), row_widget);
  auto* flash_row = new QHBoxLayout(flash);
  areas_ = new QComboBox(flash);
  areas_->addItems({"Factory Data", "User 1 Data", "User 2 Data", "User 3 Data"});
  store_ = Button("Store", flash);
  store_->setEnabled(false);
  load_ = Button("Load", flash);
  flash_row->addWidget(areas_, 1);
  flash_row->addWidget(store_);
  flash_row->addWidget(load_);

  row->addWidget(current, 2);
  row->addWidget(flash, 3);
  return row_widget;
}

QWidget* CCommunicationDialog::BuildMessageGroup() {
  auto* group = new QGroupBox(QStringLiteral("ControlTool Message"), this);
  auto* row = new QHBoxLayout(group);
  message_list_ = new QListView(group);
  message_list_->setModel(&messages_);
  message_list_->setSelectionMode(QAbstractItemView::NoSelection);
  message_list_->setUniformItemSizes(true);
  message_list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  message_list_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  message_list_->setMinimumHeight(120);
  save_messages_ = Button("Write To File", group);
  clear_messages_ = Button("Clear", group);
  auto* buttons = new QVBoxLayout;
  buttons->addWidget(save_messages_);
  buttons->addWidget(clear_messages_);
  buttons->addStretch(1);
  row->addWidget(message_list_, 1);
  row->addLayout(buttons);
  return group;
}

QWidget* CCommunicationDialog::Control(int id) const {
  switch (id) {
    case kPortList:
      return ports_;
    case kCategoryList:
      return category_;
    case kAreaList:
      return areas_;
    case kBaudList:
      return baud_;
    case kStatusText:
      return status_text_;
    case kStatusStrip:
      return strip_;
    case kStatusIcon:
      return status_icon_;
    case kWriteFileButton:
      return write_file_;
    case kReadFileButton:
      return read_file_;
    case kGetAreaButton:
      return get_area_;
    case kAreaText:
      return area_text_;
    case kStoreButton:
      return store_;
    case kLoadButton:
      return load_;
    case kMessageList:
      return message_list_;
    case kSaveMessagesButton:
      return save_messages_;
    case kClearMessagesButton:
      return clear_messages_;
    case kAutoButton:
      return auto_;
    case kSerialDevicesButton:
      return serial_devices_;
    case kFastTransfersCheck:
      return fast_transfers_;
    default:
      return nullptr;
  }
}

void CCommunicationDialog::Initialise() {
  setup_.status->Register(this);
  ctrl::ui::RegisteredWindows::Instance().Add(this);
  filling_ = true;
  if (setup_.channel != nullptr) {
    category_->setCurrentIndex(ctrl::ToInt(setup_.channel->port_category()));
    baud_->setCurrentIndex(setup_.channel->BaudRateIndex());
  }
  filling_ = false;
  FillPortList();
  RefreshStoreEnabling();
  areas_->setCurrentIndex(1);
}

void CCommunicationDialog::FillPortList() {
  filling_ = true;
  ports_->clear();
  if (setup_.channel != nullptr) {
    const int count = setup_.channel->PortCount();
    const bool com_ports = setup_.channel->port_category() == ctrl::PortCategory::kComPort;
    for (int i = 0; i < count; ++i) {
      const std::string name = setup_.channel->PortName(i);
      ports_->addItem(QString::fromStdString(name));
      if (com_ports && setup_.com_port_map != nullptr) {
        const QString device = QString::fromStdString(setup_.com_port_map->DevicePath(name));
        ports_->setItemData(i, device, Qt::UserRole);
        ports_->setItemData(i, device, Qt::ToolTipRole);
      }
    }
    int selected = setup_.channel->CurrentPortIndex();
    if (selected < 0 || selected >= count) {
      setup_.channel->ReopenWithPortIndex(0);
      selected = 0;
    }
    ports_->setCurrentIndex(count > 0 ? selected : -1);
  }
  filling_ = false;
}

void CCommunicationDialog::OnlineStatusChanged(bool online) {
  status_icon_->setPixmap(StatusLamp(online));
  status_text_->setText(online ? QStringLiteral("Online") : QStringLiteral("Offline"));
}

void CCommunicationDialog::RefreshStoreEnabling() {
  const bool factory_mode = setup_.factory_mode != nullptr && *setup_.factory_mode != 0;
  store_->setEnabled(!(areas_->currentIndex() == ctrl::kFactoryArea && !factory_mode));
}

void CCommunicationDialog::AppendMessage(const std::string& text) {
  messages_.Prepend(QString::fromStdString(text));
}

void CCommunicationDialog::OnPortChosen(int index) {
  if (setup_.channel == nullptr) return;
  StartHealthRecord();
  if (!setup_.channel->ReopenWithPortIndex(index)) return;
  if (setup_.engine->CheckModel()) ReloadAfterModelCheck();
}

void CCommunicationDialog::OnBaudChosen(int index) {
  if (setup_.channel == nullptr) return;
  StartHealthRecord();
  setup_.channel->ReopenWithBaudRate(ctrl::BaudRateOfIndex(index));
  if (setup_.engine->CheckModel()) ReloadAfterModelCheck();
}

void CCommunicationDialog::ReloadAfterModelCheck() {
  if (setup_.reload_after_model_check) {
    setup_.reload_after_model_check();
  } else if (setup_.reload_all_parameters) {
    setup_.reload_all_parameters();
  }
}

void CCommunicationDialog::GetArea() {
  area_text_->setText(QString::fromStdString(ctrl::ReadAreaText(*setup_.engine)));
}

void CCommunicationDialog::LoadArea() {
  if (ctrl::LoadUserSet(*setup_.engine, areas_->currentIndex()) && setup_.reload_all_parameters) {
    setup_.reload_all_parameters();
  }
}

void CCommunicationDialog::StoreArea() {
  CProgressBarDialog& progress = *setup_.progress;
  // The shared progress window belongs to the main window; for this store it sits over us.
  progress.set_owner(this);
  ctrl::StoreUserSetWithProgress(*setup_.engine, areas_->currentIndex(), progress);
  progress.set_owner(parentWidget());
}

void CCommunicationDialog::SaveMessages() {
  setup_.flows->SaveLog(this, ctrl::ui::FileFlows::Log::kMessageList, messages_.OldestFirst(),
                        [this](const std::string& line) { AppendMessage(line); });
}
