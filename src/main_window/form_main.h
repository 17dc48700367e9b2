#pragma once

#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "toolkit/drop_data.h"

class QLabel;
class QPushButton;

namespace Toolkit {
class ImageControl;
class MessageBoxes;
class PictureBox;
class ScrollBar;
}  // namespace Toolkit

namespace MainWindow {

// What the window needs from outside; tests put stand-ins here.
struct FormServices {
  std::string app_path;                  // the executable's folder
  Toolkit::MessageBoxes* message_boxes;  // not owned; outlives the window
  std::function<void()> end;             // ends the program; does not return in the program
};

// The program's one window. Its controls are built from the control table
// and carry the names the handlers use.
class Form_main : public QWidget {
  Q_OBJECT

 public:
  explicit Form_main(FormServices services);
  ~Form_main() override;

  Toolkit::PictureBox* Progress = nullptr;
  QPushButton* Command2 = nullptr;
  QPushButton* Command1 = nullptr;
  Toolkit::ScrollBar* HScroll1 = nullptr;
  Toolkit::PictureBox* Picture3 = nullptr;
  Toolkit::PictureBox* Picture1 = nullptr;
  Toolkit::PictureBox* Picture2 = nullptr;
  QLabel* Label1 = nullptr;
  Toolkit::ImageControl* Image1 = nullptr;

  // Makes sure the work folder exists. Runs once, before the window is
  // shown. Throws Toolkit::PlatformError when the folder cannot be made. An
  // entry of that name that is no real folder (a symbolic link, a file) is
  // reported in a box and left alone; the window still opens.
  void Form_Load();

  // Drop handlers. Only the drop data is used: its first file is divided
  // into the work folder and shown as a strip of thumbnails. A drop that
  // arrives while one is being worked on is refused, never nested.
  void Picture1_OLEDragDrop(const Toolkit::DropData& Data, std::int32_t& Effect,
                            std::int16_t Button, std::int16_t Shift, float X, float Y);
  void Picture3_OLEDragDrop(const Toolkit::DropData& Data, std::int32_t& Effect,
                            std::int16_t Button, std::int16_t Shift, float X, float Y);
  void Image1_OLEDragDrop(std::int16_t Index, const Toolkit::DropData& Data, std::int32_t& Effect,
                          std::int16_t Button, std::int16_t Shift, float X, float Y);
  void Form_OLEDragDrop(const Toolkit::DropData& Data, std::int32_t& Effect, std::int16_t Button,
                        std::int16_t Shift, float X, float Y);

  void Command1_Click();  // "END"
  void Command2_Click();  // "ShowHolder"
  void HScroll1_Change();

  // The work folder: the executable's folder, the separator, "tmp".
  std::string WorkFolder() const;
  // True while a drop is queued or being worked on.
  bool Busy() const { return dividing_ || drop_queued_; }
  // True when a drag at `pos` (window pixels) may be dropped there.
  bool AcceptsDropAt(const Toolkit::DropData& data, QPoint pos) const;

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildControls();
  bool AcceptsDrag(const Toolkit::DropData& data) const;
  using DropHandler = std::function<void(const Toolkit::DropData&, std::int32_t&, std::int16_t,
                                         std::int16_t, float, float)>;
  // Runs `handler` on a drop once the drag source has been answered.
  void QueueDrop(DropHandler handler, Toolkit::DropData data, float x, float y);
  std::string OutputPrefix(const std::string& base_name) const;
  // Empty when the work folder is a real folder; else the message that says why not.
  QString WorkFolderRefusal() const;
  void ResetAfterRefusal();

  FormServices services_;
  bool dividing_ = false;
  bool drop_queued_ = false;
  Toolkit::DragAnswer drag_;
};

// Text of the box that reports a failure nothing handled: its number and description.
QString UnhandledErrorText(int number, const QString& description);

// Builds the window and runs Form_Load. On a failure, shows its number and
// description in a box and returns nothing; the window is never shown.
std::unique_ptr<Form_main> StartUp(FormServices services);

}  // namespace MainWindow
