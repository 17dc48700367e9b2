// SPDX-License-Identifier: MIT
#pragma once

// Desktop services the window asks for: message boxes, event pumping, the
// file manager and ending the program.

#include <QString>
#include <QStringList>
#include <functional>
#include <string>

class QImage;
class QPoint;
class QRect;
class QObject;
class QWidget;

namespace Toolkit {

// Modal message boxes with an OK button only, titled with the program's
// name. An interface, so that tests can read the text without a dialog.
class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;
  // Returns when the box is closed.
  virtual void MsgBox(QWidget* parent, const QString& text) = 0;
};

class DialogMessageBoxes final : public MessageBoxes {
 public:
  void MsgBox(QWidget* parent, const QString& text) override;
};

// The title of every message box and of the window.
inline constexpr char kProgramName[] = "Mervane";

// Runs the pending window events (paint, scroll, clicks, drops), then returns.
void DoEvents();

// Why the file manager could not be started, in words for the user.
using OpenFailed = std::function<void(const std::string& reason)>;

// Opens `folder` in the desktop's file manager without waiting for it. On
// Windows the command line is "explorer.exe " followed by the folder;
// elsewhere xdg-open gets the folder as its one argument, never through a
// shell. The opener is watched for a few seconds: when it fails to start or
// ends with a failing status in that time (xdg-open finding no file
// manager, say), `failed` is called from the event loop with the reason,
// unless `context` is gone by then. Throws PlatformError when there is no
// opener to start at all.
void OpenInFileManager(QObject* context, const std::string& folder, OpenFailed failed);

// The same for the file `path`: shown selected in its folder where the
// platform's file manager can be asked so (Windows), else its folder opened.
void ShowInFileManager(QObject* context, const std::string& path, OpenFailed failed);

// Sans-serif families to fall back on, in order, where a font the window
// description names is missing: never the platform's serif default.
QStringList SansFallbacks();

// Makes every control, menu, tooltip and box use the system's UI font,
// falling back on SansFallbacks. Call once, after the application is made.
void UseSystemUiFont();

// Where a window whose frame (title bar and borders included) is `frame`
// goes so that it lies wholly within `available`: moved as little as it
// can be. One larger than `available` keeps its top-left corner inside it,
// where its title bar can still be reached.
QPoint PlaceWithin(const QRect& frame, const QRect& available);

// From now on, every dialog and box of the program is moved, once it is
// shown and whenever it grows, to lie wholly within the available area of
// its screen (the screen less panels and task bars), wherever its parent
// window stands. Call once, after the application is made.
void KeepDialogsOnScreen();

// From now on, Ctrl+C (the platform's Copy keys) in any message box puts
// its title and text on the clipboard, to be pasted into a mail or a
// report. Call once, after the application is made.
void LetBoxesCopyTheirText();

// Puts `image` on the clipboard, for pasting into other programs.
void CopyImage(const QImage& image);

// The platform's folder for the user's pictures, or the home folder.
std::string PicturesFolder();

// Ends the process at once with status 0, also from inside a handler that
// is pumping events. A file still being written is removed first.
[[noreturn]] void End();

}  // namespace Toolkit
