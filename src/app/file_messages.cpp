#include "app/file_messages.h"

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/messages.h"

namespace tarvex {

std::optional<Msg> message_code(RawLoad result) {
  switch (result) {
    case RawLoad::Ok: return std::nullopt;
    case RawLoad::Unreadable: return Msg::KrFileOpenFailed;
    case RawLoad::UnknownLength: return Msg::NotAValidKrFile;
    case RawLoad::FitsUnreadable: return Msg::FitsLoadFailed;
    case RawLoad::FitsForeign: return Msg::FitsNotOurs;
  }
  return Msg::KrFileOpenFailed;
}

std::optional<Msg> message_code(SecondLoad result) {
  switch (result) {
    case SecondLoad::Ok: return std::nullopt;
    case SecondLoad::Unreadable: return Msg::SecondFrameUnreadable;
    case SecondLoad::NotASecondFrame: return Msg::NotAKrFile;
    case SecondLoad::FitsUnreadable: return Msg::FitsLoadFailed;
    case SecondLoad::FitsForeign: return Msg::FitsNotOurs;
    case SecondLoad::ImageBinnedDarkNot: return Msg::DarkNotBinned;
    case SecondLoad::DarkBinnedImageNot: return Msg::DarkBinned;
  }
  return Msg::SecondFrameUnreadable;
}

std::optional<Msg> message_code(RawSave result) {
  switch (result) {
    case RawSave::Ok: return std::nullopt;
    case RawSave::NotCreated: return Msg::KrFileSaveFailed;
    case RawSave::FrameNotWritten: return Msg::KrFrameNotWritten;
    case RawSave::PlanesNotWritten: return Msg::KrPlanesNotWritten;
  }
  return Msg::KrFileSaveFailed;
}

Msg file_error_message(int error) {
  switch (error) {
    case ENOSPC:
    case EDQUOT: return Msg::CannotCreateFile;
    case EROFS:
    case EACCES:
    case EPERM: return Msg::FolderReadOnly;
    case EISDIR: return Msg::FolderInTheWay;
    default: return Msg::FileNotCreated;
  }
}

std::optional<Msg> message_code(const AutosaveResult& result) {
  switch (result.result) {
    case AutosaveStatus::Saved: return std::nullopt;
    case AutosaveStatus::FileNotWritten: return file_error_message(result.error);
    case AutosaveStatus::SeriesFull: return Msg::SeriesFull;
    case AutosaveStatus::SettingsNotSaved: return Msg::SettingsSaveFailed;
  }
  return Msg::FileNotCreated;
}

Reported report(Messages& messages, const AutosaveResult& result) {
  const std::optional<Msg> message = message_code(result);
  if (!message) return {};
  std::string reason;
  if (result.result == AutosaveStatus::FileNotWritten) {
    reason = result.file.string() + ": " + std::strerror(result.error != 0 ? result.error : EIO);
  } else if (result.result == AutosaveStatus::SeriesFull) {
    reason = result.file.parent_path().string() + ": every file from number 1 to " +
             std::to_string(AUTOSAVE_NUMBER_WRAP - 1) + " exists";
  }
  show_message_because(messages, *message, reason);
  return *message;
}

std::optional<Msg> message_code(BitmapWrite result) {
  switch (result) {
    case BitmapWrite::Ok: return std::nullopt;
    case BitmapWrite::NotCreated: return Msg::TempBitmapFailed;
    case BitmapWrite::HeaderNotWritten: return Msg::TempBitmapHeaderFailed;
    case BitmapWrite::PixelsNotWritten: return Msg::TempBitmapFileFailed;
  }
  return Msg::TempBitmapFailed;
}

Reported report(Messages& messages, std::optional<Msg> message) {
  if (message) show_message(messages, *message);
  return message;
}

}  // namespace tarvex
