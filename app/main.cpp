// Start-up: the application title, then the App object creates the windows
// in their defined order. `--convert IN OUT` runs the same opening and saving
// code headless, without a display; `--thumbnail IN OUT SIZE` the same opening
// for a file manager's thumbnail.
#include <QApplication>
#include <QCoreApplication>
#include <QFont>
#include <cstdio>
#include <cstring>
#include <string>

#include "base/file_io.h"
#include "base/settings.h"
#include "palette/convert.h"
#include "palette/thumbnail.h"
#include "ui/app/app.h"
#include "ui/common/dialogs.h"
#include "ui/common/program_folder.h"
#include "ui/common/toolkit_translation.h"
#include "ui/edit/edit_window.h"
#include "ui/main/main_window.h"

namespace {

constexpr const char* kUsage =
    "usage: zudizar [PICTURE]          start the collage editor (opening PICTURE)\n"
    "       zudizar --convert IN OUT   open IN as the main canvas's Open does (its colours\n"
    "                                  merged into the palette) and save it as OUT, in the\n"
    "                                  format OUT's extension names (.BMP .MAG .JPG .JPEG\n"
    "                                  .ICO .PNG)\n"
    "       zudizar --thumbnail IN OUT SIZE\n"
    "                                  open IN the same way and write a PNG of it for a\n"
    "                                  file manager, its longest side SIZE (1-2048) or less\n"
    "       zudizar --help | --version\n";

int RunGui(int argc, char** argv) {
  QApplication application(argc, argv);
  zudizar::RemoveTemporaryOnSignals();
  zudizar::IgnoreFileSizeSignal();
  QApplication::setApplicationName(zudizar::kApplicationTitle);
  QApplication::setQuitOnLastWindowClosed(false);
  zudizar::InstallToolkitTranslation(application);
  // Japanese captions need a Japanese gothic font.
  QFont font(QStringLiteral("IPAPGothic"));
  font.setPixelSize(13);
  QApplication::setFont(font);
  zudizar::QtDialogs dialogs;
  zudizar::App app(dialogs, zudizar::ResolveProgramFile());
  // Files whose in-place save a kill cut short get their old bytes back.
  zudizar::RestoreKeptCopies();
  app.Start();
  app.main().show();
  app.edit().show();
  // A picture named on the command line opens as the Open command would.
  if (argc >= 2) app.main().OpenPictureFile(argv[1]);
  return QApplication::exec();
}

// A command without a display: `run` fills in the reason when it fails.
template <typename Run>
int RunHeadless(int argc, char** argv, Run run) {
  QCoreApplication application(argc, argv);
  zudizar::SetProgramFile(zudizar::ResolveProgramFile());
  // An interrupted conversion leaves no temporary file behind.
  zudizar::RemoveTemporaryOnSignals();
  zudizar::IgnoreFileSizeSignal();
  zudizar::RestoreKeptCopies();
  std::string error;
  const int status = run(error);
  if (status != 0) std::fprintf(stderr, "zudizar: %s\n", error.c_str());
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && argv[1][0] == '-' && argv[1][1] == '-') {
    if (std::strcmp(argv[1], "--help") == 0) {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (std::strcmp(argv[1], "--version") == 0) {
      std::puts("ZUDIZAR 0.46 (ﾐﾗﾙｶ貼り絵ﾂｰﾙ)");
      return 0;
    }
    if (std::strcmp(argv[1], "--convert") == 0) {
      if (argc != 4) {
        std::fputs("zudizar: --convert needs IN and OUT\n", stderr);
        std::fputs(kUsage, stderr);
        return 1;
      }
      return RunHeadless(argc, argv, [&](std::string& e) { return zudizar::RunConvert(argv[2], argv[3], e); });
    }
    if (std::strcmp(argv[1], "--thumbnail") == 0) {
      if (argc != 5) {
        std::fputs("zudizar: --thumbnail needs IN, OUT and SIZE\n", stderr);
        std::fputs(kUsage, stderr);
        return 1;
      }
      return RunHeadless(argc, argv,
                         [&](std::string& e) { return zudizar::RunThumbnail(argv[2], argv[3], argv[4], e); });
    }
    std::fprintf(stderr, "zudizar: unknown option %s\n", argv[1]);
    std::fputs(kUsage, stderr);
    return 1;
  }
  return RunGui(argc, argv);
}
