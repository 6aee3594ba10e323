// The composition root of indi_tarvex_ccd: the one device of the driver.
// libindidriver supplies main() and hands every client request to the
// devices made here.
#include <memory>

#include "indi/tarvex_ccd.h"

namespace {
const std::unique_ptr<tarvex::indi::TarvexCcd> tarvex_ccd =
    std::make_unique<tarvex::indi::TarvexCcd>();
}
