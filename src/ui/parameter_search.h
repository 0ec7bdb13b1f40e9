#pragma once

#include <QDialog>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class QLineEdit;
class QListWidget;

namespace ctrl {
class CommandTable;
}

namespace ctrl::ui {

// A parameter of the pages that a search found.
struct SearchHit {
  std::string page;     // the page's tab title
  int control_id = 0;   // the control to focus
  std::string label;    // as the page names it, or the catalogue's label where the page has none
  std::string address;  // "0x00100020"; empty for controls that drive no register
};

// The named controls of the shown pages whose name or register address contains `query`
// (case-insensitive, blanks around it ignored), in page order. Hidden controls and the pages
// not in `pages` are left out; an empty query finds nothing.
std::vector<SearchHit> FindParameters(std::string_view query, const CommandTable& table,
                                      const std::vector<std::string>& pages);

// The operator's "find a parameter" window: typing lists the matches across all pages, Enter
// (or a double click) goes to the one chosen.
class ParameterSearchDialog final : public QDialog {
  Q_OBJECT

 public:
  // `shown_pages` names the pages the window shows now; `go_to` switches to a hit's page and
  // focuses its control.
  ParameterSearchDialog(const CommandTable& table,
                        std::function<std::vector<std::string>()> shown_pages,
                        std::function<void(const SearchHit&)> go_to, QWidget* parent = nullptr);

  // Clears the previous search and takes the focus into the field.
  void Start();
  QLineEdit* field() const { return field_; }
  QListWidget* results() const { return results_; }
  const std::vector<SearchHit>& hits() const { return hits_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Update();
  void GoTo(int row);

  const CommandTable& table_;
  std::function<std::vector<std::string>()> shown_pages_;
  std::function<void(const SearchHit&)> go_to_;
  QLineEdit* field_;
  QListWidget* results_;
  std::vector<SearchHit> hits_;
};

}  // namespace ctrl::ui
