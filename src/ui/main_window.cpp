#include "ui/main_window.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>
#include <QToolBar>

#include "app/about.h"
#include "app/close_question.h"
#include "app/commands.h"
#include "app/display_pipeline.h"
#include "app/export_commands.h"
#include "app/file_commands.h"
#include "app/file_dialogs.h"
#include "app/image_file.h"
#include "app/mounts.h"
#include "app/processing/merge_commands.h"
#include "app/program_defaults.h"
#include "app/start_up.h"
#include "app/view_commands.h"
#include "platform/messages.h"
#include "platform/version.h"
#include "ui/dialogs.h"
#include "ui/file_filters.h"
#include "ui/fits_dialogs.h"
#include "ui/help_window.h"
#include "ui/icons.h"
#include "ui/picture_view.h"
#include "ui/program_defaults_dialog.h"
#include "ui/stack_dialog.h"
#include "ui/telescope_dialogs.h"

namespace tarvex::ui {

QColor background_colour(BackgroundColour colour) {
  switch (colour) {
    case BackgroundColour::Red: return QColor(120, 40, 40);
    case BackgroundColour::Gray: return QColor(90, 90, 90);
    case BackgroundColour::LightGray: break;
  }
  return QColor(192, 192, 192);
}

namespace {

QStringList qt_filters(const char* filter) {
  QStringList list;
  for (const auto& f : translate_filter(filter)) list << QString::fromStdString(f);
  return list;
}

}  // namespace

TTarvexWindow::TTarvexWindow(WindowOptions options) : help_folder_(options.help_folder) {
  qt_messages_ = std::make_unique<QtMessages>(this);
  progress_ = std::make_unique<QtProgress>(this);
  if (!options.pump) own_pump_ = std::make_unique<QtEventPump>();
  if (!options.clock) own_clock_ = std::make_unique<QtClock>();
  if (!options.launcher) own_launcher_ = std::make_unique<QtLauncher>();
  Messages& messages = options.messages ? *options.messages : *qt_messages_;
  Launcher& launcher = options.launcher ? *options.launcher : *own_launcher_;
  Clock& clock = options.clock ? *options.clock : *own_clock_;
  EventPump& pump = options.pump ? *options.pump : *own_pump_;
  UsbTransport& usb = options.usb ? *options.usb : no_usb_transport();
  app_ = std::make_unique<Tarvex>(
      options.data_root.empty() ? Paths::from_environment() : Paths(options.data_root),
      Ports{messages, clock, pump, *progress_, launcher, *this, usb});
  app_->telescope.port = options.serial;

  setWindowTitle(QString::fromStdString(window_title({})));
  // A key or click here stops a long operation; the boxes and dialogs it
  // opens keep their own presses.
  mark_stop_source(this);
  view_ = new PictureView(this);
  setCentralWidget(view_);
  view_->after_paint = [this] { after_paint(*app_); };
  view_->pointer_moved = [this](int x, int y) {
    if (!values_ || !values_->isVisible()) return;
    if (auto r = pixel_readout(app_->store(), x, y)) values_->show_readout(*r);
  };
  view_->zoom_changed = [this](double zoom) {
    statusBar()->showMessage(QString("Zoom %1%").arg(qRound(zoom * 100)));
    update_commands();
  };
  keep_recent_files(*app_);
  register_operations();
  build_menus();
  build_tool_bar();
  statusBar()->showMessage("Ready");
  resize(800, 680);

  // Told to quit (the session ends, the program is stopped) with a move held.
  if (QCoreApplication::instance() != nullptr)
    connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this,
            [this] { release_telescope_holds(); });

  // Settings, ramp, grey palette and the first picture.
  start_up(*app_);
  view_->set_background(background_colour(app_->settings.background_colour));
  update_commands();
}

TTarvexWindow::~TTarvexWindow() = default;

