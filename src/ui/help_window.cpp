#include "ui/help_window.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QSplitter>
#include <QTabWidget>
#include <QTextBrowser>
#include <QTextDocumentFragment>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace tarvex::ui {

namespace {

constexpr const char* kIndex = "index.html";

QString plain(const QString& html) {
  return QTextDocumentFragment::fromHtml(html).toPlainText().simplified();
}

}  // namespace

QString find_help_folder() {
  QStringList candidates;
  const QDir exe(QCoreApplication::applicationDirPath());
  candidates << exe.filePath("../share/tarvex/help") << exe.filePath("help");
#ifdef TARVEX_HELP_DIR
  candidates << QString(TARVEX_HELP_DIR);
#endif
  for (const QString& c : candidates) {
    if (QFileInfo::exists(c + "/" + kIndex)) return QFileInfo(c).absoluteFilePath();
  }
  return {};
}

std::vector<HelpSection> read_help_sections(const QString& folder) {
  const QDir dir(folder);
  QStringList pages = dir.entryList({"*.html", "*.htm"}, QDir::Files, QDir::Name);
  pages.removeAll(kIndex);
  pages.prepend(kIndex);
  static const QRegularExpression heading(
      R"(<h([1-3])([^>]*)>(.*?)</h\1\s*>)",
      QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
  static const QRegularExpression id_attribute(R"(\bid\s*=\s*["']([^"']+)["'])",
                                               QRegularExpression::CaseInsensitiveOption);
  std::vector<HelpSection> sections;
  for (const QString& page : pages) {
    QFile f(dir.filePath(page));
    if (!f.open(QIODevice::ReadOnly)) continue;
    const QString html = QString::fromUtf8(f.readAll());
    const QUrl page_url = QUrl::fromLocalFile(dir.absoluteFilePath(page));
    auto it = heading.globalMatch(html);
    std::vector<QRegularExpressionMatch> matches;
    while (it.hasNext()) matches.push_back(it.next());
    for (std::size_t i = 0; i < matches.size(); ++i) {
      const auto& m = matches[i];
      HelpSection s;
      s.level = m.captured(1).toInt();
      s.title = plain(m.captured(3));
      s.url = page_url;
      const auto id = id_attribute.match(m.captured(2));
      if (id.hasMatch()) s.url.setFragment(id.captured(1));
      const qsizetype from = m.capturedEnd();
      const qsizetype to = i + 1 < matches.size() ? matches[i + 1].capturedStart() : html.size();
      s.text = plain(html.mid(from, to - from));
      sections.push_back(std::move(s));
    }
  }
  return sections;
}

