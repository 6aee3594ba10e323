#include "ui/program_defaults_dialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace tarvex::ui {

namespace {

QGroupBox* group(const QString& title, QWidget* parent) {
  auto* g = new QGroupBox(title, parent);
  new QVBoxLayout(g);
  return g;
}

void add(QGroupBox* g, QWidget* w) {
  g->layout()->addWidget(w);
}

const GuideDefaultsField& guide_defaults_field(std::string_view key) {
  for (const GuideDefaultsField& f : GUIDE_DEFAULTS_FIELDS)
    if (f.key == key) return f;
  return GUIDE_DEFAULTS_FIELDS[0];
}

QString label_of(const GuideDefaultsField& f) {
  return QString::fromLatin1(f.label.data(), static_cast<qsizetype>(f.label.size()));
}

}  // namespace

QCheckBox* TINIDialog::check(const QString& text, void (ProgramDefaultsModel::*toggle)()) {
  auto* c = new QCheckBox(text, this);
  connect(c, &QCheckBox::clicked, this, [this, toggle] {
    if (refreshing_) return;
    (model_.*toggle)();
    refresh();
  });
  buttons_[text] = c;
  return c;
}

QRadioButton* TINIDialog::radio(const QString& text, std::function<void()> choose) {
  auto* r = new QRadioButton(text, this);
  r->setAutoExclusive(false);  // the settings decide which one shows checked
  connect(r, &QRadioButton::clicked, this, [this, choose] {
    if (refreshing_) return;
    choose();
    refresh();
  });
  buttons_[text] = r;
  return r;
}

TINIDialog::TINIDialog(ProgramDefaultsModel& model, QWidget* parent)
    : QDialog(parent), model_(model) {
  setWindowTitle("Set Program Defaults");
  auto* grid = new QGridLayout(this);
  ProgramDefaultsModel* m = &model_;

  auto* offsets = group("Camera Offsets", this);
  add(offsets, check("Pixel Offset", &ProgramDefaultsModel::toggle_pixel_offset));
  add(offsets, check("Line Offset", &ProgramDefaultsModel::toggle_line_offset));
  grid->addWidget(offsets, 0, 0);

  auto* mask = group("Radius of Guide Star Mask", this);
  for (int px : {7, 8, 9, 11, 13, 15}) {
    add(mask, radio(QString("%1 Pixels").arg(px), [m, px] { m->set_guide_mask_radius(px); }));
  }
  grid->addWidget(mask, 1, 0, 2, 1);

  auto* background = group("Background Colour", this);
  add(background, radio("Red", [m] { m->set_background_colour(BackgroundColour::Red); }));
  add(background, radio("Lt Gray", [m] { m->set_background_colour(BackgroundColour::LightGray); }));
  add(background, radio("Gray", [m] { m->set_background_colour(BackgroundColour::Gray); }));
  grid->addWidget(background, 3, 0);

  auto* telescope = group("Telescope Guiding", this);
  add(telescope, radio("None", [m] { m->set_telescope_type(LinkType::None); }));
  add(telescope, radio("Meade LX200 (Tm)", [m] { m->set_telescope_type(LinkType::Lx200); }));
  add(telescope, radio("Via Control Box", [m] { m->set_telescope_type(LinkType::ControlBox); }));
  add(telescope, radio("INDI Mount", [m] { m->set_telescope_type(LinkType::Indi); }));
  // The INDI mount's server and device, taken as they are typed.
  for (const char* name : {"INDI Server (host:port)", "INDI Device"}) {
    auto* e = new QLineEdit(this);
    fields_[name] = e;
    add(telescope, new QLabel(name, this));
    add(telescope, e);
  }
  connect(fields_["INDI Server (host:port)"], &QLineEdit::textEdited, this,
          [m](const QString& text) { m->set_indi_server(text.trimmed().toStdString()); });
  connect(fields_["INDI Device"], &QLineEdit::textEdited, this,
          [m](const QString& text) { m->set_indi_device(text.trimmed().toStdString()); });
  grid->addWidget(telescope, 0, 1);

  auto* ports = group("Com Port", this);
  add(ports, radio("Shared Com Port", [m] { m->choose_shared_com_port(); }));
  const char* port_names[] = {"Com Port1", "Com Port 2", "Com Port 3", "Com Port 4", "Com Port 5"};
  for (int n = 1; n <= 5; ++n) {
    add(ports, radio(port_names[n - 1], [m, n] { m->choose_com_port(n); }));
  }
  grid->addWidget(ports, 1, 1, 2, 1);

  auto* training = group("Default Guide Training Time", this);
  for (int s : {1, 2, 4}) {
    add(training, radio(QString("%1 Sec").arg(s), [m, s] { m->set_guide_training_time(s); }));
  }
  grid->addWidget(training, 3, 1);

  grid->addWidget(slew_box(), 0, 2, 3, 1);
  grid->addWidget(option_checks(), 3, 2, 2, 1);

  auto* fits = group("FITs Defaults", this);
  add(fits, check("Unsigned Integer Format", &ProgramDefaultsModel::toggle_fits_unsigned));
  grid->addWidget(fits, 4, 0);

  grid->addWidget(subdir_box(), 4, 1);
  grid->addWidget(guide_algorithm_box(), 0, 3);
  grid->addWidget(dithering_box(), 1, 3, 3, 1);
  grid->addLayout(closing_row(), 5, 0, 1, 4);
  refresh();
}

