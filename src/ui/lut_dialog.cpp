#include "ui/lut_dialog.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <algorithm>
#include <vector>

#include "ui/registered_windows.h"
#include "ui/spin_arrows.h"
#include "ui/status_strip.h"

namespace ctrl::ui {
namespace {

constexpr int kPlotFrameWidth = 2;  // the sunken edge around the 256 x 256 client area
constexpr int kPointRadius = 4;
constexpr int kGridDivisions = 10;
const QColor kGridColour(100, 50, 100);

// Plot height of an output level, rounded half up.
int PlotYOfLevel(int32_t level) {
  return kPlotSize - (level + 8) / 16;
}

}  // namespace

QColor LutCurveColour(int table_index) {
  switch (table_index) {
    case kRedLut:
      return QColor(255, 0, 0);
    case kBlueLut:
      return QColor(0, 0, 255);
    default:
      return QColor(0, 255, 0);
  }
}

void PaintLutPlot(QPainter& painter, const LutEditor& editor) {
  painter.setPen(QPen(kGridColour, 1, Qt::SolidLine));
  painter.setBrush(Qt::NoBrush);
  const int step = kPlotSize / kGridDivisions;
  for (int x = 0; x < kPlotSize; x += step) painter.drawLine(x, 0, x, kPlotSize);
  for (int y = kPlotSize - 1; y >= 0; y -= step) painter.drawLine(0, y, kPlotSize, y);

  const bool editing = editor.mode() == LutMode::kEdit;
  if (editing) {
    for (const EditPoint& p : editor.points()) {
      painter.drawEllipse(
          QRect(p.x - kPointRadius, p.y - kPointRadius, 2 * kPointRadius, 2 * kPointRadius));
    }
  }

  // The curve starts at the first point (Edit Mode) or the bottom-left corner (View Mode); a
  // level that falls outside the plot is skipped and the line goes on from the last one drawn.
  std::vector<QPoint> line;
  line.reserve(kLutEntryCount / 8);
  if (editing && !editor.points().empty()) {
    line.emplace_back(editor.points().front().x, editor.points().front().y);
  } else {
    line.emplace_back(0, kPlotSize);
  }
  const LutTable& table = editor.table();
  for (int i = 0; i < kLutEntryCount; ++i) {
    const QPoint point(i >> 4, PlotYOfLevel(table[i]));
    if (point.x() < 0 || point.x() > kPlotSize || point.y() < 0 || point.y() > kPlotSize) continue;
    // Sixteen levels share a column; repeats add nothing to the line.
    if (point != line.back()) line.push_back(point);
  }
  painter.setPen(QPen(LutCurveColour(editor.table_index()), 2, Qt::SolidLine));
  if (line.size() > 1) painter.drawPolyline(line.data(), static_cast<int>(line.size()));
}

LutPlot::LutPlot(LutEditor& editor, QWidget* parent) : QFrame(parent), editor_(editor) {
  setFrameStyle(QFrame::Panel | QFrame::Sunken);
  setLineWidth(kPlotFrameWidth);
  setFixedSize(kPlotSize + 2 * kPlotFrameWidth, kPlotSize + 2 * kPlotFrameWidth);
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setAutoFillBackground(true);
  QPalette colours = palette();
  colours.setColor(QPalette::Window, Qt::white);
  setPalette(colours);
}

void LutPlot::paintEvent(QPaintEvent* event) {
  QFrame::paintEvent(event);
  // In Edit Mode every paint makes the table follow the points, so a save or write afterwards
  // sends what the operator sees.
  editor_.Refresh();
  QPainter painter(this);
  painter.setClipRect(contentsRect());
  painter.translate(contentsRect().topLeft());
  PaintLutPlot(painter, editor_);
}

}  // namespace ctrl::ui

namespace {

QPushButton* MakeButton(const QString& text, QWidget* parent, const QRect& geometry) {
  auto* button = new QPushButton(text, parent);
  button->setAutoDefault(false);
  button->setDefault(false);
  button->setGeometry(geometry);
  return button;
}

QLabel* MakeLabel(const QString& text, QWidget* parent, const QRect& geometry,
                  Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignTop) {
  auto* label = new QLabel(text, parent);
  label->setGeometry(geometry);
  label->setAlignment(alignment);
  return label;
}

constexpr int kWindowWidth = 440;
constexpr int kWindowHeight = 410;
constexpr int kWindowOffset = 50;

}  // namespace

