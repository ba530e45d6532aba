// The controls of every kind but lists (ListControl.h): each makes its
// widget a child of parent and reports its input through sink.
// Thread: the GUI thread.
#pragma once

#include <memory>

#include "qt/QtControl.h"

namespace runtime::qt {

std::unique_ptr<QtControl> MakeLabel(QWidget* parent, InputSink sink);       // prompt, string
std::unique_ptr<QtControl> MakeLinkText(QWidget* parent, InputSink sink);    // click: Accepted
std::unique_ptr<QtControl> MakeImage(QWidget* parent, InputSink sink);       // icon = image file
std::unique_ptr<QtControl> MakeEntry(QWidget* parent, InputSink sink);       // Accepted with text
std::unique_ptr<QtControl> MakeTextEditor(QWidget* parent, InputSink sink);  // Accepted with text
std::unique_ptr<QtControl> MakeButton(QWidget* parent, InputSink sink);      // Accepted
std::unique_ptr<QtControl> MakeCheck(QWidget* parent, InputSink sink);       // Accepted with value
std::unique_ptr<QtControl> MakeRadio(QWidget* parent, InputSink sink);       // Accepted with value 1
std::unique_ptr<QtControl> MakeGroup(QWidget* parent, InputSink sink);       // group, option
std::unique_ptr<QtControl> MakeFrame(QWidget* parent, InputSink sink);       // line, box
std::unique_ptr<QtControl> MakeRegion(QWidget* parent, InputSink sink);      // Accepted with mouse
std::unique_ptr<QtControl> MakeProgress(QWidget* parent, InputSink sink);
std::unique_ptr<QtControl> MakeSheet(QWidget* parent, InputSink sink);  // NewSelection with value
std::unique_ptr<QtControl> MakeSpin(QWidget* parent, InputSink sink);   // Accepted with text
std::unique_ptr<QtControl> MakeCombo(QWidget* parent, InputSink sink);  // Accepted with text, row
std::unique_ptr<QtControl> MakeWithoutWidget(InputSink sink);           // tab, menu, menu item

// The text of a caption with its mnemonic marks removed ("&Query" -> "Query",
// "&&" -> "&"), for widgets that do not draw mnemonics.
QString WithoutMnemonic(const std::string& text);

}  // namespace runtime::qt
