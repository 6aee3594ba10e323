// Steps of the Merge menu (dark frame, flat field, merge) and of star
// location.
#include <cstdio>

#include "app/processing/calibration_commands.h"
#include "app/processing/merge_commands.h"
#include "cli/steps.h"
#include "processing/star_location.h"

namespace tarvex::cli {

namespace {

StepResult usage(const std::string& error) {
  return {STEP_USAGE, error};
}
StepResult done(int result) {
  return {result == 0 ? STEP_OK : STEP_FAILED, {}};
}

StepResult file_step(Tarvex& app, const StepKeys& keys,
                     Reported (*command)(Tarvex&, const std::filesystem::path&)) {
  std::string error;
  if (!only_keys(keys, {"file"}, error)) return usage(error);
  const auto it = keys.find("file");
  if (it == keys.end() || it->second.empty()) return usage("missing key 'file'");
  if (checking_steps()) return StepResult{};
  return done(command(app, it->second).ok() ? 0 : 1);
}

StepResult merge_step(Tarvex& app, const StepKeys& keys) {
  std::string e;
  if (!only_keys(keys, {"file", "base-x", "base-y", "merge-x", "merge-y", "average", "centre"}, e))
    return usage(e);
  const auto file = keys.find("file");
  if (file == keys.end() || file->second.empty()) return usage("missing key 'file'");
  const auto bx = int_key(keys, "base-x", 0, FRAME_WIDTH - 1, 0, e);
  const auto by = int_key(keys, "base-y", 0, FRAME_HEIGHT - 1, 0, e);
  const auto mx = int_key(keys, "merge-x", 0, FRAME_WIDTH - 1, 0, e);
  const auto my = int_key(keys, "merge-y", 0, FRAME_HEIGHT - 1, 0, e);
  const auto average = bool_key(keys, "average", false, e);
  const auto centre = bool_key(keys, "centre", false, e);
  if (!bx || !by || !mx || !my || !average || !centre) return usage(e);
  if (checking_steps()) return StepResult{};

  // The same flow as in the window: start, mark the base image, open the
  // merge image, mark it, choose the options and press Merge.
  if (start_merge(app) != MergeStart::Started) return done(1);
  app.merge.centre_on_star = *centre;
  MergeDialogModel dialog(app);
  if (mark_merge_position(app, static_cast<int>(*bx), static_cast<int>(*by)) != MergeMark::Stored ||
      !open_merge_partner(app, file->second).ok() ||
      mark_merge_position(app, static_cast<int>(*mx), static_cast<int>(*my)) != MergeMark::Stored) {
    dialog.command(MergeDialogModel::ID_CANCEL);
    return done(1);
  }
  if (*average) dialog.command(MergeDialogModel::ID_AVERAGE);
  return done(dialog.command(MergeDialogModel::ID_MERGE) ? 0 : 1);
}

StepResult locate_star_step(Tarvex& app, const StepKeys& keys) {
  std::string e;
  if (!only_keys(keys, {"x", "y", "radius"}, e)) return usage(e);
  const auto x = int_key(keys, "x", 0, FRAME_WIDTH - 1, std::nullopt, e);
  const auto y = int_key(keys, "y", 0, FRAME_HEIGHT - 1, std::nullopt, e);
  const auto r = int_key(keys, "radius", 1, STAR_MAX_RADIUS, app.star.radius, e);
  if (!x || !y || !r) return usage(e);
  if (checking_steps()) return StepResult{};
  // A single search as the window makes it: full frame, whole pixels unless
  // the settings ask otherwise.
  app.star.ignore_drift = app.settings.ignore_drift;
  const FrameView view{app.store().CurrentFrame.data(), FRAME_WIDTH, FRAME_HEIGHT};
  const StarSearch found =
      locate_star(app.star, view, static_cast<int>(*x), static_cast<int>(*y), static_cast<int>(*r));
  if (found != StarSearch::Found) {
    report_star_search(app.ports.messages, found, app.star.quiet);
    return done(1);
  }
  const StarPosition& p = app.star.position;
  std::printf("star at x %d.%d y %d.%d\n", p.x, p.x_tenths, p.y, p.y_tenths);
  std::fflush(stdout);
  return done(0);
}

}  // namespace

void register_calibration_steps(StepRegistry& registry) {
  registry.add("subtract-dark", "file=F: Merge > Subtract Images (Dark Frame) with the file F",
               [](Tarvex& app, const StepKeys& keys) {
                 return file_step(app, keys, subtract_dark_command);
               });
  registry.add(
      "flat-field", "file=F: Merge > Apply Flat Field with the flat field F",
      [](Tarvex& app, const StepKeys& keys) { return file_step(app, keys, flat_field_command); });
  registry.add("merge",
               "file=F,base-x=..,base-y=..,merge-x=..,merge-y=..[,average=y|n][,centre=y|n]: "
               "merge F onto the image, the two marked positions coinciding",
               merge_step);
  registry.add("locate-star",
               "x=X,y=Y[,radius=R]: find the star near (X, Y) and print its position",
               locate_star_step);
}

}  // namespace tarvex::cli
