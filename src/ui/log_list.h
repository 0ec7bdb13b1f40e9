#pragma once

#include <QAbstractListModel>
#include <QString>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "camera/trace_sink.h"

namespace ctrl::ui {

// A running log shown newest first: each new line goes to the top, and once the log holds more
// than its limit the oldest line at the bottom goes.
class LogListModel final : public QAbstractListModel {
  Q_OBJECT

 public:
  explicit LogListModel(int limit, QObject* parent = nullptr)
      : QAbstractListModel(parent), limit_(limit) {}

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;

  void Prepend(const QString& line);
  void Clear();
  int limit() const { return limit_; }
  // Top to bottom.
  QString At(int row) const { return lines_[static_cast<size_t>(row)]; }
  std::vector<std::string> NewestFirst() const;
  std::vector<std::string> OldestFirst() const;

 private:
  int limit_;
  std::deque<QString> lines_;
};

// Hands every traffic line of the engine to the message list, the terminal and, when set, one
// more sink.
class TrafficLogs final : public TraceSink {
 public:
  void TraceLine(std::string_view line) override {
    const std::string text(line);
    if (to_messages) to_messages(text);
    if (to_terminal) to_terminal(text);
    if (also != nullptr) also->TraceLine(line);
  }

  std::function<void(const std::string&)> to_messages;
  std::function<void(const std::string&)> to_terminal;
  TraceSink* also = nullptr;
};

}  // namespace ctrl::ui
