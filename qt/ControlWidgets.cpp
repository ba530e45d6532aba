#include "qt/ControlWidgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QValidator>
#include <algorithm>
#include <limits>

#include "qt/Conversions.h"

namespace runtime::qt {

namespace {

// A widget that reports a left click released over it.
template <typename Base>
class Clickable : public Base {
 public:
  using Base::Base;
  std::function<void(QPoint)> onClick;

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override {
    Base::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && this->rect().contains(event->position().toPoint()) && onClick) {
      onClick(event->position().toPoint());
    }
  }
};

class LabelControl : public QtControl {
 public:
  LabelControl(QLabel* label, InputSink sink) : QtControl(label, std::move(sink)), label_(label) {}

 protected:
  void ShowContents(const ui::ControlView& view, const DialogUnits&) override {
    // A prompt with a control to go to keeps its mnemonic: Alt and the
    // letter go to that control.
    label_->setText(label_->buddy() != nullptr ? ToQString(view.properties.text)
                                               : WithoutMnemonic(view.properties.text));
  }

  QLabel* label_;
};

class LinkTextControl : public QtControl {
 public:
  LinkTextControl(QWidget* parent, InputSink sink) : LinkTextControl(new Clickable<QLabel>(parent), std::move(sink)) {}

 protected:
  void ShowContents(const ui::ControlView& view, const DialogUnits&) override {
    // A prompt with a control to go to keeps its mnemonic: Alt and the
    // letter go to that control.
    label_->setText(label_->buddy() != nullptr ? ToQString(view.properties.text)
                                               : WithoutMnemonic(view.properties.text));
  }

 private:
  LinkTextControl(Clickable<QLabel>* label, InputSink sink) : QtControl(label, std::move(sink)), label_(label) {
    QFont font = label->font();
    font.setUnderline(true);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, palette.color(QPalette::Link));
    label->setPalette(palette);
    label->onClick = [this](QPoint) { Report(ui::EventCode::Accepted); };
    WatchInput();
  }

  Clickable<QLabel>* label_;
};

// Pixels a picture is drawn at before it is scaled to its control.
constexpr int kPictureSide = 96;

class ImageControl : public QtControl {
 public:
  ImageControl(QLabel* label, InputSink sink) : QtControl(label, std::move(sink)), label_(label) {
    label->setAlignment(Qt::AlignCenter);
  }

 protected:
  void ShowContents(const ui::ControlView& view, const DialogUnits&) override {
    if (view.properties.icon == shown_) return;
    shown_ = view.properties.icon;
    // The picture file, else the program's own drawing of that name.
    const QIcon icon = LoadIcon(shown_);
    label_->setPixmap(icon.isNull() ? QPixmap() : icon.pixmap(QSize(kPictureSide, kPictureSide)));
    const ui::Rect& r = view.properties.rect;
    label_->setScaledContents(r.width > 0 && r.height > 0);
  }

 private:
  QLabel* label_;
  std::string shown_;
};

// Holds a line edit to a number of bytes of UTF-8 (QLineEdit's own maximum
// counts UTF-16 units). What does not fit is cut from what was just typed
// or pasted, the characters before the cursor, at whole characters, so the
// user sees at once what the field will keep.
class ByteLimitValidator final : public QValidator {
 public:
  explicit ByteLimitValidator(QObject* parent) : QValidator(parent) {}
  void SetLimit(std::size_t bytes) { bytes_ = bytes; }

  State validate(QString& input, int& pos) const override {
    if (bytes_ == 0) return Acceptable;
    auto size = static_cast<std::size_t>(input.toUtf8().size());
    while (size > bytes_ && !input.isEmpty()) {
      // The character ending at the cursor, else the last one.
      const int end = pos > 0 ? pos : static_cast<int>(input.size());
      int start = end - 1;
      if (start > 0 && input[start].isLowSurrogate() && input[start - 1].isHighSurrogate()) --start;
      size -= static_cast<std::size_t>(input.mid(start, end - start).toUtf8().size());
      input.remove(start, end - start);
      if (pos > 0) pos = start;
    }
    return Acceptable;
  }

 private:
  std::size_t bytes_ = 0;
};

