// SPDX-License-Identifier: MIT
#pragma once

#include <QImage>
#include <QPoint>
#include <QRectF>
#include <QStringList>
#include <QWidget>
#include <array>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "frame_compose/frame_compose.h"
#include "frame_compose/save_frames.h"
#include "frame_split/frame_split.h"
#include "main_window/control_table.h"
#include "main_window/dropped_animation.h"
#include "main_window/frame_saving.h"
#include "main_window/strip_selection.h"
#include "main_window/workflow_constants.h"
#include "toolkit/drop_data.h"

class QKeyEvent;
class QLabel;
class QMouseEvent;
class QPushButton;

namespace Toolkit {
class ImageControl;
class MessageBoxes;
class PictureBox;
class Picture;
class PlatformError;
class ScrollBar;
}  // namespace Toolkit

namespace MainWindow {

struct StripPlan;

// What the window needs from outside; tests put stand-ins here.
struct FormServices {
  std::string app_path;                  // the executable's folder
  Toolkit::MessageBoxes* message_boxes;  // not owned; outlives the window
  std::function<void()> end;             // ends the program; does not return in the program
  // True for a copy installed system-wide: its folder is no place for a
  // user's work folder, even where it could be written.
  bool installed = false;
};

// The program's one window. Its controls are built from the control table
// and carry the names the handlers use.
class Form_main : public QWidget {
  Q_OBJECT

 public:
  explicit Form_main(FormServices services);
  ~Form_main() override;

  // The controls by their roles (by their names: the fields at the end).
  Toolkit::PictureBox* Strip() const { return Picture1; }
  Toolkit::PictureBox* Viewport() const { return Picture3; }
  Toolkit::PictureBox* Measurer() const { return Picture2; }
  Toolkit::ImageControl* Preview() const { return Image1; }
  QLabel* CountLabel() const { return Label1; }
  QPushButton* EndButton() const { return Command1; }
  QPushButton* ShowHolderButton() const { return Command2; }
  Toolkit::PictureBox* ProgressStrip() const { return Progress; }
  Toolkit::ScrollBar* StripScrollBar() const { return HScroll1; }

  // Makes sure the work folder exists. Runs once, before the window is
  // shown. The work folder is "tmp" beside the executable; for an installed
  // copy, or where that is missing and cannot be made, it is "tmp" in the
  // user's cache folder for Mervane. Throws Toolkit::PlatformError when
  // neither can be made. An entry of that name that is no real folder (a
  // symbolic link, a file) is reported in a box and left alone; the window
  // still opens.
  void Form_Load();

  // A drop on each control that takes one, by the control's name; a drop
  // beside the strip means the same as one on it. All run OnFilesDropped.
  void Picture1_OLEDragDrop(const Toolkit::DropData& Data) { OnFilesDropped(Data); }
  void Picture3_OLEDragDrop(const Toolkit::DropData& Data) { OnFilesDropped(Data); }
  void Image1_OLEDragDrop(const Toolkit::DropData& Data) { OnFilesDropped(Data); }
  void Form_OLEDragDrop(const Toolkit::DropData& Data) { OnFilesDropped(Data); }
  // The drop workflow: the first file of `Data` is divided into the work
  // folder and shown as a strip of thumbnails. A drop that arrives while one
  // is being worked on is refused, never nested.
  void OnFilesDropped(const Toolkit::DropData& Data);

  // Saves the last divided animation's frames as they appear (full-frame
  // GIFs or PNGs) into `folder`, with their JSON, with progress on the
  // progress strip; says how it went in a box. The strip's context menu
  // asks for the folder.
  void SaveFramesAsTheyAppear(const std::string& folder, bool png);

  // Saves frames `numbers` (in order) of the last divided animation into
  // `folder` as `kind` says, named as SaveFramesAsTheyAppear names them
  // (a sheet: by its layout), with their JSON beside them; says how it went
  // in a box. Stored GIFs are the frames as the work folder holds them.
  void SaveFrames(const std::vector<int>& numbers, const std::string& folder, SaveKind kind);

  // The strip as a frame picker: which frames are picked and where the
  // keyboard's mark is. The mouse and the keys on the strip change it.
  const StripSelection& Selection() const { return selection_; }
  // Shows the thumbnails as the frame files store them (each file's own
  // patch at its place, on a checkerboard) or, the default, as the frames
  // appear. Repaints the strip; ignored while busy.
  void ShowFramesAsStored(bool as_stored);
  bool ShowsFramesAsStored() const { return as_stored_; }