void TTarvexWindow::register_operations() {
  Tarvex& a = *app_;
  auto& op = operations_;
  op[CM_OPEN] = [this] {
    const QString path = ask_open_path();
    if (!path.isEmpty()) open_file(path);
  };
  op[CM_SAVE] = [this] {
    const QString path = ask_save_path(RAW_SAVE_FILTER, {});
    if (!path.isEmpty()) save_file(path);
  };
  op[CM_SAVE_TIFF] = [this, &a] {
    const QString path = ask_save_path(TIFF_FILTER, "TIF");
    if (!path.isEmpty()) save_tiff_command(a, path.toStdString());
  };
  op[CM_SAVE_FLAT] = [this, &a] {
    const QString path = ask_save_path(RAW_SAVE_FILTER, {});
    if (!path.isEmpty()) save_flat_image(a, path.toStdString());
  };
  op[CM_PROGRAM_DEFAULTS] = [this] { program_defaults_dialog(); };
  op[CM_PRINT_SETUP] = [&a] { print_setup_command(a); };
  op[CM_PRINT] = [&a] { print_command(a); };
  op[CM_EXIT] = [this] {
    exit_command_ = true;
    close();
    exit_command_ = false;
  };
  op[CM_UNDO] = [&a] { undo_filter_command(a); };
  op[CM_UNDO_COLOUR] = [&a] { undo_colour_filter_command(a); };
  op[CM_LABEL_IMAGE] = [this] { label_image_dialog(); };
  op[CM_FIT_TO_WINDOW] = [this] { fit_to_window(); };
  op[CM_MIRROR] = [&a] { mirror_command(a); };
  op[CM_AUTO_CONTRAST] = [&a] { toggle_auto_contrast(a); };
  op[CM_MAX_PALETTE_STRETCH] = [this] { stretch_palette_dialog(); };
  op[CM_MAX_STRETCH_ALL] = [&a] { set_max_stretch_all(a, true); };
  op[CM_MAX_STRETCH_FOCUS_ONLY] = [&a] { set_max_stretch_all(a, false); };
  op[CM_PROCESSING_HISTORY] = [&a] {
    a.ports.messages.box("Tarvex - PROCESSING HISTORY", a.history.box_text(), BoxIcon::None);
  };
  op[CM_SHOW_VALUES] = [this] { show_values(); };
  op[CM_HELP] = [this] { show_help(); };
  op[CM_ABOUT] = [this] { show_about(); };
  op[CM_EXPORT_STANDARD_FITS] = [this] { export_standard_fits(); };
  op[CM_EXPORT_TIFF16] = [this] { export_tiff16(); };
  op[CM_STACK_FILES] = [this] {
    TStackDialog dialog(*app_, this);
    dialog.exec();
  };
  op[CM_ZOOM_IN] = [this] { view_->zoom_in(); };
  op[CM_ZOOM_OUT] = [this] { view_->zoom_out(); };
  op[CM_ZOOM_ACTUAL] = [this] { view_->set_zoom(1.0, view_->viewport()->rect().center()); };
  op[CM_COPY_CLIPBOARD] = [this] { copy_to_clipboard(); };
  op[CM_REALISE_PALETTE] = [this] { repaint_picture(); };
  op[CM_REBUILD_PICTURE] = [&a] { rebuild_picture(a); };
  register_processing_operations(*this, op);
  register_calibration_operations(*this, op);
  register_fits_operations(*this, op);
  register_colour_operations(*this, op);
  register_camera_operations(*this, op);
  register_telescope_operations(*this, op);
}

void TTarvexWindow::build_menus() {
  for (const auto& c : command_table()) {
    auto* act = new QAction(this);
    if (c.text) act->setText(QString::fromUtf8(c.text));
    QList<QKeySequence> keys;
    if (c.accelerator) keys << QKeySequence(c.accelerator);
    if (c.accelerator2) keys << QKeySequence(c.accelerator2);
    if (!keys.isEmpty()) act->setShortcuts(keys);
    act->setCheckable(c.checkable);
    const auto hint = command_hint(c.id);
    if (!hint.empty())
      act->setStatusTip(QString::fromUtf8(hint.data(), static_cast<int>(hint.size())));
    act->setData(c.id);
    const int id = c.id;
    connect(act, &QAction::triggered, this, [this, id] { command(id); });
    actions_[id] = act;
    addAction(act);  // keeps accelerators of commands without a menu item alive
  }
  // The clipboard command has no menu item; the usual copy key reaches it.
  actions_[CM_COPY_CLIPBOARD]->setShortcut(QKeySequence("Ctrl+Ins"));

  QMenuBar* bar = menuBar();
  for (const auto& m : menu_bar()) {
    if (m.id == MenuId::Histogram) {
      bar->addAction(actions_[CM_HISTOGRAM]);
      continue;
    }
    QMenu* menu = bar->addMenu(QString::fromUtf8(m.title));
    connect(menu, &QMenu::aboutToShow, this, &TTarvexWindow::update_commands);
    for (const auto& c : command_table()) {
      if (c.menu != m.id || !c.text) continue;
      menu->addAction(actions_[c.id]);
      add_submenus(menu, c.id);
    }
  }
}

