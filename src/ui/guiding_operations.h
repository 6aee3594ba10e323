// The autoguider's menu commands and the autoguider they share.
#pragma once

#include <memory>

#include "app/guiding/autoguider.h"
#include "ui/guiding_window.h"
#include "ui/main_window.h"

namespace tarvex::ui {

// Registers commands 125 and 126 and returns the autoguider, for the
// sequencer's self-guided exposures.
std::shared_ptr<Autoguider> register_guiding_operations(TTarvexWindow& window,
                                                        OperationMap& operations);

}  // namespace tarvex::ui
