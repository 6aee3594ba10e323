#include "ui/stack_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/colour/synthesis_commands.h"
#include "app/stack/live_stack_run.h"
#include "files/fits_image.h"

namespace tarvex::ui {

namespace {

constexpr const char* kImageFilter =
    "Images (*.fits *.fit *.fts *.FITS *.FIT *.FTS *.kr *.KR);;All files (*)";

QString text_of(const std::string& s) {
  return QString::fromStdString(s);
}

}  // namespace

TStackDialog::TStackDialog(Tarvex& app, QWidget* parent) : QDialog(parent), app_(app) {
  setWindowTitle(STACK_DIALOG_TITLE);
  setObjectName("stack_dialog");
  auto* top = new QVBoxLayout(this);
  settings_ = new QWidget(this);
  auto* form = new QVBoxLayout(settings_);
  form->setContentsMargins(0, 0, 0, 0);

  // One list with "Add..." and "Remove" for each kind of file.
  const char* titles[3] = {"Lights", "Darks", "Flats"};
  auto* files = new QHBoxLayout;
  for (int r = 0; r < 3; ++r) {
    auto* box = new QGroupBox(titles[r], settings_);
    auto* v = new QVBoxLayout(box);
    auto* list = new QListWidget(box);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setMinimumWidth(180);
    lists_[r] = list;
    v->addWidget(list);
    auto* row = new QHBoxLayout;
    auto* add = new QPushButton("Add...", box);
    auto* remove = new QPushButton("Remove", box);
    row->addWidget(add);
    row->addWidget(remove);
    v->addLayout(row);
    files->addWidget(box);
    const Role role = static_cast<Role>(r);
    connect(add, &QPushButton::clicked, this, [this, role, title = QString(titles[r])] {
      QFileDialog dialog(this, "Add " + title);
      dialog.setOption(QFileDialog::DontUseNativeDialog);
      dialog.setFileMode(QFileDialog::ExistingFiles);
      dialog.setNameFilters(QString(kImageFilter).split(";;"));
      if (dialog.exec() == QDialog::Accepted) add_files(role, dialog.selectedFiles());
    });
    connect(remove, &QPushButton::clicked, list, [list] { qDeleteAll(list->selectedItems()); });
  }
  form->addLayout(files);

  auto* options = new QFormLayout;
  method_ = new QComboBox(settings_);
  for (CombineMethod m :
       {CombineMethod::Sigma, CombineMethod::Winsor, CombineMethod::Mean, CombineMethod::Median})
    method_->addItem(combine_method_name(m), static_cast<int>(m));
  options->addRow("Method", method_);
  kappa_ = new QDoubleSpinBox(settings_);
  kappa_->setRange(0.5, 10.0);
  kappa_->setSingleStep(0.1);
  kappa_->setValue(3.0);
  options->addRow("Kappa", kappa_);
  align_ = new QCheckBox("Align on stars", settings_);
  align_->setChecked(true);
  options->addRow(align_);

  auto* out_row = new QHBoxLayout;
  out_ = new QLineEdit(settings_);
  out_->setText(text_of((app_.paths.data_root() / "stack.fits").string()));
  auto* browse = new QPushButton("Browse...", settings_);
  out_row->addWidget(out_);
  out_row->addWidget(browse);
  options->addRow("Output FITS", out_row);
  connect(browse, &QPushButton::clicked, this, [this] {
    const QString p = QFileDialog::getSaveFileName(this, "Stack Output", out_->text(),
                                                   "FITS (*.fits *.fit *.fts)", nullptr,
                                                   QFileDialog::DontUseNativeDialog);
    if (!p.isEmpty()) out_->setText(p);
  });
  auto* tiff_row = new QHBoxLayout;
  tiff_ = new QCheckBox("16-bit TIFF", settings_);
  tiff_path_ = new QLineEdit(settings_);
  tiff_path_->setText(text_of((app_.paths.data_root() / "stack.tif").string()));
  tiff_path_->setEnabled(false);
  connect(tiff_, &QCheckBox::toggled, tiff_path_, &QLineEdit::setEnabled);
  tiff_row->addWidget(tiff_);
  tiff_row->addWidget(tiff_path_);
  options->addRow(tiff_row);
  form->addLayout(options);
  top->addWidget(settings_);

  stage_ = new QLabel(this);
  bar_ = new QProgressBar(this);
  bar_->setRange(0, 1);
  bar_->setValue(0);
  report_ = new QPlainTextEdit(this);
  report_->setReadOnly(true);
  report_->setMinimumHeight(90);
  top->addWidget(stage_);
  top->addWidget(bar_);
  top->addWidget(report_);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  stack_ = new QPushButton("Stack", this);
  stack_->setDefault(true);
  cancel_ = new QPushButton("Cancel", this);
  buttons->addWidget(stack_);
  buttons->addWidget(cancel_);
  top->addLayout(buttons);
  connect(stack_, &QPushButton::clicked, this, &TStackDialog::run);
  connect(cancel_, &QPushButton::clicked, this, &TStackDialog::reject);
}

TStackDialog::~TStackDialog() = default;

void TStackDialog::add_files(Role role, const QStringList& files) {
  QListWidget* l = list(role);
  for (const QString& f : files) l->addItem(f);
}

QListWidget* TStackDialog::list(Role role) const {
  return lists_[static_cast<int>(role)];
}

StackRequest TStackDialog::request() const {
  StackRequest rq;
  auto paths = [](QListWidget* l) {
    std::vector<std::filesystem::path> v;
    for (int i = 0; i < l->count(); ++i) v.emplace_back(l->item(i)->text().toStdString());
    return v;
  };
  rq.lights = paths(list(Role::Lights));
  rq.darks = paths(list(Role::Darks));
  rq.flats = paths(list(Role::Flats));
  rq.combine.method = static_cast<CombineMethod>(method_->currentData().toInt());
  rq.combine.kappa_low = rq.combine.kappa_high = static_cast<float>(kappa_->value());
  rq.align = align_->isChecked();
  rq.out = out_->text().trimmed().toStdString();
  if (tiff_->isChecked()) rq.tiff16 = tiff_path_->text().trimmed().toStdString();
  rq.colour = synthesis_options(app_.settings);
  return rq;
}

void TStackDialog::set_running(bool on) {
  running_ = on;
  if (on) cancel_->setText("Cancel");
  settings_->setEnabled(!on);
  stack_->setEnabled(!on);
}

bool TStackDialog::step(int done, int total, const std::string& what) {
  bar_->setRange(0, std::max(total, 1));
  bar_->setValue(std::min(done, total));
  stage_->setText(text_of(what));
  // The stack runs on this thread: events are handled between its steps,
  // so the windows repaint and a click on "Cancel" arrives.
  QCoreApplication::processEvents();
  return !cancel_requested_;
}

void TStackDialog::run() {
  if (running_) return;
  const StackRequest rq = request();
  report_->clear();
  if (rq.lights.empty() || rq.out.empty()) {
    report_->setPlainText(rq.lights.empty() ? "Add the light frames to stack."
                                            : "Name the output FITS file.");
    return;
  }
  cancel_requested_ = false;
  set_running(true);
  // The stack's scratch frames are its own: the image on show stays as it
  // is until a stack has been written.
  auto scratch = std::make_unique<FrameStore>();
  outcome_ = run_batch_stack(rq, *scratch, [this](int done, int total, const std::string& what) {
    return step(done, total, what);
  });
  set_running(false);
  show_outcome(rq);
}

void TStackDialog::show_outcome(const StackRequest& rq) {
  const StackOutcome& r = outcome_;
  QStringList lines;
  stage_->clear();
  if (!r.written) {
    bar_->setValue(0);
    lines << (r.error == "cancelled" ? QString("Stacking cancelled: nothing was written.")
                                     : "No stack written: " + text_of(r.error));
  } else {
    bar_->setValue(bar_->maximum());
    lines << QString("Stacked %1 of %2 %3 lights into %4")
                 .arg(r.stacked)
                 .arg(rq.lights.size())
                 .arg(stack_kind_name(r.kind))
                 .arg(text_of(rq.out.string()));
    if (!r.error.empty()) lines << text_of(r.error);
  }
  for (const auto& l : r.left_out)
    lines << "Left out " + text_of(l.file) + ": " + text_of(l.reason);
  if (r.written) {
    const FitsImageRead back = read_fits_image(rq.out);
    const std::string name = rq.out.filename().string();
    if (back.image && show_stacked_image(app_, back.image->width, back.image->height,
                                         back.image->planes, back.image->data, name)) {
      lines << "The stack is on show as the current image.";
    } else if (back.image) {
      lines << QString("The stack is %1 x %2, not the camera's frame: it is not put on show.")
                   .arg(back.image->width)
                   .arg(back.image->height);
    }
  }
  report_->setPlainText(lines.join('\n'));
  cancel_->setText("Close");
}

void TStackDialog::reject() {
  if (running_) {
    cancel_requested_ = true;
    return;
  }
  QDialog::reject();
}

}  // namespace tarvex::ui
