// The Merge menu, the calibration file chooser and guide star picking commands of the main window.
#include <QAction>
#include <QPainter>
#include <QPen>
#include <QPointer>
#include <algorithm>

#include "app/commands.h"
#include "app/processing/file_chooser.h"
#include "app/processing/merge_commands.h"
#include "scope/star_pick.h"
#include "ui/calibration_dialogs.h"
#include "ui/main_window.h"
#include "ui/picture_view.h"

namespace tarvex::ui {

namespace {

// What these commands keep between runs: the chooser with its filter memory,
// the open merge box and the cross over the last picked guide star.
class CalibrationUi : public QObject {
 public:
  explicit CalibrationUi(TTarvexWindow& window) : QObject(&window), window_(window) {
    setObjectName("calibration_ui");
    chooser.confirm_delete = [this](const std::filesystem::path& path) {
      TDeleteFileDialog dialog(QString::fromStdString(path.string()), &window_);
      return dialog.exec() == QDialog::Accepted;
    };
  }

  // The chooser in `mode`; the chosen file goes to the command of the mode.
  void choose(ChooserMode mode) {
    chooser.begin(mode);
    const QString path = ask_chooser_file(chooser, &window_);
    if (path.isEmpty()) {
      chooser.cancelled();
      return;
    }
    chooser.chosen(window_.app(), path.toStdString());
  }

  void start_merge_command() {
    Tarvex& app = window_.app();
    use_mask_radius();
    if (start_merge(app) != MergeStart::Started) return;
    auto* box = new TMergeDialog(app, &window_);
    box->ended = [this] { window_.picture()->viewport()->update(); };
    merge_box = box;
    box->show();
  }

  void toggle_pick() {
    toggle_guide_star_pick(window_.app().star_pick);
    if (guide_star_pick_checked(window_.app().star_pick)) use_mask_radius();
    cross_shown = false;
    window_.picture()->viewport()->update();
  }

  // A left click on the picture: marks a merge position while merging, else
  // picks a star in the pick modes.
  bool clicked(int x, int y) {
    Tarvex& app = window_.app();
    if (app.busy) return false;
    if (app.store().MergeMode) {
      mark_merge_position(app, x, y);
      if (merge_box) merge_box->refresh();
      return true;
    }
    if (app.star_pick.mode == PickMode::None) return false;
    const bool guide = app.star_pick.mode == PickMode::GuideStar;
    const StarPickResult r =
        pick_click(app.star_pick, app.star, x, y, app.store().CurrentFrame.data(),
                   app.settings.guide_mask_radius, app.ports.messages);
    window_.picture()->move_pointer_by(r.pointer_dx, r.pointer_dy);
    if (guide && r.status == 0) {
      cross_shown = true;
      cross_x = r.point_x;
      cross_y = r.point_y;
      window_.picture()->viewport()->update();
    }
    return true;
  }

  void draw(QPainter& p) const {
    if (!cross_shown || !guide_star_pick_checked(window_.app().star_pick)) return;
    const CrossLines c = guide_star_cross(cross_x, cross_y);
    p.setPen(QPen(QColor(255, 0, 0), 0));
    p.drawLine(c.h_x0, c.h_y0, c.h_x1, c.h_y1);
    p.drawLine(c.v_x0, c.v_y0, c.v_x1, c.v_y1);
  }

  FileChooserModel chooser;
  QPointer<TMergeDialog> merge_box;
  bool cross_shown = false;
  int cross_x = 0;
  int cross_y = 0;

 private:
  // Star searches use the "Radius of Guide Star Mask" setting when it holds
  // one of the offered radii.
  void use_mask_radius() {
    Tarvex& app = window_.app();
    const int r = app.settings.guide_mask_radius;
    if (std::find(STAR_RADII.begin(), STAR_RADII.end(), r) != STAR_RADII.end()) app.star.radius = r;
  }

  TTarvexWindow& window_;
};

}  // namespace

void register_calibration_operations(TTarvexWindow& window, OperationMap& op) {
  auto* ui = new CalibrationUi(window);
  op[CM_SUBTRACT_DARK] = [ui] { ui->choose(ChooserMode::DarkSubtraction); };
  op[CM_FLAT_FIELD] = [ui] { ui->choose(ChooserMode::FlatField); };
  op[CM_SELECT_DARK] = [ui] { ui->choose(ChooserMode::SelectDarkFrame); };
  op[CM_DELETE] = [ui] { ui->choose(ChooserMode::Delete); };
  op[CM_MERGE] = [ui] { ui->start_merge_command(); };
  op[CM_PICK_GUIDE_STAR] = [ui] { ui->toggle_pick(); };
  // File > Open while merging opens the merge image (the window keeps the
  // base image first); the merge box then shows "Merge Image" marked.
  if (auto plain = op[CM_OPEN]) {
    op[CM_OPEN] = [plain, ui] {
      plain();
      if (ui->merge_box) ui->merge_box->refresh();
    };
  }
  PictureView* view = window.picture();
  view->add_left_release_handler([ui](int x, int y) { return ui->clicked(x, y); });
  view->add_overlay([ui](QPainter& p) { ui->draw(p); });
}

}  // namespace tarvex::ui