  // Frames out of the strip. `number` is 1-based; each does nothing for a
  // number the strip does not show.
  // The frame whose thumbnail lies at `pixels` of the strip, or 0.
  int FrameAt(QPoint pixels) const;
  // The frame's file in the work folder.
  std::string FrameFile(int number) const;
  // The frame as it appears, composed from the last divided bytes within
  // the thumbnails' budget while the window goes on answering; a null image
  // with `why` (when given) set when it cannot be had.
  QImage FrameAsItAppears(int number, QString* why = nullptr,
                          std::size_t largest_canvas_bytes = kLargestThumbnailCanvas) const;
  // Puts the frame as it appears on the clipboard, or says why it cannot.
  void CopyFrame(int number);
  // Puts the frame files of `numbers` on the clipboard as a file list.
  void CopyFrameFiles(const std::vector<int>& numbers);
  // Writes the frame as it appears to `path`: a PNG, or a full-frame GIF
  // when `path` ends in ".gif". Refuses the dropped file itself, and says in
  // a box when it cannot.
  void SaveFrameAs(int number, const std::string& path);
  // Shows the frame's file in the file manager, or says in a box why it cannot.
  void ShowFrameInFolder(int number);
  // Asks for an animation (GIF, WebP or APNG) and divides it as if it had
  // been dropped.
  void OpenFile();
  // A file handed over by a later start of the program for the same work
  // folder (empty: none): the window comes to the front, over no menu of
  // its own, and divides it as if dropped. Refused, returning false, while
  // a drop is being worked on or a box is open, as a drop is then; a file
  // taken makes the window busy at once, so that of several handed over
  // together only the first is taken and the others are refused.
  bool TakeHandOver(const std::string& path);
  // Which drop the strip's frames, picks, menus and dialogs belong to: it
  // changes whenever a drop empties the work folder.
  std::uint64_t DropSerial() const { return drop_serial_; }

  // The work folder: the executable's folder, the separator, "tmp"; or the
  // one in the user's cache folder that Form_Load chose instead.
  std::string WorkFolder() const;
  // True while a drop, a save or a hand-over is being worked on.
  bool Busy() const { return busy_; }
  // True when a drag at `pos` (window pixels) may be dropped there.
  bool AcceptsDropAt(const Toolkit::DropData& data, QPoint pos) const;

 public slots:
  void Command1_Click();  // "END": ends the program
  void Command2_Click();  // "ShowHolder": opens the work folder in the file manager
  // The scroll bar moved: the strip follows it along the viewport.
  void HScroll1_Change();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  // The strip and its viewport: the wheel and the keys move the scroll bar,
  // and a thumbnail pressed and moved is dragged out as its file.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // The window's controls.
  // Builds every control of the control table in stacking order, binds it
  // and sets the tab order.
  void BuildControls();
  // Holds `control`, built for row `row` of the control table, in its
  // member and connects what it raises.
  void Bind(std::size_t row, QWidget* control);
  // Lets `control` take drops, handed to `handler` once the drag source
  // has been answered.
  void TakeDrops(QWidget* control, void (Form_main::*handler)(const Toolkit::DropData&));
  // Tab moves through `built` (the control table's controls, by row) in
  // the table's tab order.
  void SetTabOrder(const std::array<QWidget*, kControls.size()>& built);

  // The work folder and the drop workflow.
  // The work folder, the separator and `base_name`: where the frame files'
  // names start.
  std::string OutputPrefix(const std::string& base_name) const;
  // Empty when the work folder is a real folder; else the message that says why not.
  QString WorkFolderRefusal() const;
  // The dropped file, read whole while the window goes on answering, and
  // its cut; nothing, once the drop has been refused.
  struct ReadDrop;
  std::optional<ReadDrop> ReadAndPlan(const Toolkit::DropData& data);
  // Why nothing is divided when the frames' files cannot take their names;
  // empty text when they can.
  QString NameRefusal(const std::string& file_name, const std::string& base_name, int frames,
                      const std::string& extension) const;
  // A refusal's box: its first line, and the line below it that says why.
  struct Refusal {
    const char* message;
    QString why;
  };
  // Empties the work folder, divides `read` into it and shows its frames,
  // drawing progress on the progress strip, which the caller shows; the
  // refusal, when the frames cannot be shown, for the caller to show once
  // the strip is gone.
  std::optional<Refusal> DivideAndShow(const Toolkit::DropData& data, ReadDrop read,
                                       const std::string& file_name, const std::string& base_name);
  // The text of a failure of the division itself, for the refusal box.
  QString DivisionFailure(const Toolkit::PlatformError& failure) const;
  // Shows `message`, with `why` on a line of its own below it.
  void Refuse(const char* message, const QString& why);
  // Clears the strip and the count, then refuses as above.
  void ResetAfterRefusal(const char* message, const QString& why);
  // Closes the window's open menus, so that none stays under the window
  // brought to the front or acts after a new drop.
  void CloseMenus();
  // Closes every menu and dialog the last drop's frames opened and cancels
  // a drag of its frames out: a new drop takes the frames they act on away.
  void CloseWhatTheLastDropOpened();
  // True while `serial` is still the last drop's; else says in a box that
  // another file was divided meanwhile and nothing was done.
  bool StillTheSameDrop(std::uint64_t serial);

