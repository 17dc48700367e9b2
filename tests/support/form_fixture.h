// SPDX-License-Identifier: MIT
#pragma once

#include <gtest/gtest.h>
#include <QString>
#include <memory>
#include <vector>

#include "main_window/form_main.h"
#include "support/temp_dir.h"
#include "toolkit/platform.h"

namespace GifTest {

class RecordingBoxes final : public Toolkit::MessageBoxes {
 public:
  void MsgBox(QWidget*, const QString& text) override { texts.push_back(text); }
  std::vector<QString> texts;
};

// A window whose executable folder is a fresh temporary folder.
class FormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    form_ = std::make_unique<MainWindow::Form_main>(
        MainWindow::FormServices{app_dir_.path().string(), &boxes_, [this] { ++ends_; }});
    form_->Form_Load();
  }
  MainWindow::Form_main& form() { return *form_; }
  std::filesystem::path work() const { return app_dir_.path() / "tmp"; }

  TempDir app_dir_;
  RecordingBoxes boxes_;
  int ends_ = 0;
  std::unique_ptr<MainWindow::Form_main> form_;
};

}  // namespace GifTest
