// SPDX-License-Identifier: MIT
#include "main_window/form_main.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDragMoveEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QUrl>
#include <filesystem>
#include <fstream>
#include <optional>

#include "support/form_fixture.h"
#include "support/gif_writer.h"
#include "support/process.h"
#include "support/scoped_env.h"
#include "toolkit/image_control.h"
#include "toolkit/picture_box.h"
#include "toolkit/platform_error.h"
#include "toolkit/scroll_bar.h"
#include "toolkit/units.h"

namespace {

namespace fs = std::filesystem;
using GifTest::FormTest;

// Every row of the control table built as it says: its parent, place,
// visibility, drops, and its stacking among its siblings.
TEST_F(FormTest, EveryControlIsBuiltAsItsRowSays) {
  using MainWindow::kControls;
  const auto pixels = [](const MainWindow::TwipsRect& r) {
    return QRect(Toolkit::ClampedPixels(r.left), Toolkit::ClampedPixels(r.top),
                 Toolkit::ClampedPixels(r.width), Toolkit::ClampedPixels(r.height));
  };
  EXPECT_EQ(form().size(),
            pixels({0, 0, MainWindow::kClientWidth, MainWindow::kClientHeight}).size());
  EXPECT_TRUE(form().acceptDrops());
  std::vector<QWidget*> built;
  for (const auto& row : kControls) {
    const std::string name(row.name);
    SCOPED_TRACE(name);
    QWidget* widget = form().findChild<QWidget*>(QString::fromStdString(name));
    ASSERT_NE(widget, nullptr);
    built.push_back(widget);
    QWidget* const parent =
        row.container.empty()
            ? &form()
            : form().findChild<QWidget*>(QString::fromUtf8(
                  row.container.data(), static_cast<qsizetype>(row.container.size())));
    EXPECT_EQ(widget->parentWidget(), parent);
    EXPECT_EQ(widget->geometry(), pixels(row.geometry));
    EXPECT_EQ(widget->isVisibleTo(&form()), row.visible_at_start);
    EXPECT_EQ(widget->acceptDrops(), row.accepts_drops);
  }
  // Listed topmost first: Qt paints later siblings on top.
  for (std::size_t i = 0; i < built.size(); ++i) {
    for (std::size_t k = i + 1; k < built.size(); ++k) {
      if (built[i]->parentWidget() != built[k]->parentWidget()) continue;
      const QObjectList& siblings = built[i]->parentWidget()->children();
      EXPECT_GT(siblings.indexOf(built[i]), siblings.indexOf(built[k]))
          << kControls[i].name << " over " << kControls[k].name;
    }
  }
}

TEST_F(FormTest, TextsAndColoursAreAsTheUserSeesThem) {
  // The scroll bar covers the viewport's bottom 255 twips.
  EXPECT_EQ(form().childAt(100, 120), form().HScroll1);

  EXPECT_EQ(form().windowTitle(), "Mervane");
  EXPECT_EQ(form().Label1->text(), "Mervane");
  EXPECT_EQ(form().Picture1->toolTip(), "Drop AnimationGIFfile");
  EXPECT_TRUE(form().Picture1->font().families().contains(QString::fromUtf8(u8"ＭＳ Ｐゴシック")));
  EXPECT_EQ(form().Progress->ForeColor(), QColor(0, 0, 255));

  const QImage shot = form().grab().toImage();
  EXPECT_EQ(shot.pixelColor(50, 30), QColor(255, 255, 224));   // the strip
  EXPECT_EQ(shot.pixelColor(150, 55), QColor(255, 255, 224));  // where the hidden progress lies
  form().Progress->setVisible(true);
  EXPECT_EQ(form().grab().toImage().pixelColor(150, 55), QColor(255, 255, 255));
}

std::unique_ptr<QMimeData> FileDrag(const QString& path = "/some/file.gif") {
  auto mime = std::make_unique<QMimeData>();
  mime->setUrls({QUrl::fromLocalFile(path)});
  return mime;
}

TEST_F(FormTest, DropsAreTakenOnlyOverTheStripTheViewportAndTheBareWindow) {
  form().show();  // drop sites register when the window is shown
  form().Progress->setVisible(true);
  const Toolkit::DropData file{{"/some/file.gif"}};
  const auto middle = [&](const QWidget* w) { return w->mapTo(&form(), w->rect().center()); };
  // The strip's middle lies under the progress strip, shown here.
  const std::pair<QPoint, bool> points[] = {
      {QPoint(2, form().height() - 2), true},  // the bare window
      {middle(form().CountLabel()), true},
      {form().Strip()->mapTo(&form(), QPoint(10, 10)), true},
      {middle(form().ShowHolderButton()), false},
      {middle(form().EndButton()), false},
      {middle(form().StripScrollBar()), false},
      {middle(form().ProgressStrip()), false}};
  for (const auto& [at, accepted] : points) {
    EXPECT_EQ(form().AcceptsDropAt(file, at), accepted) << at.x() << "," << at.y();
  }
  QMimeData text;
  text.setText("not a file");
  QMimeData remote;
  remote.setUrls({QUrl("https://example.invalid/a.gif")});
  EXPECT_FALSE(form().AcceptsDropAt(Toolkit::DropDataFrom(&text), points[0].first));
  EXPECT_FALSE(form().AcceptsDropAt(Toolkit::DropDataFrom(&remote), points[0].first));
  EXPECT_EQ(Toolkit::DropDataFrom(FileDrag("/a b/c.gif").get()).files,
            std::vector<std::string>{"/a b/c.gif"});
  // A name that is no UTF-8 arrives as its own bytes.
  QMimeData latin1;
  latin1.setUrls({QUrl::fromEncoded("file:///a%20b/caf%E9.gif")});
  EXPECT_EQ(Toolkit::DropDataFrom(&latin1).files, std::vector<std::string>{"/a b/caf\xE9.gif"});
}

TEST(FormLoad, MakesTheWorkFolderOnlyWhenNoEntryNamedTmpExistsAndReportsOneThatIsNoFolder) {
  enum class Entry { kFolder, kNone, kFile, kLinkToFolder, kDanglingLink };
  for (const Entry entry :
       {Entry::kFolder, Entry::kNone, Entry::kFile, Entry::kLinkToFolder, Entry::kDanglingLink}) {
    SCOPED_TRACE(static_cast<int>(entry));
    GifTest::TempDir app, elsewhere;
    const fs::path tmp = app.path() / "tmp";
    GifTest::WriteBytes(elsewhere.path() / "thesis.doc", {1});
    if (entry == Entry::kFolder) {
      fs::create_directory(tmp);
      GifTest::WriteBytes(tmp / "old.gif", {1});
    }
    if (entry == Entry::kFile) GifTest::WriteBytes(tmp, {1});
    if (entry == Entry::kLinkToFolder) fs::create_directory_symlink(elsewhere.path(), tmp);
    if (entry == Entry::kDanglingLink) fs::create_directory_symlink(elsewhere.path() / "gone", tmp);

    GifTest::RecordingBoxes boxes;
    const auto form = MainWindow::StartUp({app.path().string(), &boxes, [] {}});
    ASSERT_NE(form, nullptr);
    const bool usable = entry == Entry::kFolder || entry == Entry::kNone;
    EXPECT_EQ(fs::is_directory(fs::symlink_status(tmp)), usable);
    EXPECT_EQ(fs::exists(tmp / "old.gif"), entry == Entry::kFolder);
    if (usable) {
      EXPECT_TRUE(boxes.texts.empty());
      continue;
    }
    ASSERT_EQ(boxes.texts.size(), 1u);
    EXPECT_TRUE(boxes.texts[0].startsWith("Cannot use " + QString::fromStdString(tmp.string())))
        << boxes.texts[0].toStdString();

    // A drop says the same and deletes nothing anywhere.
    GifTest::WriteBytes(app.path() / "a.gif", GifTest::Encode(GifTest::SolidFrames(2, 2, 2)));
    form->Picture1_OLEDragDrop({{(app.path() / "a.gif").string()}});
    ASSERT_EQ(boxes.texts.size(), 2u);
    EXPECT_EQ(boxes.texts[1], boxes.texts[0]);
    EXPECT_EQ(GifTest::ListNames(elsewhere.path()), std::vector<std::string>{"thesis.doc"});
  }
}

TEST(FormLoad, WithoutRoomBesideTheProgramTheCacheFolderServesOrTheWindowNeverShows) {
  GifTest::TempDir app, cache;
  const std::string missing = (app.path() / "gone").string();  // tmp cannot be made here
  GifTest::WriteBytes(cache.path() / "file", {1});
  for (const fs::path& cache_home : {cache.path(), cache.path() / "file"}) {
    SCOPED_TRACE(cache_home.string());
    const GifTest::ScopedEnv cache_env("XDG_CACHE_HOME",
                                       QByteArray::fromStdString(cache_home.string()));
    GifTest::RecordingBoxes boxes;
    const auto form = MainWindow::StartUp({missing, &boxes, [] {}});
    // An installed copy goes there at once, though it could write beside itself.
    const auto installed = MainWindow::StartUp({app.path().string(), &boxes, [] {}, true});
    EXPECT_EQ(installed != nullptr, cache_home == cache.path());
    EXPECT_FALSE(fs::exists(app.path() / "tmp"));
    if (cache_home == cache.path()) {
      ASSERT_NE(form, nullptr);
      EXPECT_TRUE(boxes.texts.empty());
      EXPECT_EQ(form->WorkFolder(), (cache_home / "mervane" / "tmp").string());
      EXPECT_EQ(installed->WorkFolder(), form->WorkFolder());
      EXPECT_TRUE(fs::is_directory(cache_home / "mervane" / "tmp"));
      continue;
    }
    EXPECT_EQ(form, nullptr);
    ASSERT_EQ(boxes.texts.size(), 2u);
    // The folder that is not there, numbered as the window has always numbered it.
    EXPECT_TRUE(boxes.texts[0].startsWith("Run-time error '53':")) << boxes.texts[0].toStdString();
    EXPECT_TRUE(boxes.texts[0].contains(QString::fromStdString(missing + "/tmp")));
  }
}

TEST(FormLoad, ALinkedCacheFolderIsRefusedAndItsTargetKept) {
  GifTest::TempDir app, cache, victim;
  fs::create_directory(victim.path() / "tmp");
  GifTest::WriteBytes(victim.path() / "tmp" / "thesis.doc", {1});
  std::error_code no_links;
  fs::create_directory_symlink(victim.path(), cache.path() / "mervane", no_links);
  if (no_links) GTEST_SKIP();
  const GifTest::ScopedEnv cache_env("XDG_CACHE_HOME",
                                     QByteArray::fromStdString(cache.path().string()));
  GifTest::RecordingBoxes boxes;
  const auto form = MainWindow::StartUp({app.path().string(), &boxes, [] {}, true});
  ASSERT_NE(form, nullptr);
  const GifTest::Bytes gif = GifTest::Encode(GifTest::SolidFrames(2, 2, 2));
  GifTest::WriteBytes(app.path() / "a.gif", gif);
  form->Picture1_OLEDragDrop({{(app.path() / "a.gif").string()}});
  ASSERT_EQ(boxes.texts.size(), 2u);  // at start-up and at the drop
  EXPECT_TRUE(boxes.texts[1].contains("symbolic link")) << boxes.texts[1].toStdString();
  EXPECT_EQ(GifTest::ListNames(victim.path() / "tmp"), std::vector<std::string>{"thesis.doc"});
}

TEST_F(FormTest, TheScrollBarMovesTheStripSixteenTwipsPerUnit) {
  form().HScroll1->SetMax(1000);
  for (const auto& [value, left] : {std::pair{0, 0.0f}, {1, -16.0f}, {567, -9072.0f}}) {
    form().HScroll1->SetValue(value);
    EXPECT_EQ(form().Picture1->Left(), left) << value;
  }
  form().HScroll1->SetMax(100);  // lowered below Value: the strip follows the bar
  EXPECT_EQ(form().Picture1->Left(), -1600.0f);

  // Dragging the thumb moves nothing until it is released.
  form().HScroll1->setSliderDown(true);
  form().HScroll1->setSliderPosition(10);
  EXPECT_EQ(form().Picture1->Left(), -1600.0f);
  form().HScroll1->setSliderDown(false);
  EXPECT_EQ(form().Picture1->Left(), -160.0f);
}

// Tab goes round the strip and the two buttons in the table's order,
// passing over the viewport and the hidden controls; the scroll bar is
// among them where the style lets it take the focus.
TEST_F(FormTest, TabGoesRoundTheControlsAndEnterPressesEnd) {
  form().show();
  QApplication::setActiveWindow(&form());  // where the keyboard focus can be
  std::vector<QWidget*> cycle = {form().StripScrollBar(), form().EndButton(),
                                 form().ShowHolderButton(), form().Strip()};
  if (!(form().StripScrollBar()->focusPolicy() & Qt::TabFocus)) cycle.erase(cycle.begin());
  form().Strip()->setFocus();
  for (QWidget* next : cycle) {
    QWidget* const from = QApplication::focusWidget();
    ASSERT_NE(from, nullptr);
    QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
    QCoreApplication::sendEvent(from, &tab);
    EXPECT_EQ(QApplication::focusWidget(), next) << "from " << from->objectName().toStdString()
                                                 << " to " << next->objectName().toStdString();
  }
  form().EndButton()->setFocus();
  QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
  QCoreApplication::sendEvent(form().EndButton(), &enter);
  EXPECT_EQ(ends_, 1);
  EXPECT_FALSE(form().isVisible());
}

// A stand-in file manager first on PATH, which records its arguments.
class ShowHolder : public FormTest {
 protected:
  void UsePath(const fs::path& folder) {
    path_.emplace("PATH", QByteArray::fromStdString(folder.string()));
  }
  std::optional<GifTest::ScopedEnv> path_;
};

TEST_F(ShowHolder, OpensTheWorkFolderAsOneArgumentWithoutAShell) {
  GifTest::TempDir bin;
  const fs::path record = bin.path() / "args";
  {
    std::ofstream script(bin.path() / "xdg-open");
    script << "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" << record.string()
           << ".part'\n/bin/mv '" << record.string() << ".part' '" << record.string() << "'\n";
  }
  fs::permissions(bin.path() / "xdg-open", fs::perms::owner_all);
  UsePath(bin.path());

  // An executable folder with spaces and a shell character in its name.
  GifTest::TempDir outer;
  const fs::path app = outer.path() / "My Tools; echo hi";
  fs::create_directory(app);
  GifTest::RecordingBoxes boxes;
  const auto spaced = MainWindow::StartUp({app.string(), &boxes, [] {}});
  ASSERT_NE(spaced, nullptr);
  spaced->Command2->click();
  ASSERT_TRUE(GifTest::PollUntil(5, [&] { return fs::exists(record); }));
  std::ifstream in(record);
  std::string line, all;
  int lines = 0;
  while (std::getline(in, line)) ++lines, all = line;
  EXPECT_EQ(lines, 1);
  EXPECT_EQ(all, (app / "tmp").string());
  EXPECT_TRUE(boxes.texts.empty());
}

TEST_F(ShowHolder, AFileManagerThatFailsIsReportedWithTheFolder) {
  GifTest::TempDir bin;
  {
    std::ofstream script(bin.path() / "xdg-open");
    script << "#!/bin/sh\necho 'xdg-open: no method available for opening' >&2\nexit 3\n";
  }
  fs::permissions(bin.path() / "xdg-open", fs::perms::owner_all);
  UsePath(bin.path());
  form().Command2->click();
  EXPECT_TRUE(GifTest::PollUntil(5, [&] {
    QCoreApplication::processEvents();
    return !boxes_.texts.empty();
  }));
  ASSERT_EQ(boxes_.texts.size(), 1u);
  EXPECT_EQ(boxes_.texts[0].toStdString(), "Cannot open the work folder " + work().string() +
                                               ": xdg-open: no method available for opening");
}

TEST_F(ShowHolder, AMissingFileManagerIsReportedAndTheProgramGoesOn) {
  GifTest::TempDir empty;
  UsePath(empty.path());
  form().Command2->click();
  ASSERT_EQ(boxes_.texts.size(), 1u);
  EXPECT_TRUE(boxes_.texts[0].contains(QString::fromStdString(work().string())));
  EXPECT_TRUE(boxes_.texts[0].contains("xdg-open"));
  EXPECT_EQ(ends_, 0);
}

}  // namespace
