// The help window: the program's installed HTML help pages in a text browser
// of its own, with their contents (the headings of every page) and a search
// through all of them. It works on any desktop, with or without a web
// browser; "Open in Browser" hands the page shown to the desktop's browser
// for those who prefer it.
#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>
#include <QWidget>
#include <vector>

class QLineEdit;
class QListWidget;
class QTabWidget;
class QTextBrowser;
class QTreeWidget;

namespace tarvex::ui {

// The folder of the help pages: the one installed beside the program
// (../share/tarvex/help), one next to it (help/), or the source tree's when
// running from a build folder. Empty when none holds an index.html.
QString find_help_folder();

// One section of a help page: a heading and the text under it, up to the
// next heading.
struct HelpSection {
  QUrl url;  // the page, with the heading's anchor when it has an id
  int level = 1;
  QString title;
  QString text;  // plain text, for the search
};

// The sections of every page in `folder`, index.html first, then the other
// pages in name order.
std::vector<HelpSection> read_help_sections(const QString& folder);

class THelpWindow : public QWidget {
  Q_OBJECT
 public:
  // The window over the pages in `folder` (which must hold index.html).
  explicit THelpWindow(const QString& folder, QWidget* parent = nullptr);

  // Shows the contents tab and the first page.
  void show_home();
  // Lists the sections that hold `text` (without regard to case) and shows
  // the first of them with the text selected. Returns how many were found.
  int search(const QString& text);
  void show_section(const HelpSection& section, const QString& highlight = {});

  QTextBrowser* browser() const { return browser_; }
  QTreeWidget* contents() const { return contents_; }
  QLineEdit* search_field() const { return search_field_; }
  QListWidget* results() const { return results_; }

 private:
  QString folder_;
  std::vector<HelpSection> sections_;
  std::vector<int> found_;  // indexes into sections_ of the search results
  QString last_search_;
  QTextBrowser* browser_;
  QTabWidget* tabs_;
  QTreeWidget* contents_;
  QLineEdit* search_field_;
  QListWidget* results_;
};

}  // namespace tarvex::ui
