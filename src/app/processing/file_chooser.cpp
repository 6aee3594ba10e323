#include "app/processing/file_chooser.h"

#include <cctype>
#include <system_error>

#include "app/processing/calibration_commands.h"
#include "platform/messages.h"

namespace tarvex {

ChooserFilter filter_for_chosen_file(const std::filesystem::path& path) {
  std::string ext = path.extension().string();
  for (char& ch : ext) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
  if (ext == ".FIT") return ChooserFilter::Fits;
  if (path.filename().string().find('~') != std::string::npos) return ChooserFilter::Raw;
  return ChooserFilter::All;
}

void FileChooserModel::begin(ChooserMode mode) {
  mode_ = mode;
  if (mode == ChooserMode::DarkSubtraction || mode == ChooserMode::FlatField)
    calibration_mode_ = mode;
}

void FileChooserModel::cancelled() {
  mode_ = calibration_mode_;
}

Reported FileChooserModel::chosen(Tarvex& app, const std::filesystem::path& path) {
  filter_ = filter_for_chosen_file(path);
  const ChooserMode mode = mode_;
  mode_ = calibration_mode_;
  switch (mode) {
    case ChooserMode::SelectDarkFrame: app.dark_frame_path = path; return {};
    case ChooserMode::Delete: {
      const bool confirmed =
          confirm_delete ? confirm_delete(path)
                         : app.ports.messages.ask_yes_no(
                               DELETE_CAPTION, std::string(DELETE_PROMPT) + "\n\n" + path.string());
      if (!confirmed) return {};
      std::error_code ec;
      if (!std::filesystem::remove(path, ec)) {
        show_message(app.ports.messages, Msg::CallerText,
                     "Unable to delete the file\n\n" + path.string());
        return Msg::CallerText;
      }
      return {};
    }
    case ChooserMode::DarkSubtraction: return subtract_dark_command(app, path);
    case ChooserMode::FlatField: return flat_field_command(app, path);
  }
  return {};
}

}  // namespace tarvex
