#pragma once

#include <QLocale>

namespace rankmoth::shell {

// Installs Qt's own translations for `locale` (the words of the file dialog, the message boxes' buttons) into
// the running application, in place of those of an earlier call. False when Qt has no translation for that
// locale.
bool InstallQtTranslations(const QLocale& locale);

} // namespace rankmoth::shell
