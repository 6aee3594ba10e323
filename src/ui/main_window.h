// TTarvexWindow: the main window. It owns the Tarvex context, builds its
// menus, accelerators and tool bar from the command table, shows the picture
// and dispatches every command to its operation.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <map>
#include <memory>
#include <optional>

#include "app/label.h"
#include "app/tarvex.h"
#include "platform/usb_transport.h"
#include "ui/dialogs.h"
#include "ui/help_window.h"
#include "ui/qt_ports.h"

class QAction;
class QMenu;

namespace tarvex::ui {

class PictureView;

using OperationMap = std::map<int, std::function<void()>>;

// The title of File > Open's chooser.
inline constexpr const char* OPEN_IMAGE_TITLE = "Open Image";

// The ports the composition root (TTarvexApp) made for the window. The
// window makes its message boxes and progress window itself, as they belong
// to it; a port left null is made by the window (tests that need no more).
struct WindowOptions {
  std::filesystem::path data_root;  // empty: from the environment
  Messages* messages = nullptr;     // null: Qt message boxes
  Launcher* launcher = nullptr;     // null: start programs detached
  Clock* clock = nullptr;           // null: a Qt clock of its own
  EventPump* pump = nullptr;        // null: a Qt event pump of its own
  UsbTransport* usb = nullptr;      // null: no camera
  SerialPort* serial = nullptr;     // null: no telescope port
  // The folder of the help pages; unset: the installed pages (help_window.h).
  std::optional<std::filesystem::path> help_folder;
};

class TTarvexWindow : public QMainWindow, public DisplaySink {
  Q_OBJECT
 public:
  explicit TTarvexWindow(WindowOptions options = {});
  ~TTarvexWindow() override;

  Tarvex& app() { return *app_; }
  PictureView* picture() const { return view_; }
  QAction* action(int id) const;
  TValuesDialog* values_box() const { return values_; }
  THelpWindow* help_window() const { return help_; }
  QMenu* recent_files_menu() const { return recent_menu_; }

  // Runs a command of the table, as the menu, accelerators and tool bar do.
  // A command without an operation, or any command while a long operation
  // runs, does nothing.
  void command(int id);
  // Refreshes every action's enabled and checked state.
  void update_commands();

  // The operations behind the file dialogs, callable without them.
  void open_file(const QString& path);
  void save_file(const QString& path);

  // Stops whatever move or focus move a telescope window holds (its stop
  // bytes are sent); closing the window and quitting the program do it.
  void release_telescope_holds();

  // The folder the help pages are read from (empty when none was found).
  QString help_folder() const;

  // DisplaySink
  void set_title(const std::string& title) override;
  void reload_bitmap(const std::string& path, bool colour) override;

 private:
  void build_menus();
  void build_tool_bar();
  void register_operations();
  QString ask_open_path();
  QString ask_save_path(const char* filter, const QString& default_suffix);
  void show_values();
  void fit_to_window();
  void label_image_dialog();
  void stretch_palette_dialog();
  void program_defaults_dialog();
  void show_help();
  void show_about();
  void copy_to_clipboard();
  void repaint_picture();
  void add_submenus(QMenu* menu, int after);
  void fill_recent_files_menu();
  void open_recent_file(const QString& path);
  void export_standard_fits();
  void export_tiff16();
  QString export_start_name(const QString& extension) const;
  void run_guarded(const std::function<void()>& operation);

 protected:
  // A changed image is not lost: closing asks to save it first.
  void closeEvent(QCloseEvent* event) override;

 private:
  std::unique_ptr<QtMessages> qt_messages_;
  std::unique_ptr<QtProgress> progress_;
  // Ports made here only when the options gave none.
  std::unique_ptr<QtEventPump> own_pump_;
  std::unique_ptr<QtClock> own_clock_;
  std::unique_ptr<QtLauncher> own_launcher_;
  std::unique_ptr<Tarvex> app_;
  PictureView* view_ = nullptr;
  QPointer<TValuesDialog> values_;
  std::map<int, QAction*> actions_;
  OperationMap operations_;
  LabelDialogModel label_model_;
  int open_filter_ = 0;
  std::optional<std::filesystem::path> help_folder_;
  QPointer<THelpWindow> help_;
  QMenu* recent_menu_ = nullptr;
  int export_fits_filter_ = 0;  // 16-bit integers or floating point, as chosen last
  bool exit_command_ = false;   // File > Exit is closing the window
};

// Each menu family adds the operations of its commands to the window's table
// (one file each: processing_operations.cpp, calibration_operations.cpp,
// fits_operations.cpp, colour_operations.cpp, camera_operations.cpp).
void register_processing_operations(TTarvexWindow& window, OperationMap& operations);
void register_calibration_operations(TTarvexWindow& window, OperationMap& operations);
void register_fits_operations(TTarvexWindow& window, OperationMap& operations);
void register_colour_operations(TTarvexWindow& window, OperationMap& operations);
// The camera command (camera_operations.cpp).
void register_camera_operations(TTarvexWindow& window, OperationMap& operations);
// File > "Telescope Control" (telescope_operations.cpp).
void register_telescope_operations(TTarvexWindow& window, OperationMap& operations);

// The window colour of the background colour setting.
QColor background_colour(BackgroundColour colour);

}  // namespace tarvex::ui