class EntryControl : public QtControl {
 public:
  EntryControl(QLineEdit* edit, InputSink sink)
      : QtControl(edit, std::move(sink)), edit_(edit), limit_(new ByteLimitValidator(edit)) {
    edit->setValidator(limit_);
    // editingFinished comes on Enter and when the focus leaves an edited entry.
    QObject::connect(edit, &QLineEdit::editingFinished, this, [this] {
      ui::EventData data;
      data.text = edit_->text().toStdString();
      Report(ui::EventCode::Accepted, std::move(data));
    });
    // textEdited comes for the user's edits only, never for the program's.
    QObject::connect(edit, &QLineEdit::textEdited, this, [this](const QString& text) {
      if (!ShownProperties().reportsEdits) return;
      ui::EventData data;
      data.text = text.toStdString();
      Report(ui::EventCode::NewSelection, std::move(data));
    });
    WatchInput();
  }

 protected:
  void AddInput(ui::EventData& data) const override { data.text = edit_->text().toStdString(); }

  void ShowContents(const ui::ControlView& view, const DialogUnits&) override {
    const std::string& picture = view.properties.picture;
    const bool text = picture.size() > 1 && (picture[1] == 's' || picture[1] == 'S');
    const int width = PictureWidth(picture);
    edit_->setMaxLength(text && width > 0 ? width : 32767);
    limit_->SetLimit(ui::TextPictureBytes(picture));
    const QString shown = ToQString(view.properties.text);
    if (edit_->text() != shown) edit_->setText(shown);
  }

 private:
  QLineEdit* edit_;
  ByteLimitValidator* limit_;  // owned by edit_
};

class TextEditorControl : public QtControl {
 public:
  TextEditorControl(QPlainTextEdit* edit, InputSink sink) : QtControl(edit, std::move(sink)), edit_(edit) {
    // Tab goes on to the next control, as in every other box of a form.
    edit->setTabChangesFocus(true);
    WatchInput();
  }

 protected:
  void ShowContents(const ui::ControlView& view, const DialogUnits&) override {
    const QString shown = ToQString(view.properties.text);
    if (edit_->toPlainText() != shown) edit_->setPlainText(shown);
    edit_->document()->setModified(false);
  }

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::FocusOut && edit_->document()->isModified()) {
      edit_->document()->setModified(false);
      ui::EventData data;
      data.text = edit_->toPlainText().toStdString();
      Report(ui::EventCode::Accepted, std::move(data));
    }
    return QtControl::eventFilter(watched, event);
  }

 private:
  QPlainTextEdit* edit_;
};

// Buttons, checks and radios: a caption, an optional icon, a click.
class ButtonControl : public QtControl {
 public:
  enum class Reports : std::uint8_t { Click, State };

  ButtonControl(QAbstractButton* button, Reports reports, InputSink sink)
      : QtControl(button, std::move(sink)), button_(button) {
    QObject::connect(button, &QAbstractButton::clicked, this, [this, reports](bool checked) {
      ui::EventData data;
      if (reports == Reports::State) data.value = checked ? 1 : 0;
      Report(ui::EventCode::Accepted, std::move(data));
    });
    WatchInput();
  }

 protected:
  void ShowContents(const ui::ControlView& view, const DialogUnits&) override {
    button_->setText(ToQString(view.properties.text));
    if (view.properties.icon != icon_) {
      icon_ = view.properties.icon;
      button_->setIcon(LoadIcon(icon_));
    }
    if (button_->isCheckable()) button_->setChecked(view.properties.value != 0);
  }

 private:
  QAbstractButton* button_;
  std::string icon_;
};

class GroupControl : public QtControl {
 public:
  GroupControl(QGroupBox* box, InputSink sink) : QtControl(box, std::move(sink)), box_(box) {
    // A group only frames the controls drawn over it.
    box->setAttribute(Qt::WA_TransparentForMouseEvents);
  }

 protected:
  void ShowContents(const ui::ControlView& view, const DialogUnits&) override {
    box_->setTitle(ToQString(view.properties.text));
  }

 private:
  QGroupBox* box_;
};

class FrameControl : public QtControl {
 public:
  FrameControl(QFrame* frame, InputSink sink) : QtControl(frame, std::move(sink)), frame_(frame) {
    frame->setAttribute(Qt::WA_TransparentForMouseEvents);
  }

