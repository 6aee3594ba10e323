#include "app/guiding/guide_graph.h"

#include <cstdio>

namespace tarvex {

std::string guide_event_text(const GuideEvent& e) {
  char text[160];
  switch (e.kind) {
    case GuideEventKind::Dither:
      std::snprintf(text, sizeof text, "dither RA %+.2f px Dec %+.2f px", e.dx, e.dy);
      break;
    case GuideEventKind::Settled:
      std::snprintf(text, sizeof text, "settled after %d frames (%.1f s)", e.frames, e.seconds);
      break;
    case GuideEventKind::SettleTimedOut:
      std::snprintf(text, sizeof text,
                    "settle timed out after %.0f s (%d frames): the next exposure starts anyway",
                    e.seconds, e.frames);
      break;
    case GuideEventKind::StarLost: std::snprintf(text, sizeof text, "star lost"); break;
    case GuideEventKind::StarFound:
      std::snprintf(text, sizeof text, "star found again after %.1f s", e.seconds);
      break;
  }
  return text;
}

}  // namespace tarvex
