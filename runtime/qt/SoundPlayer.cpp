#include "runtime/qt/SoundPlayer.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace runtime::qt {

void StartSoundPlayer(const std::string& file) {
  const QString path = QString::fromStdString(file);
  if (path.isEmpty() || !QFileInfo::exists(path)) return;
  // The sound server's player first, then the plain one.
  for (const char* player : {"paplay", "aplay"}) {
    const QString program = QStandardPaths::findExecutable(QString::fromLatin1(player));
    if (program.isEmpty()) continue;
    QStringList arguments;
    if (program.endsWith(QStringLiteral("aplay")) && !program.endsWith(QStringLiteral("paplay"))) arguments << QStringLiteral("-q");
    arguments << path;
    QProcess::startDetached(program, arguments);
    return;
  }
}

}  // namespace runtime::qt
