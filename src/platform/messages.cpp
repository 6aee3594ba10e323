#include "platform/messages.h"

namespace tarvex {

namespace {

const char* table_text(unsigned code) {
  switch (code) {
#define TARVEX_MESSAGE_CASE(name, number, text) \
  case number: return text;
    TARVEX_MESSAGES(TARVEX_MESSAGE_CASE)
#undef TARVEX_MESSAGE_CASE
    default: return "";  // unused numbers: an empty box
  }
}

}  // namespace

std::string message_text(unsigned code, std::string_view caller_text) {
  if (code == MESSAGE_CALLER_TEXT) {
    return std::string(caller_text.substr(0, MESSAGE_CALLER_TEXT_MAX));
  }
  return table_text(code);
}

int show_message(Messages& messages, Msg m, std::string_view caller_text) {
  const unsigned code = message_number(m);
  return messages.message(code, message_text(code, caller_text));
}

int show_message_because(Messages& messages, Msg m, std::string_view reason) {
  const unsigned code = message_number(m);
  std::string text = message_text(code);
  if (!reason.empty()) text.append("\n\n").append(reason);
  return messages.message(code, text);
}

}  // namespace tarvex
