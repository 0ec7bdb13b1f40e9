#include "ui/parameter_pages.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>
#include <optional>
#include <tuple>

#include "camera/command_table.h"
#include "camera/device_model.h"
#include "ui/page_dispatcher.h"
#include "ui/parameter_tooltips.h"
#include "ui/spin_arrows.h"

namespace ctrl::ui {
namespace {

constexpr char kSpinIdProperty[] = "ctrlSpinId";
constexpr int kFieldWidth = 144;
constexpr int kEditWidth = kFieldWidth - 18;
constexpr int kColumnCount = 3;

}  // namespace

ParameterPages::ParameterPages(QObject* parent) : QObject(parent) {}

std::vector<QWidget*> ParameterPages::BuildPages() {
  std::vector<QWidget*> pages;
  for (const PageLayout& layout : PageLayouts()) pages.push_back(BuildPage(layout));
  return pages;
}

QWidget* ParameterPages::BuildPage(const PageLayout& layout) {
  auto* page = new QWidget;
  page->setObjectName(QString::fromUtf8(layout.title.data(), layout.title.size()));
  auto* columns = new QHBoxLayout(page);
  QVBoxLayout* column_layouts[kColumnCount];
  for (auto& column : column_layouts) {
    column = new QVBoxLayout;
    columns->addLayout(column, 1);
  }
  // Every row as tall as the tallest control, so rows with a button line up with the others.
  const int row_height = RowHeight();
  struct FocusStop {
    int column;
    int group;
    int row;
    int cell;
    QWidget* widget;
  };
  std::vector<FocusStop> stops;
  int group_index = 0;
  for (const GroupLayout& group : layout.groups) {
    auto* box = new QGroupBox(QString::fromUtf8(group.title.data(), group.title.size()), page);
    auto* grid = new QGridLayout(box);
    grid->setVerticalSpacing(4);
    grid->setHorizontalSpacing(6);
    grid->setColumnStretch(0, 1);
    bool any_visible = false;
    for (const ControlLayout& control : group.controls) {
      QWidget* field = BuildControl(control, box);
      QLabel* label = nullptr;
      if (!control.label.empty() || control.label_id != 0) {
        label = new QLabel(QString::fromUtf8(control.label.data(), control.label.size()), box);
        if (control.label_id != 0) Register(control.label_id, label);
        label->setEnabled(!control.disabled);
        labels_[control.id] = label;
      }
      QWidget* focus = FindControl(control.id);
      if (label != nullptr) {
        // Screen readers name the control by its label; a readout takes the label's text.
        if (focus->focusPolicy() != Qt::NoFocus) {
          label->setBuddy(focus);
        } else {
          focus->setAccessibleName(label->text());
        }
      }
      if (control.hidden) {
        field->hide();
        if (label != nullptr) label->hide();
        continue;
      }
      any_visible = true;
      if (label != nullptr) grid->addWidget(label, control.row, 0);
      grid->addWidget(field, control.row, control.cell);
      grid->setRowMinimumHeight(control.row, row_height);
      if (focus->focusPolicy() != Qt::NoFocus) {
        stops.push_back({group.column, group_index, control.row, control.cell, focus});
      }
    }
    if (group.id != 0) Register(group.id, box);
    if (any_visible) {
      column_layouts[group.column]->addWidget(box);
    } else {
      box->hide();
    }
    ++group_index;
  }
  for (auto* column : column_layouts) column->addStretch(1);
  std::stable_sort(stops.begin(), stops.end(), [](const FocusStop& a, const FocusStop& b) {
    return std::tie(a.column, a.group, a.row, a.cell) < std::tie(b.column, b.group, b.row, b.cell);
  });
  std::vector<QWidget*> chain;
  for (const FocusStop& stop : stops) chain.push_back(stop.widget);
  SetTabOrder(chain);
  return page;
}

void ParameterPages::SetTabOrder(const std::vector<QWidget*>& focus_chain) {
  for (size_t i = 1; i < focus_chain.size(); ++i) {
    QWidget::setTabOrder(focus_chain[i - 1], focus_chain[i]);
  }
}

int ParameterPages::RowHeight() {
  QLineEdit edit;
  QComboBox combo;
  QPushButton button(QStringLiteral("Read"));
  return std::max(
      {edit.sizeHint().height(), combo.sizeHint().height(), button.sizeHint().height()});
}

QLabel* ParameterPages::LabelOf(int id) const {
  const auto found = labels_.find(id);
  return found == labels_.end() ? nullptr : found->second;
}

void ParameterPages::RefreshToolTips(const DeviceModel& device) {
  for (const PageLayout& page : PageLayouts()) {
    for (const GroupLayout& group : page.groups) {
      for (const ControlLayout& control : group.controls) {
        QWidget* widget = FindControl(control.id);
        if (widget == nullptr) continue;
        std::optional<FeatureRange> range;
        if (control.spin_id != 0) {
          FeatureRange shown{};
          GetSpinRange(control.spin_id, shown.min, shown.max);
          range = shown;
        }
        const QString tip = QString::fromStdString(ToolTipFor(control, device, Commands(), range));
        widget->setToolTip(tip);
        if (QWidget* arrows = FindControl(control.spin_id)) arrows->setToolTip(tip);
        if (QLabel* label = LabelOf(control.id)) label->setToolTip(tip);
        if (const auto unit = units_.find(control.id); unit != units_.end()) {
          unit->second->setToolTip(tip);
        }
      }
    }
  }
}

QWidget* ParameterPages::BuildControl(const ControlLayout& layout, QWidget* parent) {
  QWidget* result = nullptr;
  switch (layout.kind) {
    case ControlKind::kCombo: {
      auto* combo = new QComboBox(parent);
      for (const ComboItem& item : layout.items) {
        combo->addItem(QString::fromUtf8(item.text.data(), item.text.size()), item.value);
      }
      combo->setCurrentIndex(-1);
      combo->setMinimumWidth(kFieldWidth);
      Register(layout.id, combo);
      const int id = layout.id;
      // Only operator selections; showing a value selects programmatically and stays quiet.
      connect(combo, &QComboBox::activated, this, [this, id] {
        if (dispatcher_ != nullptr) dispatcher_->CommitCombo(id);
      });
      result = combo;
      break;
    }
    case ControlKind::kEditSpin:
    case ControlKind::kReadOnlyEditSpin: {
      auto* pair = new QWidget(parent);
      auto* row = new QHBoxLayout(pair);
      row->setContentsMargins(0, 0, 0, 0);
      row->setSpacing(2);
      auto* edit = new QLineEdit(pair);
      edit->setFixedWidth(kEditWidth);
      edit->setReadOnly(layout.kind == ControlKind::kReadOnlyEditSpin);
      edit->setProperty(kSpinIdProperty, layout.spin_id);
      edit->installEventFilter(this);
      auto* arrows = new SpinArrows(pair);
      arrows->setBuddyId(layout.id);
      // A value the operator cannot change shows no arrows to change it with.
      if (layout.kind == ControlKind::kReadOnlyEditSpin) arrows->setVisible(false);
      row->addWidget(edit);
      row->addWidget(arrows);
      row->addStretch(1);
      Register(layout.id, edit);
      Register(layout.spin_id, arrows);
      const int spin_id = layout.spin_id;
      connect(arrows, &SpinArrows::stepRequested, this, [this, spin_id](int step) {
        if (dispatcher_ != nullptr) dispatcher_->StepSpin(spin_id, step);
      });
      edit->setEnabled(!layout.disabled);
      arrows->setEnabled(!layout.disabled);
      return pair;
    }
    case ControlKind::kUnitEdit: {
      auto* edit = new QLineEdit(parent);
      edit->setFixedWidth(kEditWidth);
      edit->installEventFilter(this);
      Register(layout.id, edit);
      result = WithUnit(layout, edit, parent);
      break;
    }
    case ControlKind::kText: {
      auto* text =
          new QLabel(QString::fromUtf8(layout.caption.data(), layout.caption.size()), parent);
      // One look for every readout: framed like an edit, as tall as one, text inset from the
      // frame, and selectable so a value can be copied.
      text->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
      text->setIndent(4);
      text->setFixedHeight(QLineEdit().sizeHint().height());
      text->setMinimumWidth(layout.cell == 2 ? 112 : kEditWidth);
      text->setTextInteractionFlags(Qt::TextSelectableByMouse);
      text->setAutoFillBackground(true);
      text->setBackgroundRole(QPalette::AlternateBase);
      Register(layout.id, text);
      result = WithUnit(layout, text, parent);
      break;
    }
    case ControlKind::kButton: {
      auto* button =
          new QPushButton(QString::fromUtf8(layout.caption.data(), layout.caption.size()), parent);
      button->setAutoDefault(false);
      button->setMinimumWidth(112);
      Register(layout.id, button);
      const int id = layout.id;
      connect(button, &QPushButton::clicked, this, [this, id] {
        if (dispatcher_ != nullptr) dispatcher_->ClickButton(id);
      });
      result = button;
      break;
    }
  }
  result->setEnabled(!layout.disabled);
  return result;
}

QWidget* ParameterPages::WithUnit(const ControlLayout& layout, QWidget* field, QWidget* parent) {
  const Feature* feature = FeatureOfControl(layout);
  if (feature == nullptr || feature->unit.empty()) return field;
  // Most shown formats carry their unit already ("50.0000us", "3.300V").
  const std::string sample = DisplayText(*feature, 0, DeviceModel{});
  if (sample.size() >= feature->unit.size() &&
      sample.compare(sample.size() - feature->unit.size(), feature->unit.size(), feature->unit) ==
          0) {
    return field;
  }
  auto* pair = new QWidget(parent);
  auto* row = new QHBoxLayout(pair);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(4);
  field->setParent(pair);
  auto* unit = new QLabel(QString::fromStdString(DisplayUnit(feature->unit)), pair);
  row->addWidget(field);
  row->addWidget(unit);
  row->addStretch(1);
  units_[layout.id] = unit;
  return pair;
}

bool ParameterPages::eventFilter(QObject* watched, QEvent* event) {
  auto* edit = qobject_cast<QLineEdit*>(watched);
  if (edit == nullptr || dispatcher_ == nullptr) return false;
  const int id = IdOf(edit);
  if (event->type() == QEvent::FocusOut) {
    // A popup or another window taking the focus is no end of editing.
    auto reason = static_cast<QFocusEvent*>(event)->reason();
    if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason) {
      dispatcher_->CommitEdit(id);
    }
  } else if (event->type() == QEvent::KeyPress) {
    // The arrow keys in an edit step its spin, as the arrows beside it do.
    auto* key = static_cast<QKeyEvent*>(event);
    const int spin_id = SpinOfEdit(id);
    if (spin_id != 0 && !edit->isReadOnly() &&
        (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down)) {
      dispatcher_->StepSpin(spin_id, key->key() == Qt::Key_Up ? 1 : -1);
      return true;
    }
  }
  return false;
}

