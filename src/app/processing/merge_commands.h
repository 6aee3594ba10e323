// The merge commands: Merge > "Merge two images together", the clicks that
// mark the positions, the File > Open of the merge image and the model of the
// modeless "MERGE IMAGES" dialog. The merge runs as a small state machine:
//   idle -> (Merge command) marking the base image
//        -> (File Open) marking the merge image -> (Merge button) idle,
// or back to idle by Cancel at any point.
#pragma once

#include <filesystem>
#include <string>

#include "app/reported.h"
#include "app/tarvex.h"
#include "processing/merge.h"

namespace tarvex {

inline constexpr const char* MERGE_HELP_CAPTION = "MORVALE - Control Merging";
inline constexpr const char* MERGE_HELP_TEXT =
    "Mark the position in the displayed image by pressing the left Mouse button. Then load the "
    "image to be merged by using the File/Open Menu Option. Mark the position to be matched on, "
    "and press the MERGE button.\n\nCheck the Average box if you want an average rather than "
    "addition.\n\nUse the Centre option if merging on stars.";

// What Merge > "Merge two images together" did. When the merge starts the
// window opens the dialog; a refusal shows its message
// (MergeNeedsStandardGeometry, AlreadyMerging).
enum class MergeStart { Started, NeedsStandardGeometry, AlreadyMerging };
MergeStart start_merge(Tarvex& app);

// What a left click did while merging: stored the position, or was ignored
// (no merge in progress, or outside the frame), or found no star to centre on.
enum class MergeMark { Stored, Ignored, NoStar };

// A left click at frame position (x, y) while merging. With centre on star
// the position first moves to the star found there; when none is found the
// position is not stored, and CannotLineUpImages follows the star location
// message.
MergeMark mark_merge_position(Tarvex& app, int x, int y);

// File > Open while merging: the first time, keeps the base image in
// SecondFrame (and its colour planes in the work planes); then opens the
// merge image into CurrentFrame. A later open replaces only the merge image.
// When the file is refused, the merge stays where it was. Without a merge in
// progress this is a plain open. Returns open_image's result.
Reported open_merge_partner(Tarvex& app, const std::filesystem::path& path);

// The steps open_merge_partner takes before the file is read.
void keep_merge_base(Tarvex& app);

// The Merge button. Does nothing before the merge image was opened
// (WaitingForMergeImage); otherwise combines, ends the merge and redisplays.
enum class MergeCombine { Combined, WaitingForMergeImage };
MergeCombine merge_button(Tarvex& app);

// The dialog's Cancel: ends the merge, the images stay as they are.
void cancel_merge(Tarvex& app);

// Once the merge image is open, the merge keeps its base image in
// SecondFrame. Commands that would overwrite SecondFrame (reading a dark or
// flat frame into it, colour synthesis working in it) wait until the merge is
// done or cancelled: this says so and returns true.
inline constexpr const char* MERGE_HOLDS_BASE_TEXT =
    "Sorry, a merge is in progress and holds its base image.\n\nPress Merge or Cancel in the "
    "MERGE IMAGES box first.";
bool refused_during_merge(Tarvex& app);

// Model of the modeless "MERGE IMAGES" dialog (dialog 13); its view is ui::TMergeDialog.
class MergeDialogModel {
 public:
  static constexpr int ID_MERGE = 1;
  static constexpr int ID_CANCEL = 2;
  static constexpr int ID_HELP = 9;
  static constexpr int ID_ORIGINAL = 101;
  static constexpr int ID_MERGE_IMAGE = 102;
  static constexpr int ID_AVERAGE = 103;
  static constexpr int ID_BASE_X = 104;
  static constexpr int ID_MERGE_X = 105;
  static constexpr int ID_BASE_Y = 106;
  static constexpr int ID_MERGE_Y = 107;
  static constexpr int ID_CENTRE = 108;
  static constexpr const char* TITLE = "MERGE IMAGES";

  explicit MergeDialogModel(Tarvex& app) : app_(app) {}

  // The dialog stays open while the merge is in progress.
  bool is_open() const;
  // 101 while the base image is marked, 102 afterwards.
  int checked_radio() const;
  // The value a position field (104..107) shows; 0 for other ids.
  int field(int id) const;
  std::string field_text(int id) const { return std::to_string(field(id)); }
  bool average_checked() const;
  bool centre_checked() const;

  // A control was pressed; returns true when the dialog closes.
  bool command(int id);

 private:
  Tarvex& app_;
};

}  // namespace tarvex
