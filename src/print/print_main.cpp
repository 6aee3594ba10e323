// tarvex-print: prints the display bitmap the main window last wrote.
//
//   tarvex-print PRINT <bitmap>           Qt's print dialog, then the picture
//                                          scaled to the page
//   tarvex-print SETUP                     Qt's printer set-up dialog
//   tarvex-print --pdf <out.pdf> PRINT <bitmap>
//                                          no dialog: print to a PDF file
#include <QApplication>
#include <QImage>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <cstdio>

namespace {

int usage() {
  std::fprintf(stderr,
               "usage: tarvex-print [--pdf OUT.pdf] PRINT BITMAP\n"
               "       tarvex-print SETUP\n");
  return 2;
}

// The picture centred on the page, as large as fits with its shape kept.
bool print_image(QPrinter& printer, const QImage& image) {
  QPainter p;
  if (!p.begin(&printer)) return false;
  const QRect page = p.viewport();
  QSize size = image.size();
  size.scale(page.size(), Qt::KeepAspectRatio);
  const QRect target((page.width() - size.width()) / 2, (page.height() - size.height()) / 2,
                     size.width(), size.height());
  p.drawImage(target, image);
  return p.end();
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  app.setApplicationName("Tarvex");
  const QStringList args = app.arguments().mid(1);
  QString pdf;
  int i = 0;
  if (args.size() >= 2 && args[0] == "--pdf") {
    pdf = args[1];
    i = 2;
  }
  if (i >= args.size()) return usage();
  const QString verb = args[i].toUpper();
  QPrinter printer(QPrinter::HighResolution);
  if (verb == "SETUP" && pdf.isEmpty()) {
    QPageSetupDialog dialog(&printer);
    dialog.exec();
    return 0;
  }
  if (verb != "PRINT" || i + 1 >= args.size()) return usage();
  const QImage image(args[i + 1]);
  if (image.isNull()) {
    const QString text = "Cannot open bitmap file\n" + args[i + 1];
    if (!pdf.isEmpty()) {
      std::fprintf(stderr, "tarvex-print: %s\n", qPrintable(text));
    } else {
      QMessageBox::warning(nullptr, "Tarvex", text);
    }
    return 1;
  }
  if (!pdf.isEmpty()) {
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
  } else {
    QPrintDialog dialog(&printer);
    dialog.setWindowTitle("Print");
    if (dialog.exec() != QDialog::Accepted) return 0;
  }
  if (!print_image(printer, image)) {
    std::fprintf(stderr, "tarvex-print: printing failed\n");
    return 1;
  }
  return 0;
}
