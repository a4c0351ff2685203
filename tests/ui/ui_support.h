// Support for UI tests: one QApplication per test binary, and an App built
// in a temporary program folder with scripted dialogs.
#pragma once

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFile>
#include <fstream>
#include <memory>
#include <string>

#include "base/settings.h"
#include "formats/dispatch.h"
#include "support/test_support.h"
#include "support/ui/scripted_dialogs.h"
#include "support/ui/window_probe.h"
#include "ui/app/app.h"
#include "ui/common/canvas_view.h"
#include "ui/edit/edit_window.h"
#include "ui/main/main_window.h"
#include "ui/sub/sub_window.h"

namespace zudizar::testing {

inline QApplication& EnsureQtApplication() {
  static int argc = 1;
  static char name[] = "zudizar";
  static char* argv[] = {name, nullptr};
  static QApplication* application = [] {
    // UI tests run headless whatever the caller's environment says.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    auto* app = new QApplication(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    return app;
  }();
  return *application;
}

// Paths are bytes, as the program holds them.
inline std::string ReadText(const std::string& path) { return Slurp(path); }

inline void WriteText(const std::string& path, const std::string& text) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  ASSERT_TRUE(file.good()) << path;
  file.write(text.data(), static_cast<std::streamsize>(text.size()));
}

// A fresh App per test; every box nobody scripted fails the test.
class AppTest : public ::testing::Test {
 protected:
  AppTest() : dialogs([](const QString& what) { ADD_FAILURE() << what.toStdString(); }) { EnsureQtApplication(); }

  // A w × h picture of one colour saved as `name` in the test's folder.
  std::string WritePicture(const std::string& name, int width, int height, std::uint8_t index) {
    IndexedImage image;
    EXPECT_EQ(CreateImage(width, height, image), 1);
    LoadColourTableFromShared(image);
    FillImage(image, index);
    const std::string path = folder.File(name);
    EXPECT_TRUE(SavePictureFile(path, image));
    return path;
  }

  void StartApp() {
    app = std::make_unique<App>(dialogs, folder.File("zudizar"));
    app->StartProgram = [this](const QString& program) {
      startedPrograms.push_back(program);
      return programStarts;
    };
    app->OpenUrl = [this](const QUrl& url) {
      openedUrls.push_back(url);
      return true;
    };
    app->Start();
  }

  // Closes the main window as the user does (the main canvas's save question
  // included; tests of the other canvases' questions close by themselves),
  // then drops the App.
  void StopApp() {
    if (!app) return;
    WindowProbe::MarkSaved(app->edit());
    WindowProbe::Doc(app->sub()).MarkSaved();
    app->main().close();
    app.reset();
  }

  void TearDown() override {
    StopApp();
    EXPECT_TRUE(dialogs.AllAnswersUsed()) << "scripted answers left over";
  }

  std::string SettingsFile() const { return folder.File("TAVOINI.INI"); }
  QAction* Item(const char* name) { return app->main().Action(QString::fromLatin1(name)); }

  TempFolder folder;
  ScriptedDialogs dialogs;
  std::unique_ptr<App> app;
  std::vector<QString> startedPrograms;
  std::vector<QUrl> openedUrls;
  bool programStarts = false;
};

// Distinct pixels, so that moved and turned cells can be told apart.
inline void Pattern(IndexedImage& image) {
  for (int y = 0; y < image.ImageHeight(); ++y)
    for (int x = 0; x < image.ImageWidth(); ++x) image.At(x, y) = static_cast<std::uint8_t>((x * 7 + y * 13) % 240);
}

// An App started for each test, with the three canvases at hand; the main
// canvas counts as saved at the end, so closing asks nothing.
class CanvasAppTest : public AppTest {
 protected:
  void SetUp() override { StartApp(); }
  void TearDown() override {
    if (app) WindowProbe::Doc(main()).MarkSaved();
    AppTest::TearDown();
  }
  TForm1& main() { return app->main(); }
  TTAVOEDTF& edit() { return app->edit(); }
  TTAVOSUBF& sub() { return app->sub(); }
};

}  // namespace zudizar::testing
