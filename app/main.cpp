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
#include <vector>

#include "base/file_io.h"
#include "base/settings.h"
#include "palette/batch.h"
#include "palette/convert.h"
#include "palette/info.h"
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
    "       zudizar --convert [--exact] IN OUT\n"
    "                                  open IN as the main canvas's Open does (its colours\n"
    "                                  merged into the palette) and save it as OUT, in the\n"
    "                                  format OUT's extension names (.BMP .MAG .JPG .JPEG\n"
    "                                  .ICO .PNG); --exact: with the picture's own colours\n"
    "                                  instead (its colour table kept; a true-colour\n"
    "                                  picture gets 256 colours chosen for it)\n"
    "       zudizar --convert [--exact] --to FORMAT [--out DIR] [--force] IN...\n"
    "                                  convert every picture file IN names (folders walked\n"
    "                                  recursively) to FORMAT (BMP MAG JPG JPEG ICO PNG) on\n"
    "                                  all cores: outputs beside the inputs or under DIR in\n"
    "                                  the same folder layout, existing ones kept unless\n"
    "                                  --force; progress on standard error, a summary on\n"
    "                                  standard output; Ctrl+C stops starting new files\n"
    "       zudizar --info FILE...     print format, size and colours of each file, and a\n"
    "                                  MAG file's machine, user name and comment\n"
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

int UsageError(const char* problem) {
  std::fprintf(stderr, "zudizar: %s\n", problem);
  std::fputs(kUsage, stderr);
  return 1;
}

// `--convert [--exact] IN OUT`, or with --to the batch over IN...
int RunConvertCommand(int argc, char** argv) {
  zudizar::BatchOptions options;
  bool batch = false, outGiven = false;
  std::vector<std::string> positional;
  bool optionsEnded = false;
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    if (optionsEnded || arg.size() < 2 || arg.compare(0, 2, "--") != 0) {
      positional.push_back(arg);
    } else if (arg == "--") {
      optionsEnded = true;
    } else if (arg == "--exact") {
      options.exact = true;
    } else if (arg == "--force") {
      options.force = true;
    } else if (arg == "--to" || arg == "--out") {
      if (i + 1 >= argc) return UsageError((arg + " needs a value").c_str());
      std::string value = argv[++i];
      if (arg == "--to") {
        batch = true;
        for (char& c : value)
          if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        options.extension = value.empty() || value[0] != '.' ? "." + value : value;
      } else {
        outGiven = true;
        options.outFolder = value;
      }
    } else {
      return UsageError(("unknown option " + arg).c_str());
    }
  }
  if (!batch) {
    if (outGiven || options.force) return UsageError("--out and --force go with --to FORMAT");
    if (positional.size() != 2) return UsageError("--convert needs IN and OUT");
    return RunHeadless(argc, argv, [&](std::string& e) {
      return zudizar::RunConvert(positional[0], positional[1], e, nullptr, options.exact);
    });
  }
  if (positional.empty()) return UsageError("--convert --to needs at least one IN");
  return RunHeadless(argc, argv, [&](std::string& e) { return zudizar::RunBatchCommand(positional, options, e); });
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
    if (std::strcmp(argv[1], "--convert") == 0) return RunConvertCommand(argc, argv);
    if (std::strcmp(argv[1], "--info") == 0) {
      if (argc < 3) return UsageError("--info needs FILE");
      const std::vector<std::string> files(argv + 2, argv + argc);
      return RunHeadless(argc, argv, [&](std::string& e) {
        const int status = zudizar::RunInfo(files, stdout);
        if (status != 0) e = "some files could not be read";
        return status;
      });
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