// The guiding rates, backlashes and hystereses, set together by their button.
QGroupBox* TINIDialog::slew_box() {
  auto* slew = new QGroupBox("Guiding Rates", this);
  auto* slew_grid = new QGridLayout(slew);
  const char* slew_fields[] = {
      "RA pixels per sec", "Dec pixels per sec",      "RA Backlash",
      "Dec Backlash",      "Hysteresis in RA (0-10)", "Hysteresis in Dec (0-20)"};
  for (int i = 0; i < 6; ++i) {
    auto* e = new QLineEdit(this);
    e->setValidator(new QIntValidator(-32768, 32767, e));
    e->setMaximumWidth(60);
    fields_[slew_fields[i]] = e;
    slew_grid->addWidget(new QLabel(slew_fields[i], this), i, 0);
    slew_grid->addWidget(e, i, 1);
  }
  auto* set_slew = new QPushButton("Set Slew Values", this);
  buttons_["Set Slew Values"] = set_slew;
  connect(set_slew, &QPushButton::clicked, this, [this] {
    auto v = [this](const char* name) { return fields_[name]->text().toInt(); };
    model_.set_slew_values(v("RA pixels per sec"), v("Dec pixels per sec"), v("RA Backlash"),
                           v("Dec Backlash"), v("Hysteresis in RA (0-10)"),
                           v("Hysteresis in Dec (0-20)"));
    refresh();
  });
  slew_grid->addWidget(set_slew, 6, 0, 1, 2);
  return slew;
}

// The column of single options without a group box of their own.
QWidget* TINIDialog::option_checks() {
  const struct {
    const char* text;
    void (ProgramDefaultsModel::*toggle)();
  } kOptions[] = {
      {"1 sec delay when focussing", &ProgramDefaultsModel::toggle_focus_delay},
      {"Disable Interrupts during download", &ProgramDefaultsModel::toggle_disable_interrupts},
      {"Interlaced Images Smoothing", &ProgramDefaultsModel::toggle_interlace_smoothing},
      {"Ignore drift < 1 pixel", &ProgramDefaultsModel::toggle_ignore_drift},
      {"direction changes", &ProgramDefaultsModel::toggle_direction_change_delay},
      {"Swap n/s direction", &ProgramDefaultsModel::swap_north_south},
      {"Swap e/w direction", &ProgramDefaultsModel::swap_east_west},
      {"Beep after Exposure ends", &ProgramDefaultsModel::toggle_beep_after_exposure},
      {"Show USB Debug Info", &ProgramDefaultsModel::toggle_usb_debug_info},
      {"Binned Format File Import Default ", &ProgramDefaultsModel::toggle_binned_import_default},
  };
  auto* misc = new QWidget(this);
  auto* misc_layout = new QVBoxLayout(misc);
  misc_layout->setContentsMargins(0, 0, 0, 0);
  for (const auto& option : kOptions) {
    if (option.toggle != &ProgramDefaultsModel::toggle_direction_change_delay) {
      misc_layout->addWidget(check(option.text, option.toggle));
      continue;
    }
    // Its text begins on a label in front of it.
    auto* delay_row = new QHBoxLayout;
    delay_row->addWidget(new QLabel("70ms delay between", this));
    delay_row->addWidget(check(option.text, option.toggle));
    misc_layout->addLayout(delay_row);
  }
  return misc;
}

