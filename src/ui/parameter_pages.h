#pragma once

#include <QObject>
#include <QString>
#include <unordered_map>
#include <vector>

#include "ui/control_surface.h"
#include "ui/page_layouts.h"

class QLabel;
class QWidget;

namespace ctrl {
struct DeviceModel;
}

namespace ctrl::ui {

class PageDispatcher;

// The Qt widgets of the five pages, built from the page layouts, and the ControlSurface over
// them. Every widget with an id is registered under it; user changes go to the dispatcher.
class ParameterPages final : public QObject, public ControlSurface {
  Q_OBJECT

 public:
  explicit ParameterPages(QObject* parent = nullptr);

  // One widget per layout, in layout order; the caller takes ownership.
  std::vector<QWidget*> BuildPages();
  void set_dispatcher(PageDispatcher* dispatcher) { dispatcher_ = dispatcher; }

  // Registers a widget that is not on a page (the main window's own controls).
  void Register(int id, QWidget* widget);
  QWidget* FindControl(int id) const;
  // Id of a registered widget, or of the registered control the widget belongs to; 0 for none.
  int IdOf(const QWidget* widget) const;

  // Every control and its label tell what they are: the parameter's name, register, items or
  // range, unit, what it does and whether settings files keep it. The register and the items
  // depend on the camera, so the window refreshes them once it knows the model.
  void RefreshToolTips(const DeviceModel& device);
  // The label that names a control on its page; nullptr for a control without one.
  QLabel* LabelOf(int id) const;

  bool HasControl(int id) const override;
  ControlCategory CategoryOf(int id) const override;
  std::string Text(int id) const override;
  void SetText(int id, const std::string& text) override;
  bool IsEnabled(int id) const override;
  void SetEnabled(int id, bool enabled) override;
  int32_t SpinPosition(int spin_id) const override;
  void SetSpinPosition(int spin_id, int32_t position) override;
  void GetSpinRange(int spin_id, int32_t& min, int32_t& max) const override;
  void SetSpinRange(int spin_id, int32_t min, int32_t max) override;
  int BuddyOf(int spin_id) const override;
  int SpinOfEdit(int edit_id) const override;
  int ItemCount(int combo_id) const override;
  std::string ItemText(int combo_id, int index) const override;
  int32_t ItemValue(int combo_id, int index) const override;
  void SetItemValue(int combo_id, int index, int32_t value) override;
  void InsertItem(int combo_id, int index, const std::string& text) override;
  void RemoveItem(int combo_id, int index) override;
  int Selection(int combo_id) const override;
  void SetSelection(int combo_id, int index) override;
  bool IsChecked(int id) const override;
  void SetChecked(int id, bool checked) override;
  std::vector<int> RadioGroup(int id) const override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* BuildPage(const PageLayout& layout);
  QWidget* BuildControl(const ControlLayout& layout, QWidget* parent);
  // Tab goes through a page column by column, each box from its top row to its bottom.
  static void SetTabOrder(const std::vector<QWidget*>& focus_chain);
  // The height of the tallest kind of control in a row.
  static int RowHeight();
  // The field with its unit beside it where the parameter has one; the field alone otherwise.
  QWidget* WithUnit(const ControlLayout& layout, QWidget* field, QWidget* parent);
  template <typename T>
  T* As(int id) const;

  std::unordered_map<int, QWidget*> controls_;
  std::unordered_map<const QWidget*, int> ids_;
  std::unordered_map<int, QLabel*> labels_;
  std::unordered_map<int, QLabel*> units_;
  PageDispatcher* dispatcher_ = nullptr;
};

}  // namespace ctrl::ui
