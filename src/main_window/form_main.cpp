// SPDX-License-Identifier: MIT
#include "main_window/form_main.h"

#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QDialog>
#include <QDrag>
#include <QDragEnterEvent>
#include <QFileDialog>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <new>
#include <stdexcept>
#include <vector>

#include "main_window/control_table.h"
#include "main_window/workflow_constants.h"
#include "toolkit/file_ops.h"
#include "toolkit/image_control.h"
#include "toolkit/path_text.h"
#include "toolkit/picture_box.h"
#include "toolkit/platform.h"
#include "toolkit/platform_error.h"
#include "toolkit/scroll_bar.h"
#include "toolkit/units.h"

namespace MainWindow {
namespace {

QString FromU8(std::u8string_view text) {
  return QString::fromUtf8(reinterpret_cast<const char*>(text.data()),
                           static_cast<qsizetype>(text.size()));
}
QString FromView(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QColor ToColour(const ColourSetting& setting) {
  if (setting.rgb) return QColor(setting.rgb->r, setting.rgb->g, setting.rgb->b);
  // Window text is the only system colour the window description uses.
  const QPalette::ColorRole role =
      setting.system_index == kSystemColourWindowText ? QPalette::WindowText : QPalette::Window;
  return QApplication::palette().color(role);
}

QFont ToFont(const FontSetting& setting) {
  QFont font;
  QStringList families;
  if (setting.family == kPGothicJapaneseName) {
    for (const auto family : kPGothicFallbacks) families << FromU8(family);
  } else {
    families << FromU8(setting.family);
  }
  families << Toolkit::SansFallbacks();
  font.setFamilies(families);
  // Pixels rather than points, so the text keeps its size whatever dpi the
  // display reports, as the rest of the twips layout does.
  font.setPixelSize(static_cast<int>(Toolkit::PointsToPixels(setting.points) + 0.5));
  font.setWeight(static_cast<QFont::Weight>(setting.weight));
  return font;
}

QRect ToPixels(const TwipsRect& rect) {
  return QRect(Toolkit::ClampedPixels(rect.left), Toolkit::ClampedPixels(rect.top),
               Toolkit::ClampedPixels(rect.width), Toolkit::ClampedPixels(rect.height));
}

}  // namespace

QString FailureText(const std::exception& failure) {
  if (dynamic_cast<const std::bad_alloc*>(&failure) != nullptr ||
      dynamic_cast<const std::length_error*>(&failure) != nullptr) {
    return QString::fromUtf8(kWhyNoMemory);
  }
  return QString::fromUtf8(failure.what());
}

QString UnhandledErrorText(int number, const QString& description) {
  return QStringLiteral("Run-time error '%1':\n\n%2").arg(number).arg(description);
}

Form_main::Form_main(FormServices services) : services_(std::move(services)) {
  setObjectName(QStringLiteral("Form_main"));
  setWindowTitle(QString::fromUtf8(Toolkit::kProgramName));
  setFixedSize(Toolkit::ClampedPixels(kClientWidth), Toolkit::ClampedPixels(kClientHeight));
  BuildControls();
}

Form_main::~Form_main() = default;

namespace {

// A control of the table as a widget, with its settings.
QWidget* NewControl(const ControlRow& row, QWidget* parent) {
  switch (row.kind) {
    case ControlKind::PictureBox: {
      auto* box = new Toolkit::PictureBox(parent);
      box->Move(row.geometry.left, row.geometry.top, row.geometry.width, row.geometry.height);
      if (row.back_colour) box->SetBackColor(ToColour(*row.back_colour));
      if (row.fore_colour) box->SetForeColor(ToColour(*row.fore_colour));
      box->SetAutoSize(row.auto_size);
      box->setFocusPolicy(Qt::TabFocus);
      return box;
    }
    case ControlKind::CommandButton: {
      auto* button = new QPushButton(FromView(row.caption), parent);
      button->setAutoDefault(true);  // Enter presses the focused button, as Space does
      return button;
    }
    case ControlKind::HorizontalScrollBar: {
      auto* bar = new Toolkit::ScrollBar(parent);
      bar->setRange(kScrollMin, kScrollMin);
      bar->setValue(kScrollValue);
      bar->SetLargeChange(kScrollLargeChangeAtStart);
      bar->SetSmallChange(kScrollSmallChangeAtStart);
      return bar;
    }
    case ControlKind::Label: {
      auto* label = new QLabel(FromView(row.caption), parent);
      label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
      return label;
    }
    case ControlKind::Image:
      return new Toolkit::ImageControl(parent);
  }
  return nullptr;
}

void ApplyCommonSettings(const ControlRow& row, QWidget* control) {
  control->setObjectName(FromView(row.name));
  // A picture box places itself in twips.
  if (row.kind != ControlKind::PictureBox) control->setGeometry(ToPixels(row.geometry));
  if (row.font) control->setFont(ToFont(*row.font));
  if (!row.tooltip.empty()) control->setToolTip(FromView(row.tooltip));
  control->setVisible(row.visible_at_start);
}

}  // namespace

void Form_main::BuildControls() {
  std::array<QWidget*, kControls.size()> built{};
  const auto build = [&](std::size_t i, QWidget* parent) {
    built[i] = NewControl(kControls[i], parent);
    ApplyCommonSettings(kControls[i], built[i]);
    Bind(i, built[i]);
  };
  // Later siblings stack above earlier ones, so build the window's own
  // controls bottom first, then the ones that live inside a container.
  for (std::size_t i = kControls.size(); i-- > 0;) {
    if (kControls[i].container.empty()) build(i, this);
  }
  for (std::size_t i = 0; i < kControls.size(); ++i) {
    if (kControls[i].container.empty()) continue;
    const auto container = std::find_if(kControls.begin(), kControls.end(), [&](const auto& row) {
      return row.name == kControls[i].container;
    });
    build(i, built[static_cast<std::size_t>(container - kControls.begin())]);
  }
  SetTabOrder(built);
  Strip()->installEventFilter(this);
  Viewport()->installEventFilter(this);
  // The keys reach the strip: a focus mark on the viewport would frame
  // the empty area beside a short strip.
  Viewport()->setFocusPolicy(Qt::NoFocus);
  auto* open = new QShortcut(QKeySequence::Open, this);
  connect(open, &QShortcut::activated, this, &Form_main::OpenFile);
  TakeDrops(this, &Form_main::Form_OLEDragDrop);
}

void Form_main::Bind(std::size_t row, QWidget* control) {
  // One entry per row of the control table, in its order: the member that
  // holds the control, what it raises, and the handler for what is
  // dropped on it, if it takes drops.
  using DropHandler = void (Form_main::*)(const Toolkit::DropData&);
  struct Binding {
    std::string_view name;
    void (*bind)(Form_main& form, QWidget* control);
    DropHandler drop = nullptr;
  };
  static constexpr Binding kBindings[] = {
      {"Progress",
       [](Form_main& form, QWidget* c) { form.Progress = static_cast<Toolkit::PictureBox*>(c); }},
      {"Command2",
       [](Form_main& form, QWidget* c) {
         form.Command2 = static_cast<QPushButton*>(c);
         connect(form.Command2, &QPushButton::clicked, &form, &Form_main::Command2_Click);
       }},
      {"Command1",
       [](Form_main& form, QWidget* c) {
         form.Command1 = static_cast<QPushButton*>(c);
         connect(form.Command1, &QPushButton::clicked, &form, &Form_main::Command1_Click);
       }},
      {"HScroll1",
       [](Form_main& form, QWidget* c) {
         form.HScroll1 = static_cast<Toolkit::ScrollBar*>(c);
         connect(form.HScroll1, &Toolkit::ScrollBar::Change, &form, &Form_main::HScroll1_Change);
       }},
      {"Picture3",
       [](Form_main& form, QWidget* c) { form.Picture3 = static_cast<Toolkit::PictureBox*>(c); },
       &Form_main::Picture3_OLEDragDrop},
      {"Picture1",
       [](Form_main& form, QWidget* c) { form.Picture1 = static_cast<Toolkit::PictureBox*>(c); },
       &Form_main::Picture1_OLEDragDrop},
      {"Picture2",
       [](Form_main& form, QWidget* c) { form.Picture2 = static_cast<Toolkit::PictureBox*>(c); }},
      {"Label1", [](Form_main& form, QWidget* c) { form.Label1 = static_cast<QLabel*>(c); }},
      {"Image1",
       [](Form_main& form, QWidget* c) { form.Image1 = static_cast<Toolkit::ImageControl*>(c); },
       &Form_main::Image1_OLEDragDrop},
  };
  // The table and the bindings cannot drift apart: the names when
  // compiling, the drop handlers (which a compiler checking for undefined
  // behaviour will not compare while compiling) whenever the window is made.
  static_assert(std::size(kBindings) == kControls.size());
  static_assert([] {
    for (std::size_t i = 0; i < kControls.size(); ++i) {
      if (kBindings[i].name != kControls[i].name) return false;
    }
    return true;
  }());
  const Binding& binding = kBindings[row];
  if ((binding.drop != nullptr) != kControls[row].accepts_drops) {
    throw std::logic_error("the drop handler of " + std::string(binding.name) +
                           " disagrees with the control table");
  }
  binding.bind(*this, control);
  if (binding.drop != nullptr) TakeDrops(control, binding.drop);
}

void Form_main::TakeDrops(QWidget* control, void (Form_main::*handler)(const Toolkit::DropData&)) {
  // A drop runs once the drag source has been answered, for it waits for
  // that; the window itself takes what its other controls pass on.
  auto* site =
      new Toolkit::DropSite(control, [this, control](const Toolkit::DropData& data, QPoint at) {
        return AcceptsDropAt(data, control->mapTo(this, at));
      });
  connect(site, &Toolkit::DropSite::dropped, this, handler, Qt::QueuedConnection);
}

void Form_main::SetTabOrder(const std::array<QWidget*, kControls.size()>& built) {
  std::vector<std::size_t> order;
  for (std::size_t i = 0; i < kControls.size(); ++i) {
    if (kControls[i].tab_index) order.push_back(i);
  }
  std::sort(order.begin(), order.end(), [](std::size_t a, std::size_t b) {
    return *kControls[a].tab_index < *kControls[b].tab_index;
  });
  for (std::size_t i = 1; i < order.size(); ++i) setTabOrder(built[order[i - 1]], built[order[i]]);
}

std::string Form_main::WorkFolder() const {
  if (!cache_work_folder_.empty()) return cache_work_folder_;
  return services_.app_path + Toolkit::PathSeparator() + kWorkFolderName;
}

std::string Form_main::OutputPrefix(const std::string& base_name) const {
  return WorkFolder() + Toolkit::PathSeparator() + base_name;
}

void Form_main::Form_Load() {
  const std::string work_folder = WorkFolder();
  const auto use_cache_folder = [&] {
    const std::string own = Toolkit::UserCacheFolder(kCacheFolderName);
    const std::string cache = own + Toolkit::PathSeparator() + kWorkFolderName;
    // Nothing is made through a link: WorkFolderRefusal then says why.
    if (!Toolkit::IsSymbolicLink(own)) Toolkit::MkDirAll(cache);
    cache_work_folder_ = cache;
    cache_folder_ = own;
  };
  if (services_.installed) {
    use_cache_folder();
  } else if (Toolkit::Dir(work_folder, Toolkit::kAttrDirectory) != kWorkFolderName &&
             !Toolkit::IsSymbolicLink(work_folder)) {
    try {
      Toolkit::MkDir(work_folder);
    } catch (const Toolkit::PlatformError& beside_program) {
      // A copy that cannot write beside itself uses the user's cache folder.
      // Only when that fails too does the first failure stand.
      try {
        use_cache_folder();
      } catch (const Toolkit::PlatformError&) {
        throw beside_program;
      }
    }
  }
  // A link or a file named like the work folder is never used; say so now,
  // and again at every drop, but keep the window.
  if (const QString refusal = WorkFolderRefusal(); !refusal.isEmpty()) {
    services_.message_boxes->MsgBox(this, refusal);
  }
}

QString Form_main::WorkFolderRefusal() const {
  const std::string work_folder = WorkFolder();
  try {
    // Every folder made for the work folder must be itself: a linked
    // "mervane" folder would hand its target's files to the next drop.
    if (!cache_folder_.empty()) Toolkit::RequireRealFolder(cache_folder_);
    Toolkit::RequireRealFolder(work_folder);
    return {};
  } catch (const Toolkit::PlatformError& failure) {
    return QString::fromUtf8(kWorkFolderRefused)
        .arg(Toolkit::PathToNativeText(failure.path()), QString::fromStdString(failure.reason()));
  }
}

void Form_main::Command1_Click() {
  hide();
  services_.end();
}

void Form_main::Command2_Click() {
  // Losing the strip over a missing file manager would help nobody: say
  // what went wrong, and where the frames are, and keep running.
  const std::string work_folder = WorkFolder();
  const auto failed = [this, work_folder](const std::string& reason) {
    services_.message_boxes->MsgBox(
        this, QString::fromUtf8(kCannotOpenWorkFolder)
                  .arg(Toolkit::PathToNativeText(work_folder), QString::fromStdString(reason)));
  };
  try {
    Toolkit::OpenInFileManager(this, work_folder, failed);
  } catch (const Toolkit::PlatformError& failure) {
    failed(failure.reason());
  }
}

bool Form_main::TakeHandOver(const std::string& path) {
  if (Busy() || QApplication::activeModalWidget() != nullptr) return false;
  CloseMenus();
  setWindowState(windowState() & ~Qt::WindowMinimized);
  raise();
  activateWindow();
  if (!path.empty()) {
    // Once the later start has its answer, as a drop runs once its source
    // has. Busy from now on: a request or a drop that comes before it runs
    // is refused, and says so, rather than accepted and never divided.
    busy_ = true;
    QTimer::singleShot(0, this, [this, path] {
      busy_ = false;
      Picture1_OLEDragDrop({{path}});
    });
  }
  return true;
}

void Form_main::CloseMenus() {
  // A menu open on another shows as the active popup, innermost first.
  for (QWidget* popup = QApplication::activePopupWidget(); popup != nullptr;
       popup = QApplication::activePopupWidget()) {
    if (!popup->close()) break;
  }
}

void Form_main::CloseWhatTheLastDropOpened() {
  CloseMenus();
  // Each dialog's exec returns, as cancelled, once this drop's handler has
  // returned to it; the serial then stops what was asked from going on.
  for (QDialog* dialog : findChildren<QDialog*>()) {
    if (dialog->isVisible()) dialog->reject();
  }
  if (dragging_out_) QDrag::cancel();
}

bool Form_main::StillTheSameDrop(std::uint64_t serial) {
  if (serial == drop_serial_) return true;
  services_.message_boxes->MsgBox(this, QString::fromUtf8(kAnotherFileDivided));
  return false;
}

void Form_main::HScroll1_Change() {
  const std::int32_t value = HScroll1->Value();
  const double x = -static_cast<double>(value) * kTwipsPerScrollUnit;
  Picture1->SetLeft(static_cast<float>(x));
}

bool Form_main::AcceptsDropAt(const Toolkit::DropData& data, QPoint pos) const {
  // A frame dragged out of the strip and back is no new file to divide.
  if (Busy() || data.files.empty() || data.from_this_program) return false;
  // Qt hands a drag the buttons, the scroll bar or the progress strip
  // refuse on to this window, so refuse it here for them.
  const QWidget* refusing[] = {EndButton(), ShowHolderButton(), StripScrollBar(), ProgressStrip()};
  for (const QWidget* child = childAt(pos); child != nullptr && child != this;
       child = child->parentWidget()) {
    if (std::find(std::begin(refusing), std::end(refusing), child) != std::end(refusing)) {
      return false;
    }
  }
  return true;
}

void Form_main::closeEvent(QCloseEvent* event) {
  // Closing mid-run ends the program as "END" does; the frame files written
  // so far are complete, since no file is open while events run.
  if (busy_) services_.end();
  event->accept();
}

std::unique_ptr<Form_main> StartUp(FormServices services) {
  Toolkit::MessageBoxes* boxes = services.message_boxes;
  auto form = std::make_unique<Form_main>(std::move(services));
  try {
    form->Form_Load();
  } catch (const Toolkit::PlatformError& failure) {
    boxes->MsgBox(nullptr, UnhandledErrorText(ErrorNumberFor(failure.kind()),
                                              QString::fromUtf8(failure.what())));
    return nullptr;
  }
  return form;
}

}  // namespace MainWindow
