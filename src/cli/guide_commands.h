// tarvex-cli's autoguider commands:
//
//   tarvex-cli [--simulator [--virtual-time]] train [--star X,Y]
//   tarvex-cli [--simulator [--virtual-time]] guide --minutes M [--star X,Y]
//   tarvex-cli ... capture --self-guide [--guide-range R --guide-value N] [--star X,Y]
//
// train prints the measured rates and backlash; guide prints every
// correction and the RMS of both axes at the end. Without --star the
// brightest star of a window left of the frame's middle is taken.
#pragma once

#include <ostream>

#include "app/guiding/autoguider.h"
#include "cli/subcommands.h"

namespace tarvex::cli {

int train_command(const Options& options, std::ostream& out, std::ostream& err);
int guide_command(const Options& options, std::ostream& out, std::ostream& err);

// The autoguider of a self-guided capture, which also prints one line per
// guided exposure: its corrections, their RMS and whether the star was held,
// lost or guiding was stopped.
class GuidingReport : public SelfGuide {
 public:
  GuidingReport(Autoguider& guider, std::ostream& out);
  bool suspend_menu_guiding() override { return guider_.suspend_menu_guiding(); }
  void resume_menu_guiding() override { guider_.resume_menu_guiding(); }
  bool end_guiding_in_progress() override;
  void restore_guide_star() override { guider_.restore_guide_star(); }
  void show_info(const std::string& text) override { guider_.show_info(text); }
  void close_info() override;
  bool check_before_exposure(GuidedExposure& g) override;
  void switch_guiding_frame(GuidedExposure& g) override;
  void allow_large_correction() override { guider_.allow_large_correction(); }
  void guide_step(GuidedExposure& g) override;
  void rearm(GuidedExposure& g) override { guider_.rearm(g); }
  void stop() override { guider_.stop(); }

 private:
  void note_lost(const GuidedExposure& g);
  Autoguider& guider_;
  std::ostream& out_;
  GuideTotals at_start_;
  bool started_ = false;  // an exposure is being guided
  bool lost_ = false;
  bool stopped_ = false;
};

// Prints a line per guiding event (dither, settled, star lost and found),
// timed from `start` on the program's clock.
void print_guide_events(Autoguider& guider, std::ostream& out, std::uint32_t start);

// Gets the context ready for guiding: the camera found, the link open (an
// LX200 under --simulator unless the settings name a link), and the guide
// star picked (--star, or the brightest one found). False after printing why.
bool prepare_guiding(Tarvex& app, const Options& options, Autoguider& guider, std::ostream& err);

}  // namespace tarvex::cli
