// The Colour commands of the main window: Synthesize Colour Image, Set Colour
// Balance, Adjust Chromatism, Apply Anti-Alias Filter, Colour Overload
// Smoothing, Low Pass Colour Filter and Balance Colour Histogram. (Undo Last
// Colour Filter is registered with the Edit commands.)
#include "app/colour/colour_dialog_models.h"
#include "app/colour/correction_commands.h"
#include "app/colour/synthesis_commands.h"
#include "app/commands.h"
#include "ui/colour_dialogs.h"
#include "ui/main_window.h"

namespace tarvex::ui {

void register_colour_operations(TTarvexWindow& window, OperationMap& operations) {
  TTarvexWindow* w = &window;
  operations[CM_SYNTHESIZE_COLOUR] = [w] {
    Tarvex& a = w->app();
    synthesize_colour_command(a, [w, &a](Settings& settings) {
      return run_synthesis_dialog(settings, [w, &a](SynthesisDialogModel& model) {
        TColourDialog dialog(model, a.ports.clock, a.ports.messages, w);
        return dialog.exec() == QDialog::Accepted;
      });
    });
  };
  operations[CM_COLOUR_BALANCE] = [w] {
    Tarvex& a = w->app();
    // A frame that is not colour converted is refused before the dialog
    // opens: the command, given no change, only reports its message.
    if (!a.store().IsColour) {
      colour_balance_command(a, ColourBalance{}, a.settings.saturation_factor);
      return;
    }
    BalanceDialogModel model;
    model.open(a.store(), a.settings.saturation_factor);
    TBalanceDialog dialog(model, a.ports.messages, w);
    if (dialog.exec() == QDialog::Accepted) model.apply(a);
  };
  operations[CM_CHROMATISM] = [w] {
    Tarvex& a = w->app();
    if (!a.store().IsColour) {
      chromatism_command(a, ChromaticShifts{});  // reports the refusal, changes nothing
      return;
    }
    ChromaticDialogModel model;
    TChromaticDialog dialog(model, a.ports.messages, w);
    model.finish(a, dialog.exec() == QDialog::Accepted);
  };
  operations[CM_ANTI_ALIAS] = [w] { anti_alias_command(w->app()); };
  operations[CM_COLOUR_OVERLOAD] = [w] { overload_smoothing_command(w->app()); };
  operations[CM_LOW_PASS_COLOUR] = [w] { low_pass_colour_command(w->app()); };
  operations[CM_BALANCE_COLOUR_HISTOGRAM] = [w] { balance_colour_histogram_command(w->app()); };
}

}  // namespace tarvex::ui
