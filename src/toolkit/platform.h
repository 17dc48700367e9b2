// SPDX-License-Identifier: MIT
#pragma once

// Desktop services the window asks for: message boxes, event pumping, the
// file manager and ending the program.

#include <QString>
#include <string>

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

// Opens `folder` in the desktop's file manager without waiting for it. On
// Windows the command line is "explorer.exe " followed by the folder;
// elsewhere xdg-open gets the folder as its one argument, never through a
// shell. Throws PlatformError when no file manager can be started.
void OpenInFileManager(const std::string& folder);

// Ends the process at once with status 0, also from inside a handler that
// is pumping events. No file may be open at that moment.
[[noreturn]] void End();

}  // namespace Toolkit