THelpWindow::THelpWindow(const QString& folder, QWidget* parent)
    : QWidget(parent, Qt::Window), folder_(folder) {
  setWindowTitle("Tarvex Help");
  setObjectName("help");
  resize(900, 640);
  sections_ = read_help_sections(folder);

  auto* layout = new QVBoxLayout(this);
  auto* buttons = new QHBoxLayout;
  auto* back = new QPushButton("Back", this);
  auto* forward = new QPushButton("Forward", this);
  auto* home = new QPushButton("Contents", this);
  auto* external = new QPushButton("Open in Browser", this);
  buttons->addWidget(back);
  buttons->addWidget(forward);
  buttons->addWidget(home);
  buttons->addStretch();
  buttons->addWidget(external);
  layout->addLayout(buttons);

  auto* splitter = new QSplitter(this);
  auto* side = new QWidget(splitter);
  auto* side_layout = new QVBoxLayout(side);
  side_layout->setContentsMargins(0, 0, 0, 0);
  search_field_ = new QLineEdit(side);
  search_field_->setPlaceholderText("Search the help");
  search_field_->setClearButtonEnabled(true);
  side_layout->addWidget(search_field_);
  tabs_ = new QTabWidget(side);
  contents_ = new QTreeWidget(tabs_);
  contents_->setHeaderHidden(true);
  results_ = new QListWidget(tabs_);
  tabs_->addTab(contents_, "Contents");
  tabs_->addTab(results_, "Search");
  side_layout->addWidget(tabs_);
  browser_ = new QTextBrowser(splitter);
  browser_->setOpenExternalLinks(true);
  browser_->setSearchPaths({folder});
  splitter->addWidget(side);
  splitter->addWidget(browser_);
  splitter->setStretchFactor(1, 3);
  layout->addWidget(splitter);

  // The contents: level 1 headings at the top, level 2 and 3 under them.
  QTreeWidgetItem* parents[4] = {nullptr, nullptr, nullptr, nullptr};
  for (std::size_t i = 0; i < sections_.size(); ++i) {
    const HelpSection& s = sections_[i];
    QTreeWidgetItem* above = nullptr;
    for (int l = s.level - 1; l >= 1 && above == nullptr; --l) above = parents[l];
    auto* item = above ? new QTreeWidgetItem(above) : new QTreeWidgetItem(contents_);
    item->setText(0, s.title);
    item->setData(0, Qt::UserRole, static_cast<int>(i));
    parents[s.level] = item;
    for (int l = s.level + 1; l <= 3; ++l) parents[l] = nullptr;
  }
  contents_->expandAll();

  connect(contents_, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) {
    show_section(sections_[static_cast<std::size_t>(item->data(0, Qt::UserRole).toInt())]);
  });
  connect(contents_, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) {
    show_section(sections_[static_cast<std::size_t>(item->data(0, Qt::UserRole).toInt())]);
  });
  connect(results_, &QListWidget::currentRowChanged, this, [this](int row) {
    if (row >= 0 && row < static_cast<int>(found_.size()))
      show_section(sections_[static_cast<std::size_t>(found_[static_cast<std::size_t>(row)])],
                   last_search_);
  });
  connect(search_field_, &QLineEdit::returnPressed, this,
          [this] { search(search_field_->text()); });
  connect(back, &QPushButton::clicked, browser_, &QTextBrowser::backward);
  connect(forward, &QPushButton::clicked, browser_, &QTextBrowser::forward);
  connect(browser_, &QTextBrowser::backwardAvailable, back, &QPushButton::setEnabled);
  connect(browser_, &QTextBrowser::forwardAvailable, forward, &QPushButton::setEnabled);
  connect(home, &QPushButton::clicked, this, &THelpWindow::show_home);
  connect(external, &QPushButton::clicked, this,
          [this] { QDesktopServices::openUrl(browser_->source()); });
  back->setEnabled(false);
  forward->setEnabled(false);
  show_home();
}

void THelpWindow::show_home() {
  tabs_->setCurrentWidget(contents_);
  browser_->setSource(QUrl::fromLocalFile(QDir(folder_).absoluteFilePath(kIndex)));
}

void THelpWindow::show_section(const HelpSection& section, const QString& highlight) {
  QUrl page = section.url;
  page.setFragment({});
  if (browser_->source().adjusted(QUrl::RemoveFragment) != page) browser_->setSource(page);
  if (section.url.hasFragment()) {
    browser_->scrollToAnchor(section.url.fragment());
  } else {
    // A heading without an id: found by its text.
    browser_->moveCursor(QTextCursor::Start);
    browser_->find(section.title);
  }
  if (!highlight.isEmpty()) {
    // Select the first match from the section's heading on.
    QTextCursor from = browser_->document()->find(section.title);
    if (!from.isNull()) browser_->setTextCursor(from);
    if (!browser_->find(highlight)) {
      browser_->moveCursor(QTextCursor::Start);
      browser_->find(highlight);
    }
  }
}

int THelpWindow::search(const QString& text) {
  last_search_ = text.trimmed();
  found_.clear();
  results_->clear();
  if (last_search_.isEmpty()) return 0;
  for (std::size_t i = 0; i < sections_.size(); ++i) {
    const HelpSection& s = sections_[i];
    if (s.title.contains(last_search_, Qt::CaseInsensitive) ||
        s.text.contains(last_search_, Qt::CaseInsensitive)) {
      found_.push_back(static_cast<int>(i));
    }
  }
  tabs_->setCurrentWidget(results_);
  if (found_.empty()) {
    results_->addItem(QString("Nothing found for \"%1\"").arg(last_search_));
    results_->item(0)->setFlags(Qt::NoItemFlags);
    return 0;
  }
  {
    const QSignalBlocker quiet(results_);
    for (int i : found_) results_->addItem(sections_[static_cast<std::size_t>(i)].title);
    results_->setCurrentRow(0);
  }
  show_section(sections_[static_cast<std::size_t>(found_.front())], last_search_);
  return static_cast<int>(found_.size());
}

}  // namespace tarvex::ui
