#include "ui/parameter_search.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cctype>

#include "camera/command_table.h"
#include "camera/feature_catalogue.h"
#include "ui/page_layouts.h"

namespace ctrl::ui {
namespace {

std::string Lower(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return lower;
}

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) {
    text.remove_prefix(1);
  }
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
    text.remove_suffix(1);
  }
  return text;
}

// What the operator calls a control: its label on the page, else the catalogue's label of the
// register it shows (the temperature readout has no label of its own), else a button's caption.
std::string NameOf(const ControlLayout& control) {
  if (!control.label.empty()) return std::string(control.label);
  if (control.command >= 0 && control.kind != ControlKind::kButton) {
    if (const Feature* feature = FeatureOfCommand(control.command)) {
      return std::string(Label(*feature));
    }
  }
  if (control.kind == ControlKind::kButton) return std::string(control.caption);
  return {};
}

}  // namespace

std::vector<SearchHit> FindParameters(std::string_view query, const CommandTable& table,
                                      const std::vector<std::string>& pages) {
  const std::string wanted = Lower(Trimmed(query));
  std::vector<SearchHit> hits;
  if (wanted.empty()) return hits;
  for (const PageLayout& page : PageLayouts()) {
    const std::string title(page.title);
    if (std::find(pages.begin(), pages.end(), title) == pages.end()) continue;
    for (const GroupLayout& group : page.groups) {
      for (const ControlLayout& control : group.controls) {
        if (control.hidden) continue;
        const std::string name = NameOf(control);
        if (name.empty()) continue;
        // A button's register is an action, not something to look up by address.
        const bool has_register = control.command >= 0 && control.command < CommandTable::kCount &&
                                  control.kind != ControlKind::kButton;
        const std::string address = has_register ? table.GetCommandAddress(control.command) : "";
        if (Lower(name).find(wanted) == std::string::npos &&
            (address.empty() || Lower(address).find(wanted) == std::string::npos)) {
          continue;
        }
        hits.push_back({title, control.id, name, address});
      }
    }
  }
  return hits;
}

ParameterSearchDialog::ParameterSearchDialog(const CommandTable& table,
                                             std::function<std::vector<std::string>()> shown_pages,
                                             std::function<void(const SearchHit&)> go_to,
                                             QWidget* parent)
    : QDialog(parent),
      table_(table),
      shown_pages_(std::move(shown_pages)),
      go_to_(std::move(go_to)),
      field_(new QLineEdit(this)),
      results_(new QListWidget(this)) {
  setWindowTitle(QStringLiteral("Find Parameter"));
  auto* prompt = new QLabel(QStringLiteral("&Parameter name or register address:"), this);
  prompt->setBuddy(field_);
  field_->setClearButtonEnabled(true);
  field_->setPlaceholderText(QStringLiteral("e.g. expo or 0x0010"));
  results_->setMinimumSize(420, 260);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(prompt);
  layout->addWidget(field_);
  layout->addWidget(results_, 1);
  connect(field_, &QLineEdit::textChanged, this, [this] { Update(); });
  connect(results_, &QListWidget::itemActivated, this,
          [this](QListWidgetItem* item) { GoTo(results_->row(item)); });
  field_->installEventFilter(this);
}

void ParameterSearchDialog::Start() {
  field_->clear();
  Update();
  show();
  raise();
  activateWindow();
  field_->setFocus(Qt::ShortcutFocusReason);
}

void ParameterSearchDialog::Update() {
  hits_ = FindParameters(field_->text().toStdString(), table_, shown_pages_());
  results_->clear();
  for (const SearchHit& hit : hits_) {
    QString text = QString::fromStdString(hit.label) + QStringLiteral("  —  ") +
                   QString::fromStdString(hit.page);
    if (!hit.address.empty())
      text += QStringLiteral("  (%1)").arg(QString::fromStdString(hit.address));
    results_->addItem(text);
  }
  if (hits_.empty() && !field_->text().trimmed().isEmpty()) {
    results_->addItem(QStringLiteral("No parameter matches."));
    results_->item(0)->setFlags(Qt::NoItemFlags);
  } else if (!hits_.empty()) {
    results_->setCurrentRow(0);
  }
}

bool ParameterSearchDialog::eventFilter(QObject* watched, QEvent* event) {
  if (watched != field_ || event->type() != QEvent::KeyPress) return false;
  auto* key = static_cast<QKeyEvent*>(event);
  switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      GoTo(results_->currentRow());
      return true;
    case Qt::Key_Down:
    case Qt::Key_Up: {
      if (hits_.empty()) return true;
      const int step = key->key() == Qt::Key_Down ? 1 : -1;
      const int count = static_cast<int>(hits_.size());
      results_->setCurrentRow(std::clamp(results_->currentRow() + step, 0, count - 1));
      return true;
    }
    default:
      return false;
  }
}

void ParameterSearchDialog::GoTo(int row) {
  if (row < 0 || row >= static_cast<int>(hits_.size())) return;
  const SearchHit hit = hits_[static_cast<size_t>(row)];
  hide();
  go_to_(hit);
}

}  // namespace ctrl::ui
