#include "qt/QtBackend.h"

#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QScreen>

#include "qt/Conversions.h"
#include "qt/GuiThread.h"
#include "qt/PagePrinting.h"
#include "qt/QtDialogs.h"
#include "runtime/platform/Sound.h"
#include "runtime/system/ThreadNumber.h"
#include "runtime/ui/RuntimeThread.h"

namespace runtime::qt {

namespace {

// The asking runtime thread's number, 0 on any other thread.
std::int32_t AskingThread() { return ui::IsRuntimeThread() ? runtime::CurrentThreadNumber() : 0; }

}  // namespace

QtBackend::QtBackend() = default;
QtBackend::~QtBackend() = default;

std::vector<ui::WindowId> QtBackend::Windows() const {
  std::vector<ui::WindowId> ids;
  for (const auto& [id, window] : windows_) ids.push_back(id);
  return ids;
}

QtWindow* QtBackend::Find(ui::WindowId window) const {
  auto it = windows_.find(window);
  return it == windows_.end() ? nullptr : it->second.get();
}

QWidget* QtBackend::ParentFor(ui::WindowId window, std::int32_t thread) const {
  if (QtWindow* found = Find(window)) return found->Frame();
  QWidget* newest = nullptr;
  for (const auto& [id, shown] : windows_) {
    if (thread != 0 && shown->Frame() != nullptr && shown->Frame()->isVisible() && shown->Thread() == thread) {
      newest = shown->Frame();
    }
  }
  return newest;
}

void QtBackend::CreateWindow(const ui::WindowView& window) {
  RunOnGuiThread([&] {
    windows_.erase(window.id);
    // The newest window of the same thread is the one the new window holds.
    const QtWindow* owner = nullptr;
    for (const auto& [id, shown] : windows_) {
      if (shown->Thread() == window.thread) owner = shown.get();
    }
    windows_.emplace(window.id, std::make_unique<QtWindow>(window, owner));
  });
}

std::vector<std::int32_t> QtBackend::ListColumnWidths(const ui::WindowView& window, std::int32_t list) const {
  std::vector<std::int32_t> widths;
  RunOnGuiThread([&] {
    if (const QtWindow* shown = Find(window.id)) widths = shown->UsersColumnWidths(list);
  });
  return widths;
}

std::vector<ui::Rect> QtBackend::ClientAreas(const ui::WindowView& window) const {
  std::vector<ui::Rect> areas;
  RunOnGuiThread([&] {
    const DialogUnits units = QtWindow::UnitsOf(window.font);
    // The desktop frames a window only once it is shown: until then the
    // frame of a framed window stands in, else a title bar of a line and a
    // half over thin borders. The rect's height leaves out the menu bar.
    QMargins frame(4, std::max(units.CharHeight() * 3 / 2, 20), 4, 4);
    int menuBar = units.CharHeight() + 8;
    const QtWindow* own = Find(window.id);
    if (own != nullptr) menuBar = own->Frame()->ClientTop();
    auto framed = [](const QtWindow& w) { return !w.Decoration().isNull(); };
    if (own != nullptr && framed(*own)) {
      frame = own->Decoration();
    } else {
      for (const auto& [id, shown] : windows_) {
        if (framed(*shown)) frame = shown->Decoration();
      }
    }
    frame.setBottom(frame.bottom() + menuBar);
    QList<QScreen*> screens = QGuiApplication::screens();
    if (QScreen* primary = QGuiApplication::primaryScreen()) {
      screens.removeAll(primary);
      screens.prepend(primary);
    }
    // Pixel edges to dialog units, rounded inwards so the frame stays inside.
    auto start = [](std::int64_t pixels, std::int64_t perUnits, std::int64_t units) {
      return static_cast<std::int32_t>(pixels >= 0 ? (pixels * units + perUnits - 1) / perUnits
                                                   : -((-pixels * units) / perUnits));
    };
    auto end = [](std::int64_t pixels, std::int64_t perUnits, std::int64_t units) {
      return static_cast<std::int32_t>(pixels >= 0 ? pixels * units / perUnits
                                                   : -((-pixels * units + perUnits - 1) / perUnits));
    };
    for (QScreen* screen : screens) {
      const QRect client = screen->availableGeometry().marginsRemoved(frame);
      const std::int32_t left = start(client.left(), units.AverageCharWidth(), 4);
      const std::int32_t top = start(client.top(), units.CharHeight(), 8);
      const std::int32_t right = end(std::int64_t{client.right()} + 1, units.AverageCharWidth(), 4);
      const std::int32_t bottom = end(std::int64_t{client.bottom()} + 1, units.CharHeight(), 8);
      areas.push_back({left, top, std::max(right - left, 0), std::max(bottom - top, 0)});
    }
  });
  return areas;
}

void QtBackend::UpdateWindow(const ui::WindowView& window) {
  RunOnGuiThread([&] {
    if (QtWindow* shown = Find(window.id)) shown->Update(window);
  });
}

void QtBackend::DestroyWindow(ui::WindowId window) {
  RunOnGuiThread([&] { windows_.erase(window); });
}

void QtBackend::CreateControl(ui::WindowId window, const ui::ControlView& control) {
  RunOnGuiThread([&] {
    if (QtWindow* shown = Find(window)) shown->CreateControl(control);
  });
}

void QtBackend::UpdateControl(ui::WindowId window, const ui::ControlView& control) {
  RunOnGuiThread([&] {
    if (QtWindow* shown = Find(window)) shown->UpdateControl(control);
  });
}

void QtBackend::DestroyControl(ui::WindowId window, std::int32_t control) {
  RunOnGuiThread([&] {
    if (QtWindow* shown = Find(window)) shown->DestroyControl(control);
  });
}

void QtBackend::SelectControl(ui::WindowId window, std::int32_t control) {
  RunOnGuiThread([&] {
    if (QtWindow* shown = Find(window)) shown->Select(control);
  });
}

std::uint32_t QtBackend::ShowMessageBox(const ui::MessageBoxRequest& request) {
  const std::int32_t thread = AskingThread();
  return questions_.Ask<std::uint32_t>(
      [&](ModalQuestions::Reply<std::uint32_t> reply) {
        StartMessageBox(request, ParentFor(ui::kNoWindow, thread), questions_, std::move(reply));
      },
      DismissedButton(request));
}

std::int32_t QtBackend::ShowPopupMenu(const ui::PopupMenuRequest& request) {
  return questions_.Ask<std::int32_t>(
      [&](ModalQuestions::Reply<std::int32_t> reply) {
        QtWindow* window = Find(request.window);
        const QPoint at = window != nullptr && request.at ? window->ToScreen(*request.at) : QCursor::pos();
        StartPopupMenu(request, window != nullptr ? window->Frame() : nullptr, at, questions_, std::move(reply));
      },
      0);
}

std::string QtBackend::ShowFileDialog(const ui::FileDialogRequest& request) {
  const std::int32_t thread = AskingThread();
  return questions_.Ask<std::string>(
      [&](ModalQuestions::Reply<std::string> reply) {
        StartFileDialog(request, ParentFor(request.window, thread), questions_, std::move(reply));
      },
      std::string());
}

ui::PreviewAnswer QtBackend::ShowPreview(const ui::PreviewRequest& request) {
  const std::int32_t thread = AskingThread();
  return questions_.Ask<ui::PreviewAnswer>(
      [&](ModalQuestions::Reply<ui::PreviewAnswer> reply) {
        StartPreview(request, ParentFor(request.window, thread), questions_, std::move(reply));
      },
      ui::PreviewAnswer::Cancel);
}

bool QtBackend::Print(const ui::PrintRequest& request) {
  const std::int32_t thread = AskingThread();
  return CallOnGuiThread([&] { return PrintPages(request, ParentFor(ui::kNoWindow, thread)); });
}

bool QtBackend::AddTrayIcon(const ui::TrayIconRequest& request) {
  return CallOnGuiThread([&] { return trays_.Add(request); });
}

bool QtBackend::DeleteTrayIcon(std::uint32_t id) {
  return CallOnGuiThread([&] { return trays_.Delete(id); });
}

void QtBackend::SetCursor(ui::Cursor cursor) {
  RunOnGuiThread([&] {
    if (cursor == ui::Cursor::Normal) {
      while (QApplication::overrideCursor() != nullptr) QApplication::restoreOverrideCursor();
    } else if (QApplication::overrideCursor() != nullptr) {
      QApplication::changeOverrideCursor(QCursor(ToCursorShape(cursor)));
    } else {
      QApplication::setOverrideCursor(QCursor(ToCursorShape(cursor)));
    }
  });
}

void QtBackend::Beep(ui::BeepKind) {
  RunOnGuiThread([] { QApplication::beep(); });
}

void QtBackend::PlaySound(const std::string& file) { runtime::platform::PlaySoundAsync(file); }

void QtBackend::ProgramEnding() {
  RunOnGuiThread([&] { questions_.DismissAll(); });
}

}  // namespace runtime::qt
