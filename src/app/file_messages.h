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
unsigned message_code(AutosaveStatus result);
unsigned message_code(BitmapWrite result);  // the picture the window shows

// Message 29 ("not enough disk space") for a FITS, TIFF or flat-field file
// that could not be written.
inline constexpr unsigned IMAGE_NOT_SAVED_MESSAGE = 29;

// Shows message `code` unless it is 0; returns it.
int report(Messages& messages, unsigned code);

}  // namespace tarvex
