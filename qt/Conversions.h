// Conversions between the runtime's plain values and Qt's: colours, cursor
// shapes, key codes, icons loaded from files. Requires: the GUI thread for
// anything that creates a QIcon or QPixmap.
#pragma once

#include <QColor>
#include <QCursor>
#include <QFont>
#include <QIcon>
#include <QKeyEvent>
#include <QString>
#include <optional>
#include <string>

#include "runtime/ui/ControlProperties.h"
#include "runtime/ui/KeyCode.h"
#include "runtime/ui/ListSource.h"

namespace runtime::qt {

inline QString ToQString(const std::string& text) { return QString::fromStdString(text); }

// 0x00BBGGRR; nullopt for kNoColour.
std::optional<QColor> ToQColor(ui::Colour colour);
Qt::CursorShape ToCursorShape(ui::Cursor cursor);
// The runtime's key code of a key press; KeyCode::None for keys it does not name.
ui::KeyCode ToKeyCode(const QKeyEvent& event);
// The icon in file, or a null icon when there is none or it does not load.
QIcon LoadIcon(const std::string& file);
// The program's own drawing of an icon named like file, as a resource the
// program builds in: ":/icons/" + the name's stem in lower case + ".svg"
// ("Web2.ico" -> ":/icons/web2.svg"). LoadIcon uses it when no such file
// exists.
QString IconResource(const std::string& file);
// Whether a described font is the old desktop's dialog face ("MS Sans
// Serif", "MS Shell Dlg", "Microsoft Sans Serif", any letter case), which
// stands for the desktop's own UI font.
bool IsSystemUiFace(const std::string& name);
// The font a control's described face gives on this desktop: the window's
// (inherited) for no face or an old dialog face; otherwise that face, and
// where the desktop lacks it a font of the same kind (a handwriting face
// such as "Comic Sans MS" falls back to a decorative one).
QFont ControlFont(const QFont& inherited, const std::string& face);
// The width a picture such as "@s20" or "@n-9.2" gives an entry, 0 if none.
int PictureWidth(const std::string& picture);

}  // namespace runtime::qt
