#include "ui/qt_ports.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace tarvex::ui {

namespace {

constexpr char STOP_SOURCE_PROPERTY[] = "tarvexStopSource";

// A press delivered to `watched` asks to stop when the widget, or one of
// its parents within the same window, is a stop source. The window-system
// delivery (to the QWindow) is passed over: the widget delivery follows.
bool on_stop_source(QObject* watched) {
  for (auto* w = qobject_cast<QWidget*>(watched); w != nullptr; w = w->parentWidget()) {
    if (w->property(STOP_SOURCE_PROPERTY).toBool()) return true;
    if (w->isWindow()) break;
  }
  return false;
}

QMessageBox::Icon qt_icon(BoxIcon icon) {
  switch (icon) {
    case BoxIcon::Stop: return QMessageBox::Critical;
    case BoxIcon::Warning: return QMessageBox::Warning;
    case BoxIcon::Information: return QMessageBox::Information;
    case BoxIcon::None: break;
  }
  return QMessageBox::NoIcon;
}

}  // namespace

int QtMessages::message(unsigned, const std::string& text) {
  return box("Tarvex", text, BoxIcon::None);
}

int QtMessages::box(const std::string& caption, const std::string& text, BoxIcon icon) {
  QMessageBox b(qt_icon(icon), QString::fromStdString(caption), QString::fromStdString(text),
                QMessageBox::Ok, owner_);
  b.exec();
  return 0;
}

bool QtMessages::ask_yes_no(const std::string& caption, const std::string& text) {
  return QMessageBox::question(owner_, QString::fromStdString(caption),
                               QString::fromStdString(text),
                               QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

SaveChoice QtMessages::ask_save_discard_cancel(const std::string& caption,
                                               const std::string& text) {
  QMessageBox b(QMessageBox::Warning, QString::fromStdString(caption), QString::fromStdString(text),
                QMessageBox::NoButton, owner_);
  // The button texts are set here, not taken from the desktop theme, so the
  // question reads the same everywhere.
  QPushButton* save = b.addButton("Save", QMessageBox::AcceptRole);
  QPushButton* discard = b.addButton("Discard", QMessageBox::DestructiveRole);
  QPushButton* cancel = b.addButton("Cancel", QMessageBox::RejectRole);
  save->setObjectName("Save");
  discard->setObjectName("Discard");
  cancel->setObjectName("Cancel");
  b.setDefaultButton(save);
  b.setEscapeButton(cancel);
  b.exec();
  if (b.clickedButton() == save) return SaveChoice::Save;
  if (b.clickedButton() == discard) return SaveChoice::Discard;
  return SaveChoice::Cancel;
}

TProgressDialog::TProgressDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle("Filter Progress");
  setModal(false);
  // It shows the long operation under way: a press here stops it as on the
  // main window.
  mark_stop_source(this);
  auto* layout = new QVBoxLayout(this);
  caption_ = new QLabel(this);
  caption_->setAlignment(Qt::AlignCenter);
  layout->addWidget(caption_);
  auto* row = new QHBoxLayout;
  row->addWidget(new QLabel("0%", this));
  bar_ = new QProgressBar(this);
  bar_->setRange(0, 256);
  bar_->setTextVisible(false);
  bar_->setMinimumWidth(260);
  row->addWidget(bar_);
  row->addWidget(new QLabel("100%", this));
  layout->addLayout(row);
}

void TProgressDialog::start(const QString& caption) {
  caption_->setText(caption);
  bar_->setValue(0);
}

void TProgressDialog::set_position(int position) {
  bar_->setValue(std::clamp(position, 0, 256));
}
int TProgressDialog::position() const {
  return bar_->value();
}
QString TProgressDialog::caption() const {
  return caption_->text();
}

void QtProgress::open(const std::string& caption) {
  if (!dialog_) dialog_ = new TProgressDialog(owner_);
  dialog_->start(QString::fromStdString(caption));
  dialog_->show();
  dialog_->raise();
}

void QtProgress::set_position(int position) {
  if (dialog_) dialog_->set_position(position);
}

void QtProgress::close() {
  if (dialog_) dialog_->hide();
}

void QtProgress::busy_cursor(bool on) {
  if (on) {
    ++busy_depth_;
    QApplication::setOverrideCursor(Qt::WaitCursor);
  } else if (busy_depth_ > 0) {
    --busy_depth_;
    QApplication::restoreOverrideCursor();
  }
}

QtEventPump::QtEventPump() {
  if (QCoreApplication::instance()) QCoreApplication::instance()->installEventFilter(this);
}

void QtEventPump::pump() {
  QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

void mark_stop_source(QWidget* widget) {
  widget->setProperty(STOP_SOURCE_PROPERTY, true);
}

bool QtEventPump::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type != QEvent::KeyPress && type != QEvent::MouseButtonPress)
    return QObject::eventFilter(watched, event);
  if (!on_stop_source(watched)) return QObject::eventFilter(watched, event);
  if (type == QEvent::KeyPress) {
    if (!static_cast<QKeyEvent*>(event)->isAutoRepeat()) pending_ = pending_ | Input::Key;
  } else {
    const auto* m = static_cast<QMouseEvent*>(event);
    if (m->button() == Qt::LeftButton) pending_ = pending_ | Input::LeftButton;
    if (m->button() == Qt::RightButton) pending_ = pending_ | Input::RightButton;
  }
  return QObject::eventFilter(watched, event);
}

void QtClock::beep() {
  QApplication::beep();
}

bool QtLauncher::start_detached(const std::string& program, const std::vector<std::string>& args) {
  QString path = QString::fromStdString(program);
  if (!path.contains('/')) {
    const QString beside = QDir(QCoreApplication::applicationDirPath()).filePath(path);
    if (QFileInfo(beside).isExecutable()) path = beside;
  }
  QStringList list;
  for (const auto& a : args) list << QString::fromStdString(a);
  return QProcess::startDetached(path, list);
}

}  // namespace tarvex::ui
