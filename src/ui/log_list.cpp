#include "ui/log_list.h"

#include <algorithm>

namespace ctrl::ui {

int LogListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(lines_.size());
}

QVariant LogListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount() || role != Qt::DisplayRole) return {};
  return lines_[static_cast<size_t>(index.row())];
}

void LogListModel::Prepend(const QString& line) {
  beginInsertRows(QModelIndex(), 0, 0);
  lines_.push_front(line);
  endInsertRows();
  if (static_cast<int>(lines_.size()) > limit_) {
    const int last = static_cast<int>(lines_.size()) - 1;
    beginRemoveRows(QModelIndex(), last, last);
    lines_.pop_back();
    endRemoveRows();
  }
}

void LogListModel::Clear() {
  beginResetModel();
  lines_.clear();
  endResetModel();
}

std::vector<std::string> LogListModel::NewestFirst() const {
  std::vector<std::string> lines;
  lines.reserve(lines_.size());
  for (const QString& line : lines_) lines.push_back(line.toStdString());
  return lines;
}

std::vector<std::string> LogListModel::OldestFirst() const {
  std::vector<std::string> lines = NewestFirst();
  std::reverse(lines.begin(), lines.end());
  return lines;
}

}  // namespace ctrl::ui
