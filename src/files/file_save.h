// The result of the writers that fail in one way only: the file was written,
// or it was not and the previous file of that name stays as it was.
#pragma once

namespace tarvex {

enum class FileSave { Ok, Failed };

inline FileSave saved_if(bool ok) {
  return ok ? FileSave::Ok : FileSave::Failed;
}

}  // namespace tarvex