 protected:
  void ShowContents(const ui::ControlView& view, const DialogUnits&) override {
    const ui::Rect& r = view.properties.rect;
    if (view.properties.kind == ui::ControlKind::Box) {
      frame_->setFrameShape(QFrame::Box);
    } else {
      frame_->setFrameShape(r.width >= r.height ? QFrame::HLine : QFrame::VLine);
    }
    frame_->setFrameShadow(QFrame::Sunken);
  }

 private:
  QFrame* frame_;
};

class RegionControl : public QtControl {
 public:
  RegionControl(QWidget* parent, InputSink sink) : RegionControl(new Clickable<QWidget>(parent), std::move(sink)) {}

 protected:
  void ShowContents(const ui::ControlView&, const DialogUnits&) override {}

 private:
  RegionControl(Clickable<QWidget>* area, InputSink sink) : QtControl(area, std::move(sink)) {
    area->onClick = [this, area](QPoint at) {
      // The mouse is reported in dialog units within the window.
      const QPoint inWindow = area->mapToParent(at);
      const ui::Rect atUnits = DialogUnits(area->font()).FromPixels(QRect(inWindow, QSize()));
      ui::EventData data;
      data.mouse = ui::Point{atUnits.x, atUnits.y};
      data.key = ui::KeyCode::MouseLeft;
      Report(ui::EventCode::Accepted, std::move(data));
    };
  }
};

class ProgressControl : public QtControl {
 public:
  ProgressControl(QProgressBar* bar, InputSink sink) : QtControl(bar, std::move(sink)), bar_(bar) {
    bar->setRange(0, 100);
    bar->setTextVisible(false);
  }

 protected:
  void ShowContents(const ui::ControlView& view, const DialogUnits&) override {
    bar_->setValue(std::clamp(view.properties.value, 0, 100));
  }

 private:
  QProgressBar* bar_;
};

class SheetControl : public QtControl {
 public:
  SheetControl(QTabWidget* tabs, InputSink sink) : QtControl(tabs, std::move(sink)), tabs_(tabs) {
    QObject::connect(tabs, &QTabWidget::currentChanged, this, [this](int index) {
      if (index < 0) return;
      ui::EventData data;
      data.value = index + 1;
      Report(ui::EventCode::NewSelection, std::move(data));
    });
    WatchInput();
  }

 protected:
  void ShowContents(const ui::ControlView& view, const DialogUnits&) override {
    const int index = view.properties.value - 1;
    if (index >= 0 && index < tabs_->count()) tabs_->setCurrentIndex(index);
  }

 private:
  QTabWidget* tabs_;
};

class SpinControl : public QtControl {
 public:
  SpinControl(QSpinBox* spin, InputSink sink) : QtControl(spin, std::move(sink)), spin_(spin) {
    spin->setRange(std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
    QObject::connect(spin, &QSpinBox::editingFinished, this, [this] {
      ui::EventData data;
      data.text = QString::number(spin_->value()).toStdString();
      data.value = spin_->value();
      Report(ui::EventCode::Accepted, std::move(data));
    });
    WatchInput();
  }

 protected:
  void ShowContents(const ui::ControlView& view, const DialogUnits&) override {
    bool ok = false;
    const int value = ToQString(view.properties.text).trimmed().toInt(&ok);
    spin_->setValue(ok ? value : view.properties.value);
  }

 private:
  QSpinBox* spin_;
};

class ComboControl : public QtControl {
 public:
  ComboControl(QComboBox* combo, InputSink sink) : QtControl(combo, std::move(sink)), combo_(combo) {
    combo->setEditable(true);
    QObject::connect(combo, &QComboBox::activated, this, [this](int index) {
      ui::EventData data;
      data.text = combo_->currentText().toStdString();
      if (index >= 0) data.selectedRow = index + 1;
      Report(ui::EventCode::Accepted, std::move(data));
    });
    WatchInput();
  }

