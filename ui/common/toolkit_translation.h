// The toolkit's own Japanese texts (file, colour, font and message dialogs and
// their buttons), so that the standard dialogs read as the program does.
#pragma once

class QCoreApplication;

namespace zudizar {

// Loads the toolkit's Japanese translation from where the toolkit keeps its
// translations (Debian: qt6-translations-l10n) and installs it on `application`.
// False when it is not installed: the dialogs then stay in English.
bool InstallToolkitTranslation(QCoreApplication& application);

}  // namespace zudizar
