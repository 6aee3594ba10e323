#include "scope/mount.h"

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

}  // namespace tarvex
