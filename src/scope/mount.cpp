#include "scope/mount.h"

#include <algorithm>

namespace tarvex {

ScopeResult ScopeHold::press_move(Direction direction) {
  if (held()) return ScopeResult::Ignored;
  const ScopeResult r = mount_.move(direction);
  if (r == ScopeResult::Done) held_ = Held::Move;
  return r;
}

ScopeResult ScopeHold::press_focus(bool inward) {
  if (held()) return ScopeResult::Ignored;
  const ScopeResult r = mount_.focus(inward);
  if (r == ScopeResult::Done) held_ = Held::Focus;
  return r;
}

ScopeResult ScopeHold::release() {
  const Held was = held_;
  held_ = Held::Nothing;
  switch (was) {
    case Held::Move: return mount_.stop();
    case Held::Focus: return mount_.focus_stop();
    case Held::Nothing: break;
  }
  return ScopeResult::Ignored;
}

namespace {

// The longest rest of a hold between two looks at the events: short
// enough that a stop request is acted on at once.
constexpr std::uint32_t kHoldStepMs = 10;

}  // namespace

HoldEnd hold_for(Clock& clock, EventPump& pump, std::uint32_t ms) {
  const std::uint32_t end = clock.now_ms() + ms;
  for (;;) {
    pump.pump();
    if (pump.abort_requested()) return HoldEnd::Stopped;
    const auto left = static_cast<std::int32_t>(end - clock.now_ms());
    if (left <= 0) return HoldEnd::Elapsed;
    clock.sleep_ms(std::min(static_cast<std::uint32_t>(left), kHoldStepMs));
  }
}

}  // namespace tarvex