CLUTDlg::CLUTDlg(ctrl::LutEditor& editor, ctrl::OnlineStatusPublisher& status, Actions actions)
    // The desktop is the parent: each editor is a top-level window of its own.
    : QDialog(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      editor_(editor),
      actions_(std::move(actions)) {
  using ctrl::ui::SpinArrows;
  setFixedSize(kWindowWidth, kWindowHeight);
  setModal(false);
  // The small dialog font the fixed layout is made for.
  QFont small = font();
  small.setPointSize(8);
  setFont(small);

  auto* mode_group = new QGroupBox(QStringLiteral("Current Mode Status"), this);
  mode_group->setGeometry(4, 6, 118, 46);
  mode_ = MakeLabel(QString(), mode_group, QRect(6, 22, 106, 18), Qt::AlignCenter);
  Register(kModeLabel, mode_);

  auto* operation = new QGroupBox(QStringLiteral("Operation"), this);
  operation->setGeometry(4, 58, 118, 106);
  QPushButton* read = MakeButton(QStringLiteral("Read Table Data"), operation, {6, 20, 106, 24});
  QPushButton* write = MakeButton(QStringLiteral("Write Table Data"), operation, {6, 48, 106, 24});
  QPushButton* clear = MakeButton(QStringLiteral("Clear Table Data"), operation, {6, 76, 106, 24});
  Register(kReadButton, read);
  Register(kWriteButton, write);
  Register(kClearButton, clear);

  auto* convert_group = new QGroupBox(QStringLiteral("Change To Edit Mode"), this);
  convert_group->setGeometry(4, 170, 118, 100);
  MakeLabel(QStringLiteral("Edit Point\nCount To Add"), convert_group, QRect(6, 20, 72, 32));
  count_edit_ = new QLineEdit(convert_group);
  count_edit_->setReadOnly(true);
  count_edit_->setGeometry(78, 24, 20, 22);
  count_spin_ = new SpinArrows(convert_group);
  count_spin_->move(98, 24);
  count_spin_->setRange(ctrl::kMinEditPoints, ctrl::kMaxEditPoints);
  count_spin_->setPosition(ctrl::kDefaultConvertPointCount);
  count_edit_->setText(QString::number(count_spin_->position()));
  QPushButton* convert =
      MakeButton(QStringLiteral("Convert Editable"), convert_group, {6, 64, 106, 24});
  Register(kPointCountEdit, count_edit_);
  Register(kPointCountSpin, count_spin_);
  Register(kConvertButton, convert);

  plot_ = new ctrl::ui::LutPlot(editor_, this);
  plot_->move(ctrl::kPlotOriginX, ctrl::kPlotOriginY);
  Register(kPlot, plot_);
  // Output levels up the left side, input levels along the bottom.
  const int plot_bottom = ctrl::kPlotOriginY + ctrl::kPlotSize + 2;
  MakeLabel(QStringLiteral("4095"), this, QRect(124, ctrl::kPlotOriginY - 2, 32, 16),
            Qt::AlignRight | Qt::AlignTop);
  MakeLabel(QStringLiteral("2048"), this, QRect(124, ctrl::kPlotOriginY + 122, 32, 16),
            Qt::AlignRight | Qt::AlignVCenter);
  MakeLabel(QStringLiteral("0"), this, QRect(124, plot_bottom - 14, 32, 16),
            Qt::AlignRight | Qt::AlignBottom);
  MakeLabel(QStringLiteral("0"), this, QRect(ctrl::kPlotOriginX, plot_bottom + 2, 36, 16));
  MakeLabel(QStringLiteral("2048"), this, QRect(ctrl::kPlotOriginX + 112, plot_bottom + 2, 36, 16),
            Qt::AlignHCenter | Qt::AlignTop);
  MakeLabel(QStringLiteral("4095"), this, QRect(ctrl::kPlotOriginX + 224, plot_bottom + 2, 36, 16),
            Qt::AlignRight | Qt::AlignTop);

  auto* usage = new QGroupBox(QStringLiteral("Usage Descritption"), this);
  usage->setGeometry(4, 302, kWindowWidth - 8, 96);
  MakeLabel(QStringLiteral("<< Add edit point >>\n  Left mouse click\n  on LUT line"), usage,
            QRect(8, 20, 138, 72));
  MakeLabel(QStringLiteral("<< Delete edit point >>\n  Right mouse click\n  at edit point"), usage,
            QRect(150, 20, 138, 72));
  MakeLabel(QStringLiteral("<< Move LUT line >>\n  Move with keeping left\n  mouse click on\n  "
                           "edit point."),
            usage, QRect(292, 20, 138, 72));

  status_strip_ = new ctrl::ui::StatusStrip(status, this);
  status_strip_->setGeometry(0, kWindowHeight - 6, kWindowWidth, 6);
  Register(kStatusStrip, status_strip_);

  connect(read, &QPushButton::clicked, this, &CLUTDlg::ReadTableData);
  connect(write, &QPushButton::clicked, this, &CLUTDlg::WriteTableData);
  connect(clear, &QPushButton::clicked, this, &CLUTDlg::ClearTableData);
  connect(convert, &QPushButton::clicked, this, &CLUTDlg::ConvertEditable);
  connect(count_spin_, &SpinArrows::stepRequested, this, &CLUTDlg::StepPointCount);

  setWindowTitle(QString::fromStdString(ctrl::LutEditorTitle(table_index(), false)));
  const int offset = kWindowOffset * (table_index() + 1);
  move(offset, offset);
  ctrl::ui::RegisteredWindows::Instance().Add(this);
  ShowModeAndRedraw();
}

CLUTDlg::~CLUTDlg() {
  ctrl::ui::RegisteredWindows::Instance().Remove(this);
}

QWidget* CLUTDlg::Control(int control_id) const {
  const auto found = controls_.find(control_id);
  return found == controls_.end() ? nullptr : found->second;
}

int CLUTDlg::point_count() const {
  return count_spin_->position();
}

void CLUTDlg::ShowModeAndRedraw() {
  mode_->setText(editor_.mode() == ctrl::LutMode::kEdit ? QStringLiteral("Edit Mode")
                                                        : QStringLiteral("View Mode"));
  plot_->update();
}

void CLUTDlg::ReadTableData() {
  if (actions_.read_table) actions_.read_table(table_index());
}

void CLUTDlg::WriteTableData() {
  if (actions_.write_table) actions_.write_table(table_index());
}

void CLUTDlg::ClearTableData() {
  editor_.ClearTableData();
  ShowModeAndRedraw();
}

void CLUTDlg::ConvertEditable() {
  editor_.ConvertEditable(count_spin_->position());
  ShowModeAndRedraw();
}

void CLUTDlg::StepPointCount(int step) {
  count_spin_->setPosition(
      std::clamp(count_spin_->position() + step, count_spin_->minimum(), count_spin_->maximum()));
  count_edit_->setText(QString::number(count_spin_->position()));
}

// A press edits like a move with the button held, so a click alone adds or deletes a point.
void CLUTDlg::mousePressEvent(QMouseEvent* event) {
  Edit(event);
}

void CLUTDlg::mouseMoveEvent(QMouseEvent* event) {
  Edit(event);
}

void CLUTDlg::Edit(QMouseEvent* event) {
  using ctrl::MouseButtons;
  const Qt::MouseButtons held = event->buttons();
  MouseButtons buttons = MouseButtons::kOther;
  if (held == Qt::NoButton) {
    buttons = MouseButtons::kNone;
  } else if (held == Qt::LeftButton) {
    buttons = MouseButtons::kLeftOnly;
  } else if (held == Qt::RightButton) {
    buttons = MouseButtons::kRightOnly;
  }
  const QPoint at = event->position().toPoint();
  if (editor_.OnMouseMove(at.x(), at.y(), buttons)) plot_->update();
}