void TTarvexWindow::add_submenus(QMenu* menu, int after) {
  for (const auto& sub : submenus()) {
    if (sub.after != after) continue;
    QMenu* submenu = menu->addMenu(QString::fromUtf8(sub.title));
    if (sub.id == MenuId::RecentFiles) {
      recent_menu_ = submenu;
      connect(submenu, &QMenu::aboutToShow, this, &TTarvexWindow::fill_recent_files_menu);
      fill_recent_files_menu();
      continue;
    }
    connect(submenu, &QMenu::aboutToShow, this, &TTarvexWindow::update_commands);
    for (const auto& c : command_table()) {
      if (c.menu == sub.id && c.text) submenu->addAction(actions_[c.id]);
    }
  }
}

void TTarvexWindow::fill_recent_files_menu() {
  recent_menu_->clear();
  const auto& files = app_->recent_files.files();
  int n = 0;
  for (const auto& f : files) {
    const QString path = QString::fromStdString(f.string());
    // "&1 name  (folder)"; a literal '&' in a name is doubled.
    QString name = QString::fromStdString(f.filename().string()).replace("&", "&&");
    QString folder = QString::fromStdString(f.parent_path().string()).replace("&", "&&");
    QAction* act = recent_menu_->addAction(QString("&%1 %2  (%3)").arg(++n).arg(name, folder));
    act->setStatusTip(path);
    act->setData(path);
    act->setEnabled(!app_->busy);
    connect(act, &QAction::triggered, this, [this, path] { open_recent_file(path); });
  }
  if (files.empty()) {
    recent_menu_->addAction("(none)")->setEnabled(false);
    return;
  }
  recent_menu_->addSeparator();
  QAction* clear = recent_menu_->addAction("&Clear List");
  clear->setEnabled(!app_->busy);
  connect(clear, &QAction::triggered, this, [this] {
    for (const auto& f : std::vector<std::filesystem::path>(app_->recent_files.files()))
      forget_recent_file(*app_, f);
  });
}

void TTarvexWindow::open_recent_file(const QString& path) {
  run_guarded([this, path] {
    const std::filesystem::path p = path.toStdString();
    std::error_code ec;
    const bool missing = !std::filesystem::exists(p, ec);
    open_file(path);
    // A file that has gone away is dropped from the list, once it was reported.
    if (missing) forget_recent_file(*app_, p);
  });
}

void TTarvexWindow::run_guarded(const std::function<void()>& operation) {
  if (app_->busy) return;
  app_->busy = true;
  update_commands();
  operation();
  app_->busy = false;
  update_commands();
}

void TTarvexWindow::build_tool_bar() {
  QToolBar* tb = addToolBar("Tools");
  tb->setObjectName("tools");
  tb->setMovable(false);
  tb->setIconSize(QSize(24, 24));
  for (const auto& b : tool_bar()) {
    if (b.separator_before) tb->addSeparator();
    QAction* act = actions_[b.command];
    act->setIcon(tool_icon(b.bitmap));
    const auto hint = command_hint(b.bitmap);
    const QString tip = QString::fromUtf8(hint.data(), static_cast<int>(hint.size()));
    if (!tip.isEmpty()) act->setStatusTip(tip);
    if (act->text().isEmpty()) act->setText(tip);
    act->setToolTip(tip.isEmpty() ? act->text().remove('&') : tip);
    tb->addAction(act);
  }
}

QAction* TTarvexWindow::action(int id) const {
  auto it = actions_.find(id);
  return it == actions_.end() ? nullptr : it->second;
}

void TTarvexWindow::update_commands() {
  CommandState s;
  s.telescope_type = chosen_link_type(*app_);
  s.picture_loaded = !view_->image().isNull();
  s.busy = app_->busy;
  s.fit_to_window = app_->display.fit_to_window;
  for (const auto& c : command_table()) {
    QAction* act = actions_[c.id];
    s.has_operation = operations_.count(c.id) != 0;
    act->setEnabled(command_enabled(c, s));
  }
  actions_[CM_FIT_TO_WINDOW]->setChecked(app_->display.fit_to_window);
  actions_[CM_AUTO_CONTRAST]->setChecked(app_->display.auto_contrast);
  actions_[CM_PICK_GUIDE_STAR]->setChecked(guide_star_pick_checked(app_->star_pick));
}

