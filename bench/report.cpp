// The floor of the report benchmark: the same lines as the Web Page List
// (a header on every page, one address a line, the total) written to a PDF
// file with one QPainter, reading the addresses from standard input. The
// benchmark script times it against marlinden-cli print --pdf.
//
// Usage: report OUTPUT.pdf < addresses
#include <QGuiApplication>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <iostream>
#include <string>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: report OUTPUT.pdf < addresses\n";
    return 2;
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  int qtArgc = 1;
  QGuiApplication app(qtArgc, argv);
  QPdfWriter writer(QString::fromLocal8Bit(argv[1]));
  writer.setPageSize(QPageSize(QPageSize::Letter));
  writer.setResolution(1000);  // one unit per thousandth of an inch, like the report
  QPainter painter(&writer);
  const QFont title("Arial", 14, QFont::Bold);
  const QFont text("Arial", 10);
  int page = 0;
  int y = 0;
  long count = 0;
  auto header = [&] {
    if (page > 0) writer.newPage();
    ++page;
    painter.setFont(title);
    painter.drawText(QRect(500, 500, 7500, 320), Qt::AlignCenter, QStringLiteral("Web Page List"));
    painter.setFont(text);
    painter.drawText(QRect(500, 900, 4500, 200), Qt::AlignLeft, QStringLiteral("Run: 12/7/26  2:05 PM"));
    painter.drawText(QRect(6000, 900, 2000, 200), Qt::AlignRight, QStringLiteral("Page: %1").arg(page));
    painter.drawText(QRect(500, 1200, 7500, 200), Qt::AlignLeft, QStringLiteral("Web Address"));
    painter.drawLine(500, 1420, 8000, 1420);
    y = 1500;
  };
  std::string line;
  header();
  while (std::getline(std::cin, line)) {
    if (y + 200 > 10500) header();
    painter.save();
    painter.setClipRect(QRect(500, y, 7500, 200));
    painter.drawText(QRect(500, y, 7500, 200), Qt::AlignLeft | Qt::AlignVCenter, QString::fromStdString(line));
    painter.restore();
    y += 200;
    ++count;
  }
  if (y + 450 > 10500) header();
  painter.drawText(QRect(500, y + 200, 4500, 200), Qt::AlignLeft, QStringLiteral("Total Number Of Web Pages Listed"));
  painter.drawText(QRect(5100, y + 200, 2900, 200), Qt::AlignRight, QString::number(count));
  return painter.end() ? 0 : 1;
}