 protected:
  void ShowContents(const ui::ControlView& view, const DialogUnits&) override {
    QStringList items;
    for (const ui::ListRow& row : view.rows) items << (row.empty() ? QString() : ToQString(row.front().text));
    QStringList shown;
    for (int i = 0; i < combo_->count(); ++i) shown << combo_->itemText(i);
    if (shown != items) {
      combo_->clear();
      combo_->addItems(items);
    }
    combo_->setCurrentText(ToQString(view.properties.text));
  }

 private:
  QComboBox* combo_;
};

class NoWidgetControl : public QtControl {
 public:
  explicit NoWidgetControl(InputSink sink) : QtControl(nullptr, std::move(sink)) {}

 protected:
  void ShowContents(const ui::ControlView&, const DialogUnits&) override {}
};

}  // namespace

QString WithoutMnemonic(const std::string& text) {
  QString result;
  const QString source = ToQString(text);
  for (qsizetype i = 0; i < source.size(); ++i) {
    if (source[i] != u'&') {
      result += source[i];
    } else if (i + 1 < source.size() && source[i + 1] == u'&') {
      result += u'&';
      ++i;
    }
  }
  return result;
}

std::unique_ptr<QtControl> MakeLabel(QWidget* parent, InputSink sink) {
  return std::make_unique<LabelControl>(new QLabel(parent), std::move(sink));
}
std::unique_ptr<QtControl> MakeLinkText(QWidget* parent, InputSink sink) {
  return std::make_unique<LinkTextControl>(parent, std::move(sink));
}
std::unique_ptr<QtControl> MakeImage(QWidget* parent, InputSink sink) {
  return std::make_unique<ImageControl>(new QLabel(parent), std::move(sink));
}
std::unique_ptr<QtControl> MakeEntry(QWidget* parent, InputSink sink) {
  return std::make_unique<EntryControl>(new QLineEdit(parent), std::move(sink));
}
std::unique_ptr<QtControl> MakeTextEditor(QWidget* parent, InputSink sink) {
  return std::make_unique<TextEditorControl>(new QPlainTextEdit(parent), std::move(sink));
}
std::unique_ptr<QtControl> MakeButton(QWidget* parent, InputSink sink) {
  return std::make_unique<ButtonControl>(new QPushButton(parent), ButtonControl::Reports::Click, std::move(sink));
}
std::unique_ptr<QtControl> MakeCheck(QWidget* parent, InputSink sink) {
  return std::make_unique<ButtonControl>(new QCheckBox(parent), ButtonControl::Reports::State, std::move(sink));
}
std::unique_ptr<QtControl> MakeRadio(QWidget* parent, InputSink sink) {
  auto* radio = new QRadioButton(parent);
  // Radios of different option groups share one parent widget; the window
  // keeps each group exclusive itself.
  radio->setAutoExclusive(false);
  return std::make_unique<ButtonControl>(radio, ButtonControl::Reports::State, std::move(sink));
}
std::unique_ptr<QtControl> MakeGroup(QWidget* parent, InputSink sink) {
  return std::make_unique<GroupControl>(new QGroupBox(parent), std::move(sink));
}
std::unique_ptr<QtControl> MakeFrame(QWidget* parent, InputSink sink) {
  return std::make_unique<FrameControl>(new QFrame(parent), std::move(sink));
}
std::unique_ptr<QtControl> MakeRegion(QWidget* parent, InputSink sink) {
  return std::make_unique<RegionControl>(parent, std::move(sink));
}
std::unique_ptr<QtControl> MakeProgress(QWidget* parent, InputSink sink) {
  return std::make_unique<ProgressControl>(new QProgressBar(parent), std::move(sink));
}
std::unique_ptr<QtControl> MakeSheet(QWidget* parent, InputSink sink) {
  return std::make_unique<SheetControl>(new QTabWidget(parent), std::move(sink));
}
std::unique_ptr<QtControl> MakeSpin(QWidget* parent, InputSink sink) {
  return std::make_unique<SpinControl>(new QSpinBox(parent), std::move(sink));
}
std::unique_ptr<QtControl> MakeCombo(QWidget* parent, InputSink sink) {
  return std::make_unique<ComboControl>(new QComboBox(parent), std::move(sink));
}
std::unique_ptr<QtControl> MakeWithoutWidget(InputSink sink) {
  return std::make_unique<NoWidgetControl>(std::move(sink));
}

}  // namespace runtime::qt
