#include "qt/Conversions.h"

#include <QFileInfo>
#include <cctype>

namespace runtime::qt {

std::optional<QColor> ToQColor(ui::Colour colour) {
  if (colour == ui::kNoColour || colour < 0) return std::nullopt;
  const auto c = static_cast<std::uint32_t>(colour);
  return QColor(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF), static_cast<int>((c >> 16) & 0xFF));
}

Qt::CursorShape ToCursorShape(ui::Cursor cursor) {
  switch (cursor) {
    case ui::Cursor::Busy:
      return Qt::WaitCursor;
    case ui::Cursor::Hand:
      return Qt::PointingHandCursor;
    case ui::Cursor::IBeam:
      return Qt::IBeamCursor;
    case ui::Cursor::Cross:
      return Qt::CrossCursor;
    case ui::Cursor::SizeAll:
      return Qt::SizeAllCursor;
    case ui::Cursor::Normal:
      break;
  }
  return Qt::ArrowCursor;
}

ui::KeyCode ToKeyCode(const QKeyEvent& event) {
  using ui::KeyCode;
  const int key = event.key();
  KeyCode base = KeyCode::None;
  KeyCode modifiers = KeyCode::None;
  if (key >= Qt::Key_A && key <= Qt::Key_Z) {
    base = ui::Letter(static_cast<char>('A' + (key - Qt::Key_A)));
  } else if (key >= Qt::Key_0 && key <= Qt::Key_9) {
    base = ui::Digit(key - Qt::Key_0);
  } else if (key >= Qt::Key_F1 && key <= Qt::Key_F12) {
    base = static_cast<KeyCode>(static_cast<std::uint32_t>(KeyCode::F1) + static_cast<std::uint32_t>(key - Qt::Key_F1));
  } else {
    switch (key) {
      case Qt::Key_Backspace:
        base = KeyCode::Backspace;
        break;
      case Qt::Key_Tab:
        base = KeyCode::Tab;
        break;
      case Qt::Key_Backtab:
        base = KeyCode::Tab;
        modifiers = KeyCode::Shift;
        break;
      case Qt::Key_Return:
      case Qt::Key_Enter:
        base = KeyCode::Enter;
        break;
      case Qt::Key_Escape:
        base = KeyCode::Esc;
        break;
      case Qt::Key_Space:
        base = KeyCode::Space;
        break;
      case Qt::Key_PageUp:
        base = KeyCode::PageUp;
        break;
      case Qt::Key_PageDown:
        base = KeyCode::PageDown;
        break;
      case Qt::Key_End:
        base = KeyCode::End;
        break;
      case Qt::Key_Home:
        base = KeyCode::Home;
        break;
      case Qt::Key_Left:
        base = KeyCode::Left;
        break;
      case Qt::Key_Up:
        base = KeyCode::Up;
        break;
      case Qt::Key_Right:
        base = KeyCode::Right;
        break;
      case Qt::Key_Down:
        base = KeyCode::Down;
        break;
      case Qt::Key_Insert:
        base = KeyCode::Insert;
        break;
      case Qt::Key_Delete:
        base = KeyCode::Delete;
        break;
      default:
        return KeyCode::None;
    }
  }
  const Qt::KeyboardModifiers held = event.modifiers();
  if (held & Qt::ShiftModifier) modifiers = modifiers | KeyCode::Shift;
  if (held & Qt::ControlModifier) modifiers = modifiers | KeyCode::Ctrl;
  if (held & Qt::AltModifier) modifiers = modifiers | KeyCode::Alt;
  return base | modifiers;
}

bool IsSystemUiFace(const std::string& name) {
  const QString face = ToQString(name).trimmed().toLower();
  return face == QStringLiteral("ms sans serif") || face == QStringLiteral("ms shell dlg") ||
         face == QStringLiteral("ms shell dlg 2") || face == QStringLiteral("microsoft sans serif");
}

QFont ControlFont(const QFont& inherited, const std::string& face) {
  QFont font = inherited;
  if (face.empty() || IsSystemUiFace(face)) return font;
  const QString name = ToQString(face).trimmed();
  const QString lower = name.toLower();
  if (lower.startsWith(QStringLiteral("comic")) || lower.contains(QStringLiteral("script"))) {
    // Casual faces a Debian desktop may have, then fontconfig's own choice.
    font.setFamilies({name, QStringLiteral("Comic Neue"), QStringLiteral("URW Chancery L"), QStringLiteral("Z003")});
    font.setStyleHint(QFont::Cursive);
  } else {
    font.setFamilies({name});
  }
  return font;
}

QString IconResource(const std::string& file) {
  const QString stem = QFileInfo(ToQString(file)).completeBaseName().toLower();
  return stem.isEmpty() ? QString() : QStringLiteral(":/icons/") + stem + QStringLiteral(".svg");
}

QIcon LoadIcon(const std::string& file) {
  if (file.empty()) return {};
  QString path = ToQString(file);
  if (!QFileInfo::exists(path)) path = IconResource(file);
  if (path.isEmpty() || !QFileInfo::exists(path)) return {};
  QIcon icon(path);
  return icon.availableSizes().isEmpty() && icon.pixmap(16, 16).isNull() ? QIcon() : icon;
}

int PictureWidth(const std::string& picture) {
  std::size_t i = 0;
  if (i < picture.size() && picture[i] == '@') ++i;
  if (i < picture.size() && std::isalpha(static_cast<unsigned char>(picture[i]))) ++i;
  while (i < picture.size() && !std::isdigit(static_cast<unsigned char>(picture[i]))) ++i;
  int width = 0;
  for (; i < picture.size() && std::isdigit(static_cast<unsigned char>(picture[i])) && width < 100000; ++i) {
    width = width * 10 + (picture[i] - '0');
  }
  return width;
}

}  // namespace runtime::qt