QGroupBox* TINIDialog::subdir_box() {
  auto* subdir = new QGroupBox("Auto-Save Sub Directory", this);
  auto* subdir_row = new QHBoxLayout(subdir);
  subdir_row->addWidget(new QLabel("Sub-dir Name", this));
  auto* subdir_field = new QLineEdit(this);
  subdir_field->setMaxLength(79);
  fields_["Sub-dir Name"] = subdir_field;
  subdir_row->addWidget(subdir_field);
  auto* set_subdir = new QPushButton("Set Sub-Dir", this);
  buttons_["Set Sub-Dir"] = set_subdir;
  connect(set_subdir, &QPushButton::clicked, this, [this, subdir_field] {
    model_.set_autosave_subdir(subdir_field->text().toStdString());
    refresh();
  });
  subdir_row->addWidget(set_subdir);
  return subdir;
}

void TINIDialog::add_guide_field(QGroupBox* g, const GuideDefaultsField& field) {
  const QString label = label_of(field);
  auto* row = new QHBoxLayout;
  row->addWidget(new QLabel(label, this));
  auto* e = new QLineEdit(this);
  e->setMinimumWidth(50);
  e->setMaximumWidth(60);
  fields_[label] = e;
  row->addWidget(e);
  static_cast<QVBoxLayout*>(g->layout())->addLayout(row);
}

bool TINIDialog::apply_guide_fields() {
  bool all_taken = true;
  for (const GuideDefaultsField& f : GUIDE_DEFAULTS_FIELDS) {
    const std::string text = fields_[label_of(f)]->text().trimmed().toStdString();
    if (text != model_.guide_field(f.key) && !model_.set_guide_field(f.key, text))
      all_taken = false;
  }
  refresh();
  return all_taken;
}

// How guiding corrects, and for how long the predictive algorithm keeps
// correcting a lost star's drift.
QGroupBox* TINIDialog::guide_algorithm_box() {
  auto* box = group("Guide Algorithm", this);
  ProgramDefaultsModel* m = &model_;
  add(box, radio("Classic", [m] { m->set_guide_algorithm("classic"); }));
  add(box, radio("Predictive", [m] { m->set_guide_algorithm("predictive"); }));
  add_guide_field(box, guide_defaults_field("guide.lost-star-seconds"));
  return box;
}

// Dithering between the exposures of a self-guided run, and when the guider
// counts as settled after a dither.
QGroupBox* TINIDialog::dithering_box() {
  auto* box = group("Dithering", this);
  add_guide_field(box, guide_defaults_field("guide.dither-pixels"));
  add(box, check("RA only", &ProgramDefaultsModel::toggle_dither_ra_only));
  for (const char* key : {"guide.settle-pixels", "guide.settle-frames", "guide.settle-seconds"})
    add_guide_field(box, guide_defaults_field(key));
  static_cast<QVBoxLayout*>(box->layout())->addStretch();
  return box;
}

QHBoxLayout* TINIDialog::closing_row() {
  auto* row = new QHBoxLayout;
  row->addStretch();
  auto* save = new QPushButton("Save Changes", this);
  auto* cancel = new QPushButton("Cancel", this);
  buttons_["Save Changes"] = save;
  buttons_["Cancel"] = cancel;
  save->setDefault(true);
  connect(save, &QPushButton::clicked, this, [this] {
    // A refused guiding value keeps the dialog open on the value kept.
    if (!apply_guide_fields()) return;
    accept();
    model_.save_changes();
  });
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  row->addWidget(save);
  row->addWidget(cancel);
  return row;
}