  // Painting the strip.
  // The count, the strip's layout and its thumbnails after a division.
  void ShowFrames(int frame_count, float progress_width, const FrameCompose::Survey& survey);
  // What slot `number`'s tooltip says: its number and delay, the view, its
  // patch when it does not cover the picture, and the frame it repeats.
  // `unshown`, when not empty, says why the slot shows no picture.
  QString ThumbnailTip(int number, const FrameCompose::FrameFacts* facts, int same_as,
                       const QString& unshown = {}) const;
  // Slot `index` of `plan`: its picture, tooltip, separator and number,
  // then the progress box; events run after it.
  void PaintSlot(const StripPlan& plan, std::size_t index, const Toolkit::Picture& picture,
                 const QString& tip, double progress_step);
  // Thumbnails, separators and numbers of every slot of `plan`, composed
  // from the last drop's bytes as far as they go, then frame by frame.
  void PaintStrip(const StripPlan& plan, float progress_width, const FrameCompose::Survey& survey);
  // The slots from the first on, as the last drop's bytes compose them;
  // returns how many were painted before its frames or its data ended.
  std::size_t PaintComposed(const StripPlan& plan, const FrameCompose::Survey& survey,
                            double progress_step);
  // The slots from `first` on: each composed from its frame file's bytes as
  // the last drop's cut made them (never the file itself, which may have
  // changed since), or a placeholder of the screen's size where that passes
  // the thumbnails' budget.
  void PaintFrameByFrame(const StripPlan& plan, std::size_t first,
                         const FrameCompose::Survey& survey, double progress_step);
  // Empties the strip: no thumbnails, no picked frames.
  void ClearStrip();

  // Picking frames on the strip.
  // The strip's marks after the selection or the mark changed; the strip
  // scrolls to the mark.
  void UpdateMarks();
  // A key on the strip that picks frames or opens the menu; false for others.
  bool PickByKey(const QKeyEvent& key);
  // The strip's menu for the frames under the keyboard's mark.
  void MarkMenu();
  // Presses, releases and moves of the mouse on the strip or its
  // viewport; true for one taken here.
  bool StripMouse(QObject* watched, QEvent* event);
  // A left press on thumbnail `pressed_frame_`.
  void PickByPress(const QMouseEvent& press);
  // Scrolls the strip until the thumbnail under the mark is in sight.
  void ScrollToMark();
  // Thumbnail `number`'s rectangle on the strip, in twips; an empty one
  // for a number the strip does not show.
  QRectF SlotOf(int number) const;
  // The frames an action on frame `number` acts on: the picked ones when
  // it is among them, else it alone.
  std::vector<int> ActedOn(int number) const;
  // The strip's menu for `numbers` at `global` screen pixels.
  void StripMenu(const std::vector<int>& numbers, QPoint global);

  // Frames out of the strip, and the dialogs that save them.
  // Every frame of the last drop, 1 .. its count.
  std::vector<int> EveryFrame() const;
  // The work folder's files of frames `numbers`; none, after a box that
  // says so (`gone`: the frame's number and path), when one is missing.
  std::vector<std::string> FrameFilesThere(const std::vector<int>& numbers, const char* gone);
  // Drags the files of frames `numbers` out of the strip, or says why it cannot.
  void DragFramesOut(const std::vector<int>& numbers);
  // Saving from the last drop's bytes, as it was divided.
  FrameSaving Saving() const;
  // Runs `work` with the window busy and the progress strip shown for it
  // to draw on; hides the strip again however `work` ends.
  void WithProgressShown(const std::function<void(Toolkit::Progress&)>& work);
  // Where the save dialogs start: the folder the last save went to, else
  // the user's pictures folder.
  std::string SaveDialogsFolder() const;
  // Asks for a folder and a kind (every frame: GIFs or PNGs), then saves
  // every frame there.
  void SaveFramesDialog();
  // Asks for a folder and a kind, then saves frames `numbers` there.
  void SaveSelectionDialog(const std::vector<int>& numbers);
  // Asks for the folder that frames `numbers` go to, then which of `kinds`
  // (`question`), then before replacing any file; saves them unless
  // cancelled or another file was divided meanwhile.
  void AskAndSave(const std::vector<int>& numbers, const QString& question,
                  std::span<const SaveKind> kinds);
  // Asks where frame `number` goes and in which format; saves it there.
  void SaveFrameDialog(int number);
  // Asks for the folder that frames go to, titled `title`; empty when cancelled.
  QString AskForFolder(const QString& title);
  // Asks which of `kinds` frames are saved as; nothing when cancelled.
  std::optional<SaveKind> AskForKind(const QString& question, std::span<const SaveKind> kinds);
  // Asks before replacing files at `paths`, naming those that are there;
  // true to go on.
  bool MayReplace(const std::vector<std::string>& paths, const QString& folder);

