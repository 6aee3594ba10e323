// The state of a merge in progress (MergeMode in the frame store says
// whether one is), held by the Tarvex context.
#pragma once

namespace tarvex {

struct MergeState {
  bool marking_base = false;    // clicks mark the base image ("Original  Image")
  bool average = false;         // average instead of adding; cleared at start and after a merge
  bool centre_on_star = false;  // move each mark onto the star found there; kept between merges
  int base_x = 0;
  int base_y = 0;
  int merge_x = 0;
  int merge_y = 0;
  bool base_colour = false;  // the base image was colour when the merge image was opened
};

}  // namespace tarvex
