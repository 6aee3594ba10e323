// The long dialogs as a user meets them: every widget in its layout cell with
// its kind, object name and text, then the controls in the order Tab visits
// them. Each dialog's description is compared by digest with the one taken
// from the dialogs as first built, so rebuilding a dialog from helpers must
// leave every widget, text, name, place and the tab order as they were. A
// mismatch prints the whole description.
#include <QAbstractButton>
#include <QCryptographicHash>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QtTest>

#include "app/program_defaults.h"
#include "platform/basic_ports.h"
#include "ui/camera_dialog.h"
#include "ui/colour_dialogs.h"
#include "ui/program_defaults_dialog.h"
#include "ui/telescope_dialogs.h"
#include "window_fixture.h"

using namespace tarvex;
using namespace tarvex::ui;

namespace {

// Kind, object name and the text a user reads; a box's contents are left
// out, as they follow the settings and the data folder.
QString describe(QWidget* w) {
  QString text;
  if (auto* b = qobject_cast<QAbstractButton*>(w)) text = b->text();
  if (auto* l = qobject_cast<QLabel*>(w)) text = l->text();
  if (auto* g = qobject_cast<QGroupBox*>(w)) text = g->title();
  return QString("%1 '%2' \"%3\"").arg(w->metaObject()->className(), w->objectName(), text);
}

void describe_layout(QLayout* layout, const QString& indent, QStringList& out) {
  out << indent + layout->metaObject()->className();
  auto* grid = qobject_cast<QGridLayout*>(layout);
  for (int i = 0; i < layout->count(); ++i) {
    QLayoutItem* item = layout->itemAt(i);
    QString cell;
    if (grid != nullptr) {
      int row = 0, column = 0, rows = 0, columns = 0;
      grid->getItemPosition(i, &row, &column, &rows, &columns);
      cell = QString("[%1,%2 %3x%4] ").arg(row).arg(column).arg(rows).arg(columns);
    }
    if (QWidget* w = item->widget()) {
      out << indent + "  " + cell + describe(w);
      if (w->layout() != nullptr) describe_layout(w->layout(), indent + "    ", out);
    } else if (item->layout() != nullptr) {
      out << indent + "  " + cell;
      describe_layout(item->layout(), indent + "    ", out);
    } else {
      out << indent + "  " + cell + "stretch";
    }
  }
}

QStringList description(QDialog& d) {
  QStringList out{d.windowTitle()};
  describe_layout(d.layout(), "", out);
  out << "tab order:";
  for (QWidget* w = d.nextInFocusChain(); w != &d; w = w->nextInFocusChain())
    if ((w->focusPolicy() & Qt::TabFocus) != 0) out << "  " + describe(w);
  return out;
}

void compare_description(QDialog& d, const char* recorded_digest) {
  const QStringList lines = description(d);
  const QByteArray digest =
      QCryptographicHash::hash(lines.join('\n').toUtf8(), QCryptographicHash::Sha1).toHex();
  if (digest != recorded_digest) qWarning().noquote() << lines.join('\n');
  QCOMPARE(digest, QByteArray(recorded_digest));
}

}  // namespace

class DialogLayoutTest : public tarvex::ui::testing::WindowTest {
  Q_OBJECT

 private slots:
  void cameraDialog() {
    TVQDialog d(a());
    // With "Live Stack" beside "Continuous Mode", and "Dither Between
    // Exposures" with its pixels under "Take matching Darkframe".
    compare_description(d, "48c6656abae22732b315bf1658d002b29d226e21");
  }
  void moveTelescopeWindow() {
    TMoveTelescopeDialog d(a());
    // With "Solve & Sync" and "Centre Target".
    compare_description(d, "76323c111fc71515495fdecbff98252567554b2a");
  }
  void controlBoxMoveWindow() {
    TBoxMoveDialog d(a());
    compare_description(d, "bd0ef2ca73187db4032ba996a507def47ad06385");
  }
  void programDefaultsDialog() {
    ProgramDefaultsModel model(a().settings, a().fits, a().paths.settings_file(), messages_);
    TINIDialog d(model);
    // With "INDI Mount" and its server and device, the guide algorithm and
    // dithering.
    compare_description(d, "43f919095064fe77d3d432da6557154fda95e46e");
  }
  void synthesizeColourDialog() {
    SynthesisDialogModel model(SynthesisOptions{});
    VirtualClock clock;
    TColourDialog d(model, clock, messages_);
    compare_description(d, "db87db7123a6136a31a41f6fe5061845dbd1b607");
  }
};

QTEST_MAIN(DialogLayoutTest)
#include "dialog_layout_test.moc"
