// The result of a command that either does its work or shows one message
// that says why it did not.
#pragma once

#include <optional>

#include "platform/messages.h"

namespace tarvex {

class Reported {
 public:
  // Done: nothing was shown.
  constexpr Reported() = default;
  // `shown` was shown (nothing: done). Implicit, so that a command can
  // `return Msg::...;` or pass on a file message.
  constexpr Reported(Msg shown) : shown_(shown) {}
  constexpr Reported(std::optional<Msg> shown) : shown_(shown) {}

  constexpr bool ok() const { return !shown_; }
  // The message that was shown, nothing when done.
  constexpr std::optional<Msg> message() const { return shown_; }

  friend constexpr bool operator==(const Reported&, const Reported&) = default;

 private:
  std::optional<Msg> shown_;
};

}  // namespace tarvex
