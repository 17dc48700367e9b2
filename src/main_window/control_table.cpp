#include "main_window/control_table.h"

#include <stdexcept>
#include <string>

namespace MainWindow {

const ControlRow& Row(std::string_view name) {
  for (const ControlRow& row : kControls) {
    if (row.name == name) return row;
  }
  throw std::logic_error("no control named " + std::string(name));
}

}  // namespace MainWindow
