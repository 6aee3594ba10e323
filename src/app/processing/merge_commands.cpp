#include "app/processing/merge_commands.h"

#include <algorithm>
#include <cstring>

#include "app/display_pipeline.h"
#include "app/file_commands.h"
#include "image/label_band.h"
#include "platform/messages.h"

namespace tarvex {

MergeStart start_merge(Tarvex& app) {
  FrameStore& fs = app.store();
  // Positions are taken from the picture pixel for pixel: a stretched picture
  // or the small frame would give wrong positions.
  if (app.display.fit_to_window || app.display.SmallFrameMode) {
    show_message(app.ports.messages, Msg::MergeNeedsStandardGeometry);
    return MergeStart::NeedsStandardGeometry;
  }
  if (fs.MergeMode) {
    show_message(app.ports.messages, Msg::AlreadyMerging);
    return MergeStart::AlreadyMerging;
  }
  MergeState& m = app.merge;
  m.marking_base = true;
  m.average = false;
  m.base_x = m.base_y = m.merge_x = m.merge_y = 0;
  m.base_colour = false;
  fs.MergeMode = true;
  return MergeStart::Started;
}

MergeMark mark_merge_position(Tarvex& app, int x, int y) {
  FrameStore& fs = app.store();
  if (!fs.MergeMode) return MergeMark::Ignored;
  if (x < 0 || y < 0 || x >= FRAME_WIDTH || y >= FRAME_HEIGHT) return MergeMark::Ignored;
  MergeState& m = app.merge;
  if (m.centre_on_star) {
    const FrameView view{fs.CurrentFrame.data(), FRAME_WIDTH, FRAME_HEIGHT};
    const StarSearch found = locate_star(app.star, view, x, y, app.star.radius);
    if (found != StarSearch::Found) {
      report_star_search(app.ports.messages, found, app.star.quiet);
      show_message(app.ports.messages, Msg::CannotLineUpImages);
      return MergeMark::NoStar;
    }
    x = app.star.position.x;
    y = app.star.position.y;
  }
  if (m.marking_base) {
    m.base_x = x;
    m.base_y = y;
  } else {
    m.merge_x = x;
    m.merge_y = y;
  }
  return MergeMark::Stored;
}

void keep_merge_base(Tarvex& app) {
  FrameStore& fs = app.store();
  MergeState& m = app.merge;
  m.marking_base = false;
  m.base_colour = fs.IsColour;
  if (fs.IsColour) {
    save_colour_planes(fs);
    // The merge averages the base image's colour planes, kept in the work
    // planes, with the merge image's planes.
    fs.RedWork = fs.RedPlane;
    fs.GreenWork = fs.GreenPlane;
    fs.BlueWork = fs.BluePlane;
  }
  fs.SecondFrame = fs.CurrentFrame;
}

Reported open_merge_partner(Tarvex& app, const std::filesystem::path& path) {
  // The base image is kept once. Opening another merge image later replaces
  // only the merge image; the base image stays in SecondFrame.
  if (!app.store().MergeMode) return open_image(app, path);
  const bool keeping_base = app.merge.marking_base;
  if (keeping_base) keep_merge_base(app);
  const Reported result = open_image(app, path);
  // A refused file leaves the base image in place: the user may open another.
  if (!result.ok() && keeping_base) app.merge.marking_base = true;
  return result;
}

bool refused_during_merge(Tarvex& app) {
  if (!app.store().MergeMode || app.merge.marking_base) return false;
  show_message(app.ports.messages, Msg::CallerText, MERGE_HOLDS_BASE_TEXT);
  return true;
}

MergeCombine merge_button(Tarvex& app) {
  FrameStore& fs = app.store();
  MergeState& m = app.merge;
  if (!fs.MergeMode || m.marking_base) return MergeCombine::WaitingForMergeImage;
  fs.MergeMode = false;
  const int dx = m.merge_x - m.base_x;
  const int dy = m.merge_y - m.base_y;
  const int first_row =
      (has_label_band(fs.SecondFrame) || has_label_band(fs.CurrentFrame)) ? LABEL_BAND_ROWS : 0;
  const bool colour = fs.IsColour && m.base_colour;
  combine_merge(fs, dx, dy, first_row, m.average, colour);
  if (colour) {
    fs.RedPlane = fs.RedWork;
    fs.GreenPlane = fs.GreenWork;
    fs.BluePlane = fs.BlueWork;
  } else if (fs.IsColour) {
    // A colour image merged onto a monochrome base: its planes do not show
    // the merged image.
    fs.IsColour = false;
  }
  std::memcpy(fs.CurrentFrame.data(), fs.SecondFrame.data(), FRAME_SAMPLES * sizeof(std::uint16_t));
  m.average = false;
  refresh_display(app);
  return MergeCombine::Combined;
}

void cancel_merge(Tarvex& app) {
  app.store().MergeMode = false;
  app.merge.average = false;
}

bool MergeDialogModel::is_open() const {
  return app_.store().MergeMode;
}

int MergeDialogModel::checked_radio() const {
  return app_.merge.marking_base ? ID_ORIGINAL : ID_MERGE_IMAGE;
}

int MergeDialogModel::field(int id) const {
  const MergeState& m = app_.merge;
  switch (id) {
    case ID_BASE_X: return m.base_x;
    case ID_BASE_Y: return m.base_y;
    case ID_MERGE_X: return m.merge_x;
    case ID_MERGE_Y: return m.merge_y;
    default: return 0;
  }
}

bool MergeDialogModel::average_checked() const {
  return app_.merge.average;
}
bool MergeDialogModel::centre_checked() const {
  return app_.merge.centre_on_star;
}

bool MergeDialogModel::command(int id) {
  switch (id) {
    case ID_AVERAGE: app_.merge.average = !app_.merge.average; return false;
    case ID_CENTRE: app_.merge.centre_on_star = !app_.merge.centre_on_star; return false;
    case ID_MERGE: return merge_button(app_) == MergeCombine::Combined;
    case ID_CANCEL: cancel_merge(app_); return true;
    case ID_HELP:
      app_.ports.messages.box(MERGE_HELP_CAPTION, MERGE_HELP_TEXT, BoxIcon::None);
      return false;
    default: return false;
  }
}

}  // namespace tarvex