void TINIDialog::refresh() {
  refreshing_ = true;
  const Settings& s = model_.settings();
  auto set = [this](const QString& text, bool on) {
    if (auto it = buttons_.find(text); it != buttons_.end()) it->second->setChecked(on);
  };
  set("Pixel Offset", s.pixel_offset);
  set("Line Offset", s.line_offset);
  for (int px : {7, 8, 9, 11, 13, 15}) set(QString("%1 Pixels").arg(px), s.guide_mask_radius == px);
  set("1 sec delay when focussing", s.focus_delay);
  set("Red", s.background_colour == BackgroundColour::Red);
  set("Lt Gray", s.background_colour == BackgroundColour::LightGray);
  set("Gray", s.background_colour == BackgroundColour::Gray);
  set("Disable Interrupts during download", s.disable_interrupts);
  set("Interlaced Images Smoothing", s.interlace_smoothing);
  const LinkType link = model_.telescope_type();
  set("None", link == LinkType::None);
  set("Meade LX200 (Tm)", link == LinkType::Lx200);
  set("Via Control Box", link == LinkType::ControlBox);
  set("INDI Mount", link == LinkType::Indi);
  fields_["INDI Server (host:port)"]->setText(QString::fromStdString(model_.indi_server()));
  fields_["INDI Device"]->setText(QString::fromStdString(model_.indi_device()));
  const int port = model_.com_port_choice();
  set("Shared Com Port", port == 0);
  const char* port_names[] = {"Com Port1", "Com Port 2", "Com Port 3", "Com Port 4", "Com Port 5"};
  for (int n = 1; n <= 5; ++n) set(port_names[n - 1], port == n);
  for (int sec : {1, 2, 4}) set(QString("%1 Sec").arg(sec), s.guide_training_time == sec);
  set("Ignore drift < 1 pixel", s.ignore_drift);
  set("direction changes", s.direction_change_delay);
  set("Swap n/s direction", model_.north_south_swapped());
  set("Swap e/w direction", model_.east_west_swapped());
  set("Beep after Exposure ends", s.beep_after_exposure);
  set("Unsigned Integer Format", model_.fits().fits_unsigned);
  set("Show USB Debug Info", s.usb_debug_info);
  set("Binned Format File Import Default ", s.binned_import_default);
  fields_["RA pixels per sec"]->setText(QString::number(s.ra_pixels_per_sec));
  fields_["Dec pixels per sec"]->setText(QString::number(s.dec_pixels_per_sec));
  fields_["RA Backlash"]->setText(QString::number(s.ra_backlash));
  fields_["Dec Backlash"]->setText(QString::number(s.dec_backlash));
  fields_["Hysteresis in RA (0-10)"]->setText(QString::number(s.ra_hysteresis));
  fields_["Hysteresis in Dec (0-20)"]->setText(QString::number(s.dec_hysteresis));
  fields_["Sub-dir Name"]->setText(QString::fromStdString(s.autosave_subdir));
  set("Classic", model_.guide_algorithm() == "classic");
  set("Predictive", model_.guide_algorithm() == "predictive");
  set("RA only", model_.dither_ra_only());
  for (const GuideDefaultsField& f : GUIDE_DEFAULTS_FIELDS)
    fields_[label_of(f)]->setText(QString::fromStdString(model_.guide_field(f.key)));
  refreshing_ = false;
}

QAbstractButton* TINIDialog::button(const QString& text) const {
  auto it = buttons_.find(text);
  return it == buttons_.end() ? nullptr : it->second;
}

QLineEdit* TINIDialog::field(const QString& name) const {
  auto it = fields_.find(name);
  return it == fields_.end() ? nullptr : it->second;
}

}  // namespace tarvex::ui