void TTarvexWindow::command(int id) {
  if (app_->busy) return;
  auto it = operations_.find(id);
  const CommandInfo* info = find_command(id);
  if (it == operations_.end() || info == nullptr) return;
  CommandState s;
  s.has_operation = true;
  s.telescope_type = chosen_link_type(*app_);
  s.picture_loaded = !view_->image().isNull();
  s.fit_to_window = app_->display.fit_to_window;
  if (!command_enabled(*info, s)) return;
  run_guarded(it->second);
}

QString TTarvexWindow::ask_open_path() {
  QFileDialog dialog(this, OPEN_IMAGE_TITLE);
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setOption(QFileDialog::HideNameFilterDetails);
  dialog.setFileMode(QFileDialog::ExistingFile);
  set_open_filters(dialog, OPEN_FILTER, open_filter_);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().first();
}

QString TTarvexWindow::ask_save_path(const char* filter, const QString& default_suffix) {
  QFileDialog dialog(this, "Save As");
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setOption(QFileDialog::HideNameFilterDetails);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setNameFilters(qt_filters(filter));
  if (!default_suffix.isEmpty()) dialog.setDefaultSuffix(default_suffix);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().first();
}

void TTarvexWindow::open_file(const QString& path) {
  // While merging, the base image is kept before the merge image is read.
  if (open_merge_partner(*app_, path.toStdString()).ok()) {
    open_filter_ = open_filter_after(path.toStdString());
  }
}

void TTarvexWindow::save_file(const QString& path) {
  if (save_image(*app_, path.toStdString()).ok()) {
    set_title(window_title(app_->current_file_name));
  }
}

void TTarvexWindow::set_title(const std::string& title) {
  setWindowTitle(QString::fromStdString(title));
}

void TTarvexWindow::reload_bitmap(const std::string& path, bool) {
  QImage image(QString::fromStdString(path));
  if (image.isNull()) return;  // the previous picture stays
  view_->set_background(background_colour(app_->settings.background_colour));
  view_->set_image(std::move(image));
}

void TTarvexWindow::repaint_picture() {
  view_->set_background(background_colour(app_->settings.background_colour));
  view_->refresh_scroll_range();
  view_->viewport()->update();
}

void TTarvexWindow::show_values() {
  if (app_->display.fit_to_window) {
    show_message(app_->ports.messages, Msg::ValuesNeedStandardGeometry);
    return;
  }
  if (values_ && values_->isVisible()) return;
  if (!values_) {
    values_ = new TValuesDialog(this);
    values_->choose_view = [this](ColourView view) {
      app_->display.colour_view = view;
      command(CM_REBUILD_PICTURE);
    };
    values_->finished = [this] {
      app_->display.colour_view = ColourView::Normal;
      rebuild_picture(*app_);
    };
  }
  values_->show();
}

void TTarvexWindow::fit_to_window() {
  if (values_ && values_->isVisible()) values_->close();
  app_->display.fit_to_window = !app_->display.fit_to_window;
  view_->set_fit_to_window(app_->display.fit_to_window);
}

void TTarvexWindow::label_image_dialog() {
  TLabelDialog dialog(label_model_, app_->fits, app_->ports.messages, this);
  if (dialog.exec() != QDialog::Accepted) return;
  label_image(*app_, label_model_.text(), label_model_.date_mode());
}

void TTarvexWindow::stretch_palette_dialog() {
  StretchPaletteModel model(app_->display);
  TPaletteDialog dialog(model, this);
  dialog.exec();
  refresh_display(*app_);
}

void TTarvexWindow::program_defaults_dialog() {
  ProgramDefaultsModel model(app_->settings, app_->fits, app_->paths.settings_file(),
                             app_->ports.messages, app_->paths.more_settings_file());
  model.open();
  TINIDialog dialog(model, this);
  dialog.exec();
  repaint_picture();
}

QString TTarvexWindow::help_folder() const {
  if (!help_folder_) return find_help_folder();
  const QString folder = QString::fromStdString(help_folder_->string());
  return QFileInfo::exists(folder + "/index.html") ? folder : QString();
}

