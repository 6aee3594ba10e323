#include "app/file_messages.h"

#include <cerrno>
#include <cstring>
#include <string>

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

unsigned file_error_message(int error) {
  switch (error) {
    case ENOSPC:
    case EDQUOT: return 6;
    case EROFS:
    case EACCES:
    case EPERM: return MESSAGE_FOLDER_READ_ONLY;
    case EISDIR: return MESSAGE_FOLDER_IN_THE_WAY;
    default: return MESSAGE_FILE_NOT_CREATED;
  }
}

unsigned message_code(const AutosaveResult& result) {
  switch (result.result) {
    case AutosaveStatus::Saved: return 0;
    case AutosaveStatus::FileNotWritten: return file_error_message(result.error);
    case AutosaveStatus::SeriesFull: return MESSAGE_SERIES_FULL;
    case AutosaveStatus::SettingsNotSaved: return 21;
  }
  return MESSAGE_FILE_NOT_CREATED;
}

int report(Messages& messages, const AutosaveResult& result) {
  const unsigned code = message_code(result);
  if (code == 0) return 0;
  std::string reason;
  if (result.result == AutosaveStatus::FileNotWritten) {
    reason = result.file.string() + ": " + std::strerror(result.error != 0 ? result.error : EIO);
  } else if (result.result == AutosaveStatus::SeriesFull) {
    reason = result.file.parent_path().string() + ": every file from number 1 to " +
             std::to_string(AUTOSAVE_NUMBER_WRAP - 1) + " exists";
  }
  show_message_because(messages, code, reason);
  return static_cast<int>(code);
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
