#include "ui/common/toolkit_translation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace zudizar {

bool InstallToolkitTranslation(QCoreApplication& application) {
  // Owned by the application, so it lives as long as the dialogs that use it.
  auto* translator = new QTranslator(&application);
  if (!translator->load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete translator;
    return false;
  }
  QCoreApplication::installTranslator(translator);
  // Dates, sizes and numbers in the file dialog follow the language too.
  QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
  return true;
}

}  // namespace zudizar