void TTarvexWindow::show_help() {
  // The pages open in the program's own help window, which needs no web
  // browser; only missing pages fail.
  const QString folder = help_folder();
  if (folder.isEmpty()) {
    app_->ports.messages.box("Tarvex", "WinHelp failed!", BoxIcon::Stop);
    return;
  }
  if (!help_) help_ = new THelpWindow(folder, this);
  help_->show_home();
  help_->show();
  help_->raise();
  help_->activateWindow();
}

void TTarvexWindow::show_about() {
  QMessageBox box(this);
  box.setWindowTitle("About Tarvex");
  box.setIconPixmap(windowIcon().pixmap(64, 64));
  box.setText(QString("<b>Tarvex %1</b>").arg(QString::fromUtf8(PROGRAM_VERSION)));
  box.setInformativeText(QString::fromStdString(about_text(app_->paths, qVersion()))
                             .toHtmlEscaped()
                             .replace("\n", "<br>"));
  box.setTextInteractionFlags(Qt::TextSelectableByMouse);
  box.setStandardButtons(QMessageBox::Ok);
  box.exec();
}

QString TTarvexWindow::export_start_name(const QString& extension) const {
  // Beside the file the image came from, under its name, when there is one.
  const std::filesystem::path& from = app_->image_file.path;
  if (from.empty()) return {};
  std::filesystem::path p = from;
  p.replace_extension(extension.toStdString());
  return QString::fromStdString(p.string());
}

void TTarvexWindow::export_standard_fits() {
  QFileDialog dialog(this, "Export Standard FITS");
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  const QStringList filters = {
      "FITS, 16-bit integers (*.fits *.fit *.fts *.FITS *.FIT *.FTS)",
      "FITS, 32-bit floating point (*.fits *.fit *.fts *.FITS *.FIT *.FTS)"};
  dialog.setNameFilters(filters);
  dialog.selectNameFilter(filters.value(export_fits_filter_));
  dialog.setDefaultSuffix("fits");
  const QString start = export_start_name("fits");
  if (!start.isEmpty()) dialog.selectFile(start);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  export_fits_filter_ = std::max<qsizetype>(0, filters.indexOf(dialog.selectedNameFilter()));
  const StandardFitsSamples samples =
      export_fits_filter_ == 1 ? StandardFitsSamples::Float32 : StandardFitsSamples::Int16;
  const QString path = dialog.selectedFiles().first();
  if (export_standard_fits_command(*app_, path.toStdString(), samples).ok())
    statusBar()->showMessage(QString("Exported %1").arg(path));
}

void TTarvexWindow::export_tiff16() {
  QFileDialog dialog(this, "Export 16-bit TIFF");
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setNameFilters({"TIFF, 16 bits per sample (*.tif *.tiff *.TIF *.TIFF)"});
  dialog.setDefaultSuffix("tif");
  const QString start = export_start_name("tif");
  if (!start.isEmpty()) dialog.selectFile(start);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  const QString path = dialog.selectedFiles().first();
  if (export_tiff16_command(*app_, path.toStdString()).ok())
    statusBar()->showMessage(QString("Exported %1").arg(path));
}

void TTarvexWindow::closeEvent(QCloseEvent* event) {
  // While a long operation runs (an exposure, a filter) closing stays as it
  // was; File > Exit itself runs as a command.
  const bool long_operation = app_->busy && !exit_command_;
  if (!long_operation) {
    QtFitsDialogs dialogs(this);
    if (!may_close(*app_, dialogs)) {
      event->ignore();
      return;
    }
  }
  if (help_) help_->close();
  release_telescope_holds();
  QMainWindow::closeEvent(event);
}

void TTarvexWindow::release_telescope_holds() {
  // A move or focus move held in a telescope window is stopped before the
  // program goes: the mount must not be left slewing. Only the window on
  // show can hold one (a window that is hidden let its move go), and only
  // it sends its own kind of stop.
  for (auto* d : findChildren<TMoveTelescopeDialog*>())
    if (d->isVisible()) d->model().release_all();
  for (auto* d : findChildren<TBoxMoveDialog*>())
    if (d->isVisible()) d->model().release_all();
}

void TTarvexWindow::copy_to_clipboard() {
  // A grey picture keeps its colour table (the display palette) in the image.
  QClipboard* clip = QApplication::clipboard();
  if (clip == nullptr || view_->image().isNull()) return;
  clip->setImage(view_->image());
}

}  // namespace tarvex::ui