void ParameterPages::Register(int id, QWidget* widget) {
  controls_[id] = widget;
  ids_[widget] = id;
  widget->setProperty("ctrlId", id);
}

QWidget* ParameterPages::FindControl(int id) const {
  auto it = controls_.find(id);
  return it == controls_.end() ? nullptr : it->second;
}

int ParameterPages::IdOf(const QWidget* widget) const {
  for (; widget != nullptr; widget = widget->parentWidget()) {
    auto it = ids_.find(widget);
    if (it != ids_.end()) return it->second;
  }
  return 0;
}

template <typename T>
T* ParameterPages::As(int id) const {
  return qobject_cast<T*>(FindControl(id));
}

bool ParameterPages::HasControl(int id) const {
  return controls_.count(id) != 0;
}

ControlCategory ParameterPages::CategoryOf(int id) const {
  QWidget* widget = FindControl(id);
  if (widget == nullptr) return ControlCategory::kNone;
  if (qobject_cast<QLineEdit*>(widget)) return ControlCategory::kEdit;
  if (qobject_cast<SpinArrows*>(widget)) return ControlCategory::kSpin;
  if (qobject_cast<QComboBox*>(widget)) return ControlCategory::kCombo;
  if (qobject_cast<QPushButton*>(widget)) return ControlCategory::kPushButton;
  if (qobject_cast<QCheckBox*>(widget)) return ControlCategory::kCheckBox;
  if (qobject_cast<QRadioButton*>(widget)) return ControlCategory::kRadioButton;
  if (qobject_cast<QGroupBox*>(widget)) return ControlCategory::kOtherButton;
  return ControlCategory::kNone;
}