  FormServices services_;
  bool busy_ = false;              // a drop, a save or a hand-over is being worked on
  std::string cache_work_folder_;  // set when Form_Load falls back to it
  std::string cache_folder_;       // the folder above it, Mervane's own in the user's cache
  // The last file divided. Every action on its frames as they appear works
  // on the bytes that were divided, never on the file read again.
  struct LastDrop {
    std::string source_path, file_name, base_name;
    // Its bytes, read in whatever format, and where its frame files were cut.
    std::shared_ptr<const DroppedAnimation> animation;
    // Its frames as composing counts them (those before any damage), and
    // the picture they are composed on.
    FrameCompose::Survey survey;
    int shown = 0;  // frames on the strip
  } last_drop_;
  std::uint64_t drop_serial_ = 0;
  // Files dropped from the work folder itself: the user's own, never emptied away.
  std::vector<std::string> users_files_in_work_folder_;
  std::vector<QRectF> frame_slots_;  // each thumbnail's rectangle on the strip, in twips
  bool as_stored_ = false;
  bool patches_ = false;  // the last drop's frame files hold patches, not whole pictures
  StripSelection selection_;
  QPoint press_at_;  // where a drag out might start, strip pixels
  int pressed_frame_ = 0;
  bool pick_on_release_ = false;  // a press on a picked frame picks it alone unless it drags
  bool dragging_out_ = false;     // frames are being dragged out of the strip
  int wheel_rest_ = 0;            // wheel turns short of a notch, in eighths of a degree
  std::string last_save_folder_;  // where the last save went, to start there again

 public:
  // The controls, by the names the window description gives them; built
  // by the constructor, owned by the window. Public, as the role accessors
  // above are, so that tests reach each control by the name it is known by.
  Toolkit::PictureBox* Progress =
      nullptr;                             // progress strip over the viewport, shown while dividing
  QPushButton* Command2 = nullptr;         // "ShowHolder": opens the work folder
  QPushButton* Command1 = nullptr;         // "END": quits
  Toolkit::ScrollBar* HScroll1 = nullptr;  // moves the strip along the viewport
  Toolkit::PictureBox* Picture3 = nullptr;  // viewport: the window onto the strip
  Toolkit::PictureBox* Picture1 = nullptr;  // strip: thumbnails, separators and numbers
  Toolkit::PictureBox* Picture2 = nullptr;  // hidden measurer: takes the dropped picture's size
  QLabel* Label1 = nullptr;                 // count label: "Mervane", then "N Images"
  Toolkit::ImageControl* Image1 = nullptr;  // hidden preview of the dropped picture
};

// `canvas` as an image of its own.
QImage ImageOf(const FrameCompose::Canvas& canvas);

// The composer's options for the window: pictures of at most
// `largest_canvas_bytes`, and the window's events run while frames are read.
FrameCompose::ComposeOptions WindowComposeOptions(std::size_t largest_canvas_bytes);

// The question asked before a save replaces the files `names` (not empty)
// in `folder`: each named, the first few of many, long names cut short.
QString ReplaceQuestion(const QStringList& names, const QString& folder);

// What `failure` says, in words a user reads: running out of memory is
// said as such, never as the C++ library's "std::bad_alloc".
QString FailureText(const std::exception& failure);

// Text of the box that reports a failure nothing handled: its number and description.
QString UnhandledErrorText(int number, const QString& description);

// Builds the window and runs Form_Load. On a failure, shows its number and
// description in a box and returns nothing; the window is never shown.
std::unique_ptr<Form_main> StartUp(FormServices services);

}  // namespace MainWindow
