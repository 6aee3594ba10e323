// The program's message codes for the results of the file readers and
// writers. The file layer says what happened; the commands say it to the
// user with these codes.
#pragma once

#include "files/fits.h"
#include "files/raw_file.h"
#include "image/display.h"
#include "platform/ports.h"

namespace tarvex {

// 0 for a success, else the message that reports the failure.
unsigned message_code(RawLoad result);     // File > Open
unsigned message_code(SecondLoad result);  // a dark frame or flat field
unsigned message_code(RawSave result);     // File > Save
// A file not written: 6 ("check disk space") for a full disk or quota, 60 for
// a folder that is read-only or not ours to write, 62 for a folder that has
// the file's name, else 63; by the system's error number.
unsigned file_error_message(int error);
// An automatic save (Quick Save as FITS too): a file not written by its
// error number, 61 when the series is full, 21 when the new number could
// not be kept.
unsigned message_code(const AutosaveResult& result);
unsigned message_code(BitmapWrite result);  // the picture the window shows

// Message 29 ("not enough disk space") for a FITS, TIFF or flat-field file
// that could not be written.
inline constexpr unsigned IMAGE_NOT_SAVED_MESSAGE = 29;

// Shows message `code` unless it is 0; returns it.
int report(Messages& messages, unsigned code);
// Reports an automatic save that failed with the reason below the message:
// the file and the system's words for the error, or the folder of a series
// that is full. Returns the code shown, 0 for a save that succeeded.
int report(Messages& messages, const AutosaveResult& result);

}  // namespace tarvex