std::string ParameterPages::Text(int id) const {
  QWidget* widget = FindControl(id);
  if (auto* edit = qobject_cast<QLineEdit*>(widget)) return edit->text().toStdString();
  if (auto* label = qobject_cast<QLabel*>(widget)) return label->text().toStdString();
  if (auto* button = qobject_cast<QAbstractButton*>(widget)) return button->text().toStdString();
  if (auto* combo = qobject_cast<QComboBox*>(widget)) return combo->currentText().toStdString();
  if (auto* box = qobject_cast<QGroupBox*>(widget)) return box->title().toStdString();
  return {};
}

void ParameterPages::SetText(int id, const std::string& text) {
  QWidget* widget = FindControl(id);
  const QString value = QString::fromStdString(text);
  if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
    edit->setText(value);
    edit->setCursorPosition(0);
  } else if (auto* label = qobject_cast<QLabel*>(widget)) {
    label->setText(value);
  } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
    button->setText(value);
  } else if (auto* box = qobject_cast<QGroupBox*>(widget)) {
    box->setTitle(value);
  }
}

bool ParameterPages::IsEnabled(int id) const {
  QWidget* widget = FindControl(id);
  return widget != nullptr && widget->isEnabled();
}

void ParameterPages::SetEnabled(int id, bool enabled) {
  if (QWidget* widget = FindControl(id)) widget->setEnabled(enabled);
}

