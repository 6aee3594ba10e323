// The program's messages for the results of the file readers and writers.
// The file layer says what happened; the commands say it to the user with
// these messages.
#pragma once

#include <optional>

#include "app/reported.h"
#include "files/fits.h"
#include "files/raw_file.h"
#include "image/display.h"
#include "platform/messages.h"
#include "platform/ports.h"

namespace tarvex {

// Nothing for a success, else the message that reports the failure.
std::optional<Msg> message_code(RawLoad result);     // File > Open
std::optional<Msg> message_code(SecondLoad result);  // a dark frame or flat field
std::optional<Msg> message_code(RawSave result);     // File > Save
// A file not written: CannotCreateFile ("check disk space") for a full disk
// or quota, FolderReadOnly for a folder that is read-only or not ours to
// write, FolderInTheWay for a folder that has the file's name, else
// FileNotCreated; by the system's error number.
Msg file_error_message(int error);
// An automatic save (Quick Save as FITS too): a file not written by its
// error number, SeriesFull when the series is full, SettingsSaveFailed when
// the new number could not be kept.
std::optional<Msg> message_code(const AutosaveResult& result);
std::optional<Msg> message_code(BitmapWrite result);  // the picture the window shows

// "Not enough disk space" for a FITS, TIFF or flat-field file that could not
// be written.
inline constexpr Msg IMAGE_NOT_SAVED_MESSAGE = Msg::FitsCannotCreateFile;

// Shows `message` unless there is none; returns what was shown.
Reported report(Messages& messages, std::optional<Msg> message);
// Reports an automatic save that failed with the reason below the message:
// the file and the system's words for the error, or the folder of a series
// that is full.
Reported report(Messages& messages, const AutosaveResult& result);

}  // namespace tarvex
