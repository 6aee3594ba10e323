#include "app/file_messages.h"

#include "platform/messages.h"

namespace tarvex {

unsigned message_code(RawLoad result) {
  switch (result) {
    case RawLoad::Ok: return 0;
    case RawLoad::Unreadable: return 11;
    case RawLoad::UnknownLength: return 12;
    case RawLoad::FitsUnreadable: return 13;
    case RawLoad::FitsForeign: return 14;
  }
  return 11;
}

unsigned message_code(SecondLoad result) {
  switch (result) {
    case SecondLoad::Ok: return 0;
    case SecondLoad::Unreadable: return 15;
    case SecondLoad::NotASecondFrame: return 16;
    case SecondLoad::FitsUnreadable: return 13;
    case SecondLoad::FitsForeign: return 14;
    case SecondLoad::ImageBinnedDarkNot: return 55;
    case SecondLoad::DarkBinnedImageNot: return 56;
  }
  return 15;
}

unsigned message_code(RawSave result) {
  switch (result) {
    case RawSave::Ok: return 0;
    case RawSave::NotCreated: return 17;
    case RawSave::FrameNotWritten: return 18;
    case RawSave::PlanesNotWritten: return 19;
  }
  return 17;
}

unsigned message_code(AutosaveStatus result) {
  switch (result) {
    case AutosaveStatus::Saved: return 0;
    case AutosaveStatus::FileNotWritten: return 6;
    case AutosaveStatus::SettingsNotSaved: return 21;
  }
  return 6;
}

unsigned message_code(BitmapWrite result) {
  switch (result) {
    case BitmapWrite::Ok: return 0;
    case BitmapWrite::NotCreated: return 8;
    case BitmapWrite::HeaderNotWritten: return 9;
    case BitmapWrite::PixelsNotWritten: return 10;
  }
  return 8;
}

int report(Messages& messages, unsigned code) {
  if (code != 0) show_message(messages, code);
  return static_cast<int>(code);
}

}  // namespace tarvex