int32_t ParameterPages::SpinPosition(int spin_id) const {
  auto* arrows = As<SpinArrows>(spin_id);
  return arrows == nullptr ? 0 : arrows->position();
}

void ParameterPages::SetSpinPosition(int spin_id, int32_t position) {
  if (auto* arrows = As<SpinArrows>(spin_id)) arrows->setPosition(position);
}

void ParameterPages::GetSpinRange(int spin_id, int32_t& min, int32_t& max) const {
  if (auto* arrows = As<SpinArrows>(spin_id)) {
    min = arrows->minimum();
    max = arrows->maximum();
  }
}

void ParameterPages::SetSpinRange(int spin_id, int32_t min, int32_t max) {
  if (auto* arrows = As<SpinArrows>(spin_id)) arrows->setRange(min, max);
}

int ParameterPages::BuddyOf(int spin_id) const {
  auto* arrows = As<SpinArrows>(spin_id);
  return arrows == nullptr ? 0 : arrows->buddyId();
}

int ParameterPages::SpinOfEdit(int edit_id) const {
  QWidget* edit = FindControl(edit_id);
  return edit == nullptr ? 0 : edit->property(kSpinIdProperty).toInt();
}

int ParameterPages::ItemCount(int combo_id) const {
  auto* combo = As<QComboBox>(combo_id);
  return combo == nullptr ? 0 : combo->count();
}

std::string ParameterPages::ItemText(int combo_id, int index) const {
  auto* combo = As<QComboBox>(combo_id);
  return combo == nullptr ? std::string() : combo->itemText(index).toStdString();
}

int32_t ParameterPages::ItemValue(int combo_id, int index) const {
  auto* combo = As<QComboBox>(combo_id);
  return combo == nullptr ? 0 : combo->itemData(index).toInt();
}

void ParameterPages::SetItemValue(int combo_id, int index, int32_t value) {
  if (auto* combo = As<QComboBox>(combo_id)) combo->setItemData(index, value);
}

void ParameterPages::InsertItem(int combo_id, int index, const std::string& text) {
  // The selection follows its entry when an item goes in before it.
  if (auto* combo = As<QComboBox>(combo_id))
    combo->insertItem(index, QString::fromStdString(text), 0);
}

void ParameterPages::RemoveItem(int combo_id, int index) {
  if (auto* combo = As<QComboBox>(combo_id)) combo->removeItem(index);
}

int ParameterPages::Selection(int combo_id) const {
  auto* combo = As<QComboBox>(combo_id);
  return combo == nullptr ? -1 : combo->currentIndex();
}

void ParameterPages::SetSelection(int combo_id, int index) {
  if (auto* combo = As<QComboBox>(combo_id)) combo->setCurrentIndex(index);
}

bool ParameterPages::IsChecked(int id) const {
  auto* button = As<QAbstractButton>(id);
  return button != nullptr && button->isChecked();
}

void ParameterPages::SetChecked(int id, bool checked) {
  if (auto* button = As<QAbstractButton>(id)) button->setChecked(checked);
}

std::vector<int> ParameterPages::RadioGroup(int id) const {
  std::vector<int> ids;
  auto* radio = As<QRadioButton>(id);
  if (radio == nullptr || radio->group() == nullptr) return ids;
  for (QAbstractButton* button : radio->group()->buttons()) ids.push_back(IdOf(button));
  return ids;
}

}  // namespace ctrl::ui
