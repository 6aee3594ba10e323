#include "ui/file_filters.h"

#include <QComboBox>
#include <QFileSystemModel>
#include <QPointer>
#include <QSortFilterProxyModel>

#include "app/file_dialogs.h"

namespace tarvex::ui {

namespace {

// The raw pattern as the program writes it; the dialog lists all names for
// it and RawNames narrows them.
constexpr const char* RAW_PATTERN = "~*.*";

// While the raw entry is the dialog's chosen file type, shows folders and
// the names a raw save writes; with any other entry, everything the name
// filter lets through.
class RawNames : public QSortFilterProxyModel {
 public:
  RawNames(QComboBox* types, int raw_index, QObject* parent)
      : QSortFilterProxyModel(parent), types_(types), raw_index_(raw_index) {
    connect(types, &QComboBox::currentIndexChanged, this, [this] { invalidateFilter(); });
  }

 protected:
  bool filterAcceptsRow(int row, const QModelIndex& parent) const override {
    if (!types_ || types_->currentIndex() != raw_index_) return true;
    const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
    if (files == nullptr) return true;
    const QModelIndex index = files->index(row, 0, parent);
    return files->isDir(index) || raw_file_name(files->fileName(index).toStdString());
  }

 private:
  QPointer<QComboBox> types_;
  int raw_index_;
};

}  // namespace

void set_open_filters(QFileDialog& dialog, const char* filter, int initial) {
  QStringList filters;
  int raw_index = -1;
  for (const FilterEntry& e : filter_entries(filter)) {
    QString text = QString::fromStdString(e.description);
    if (e.pattern == RAW_PATTERN) {
      text += " (*)";
      raw_index = static_cast<int>(filters.size());
    } else {
      text += " (" + QString::fromStdString(case_blind_pattern(e.pattern)) + ")";
    }
    filters << text;
  }
  dialog.setNameFilters(filters);
  // The file-type list of the dialog's own widgets (the program never uses
  // the desktop's dialog).
  auto* types = dialog.findChild<QComboBox*>("fileTypeCombo");
  if (raw_index >= 0 && types != nullptr)
    dialog.setProxyModel(new RawNames(types, raw_index, &dialog));
  dialog.selectNameFilter(filters.value(initial));
}

}  // namespace tarvex::ui
